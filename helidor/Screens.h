// SPDX-License-Identifier: GPL-3.0-or-later
// Helidor's fixed screens and the pieces the adjustment redraws: the title
// screen, the adjustment screen, the legend along the bottom edge, the
// position readout at the top left, the assisted fit's points and message
// line, and the pause.
#pragma once

#include <string>

namespace Screens {

inline bool Paused = false; // between "p" and the next key

// Paints the band of a text line black (bottom edge at bottom), so that a
// line is drawn anew and not over the remains of a longer one. Leaves a black
// fill style, which is what the screens that fill next set anyway.
void ClearBand(int left, int bottom, int width, int height);

// Start state of the screens. For tests.
void Reset();

// Black screen, the three title lines of the current language and the info
// text below them. Leaves Courier 12 bold.
void ShowTitleScreen();

// The picture at picturePath loaded and drawn at (PictureX, PictureY),
// its name at the top right, the legend, the start circle (at Circles entry 1, radius
// StartRadius) in LightRed and the window width at (100, 100). Starts a
// measurement: nothing confirmed yet. Throws when the picture cannot be
// loaded; the screen then shows no adjustment.
void DrawAdjustmentScreen(const std::string& picturePath);

// The instruction line at the bottom edge: what to fit next, or the hint for
// new input once every circle is confirmed. Expects left/bottom
// justification; leaves Courier 10 bold, left/bottom.
void DrawLegend();

// xM, yM (the circle's centre relative to the picture's corner) and r, at the
// top left, in the font in force.
void ShowCirclePosition();

// The edge points of the assisted fit last taken: used in LightGreen,
// rejected in Yellow, one pixel each at their nearest screen pixel.
void DrawFitPoints();

// The line above the legend: cleared, then text in White on black.
void ShowMessage(const std::string& text);
// Clears the line when it shows something.
void ClearMessage();

void BeginPause();
void EndPause();

} // namespace Screens
