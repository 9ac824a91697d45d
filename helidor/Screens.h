// SPDX-License-Identifier: GPL-3.0-or-later
// Helidor's fixed screens and the pieces the adjustment redraws: the title
// screen, the adjustment screen, the legend along the bottom edge, the
// position readout at the top left, and the pause.
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

// The picture at (PictureX, PictureY) loaded and drawn, its name at the top
// right, the legend, the start circle (at Circles entry 1, radius
// StartRadius) in LightRed and the window width at (100, 100). Starts a
// measurement: nothing confirmed yet. Throws when the picture cannot be
// loaded; the screen then shows no adjustment.
void DrawAdjustmentScreen();

// The instruction line at the bottom edge: what to fit next, or the hint for
// new input once every circle is confirmed. Expects left/bottom
// justification; leaves Courier 10 bold, left/bottom.
void DrawLegend();

// xM, yM (the circle's centre relative to the picture's corner) and r, at the
// top left, in the font in force.
void ShowCirclePosition();

void BeginPause();
void EndPause();

// Where the picture is looked for: an absolute name as it stands; a relative
// one in the program's folder, else in the working folder, else in the data
// folder "../share/helidor/" beside the program's folder. A picture found
// nowhere gets the program's folder, where its error is reported.
std::string PicturePath(const std::string& programFolder, const std::string& pictureName);

} // namespace Screens
