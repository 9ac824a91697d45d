// SPDX-License-Identifier: GPL-3.0-or-later
// The planet's checks: where the darkest dot near a seed lies, how much of
// its circle is clear of the Sun's limb, the photosphere's shading around it
// and the shift it gives the edge, the sky's level, and whether a dark dot
// is a sunspot rather than a planet.
#pragma once

#include "CircleFit.h"
#include "FitTypes.h"

#include <array>
#include <vector>

namespace PlanetChecks {

using FitTypes::Circle;
using FitTypes::GreyView;
using FitTypes::Point;

inline constexpr double LimbMargin = 10.0; // px: planet points this close to the limb are dropped

// The photosphere's brightness around a planet, a plane in x and y (a ring
// cannot tell a curvature from a constant), and
// how far a planet's edge seen on it moves towards the brighter side.
struct Shading {
    bool Ok = false;
    double X0 = 0, Y0 = 0, Scale = 1;
    std::array<double, 3> C {}; // 1, u, v of u = (x - X0) / Scale
    double ShiftFactor = 0; // 2 s^2: px^2, s the blur and the smoothing together
};

// The centre within 25 px of the seed where a core of the seed's size is
// darkest against the ring around it; saturated, the clipped share of the ring.
bool FindDarkestSpot(const GreyView& grey, const Circle& seed, Point& centre, double& saturated);
// The share of the planet's circle lying more than LimbMargin inside the Sun's limb.
double UsableArcFraction(const Circle& planet, const Circle& sun);
// The shading in a ring outside a planet, sigma the edge's blur, px.
Shading FitShading(const GreyView& grey, const Circle& planet, double sigma, const Circle& sun);
// The edge point moved back by the shading's pull along the circle's normal.
Point CorrectForShading(const Shading& shading, const Circle& circle, const Point& p);
double ShadingLevel(const Shading& shading, double x, double y);
// How far the shading correction moved the fitted circle.
CircleFit::Shift ShadingCorrectionShift(
    const Shading& shading, const std::vector<Point>& points, const CircleFit::LeastSquares& ls);
// A dark dot with a penumbra, or a core lighter than the blur allows;
// edgeWidth and slopeSigma (px) are read off its radial profile.
bool LooksLikeSunspot(const GreyView& grey, const Circle& planet, const Circle& sun,
    const Shading& shading, double limbSigma, double& edgeWidth, double& slopeSigma);
// The median sample in a ring 15 to 25 px outside the Sun's limb.
double SkyLevel(const GreyView& grey, const Circle& sun);

} // namespace PlanetChecks
