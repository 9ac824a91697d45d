// SPDX-License-Identifier: GPL-3.0-or-later
// The assisted circle fit on the screen: the full-resolution grey plane of
// the picture shown, the mapping between its pixels and the screen's, the
// call of the fit, the edge points it saw and the text that says why it
// refused. Circles here are screen (canvas) pixels in doubles. Draws nothing.
#pragma once

#include "FitTypes.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace Assist {

using Circle = FitTypes::Circle;

struct Result {
    bool Taken = false; // fitted: the circle is to be replaced by Fitted
    Circle Fitted; // screen pixels
    std::array<double, 9> Covariance {}; // of (x, y, r), screen px^2, row-major
    // A refusal or a warning in the current language; empty for a clean fit.
    std::string Message;
};

// A full-resolution pixel centre u to the screen's x (or y) and back, for a
// picture shown at 1/scale with its corner at origin.
double ToScreen(double u, int scale, int origin);
double ToPlane(double x, int scale, int origin);

// Snaps seed to the nearest solar limb (not to avoid's, the other exposure's
// when given), or to the edge of a planet on the Sun whose circle is sun, on
// the picture Photograph shows. Builds its plane first when needed, freeing
// that of another picture (a plane that cannot be built, or a file no longer
// the one shown, is a refusal). Keeps the edge points.
Result FitSun(const Circle& seed, const std::optional<Circle>& avoid = {});
Result FitPlanet(const Circle& seed, const Circle& sun);

// The same for an object found anywhere on the picture ("f"): Sun 1 the disc
// nearest to circle, Sun 2 (first given, Sun 1) the other disc, a planet the
// one on sun nearest to circle (otherSun: the other exposure's disc).
Result FindSun(const Circle& circle, const std::optional<Circle>& first = {});
Result FindPlanet(
    const Circle& circle, const Circle& sun, const std::optional<Circle>& otherSun = {});

// The edge points the last fit saw, in screen pixels; empty after a refusal.
struct EdgePoints {
    std::vector<FitTypes::Point> Used, Rejected;
};
const EdgePoints& LastFitPoints();

// Frees the plane and forgets the picture. For tests and a new run.
void Reset();

// The plane's size, 0 x 0 when none is built. For tests.
int PlaneWidth();
int PlaneHeight();

} // namespace Assist
