// SPDX-License-Identifier: GPL-3.0-or-later
// The assisted circle fit on the screen: the full-resolution grey plane of
// the picture shown, the mapping between its pixels and the screen's, the
// call of the fit, the edge points it saw and the line that says why it
// refused. Circles here are screen (canvas) pixels in doubles.
#pragma once

#include "Files.h"
#include "FitTypes.h"

#include <array>
#include <optional>
#include <string>

namespace Assist {

using Circle = FitTypes::Circle;

struct Result {
    bool Taken = false; // fitted: the circle is to be replaced by Fitted
    Circle Fitted; // screen pixels
    std::array<double, 9> Covariance {}; // of (x, y, r), screen px^2, row-major
    // A refusal or a warning in the current language; empty for a clean fit.
    std::string Message;
};

// The picture now on the screen (its path, kind, JPEG decoding scale and the
// identity of its file as it was read). Another picture than the last frees
// the grey plane; the plane of this one is built at its first fit, which is
// refused when the file is no longer the one shown.
void ShowingPicture(
    const std::string& path, bool isJpeg, int scale, const Files::FileIdentity& identity);

// A full-resolution pixel centre u to the screen's x (or y) and back, for a
// picture shown at 1/scale with its corner at origin.
double ToScreen(double u, int scale, int origin);
double ToPlane(double x, int scale, int origin);

// Snaps seed to the nearest solar limb (not to avoid's, the other exposure's
// when given), or to the edge of a planet on the Sun whose circle is sun.
// Builds the plane first when needed (a plane that cannot be built is a
// refusal). Keeps the edge points for DrawFitPoints.
Result FitSun(const Circle& seed, const std::optional<Circle>& avoid = {});
Result FitPlanet(const Circle& seed, const Circle& sun);

// The edge points of the last fit taken: used in LightGreen, rejected in
// Yellow, one pixel each at their nearest screen pixel.
void DrawFitPoints();

// The line above the legend: cleared, then text in White on black.
void ShowMessage(const std::string& text);
// Clears the line when it shows something.
void ClearMessage();

// Frees the plane and forgets the picture. For tests and a new run.
void Reset();

// The plane's size, 0 x 0 when none is built. For tests.
int PlaneWidth();
int PlaneHeight();

} // namespace Assist
