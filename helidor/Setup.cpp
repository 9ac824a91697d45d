// SPDX-License-Identifier: GPL-3.0-or-later
#include "Setup.h"

#include "Adjustment.h"
#include "Assist.h"
#include "Dialogue.h"
#include "Evaluation.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "Photograph.h"
#include "ResultFiles.h"
#include "Screens.h"
#include "Settings.h"
#include "Texts.h"

#include <stdexcept>

namespace Setup {

namespace {

bool InProgress = false; // a setup is running, perhaps waiting in a question

void FirstTimeSetup()
{
    const std::string& path = FensterGraf::ProgramPath;
    ProgramFolder = path.substr(0, path.find_last_of('/') + 1);
    Texts::SetUpMessageTexts();
    Kern::LoadStandardPalette();
    Kern::SetColorMode(true);
    Kern::SetTextBackground(Kern::Black);
    Dialogue::SetBuiltInDefaults();
    Screens::ShowTitleScreen();
    Dialogue::AskLanguage();
    Dialogue::AskResultFile();
    FensterGraf::StoreExitHook(ResultFiles::FlushAll);
    Adjustment::BeginRun();
    FensterGraf::SetupDone = true;
}

// The title screen, the parameters and the adjustment screen, again until
// the picture is on the screen.
void SetUpAdjustment()
{
    for (;;) {
        Screens::ShowTitleScreen();
        Kern::SelectFont("Courier", 10, 0);
        Kern::SetTextJustify(0, 0);
        try {
            Dialogue::AskParameters();
            PicturePath = FindPicture(ProgramFolder, Settings::PictureName);
            Screens::DrawAdjustmentScreen(PicturePath);
            return;
        } catch (const std::exception& error) {
            FensterGraf::ShowErrorMessage(error.what());
        }
    }
}

} // namespace

void SetUpMeasurement()
{
    // The ticks that come while one of its questions is open find it busy.
    if (InProgress || (!SetupRunning && !FensterGraf::WindowIsActive()))
        return;
    InProgress = true;
    // Also in the first setup the tick routine must leave keys alone.
    SetupRunning = true;
    try {
        if (!FensterGraf::SetupDone)
            FirstTimeSetup();
        SetUpAdjustment();
    } catch (...) {
        // Reported by the console; the next tick starts the setup again.
        SetupRunning = false;
        InProgress = false;
        throw;
    }
    FensterGraf::SetupDone = true;
    SetupRunning = false;
    InProgress = false;
    Screens::EndPause();
}

void NewMeasurement()
{
    SetupRunning = true;
    SetUpMeasurement();
}

std::string FindPicture(const std::string& programFolder, const std::string& pictureName)
{
    if (pictureName.starts_with('/'))
        return pictureName;
    const std::string inProgramFolder = programFolder + pictureName;
    if (FensterGraf::FileExists(inProgramFolder))
        return inProgramFolder;
    if (FensterGraf::FileExists(pictureName))
        return pictureName;
    // An installed program (or a copy of its tree moved elsewhere) keeps its
    // samples in share/helidor beside its bin folder.
    const std::string inDataFolder = programFolder + "../share/helidor/" + pictureName;
    if (FensterGraf::FileExists(inDataFolder))
        return inDataFolder;
    return inProgramFolder;
}

void StartHelidor()
{
    FensterGraf::StartProgram(SetUpMeasurement, Adjustment::HandleTick);
}

void RunHelidor(int& argc, char** argv)
{
    Texts::SetUpMessageTexts();
    FensterGraf::RunConsole(argc, argv, SetUpMeasurement, Adjustment::HandleTick,
        "helidor: " + Texts::InBothLanguages(Texts::NoDisplay));
}

void Reset()
{
    SetupRunning = false;
    InProgress = false;
    ProgramFolder.clear();
    PicturePath.clear();
    Screens::Reset();
    ResultFiles::Reset();
    Adjustment::Reset();
    Assist::Reset();
    Evaluation::Reset();
    Photograph::Reset();
    Settings::Reset();
}

} // namespace Setup
