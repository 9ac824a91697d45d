// SPDX-License-Identifier: GPL-3.0-or-later
#include "Screens.h"

#include "Adjustment.h"
#include "Assist.h"
#include "Kern.h"
#include "Kern2.h"
#include "Photograph.h"
#include "Settings.h"
#include "Texts.h"

#include <array>
#include <cmath>

namespace Screens {

namespace {

// Readout lines as wide as last drawn, so that a shorter one can clear the rest.
std::array<int, 3> ReadoutWidths {};
bool MessageShown = false; // the line above the legend holds a text

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

// The message line's band: just above the legend, as high as a 12-point line.
int MessageBottom()
{
    Kern::SelectFont("Courier", 16, 1);
    const int legendHeight = Kern::TextHeight("");
    Kern::SelectFont("Courier", 12, 1);
    return Kern::ScreenHeight() - legendHeight;
}

void ClearMessageLine(int bottom)
{
    ClearBand(0, bottom, Kern::ScreenWidth(), Kern::TextHeight(""));
}

void DrawPoint(const FitTypes::Point& p, int colour)
{
    const double x = std::nearbyint(p.X), y = std::nearbyint(p.Y);
    if (std::abs(x) > 1e9 || std::abs(y) > 1e9)
        return;
    // A line leaves out its end pixel: one to the right sets exactly (x, y).
    Kern::DrawLine(static_cast<int>(x), static_cast<int>(y), static_cast<int>(x) + 1,
        static_cast<int>(y), colour);
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

void DrawAdjustmentScreen(const std::string& picturePath)
{
    Kern::FillBar(0, 0, Kern::ScreenWidth(), Kern::ScreenHeight());
    ReadoutWidths = {};
    Kern::SetTextJustify(2, 0);
    Kern::WriteTextAt(
        Kern::ScreenWidth(), 2 * Kern::CharHeight, Settings::PictureName, Kern::White);
    Kern::SetTextJustify(0, 0);
    Kern2::SetPenColor(Kern::LightRed);
    // A new measurement before its legend: the legend names the first circle.
    Adjustment::BeginMeasurement(Settings::StartRadius);
    Photograph::ShowPhotograph(picturePath, Settings::PictureX, Settings::PictureY);
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

void DrawFitPoints()
{
    const Assist::EdgePoints& points = Assist::LastFitPoints();
    for (const FitTypes::Point& p : points.Rejected)
        DrawPoint(p, Kern::Yellow);
    for (const FitTypes::Point& p : points.Used)
        DrawPoint(p, Kern::LightGreen);
}

void ShowMessage(const std::string& text)
{
    const int bottom = MessageBottom();
    ClearMessageLine(bottom);
    Kern::SetTextJustify(0, 0);
    Kern::WriteTextAt(0, bottom, text, Kern::White);
    MessageShown = true;
    Kern::SelectFont("Courier", 10, 1); // as the legend leaves it
}

void ClearMessage()
{
    if (!MessageShown)
        return;
    ClearMessageLine(MessageBottom());
    MessageShown = false;
    Kern::SelectFont("Courier", 10, 1);
}

void Reset()
{
    Paused = false;
    ReadoutWidths = {};
    MessageShown = false;
}

void BeginPause()
{
    Paused = true;
}

void EndPause()
{
    Paused = false;
}

} // namespace Screens
