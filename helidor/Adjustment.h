// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement proper: the tick routine that fits light-red circles to the
// Sun's and the planet's images with the cursor and page keys, confirms them
// with Return, draws the construction and starts the evaluation.
// Positions and radii are canvas pixels.
#pragma once

#include "FitTypes.h"

#include <array>

namespace Adjustment {

struct Circle {
    int X = 0, Y = 0, Radius = 0;
    friend bool operator==(const Circle&, const Circle&) = default;
};

// The movable circle; no bounds, the radius may become zero or negative.
inline int CircleX = 0;
inline int CircleY = 0;
inline int CircleRadius = 0;

// Confirmed circles in the order of confirmation: one picture Sun, planet;
// two pictures Sun 1, Sun 2, Venus 1, Venus 2. Circles[0] is unused, so that
// the numbering is that of the screens (entry 1 is the first circle). They
// outlive a measurement: the next one starts from them.
inline std::array<Circle, 5> Circles {};

// The precise circle of an assisted fit, canvas pixels in doubles, beside
// the whole-pixel circle that is drawn. Not Assisted: the circle was set by
// keys and the ints are all there is.
struct Refinement {
    bool Assisted = false;
    double X = 0, Y = 0, R = 0;
    std::array<double, 9> Covariance {}; // of (x, y, r), px^2, row-major
};
// A circle in doubles: the fit's when it was assisted, else its whole pixels.
FitTypes::Circle Precise(const Circle& circle, const Refinement& fit);

// Of the movable circle; dropped by any key that moves it.
inline Refinement CircleRefinement;
// Of the confirmed circles, numbered as Circles.
inline std::array<Refinement, 5> Refinements {};

struct Shift {
    int DX = 0, DY = 0;
};
inline Shift SunShift; // Sun 1 to Sun 2 of the last two-picture measurement

inline int ConfirmedCount = 0; // circles confirmed in this measurement
inline bool AdjustmentDone = false; // evaluated: the circle keys are ignored
inline int ResultColumnY = 100; // y of the next value block in the right-hand column

// Key codes that act (KeyBuffer codes of the console).
inline constexpr int KeyLeft = 13, KeyRight = 14, KeyUp = 15, KeyDown = 16, KeyPageUp = 19,
                     KeyPageDown = 20, KeyReturn = 23, KeyEsc = 27, KeyPause = 'p', KeySave = 's',
                     KeyAssist = 'a', KeyFind = 'f';

// The start radius of a planet circle after a Sun circle of radius sunRadius.
int PlanetStartRadius(int sunRadius);

// The first circles of a run: entry 1 at (250, 500), no planet circles yet.
void BeginRun();

// A new measurement: the movable circle at entry 1 with radius startRadius,
// nothing confirmed, the value column at its top.
void BeginMeasurement(int startRadius);

// The program's event routine, called on every tick: runs the setup while it
// is not done, then acts on at most one key code.
void HandleTick();

// Everything above as at the program's start. For tests.
void Reset();

} // namespace Adjustment
