// SPDX-License-Identifier: GPL-3.0-or-later
// Plane and space geometry of the two programs. Angles in radians; the
// arithmetic inside each routine is carried in long double.
#pragma once

#include "AstrRout.h"

namespace Mathe {

// Cartesian vector with its length kept beside the components. The routines
// that make a vector fill Length; those that use the components ignore it.
struct SpaceVector {
    double Length = 0;
    double X = 0;
    double Y = 0;
    double Z = 0;
};

// Longitude in the X-Y plane from X toward Y; latitude from that plane toward +Z.
struct SphericalPoint {
    double Radius = 0;
    double Longitude = 0;
    double Latitude = 0;
};

// The one conversion of the programs between degrees and radians: AstrRout's
// constant rounded to double.
inline constexpr double RadiansPerDegree = static_cast<double>(AstrRout::DegreesToRadians);
inline double Degrees(double radians)
{
    return radians / RadiansPerDegree;
}
inline double Radians(double degrees)
{
    return degrees * RadiansPerDegree;
}

// Angle of the point (x, y) from the +x axis, -pi < result <= pi; 0 for the
// origin, +pi on the negative x axis. Note the order: y first.
double PolarAngle(double y, double x);

// Arc cosine for -1 <= x <= 1, 0 <= result <= pi. Outside that range there is
// no value: the result is NaN (callers check the argument first).
double ArcCos(double x);

SpaceVector SphericalToCartesian(const SphericalPoint& point); // Length = Radius
SpaceVector VectorDifference(const SpaceVector& a, const SpaceVector& b); // a - b
double DotProduct(const SpaceVector& a, const SpaceVector& b);

} // namespace Mathe
