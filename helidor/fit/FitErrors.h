// SPDX-License-Identifier: GPL-3.0-or-later
// Error bars of an evaluation from the covariances of its circles: rho', the
// position angle, x' and y', and the direction of the Sun's drift between two
// pictures. First-order propagation; the circles are taken as independent.
//
// Circles are in screen pixels (y down); the angles are those of the
// evaluation, counter-clockwise with y counted upwards. A covariance is that
// of (x, y, r) in px^2, row-major.
#pragma once

#include "FitTypes.h"

namespace FitErrors {

using FitTypes::Circle;
using FitTypes::Covariance;

// Floors added in quadrature to each centre coordinate, px: what the fit
// cannot know of (the optics' distortion, the limb's own shape).
inline constexpr double SunCentreFloor = 0.02;
inline constexpr double PlanetCentreFloor = 0.05;
// A circle set by keys is known to half a pixel in x, y and r.
inline constexpr double KeyFittedSigma = 0.5;

// The covariance of a circle set by keys: 0.5^2 on the diagonal.
Covariance KeyFittedCovariance();
// The covariance with floor^2 added to the variances of x and y.
Covariance WithCentreFloor(const Covariance& covariance, double floor);

struct PositionErrors {
    double SigmaRho = 0; // solar radii
    double SigmaAngle = 0; // radians
    double RhoAngleCovariance = 0; // solar radii x radians
};

// With D = |P - S|, u = (P - S) / D and v perpendicular to u:
// sigma^2(rho') = u'(C_P + C_S)u / R^2 + (rho' / R)^2 sigma_R^2 and
// sigma(PA) = sqrt(v'(C_P + C_S)v) / D. The covariances are used as given
// (floors added by the caller). D must not be 0.
PositionErrors RhoAndAngle(const Circle& sun, const Covariance& sunCovariance, const Circle& planet,
    const Covariance& planetCovariance);

// Radians: the uncertainty of the direction from the first Sun centre to the
// second, sqrt(v'(C_1 + C_2)v) / |S_2 - S_1|. The centres must differ.
double DriftDirectionSigma(const Circle& sun1, const Covariance& covariance1, const Circle& sun2,
    const Covariance& covariance2);

struct CartesianErrors {
    double SigmaX = 0; // solar radii
    double SigmaY = 0;
};

// sigma of x' = rho' cos(theta), y' = rho' sin(theta), theta in radians from
// the reference direction, whose own uncertainty (radians) adds to the angle's.
CartesianErrors XAndY(
    double rho, double theta, const PositionErrors& errors, double referenceSigma = 0);

} // namespace FitErrors
