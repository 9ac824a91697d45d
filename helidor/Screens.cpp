// SPDX-License-Identifier: GPL-3.0-or-later
#include "Screens.h"

#include "Adjustment.h"
#include "Assist.h"
#include "FensterGraf.h"
#include "Files.h"
#include "Kern.h"
#include "Kern2.h"
#include "Photograph.h"
#include "Settings.h"
#include "Setup.h"
#include "Texts.h"

#include <array>

namespace Screens {

namespace {

// Readout lines as wide as last drawn, so that a shorter one can clear the rest.
std::array<int, 3> ReadoutWidths {};

// Text at (0, y), left/bottom, clearing what a longer text of the last call left.
void WriteReadoutLine(std::size_t line, int y, const std::string& text)
{
    const int width = Kern::TextWidth(text);
    ClearBand(width, y, ReadoutWidths[line] - width, Kern::TextHeight(text));
    Kern::WriteTextAt(0, y, text, Kern::White);
    ReadoutWidths[line] = width;
}

// The object to fit next, by the circles confirmed so far.
std::string ObjectToFit()
{
    const bool onePicture = Settings::PictureCount == 1;
    switch (Adjustment::ConfirmedCount) {
    case 0:
        return Texts::Text(onePicture ? Texts::SunLabel : Texts::Sun1Label);
    case 1:
        return onePicture ? "Venus" : Texts::Text(Texts::Sun2Label);
    case 2:
        return "Venus 1";
    case 3:
        return "Venus 2";
    default:
        return "";
    }
}

} // namespace

void ShowTitleScreen()
{
    Kern::SetFillStyle(255, Kern::Black, Kern::Black);
    Kern::FillBar(0, 0, Kern::ScreenWidth(), Kern::ScreenHeight());
    Kern::SelectFont("Courier", 16, 1);
    Kern::SetTextJustify(1, 0);
    Kern2::SetFontSize(16);
    const int middle = Kern::ScreenWidth() / 2;
    Kern::WriteTextAt(middle, Kern::CharHeight + 10, Texts::Text(Texts::TitleText), Kern::White);
    Kern::WriteTextAt(
        middle, 2 * Kern::CharHeight + 10, Texts::Text(Texts::SubtitleText), Kern::White);
    Kern::SelectFont("Courier", 12, 1);
    Kern::WriteTextAt(
        middle, 3 * Kern::CharHeight + 30, Texts::Text(Texts::CreditLine), Kern::White);
    Texts::ShowInfoText(3 * Kern::CharHeight + 30);
}

void DrawAdjustmentScreen()
{
    Kern::FillBar(0, 0, Kern::ScreenWidth(), Kern::ScreenHeight());
    ReadoutWidths = {};
    Kern::SetTextJustify(2, 0);
    Setup::PicturePath = PicturePath(Setup::ProgramFolder, Settings::PictureName);
    Kern::WriteTextAt(
        Kern::ScreenWidth(), 2 * Kern::CharHeight, Settings::PictureName, Kern::White);
    Kern::SetTextJustify(0, 0);
    Kern2::SetPenColor(Kern::LightRed);
    // A new measurement before its legend: the legend names the first circle.
    Adjustment::BeginMeasurement(Settings::StartRadius);
    // Looked up before the file is read: a file replaced meanwhile then
    // counts as changed, never the other way round.
    const Files::FileIdentity shown = Files::IdentityOf(Setup::PicturePath);
    Photograph::ShowPhotograph(Setup::PicturePath, Settings::PictureX, Settings::PictureY);
    Assist::ShowingPicture(Setup::PicturePath, Settings::IsJpeg, Photograph::DecodingScale, shown);
    DrawLegend();
    Kern2::DrawArc(Adjustment::CircleX, Adjustment::CircleY, Adjustment::CircleRadius, 0, 360);
    Kern::WriteTextAt(100, 100, Kern::FormatReal(Kern::ScreenWidth(), 4), Kern::White);
}

void DrawLegend()
{
    const bool complete = Adjustment::ConfirmedCount == 2 * Settings::PictureCount;
    const std::string first
        = Texts::Text(complete ? Texts::NewInputHint : Texts::AdjustmentCaption);
    const std::string object = complete ? std::string() : ObjectToFit();
    const std::string last = complete ? std::string() : Texts::Text(Texts::KeyHelp);
    const int bottom = Kern::ScreenHeight();

    // The tallest piece decides the band to clear; the pieces join where the
    // text drawn before them really ends.
    Kern::SelectFont("Courier", 16, 1);
    ClearBand(0, bottom, Kern::ScreenWidth(), Kern::TextHeight(object));
    Kern::SelectFont("Courier", 12, 1);
    Kern::WriteTextAt(0, bottom, first, Kern::White);
    int x = Kern::TextWidth(first);
    Kern::SelectFont("Courier", 16, 1);
    Kern::WriteTextAt(x, bottom, object + " ", Kern::LightRed);
    x += Kern::TextWidth(object);
    Kern::SetTextJustify(0, 0);
    Kern::SelectFont("Courier", 12, 1);
    Kern::WriteTextAt(x, bottom, last, Kern::White);
    Kern::SelectFont("Courier", 10, 1);
}

void ShowCirclePosition()
{
    // In doubles: the circle and the picture may lie anywhere in int range.
    // An assisted circle shows its decimals.
    const Adjustment::Refinement& fit = Adjustment::CircleRefinement;
    const double x = fit.Assisted ? fit.X : static_cast<double>(Adjustment::CircleX);
    const double y = fit.Assisted ? fit.Y : static_cast<double>(Adjustment::CircleY);
    const double r = fit.Assisted ? fit.R : static_cast<double>(Adjustment::CircleRadius);
    const double format = fit.Assisted ? 4.2 : 4;
    const int line = Kern::CharHeight;
    WriteReadoutLine(0, 2 * line, " xM = " + Kern::FormatReal(x - Settings::PictureX, format));
    WriteReadoutLine(1, 3 * line, " yM = " + Kern::FormatReal(y - Settings::PictureY, format));
    WriteReadoutLine(2, 4 * line, "  r = " + Kern::FormatReal(r, format));
}

void ClearBand(int left, int bottom, int width, int height)
{
    if (width <= 0)
        return;
    Kern::SetFillStyle(255, Kern::Black, Kern::Black);
    Kern::FillBar(left, bottom - height, width, height);
}

void Reset()
{
    Paused = false;
    ReadoutWidths = {};
}

void BeginPause()
{
    Paused = true;
}

void EndPause()
{
    Paused = false;
}

std::string PicturePath(const std::string& programFolder, const std::string& pictureName)
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

} // namespace Screens
