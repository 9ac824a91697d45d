// SPDX-License-Identifier: GPL-3.0-or-later
// Helidor's start and setup: the first-time setup of a run (texts, palette,
// defaults, language, result file) and the setup of every measurement (title
// screen, parameter dialogue, adjustment screen with the photograph).
#pragma once

#include <string>

namespace Setup {

// True while a setup runs; the tick routine then does nothing.
inline bool SetupRunning = false;
inline std::string ProgramFolder; // the program's folder with its final "/"
inline std::string PicturePath; // where the picture of the measurement was found

// The console's setup routine. Does nothing while the console window is not
// active (the ticks that come while a question is open), unless a new
// measurement was asked for with Esc. A picture that cannot be loaded or a
// second result file that cannot be created is reported in the chosen
// language, and the title screen and the parameters come again with the
// answers as defaults: the setup never ends without its picture on the screen.
void SetUpMeasurement();

// Esc in the adjustment: the setup of the next measurement, with the tick
// routine kept out of it from the start.
void NewMeasurement();

// Where the picture is looked for: an absolute name as it stands; a relative
// one in the program's folder, else in the working folder, else in the data
// folder "../share/helidor/" beside the program's folder. A picture found
// nowhere gets the program's folder, where its error is reported.
std::string FindPicture(const std::string& programFolder, const std::string& pictureName);

// The program's entry: the console's start with the setup and tick routines.
[[noreturn]] void RunHelidor(int& argc, char** argv);

// The setup and tick routines stored on an open console, as the entry does.
// For tests, which own the application.
void StartHelidor();

// Start state of the program, every module's state reset. For tests.
void Reset();

} // namespace Setup
