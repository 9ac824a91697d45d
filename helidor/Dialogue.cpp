// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogue.h"

#include "AstrRout.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "Mathe.h"
#include "Modul.h"
#include "NumberText.h"
#include "Photograph.h"
#include "PromptLoop.h"
#include "ResultFiles.h"
#include "Settings.h"
#include "Texts.h"

#include <cmath>
#include <stdexcept>

namespace Dialogue {

namespace {

void AskPictureCount()
{
    for (;;) {
        Modul::ReadInteger(Texts::Text(Texts::PictureCountPrompt), Settings::PictureCountText,
            Settings::PictureCount);
        if (Settings::PictureCount == 1 || Settings::PictureCount == 2)
            return;
        PromptLoop::Installed().WriteBell();
    }
}

// A clock time in hh.mm: 0.00 to 23.59, minutes below 60.
bool IsClockTime(double time)
{
    if (!(time >= 0 && time < 24))
        return false;
    return std::nearbyint((time - std::trunc(time)) * 100) < 60;
}

// The time answer in hh.mm (a comma for the point, as every real answer may
// have), hh:mm or hh:mm:ss; false for anything else.
bool ReadTime(const std::string& answer)
{
    double seconds = 0;
    bool hasSeconds = false;
    if (NumberText::TextToClock(answer, seconds, &hasSeconds)) {
        const int whole = static_cast<int>(seconds);
        Settings::TimeUT = whole / 3600 + whole / 60 % 60 / 100.0;
        Settings::TimeSecond = whole % 60;
        Settings::TimeHasSeconds = hasSeconds;
        return true;
    }
    Settings::TimeSecond = 0;
    Settings::TimeHasSeconds = false;
    return PromptLoop::RealAnswer(answer, Settings::TimeUT) && IsClockTime(Settings::TimeUT);
}

// A time that is no clock time is a typo: the bell, and the question again.
void AskTime()
{
    const PromptLoop::Binding& io = PromptLoop::Installed();
    for (;;) {
        io.ReadText(Texts::Text(Texts::TimePrompt), Settings::TimeText);
        if (ReadTime(Settings::TimeText))
            return;
        io.WriteBell();
    }
}

} // namespace

void SetBuiltInDefaults()
{
    using namespace Settings;
    // Moved in as strings: GCC 12 at -O3 warns falsely (-Wrestrict) when
    // short literals are assigned.
    using namespace std::string_literals;
    PictureName = "Lurni1000UT.bmp"s;
    SizeText = "1"s;
    TimeText = "8.00"s;
    DeclinationText = "22.9"s;
    PictureCountText = "2"s;
    TimeDifferenceText = "90"s;
    RotationText = "0.0"s;
    PictureXText = "0"s;
    PictureYText = "0"s;
    StartRadiusText = "200"s;
    ResultFileName = "Test.txt"s;
}

void AskLanguage()
{
    std::string answer = "e";
    Kern::ReadChar("english/german (e/g)", answer);
    Settings::Language = answer == "g" || answer == "G" ? 1 : 2;
}

void AskResultFile()
{
    for (;;) {
        Kern::ReadText(Texts::Text(Texts::ResultFilePrompt), Settings::ResultFileName);
        try {
            ResultFiles::CreateResultFile(Settings::ResultFileName);
            return;
        } catch (const std::runtime_error& error) {
            FensterGraf::ShowErrorMessage(error.what());
        }
    }
}

void AskParameters()
{
    using namespace Settings;
    Kern::ReadText(Texts::Text(Texts::PicturePrompt), PictureName);
    if (PictureName.empty())
        throw std::runtime_error(Texts::Text(Texts::NoPictureName));
    IsJpeg = Photograph::IsJpegName(PictureName);
    if (IsJpeg)
        Modul::ReadInteger(Texts::Text(Texts::SizePrompt), SizeText, JpegScale);
    AskTime();
    Kern::ReadText(Texts::Text(Texts::DeclinationPrompt), DeclinationText);
    Declination = AstrRout::ParseAngle(DeclinationText);
    AskPictureCount();
    if (PictureCount == 2 && !ResultFiles::SecondResultFileOpen())
        ResultFiles::CreateSecondResultFile(ResultFiles::SecondFileName(ResultFileName));
    if (PictureCount == 2) {
        Modul::ReadInteger(
            Texts::Text(Texts::TimeDifferencePrompt), TimeDifferenceText, TimeDifference);
    } else {
        double degrees = 0;
        Modul::ReadReal(Texts::Text(Texts::RotationPrompt), RotationText, degrees);
        RotationAngle = Mathe::Radians(degrees);
    }
    Modul::ReadInteger(Texts::Text(Texts::HorizontalPositionPrompt), PictureXText, PictureX);
    Modul::ReadInteger(Texts::Text(Texts::VerticalPositionPrompt), PictureYText, PictureY);
    Modul::ReadInteger(Texts::Text(Texts::StartRadiusPrompt), StartRadiusText, StartRadius);
}

} // namespace Dialogue
