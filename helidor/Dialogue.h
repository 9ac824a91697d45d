// SPDX-License-Identifier: GPL-3.0-or-later
// The questions Helidor asks in the console's input dialog: the language, the
// result file and the parameters of a measurement. Each question offers the
// last answer (at first the built-in default) and stores the new one in
// Settings.
#pragma once

namespace Dialogue {

// The built-in default of every setting text.
void SetBuiltInDefaults();

// "english/german (e/g)": Settings::Language 1 for an answer ending in g or G,
// else 2.
void AskLanguage();

// Asks the result file's name and creates the file with its header; a file
// that cannot be created is reported and the name asked again.
void AskResultFile();

// The parameters of a measurement in their order, with the second result
// file created at the first answer of two pictures. A count of pictures other
// than 1 or 2 rings the bell and is asked again. Throws when the second
// result file cannot be created.
void AskParameters();

} // namespace Dialogue
