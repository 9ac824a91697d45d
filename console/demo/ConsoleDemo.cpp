// SPDX-License-Identifier: GPL-3.0-or-later
// Opens the console, asks one question, draws every primitive and saves the
// screen as ConsoleDemo.bmp in the working folder. Esc ends it; any other key
// is shown at the text cursor.
#include "FensterGraf.h"
#include "Kern.h"
#include "Kern2.h"
#include "Modul.h"

#include <cstdio>
#include <string>

namespace {

bool SetupRunning = false;

void DrawJustifiedTexts(int x, int y)
{
    Kern::SetTextBackground(Kern::LightGray);
    for (int h = 0; h <= 2; ++h) {
        for (int v = 0; v <= 2; ++v) {
            const int px = x + h * 160;
            const int py = y + v * 40;
            Kern::DrawLine(px - 3, py, px + 4, py, Kern::LightRed);
            Kern::DrawLine(px, py - 3, px, py + 4, Kern::LightRed);
            Kern::SetTextJustify(h, v);
            char label[8];
            std::snprintf(label, sizeof label, "H%dV%d", h, v);
            Kern::WriteTextAt(px, py, label, Kern::Blue);
        }
    }
    Kern::SetTextJustify(0, 0);
    Kern::SetTextBackground(Kern::White);
}

void DrawEverything(double radius)
{
    const int r = static_cast<int>(radius);
    Kern::SetFillStyle(255, Kern::Yellow, Kern::Black);
    Kern::FillBar(40, 60, 200, 100);
    Kern::SetFillStyle(120, Kern::LightBlue, Kern::LightBlue);
    Kern::FillBar(260, 60, 200, 100);
    for (int c = 0; c < 16; ++c) {
        Kern::SetFillStyle(255, c, Kern::Black);
        Kern::FillBar(40 + c * 30, 180, 30, 30);
    }
    for (int i = 0; i < 8; ++i)
        Kern::DrawLine(700, 150, 700 + (i % 3 - 1) * 100, 150 + (i / 3 - 1) * 100, Kern::Red);
    Kern2::SetPenColor(Kern::Green);
    Kern2::DrawArc(1000, 200, r, 0, 360);
    Kern2::SetPenColor(Kern::LightRed);
    Kern2::DrawArc(1000, 200, r + 10, 0, 90);
    Kern2::SetPenColor(Kern::Magenta);
    Kern2::DrawArc(1000, 200, r + 20, 90, 0);
    Kern::SetFillStyle(255, Kern::LightRed, Kern::Black);
    Kern2::DrawEllipse(1000, 200, 3, 3);
    Kern2::DrawEllipse(1250, 200, 60, 30);
    DrawJustifiedTexts(80, 320);
    Kern::WriteLine("Radius " + Kern::FormatReal(radius, 3.1) + " - Esc ends the demo.");
    Kern2::SaveScreenRect(
        "ConsoleDemo.bmp", 0, 0, ((Kern::ScreenWidth() + 1) / 32) * 32 - 1, Kern::ScreenHeight());
    Kern::WriteLine("Saved as ConsoleDemo.bmp.");
}

void SetUpDemo()
{
    if (!FensterGraf::WindowIsActive())
        return;
    SetupRunning = true;
    Kern::LoadStandardPalette();
    Kern::ClearScreen();
    Kern::WriteLine("Window console demonstration, font " + Kern::InstalledFamily("Courier"));
    std::string text = "80";
    double radius = 0;
    Modul::ReadReal("Radius of the circle in pixels", text, radius);
    DrawEverything(radius);
    FensterGraf::SetupDone = true;
    SetupRunning = false;
}

void HandleTick()
{
    if (SetupRunning)
        return;
    if (!FensterGraf::SetupDone) {
        SetUpDemo();
        return;
    }
    while (Kern::KeyAvailable()) {
        const int code = Kern::ReadKeyCode();
        if (code == 27)
            FensterGraf::EndProgram();
        Kern::WriteText(std::to_string(code) + " ");
    }
}

} // namespace

int main(int argc, char** argv)
{
    FensterGraf::RunConsole(argc, argv, &SetUpDemo, &HandleTick);
}
