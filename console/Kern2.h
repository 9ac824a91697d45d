// SPDX-License-Identifier: GPL-3.0-or-later
// Font size, pen colour, arcs, ellipses and saving the screen. Canvas pixels,
// colour numbers as in Kern.h.
#pragma once

#include <string>

namespace Kern2 {

// Keeps the font name and weight; re-measures CharWidth and CharHeight.
void SetFontSize(int pointSize);
void SetPenColor(int c);

// The part of the circle of radius r around (x, y) that runs counter-clockwise
// (0 degrees right, 90 up) from the ray at startDegrees to the ray at
// endDegrees, in the pen colour. The rays are taken through points 100 pixels
// out, rounded; when both coincide the whole circle is drawn. Full circles are
// symmetric about (x, y) and reach x - r .. x + r. Any centre and radius: only
// the outline on the canvas costs time; a negative radius draws nothing.
void DrawArc(int x, int y, int r, double startDegrees, double endDegrees);

// Ellipse around (x, y) reaching x - rx .. x + rx, y - ry .. y + ry, filled
// with the brush colour, outlined in Palette[FillBorder]. The pen colour is kept.
// Any centre and radii: only the part on the canvas costs time; a negative
// radius draws nothing.
void DrawEllipse(int x, int y, int rx, int ry);

// Writes the canvas area with the corners (x1, y1) and (x2, y2) (column x2
// and row y2 excluded) stretched to (x2 - x1 + 1) x (y2 - y1 + 1) pixels as an
// uncompressed BMP: 24-bit colour, or 1-bit thresholded black and white when
// Kern::ColorMode is false. Replaces the file whole through a new file in the
// same folder, or leaves the old one as it was: throws std::runtime_error
// when it cannot be written, a std::system_error with errno when the disk
// refused it.
void SaveScreenRect(const std::string& name, int x1, int y1, int x2, int y2);

} // namespace Kern2
