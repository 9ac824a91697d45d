// SPDX-License-Identifier: GPL-3.0-or-later
#include "Mathe.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace Mathe {

double PolarAngle(double y, double x)
{
    if (x == 0 && y == 0)
        return 0;
    const long double ax = std::fabs(static_cast<long double>(x));
    const long double ay = std::fabs(static_cast<long double>(y));
    long double h
        = ax > ay ? std::atan(ay / ax) : std::numbers::pi_v<long double> / 2 - std::atan(ax / ay);
    if (x < 0)
        h = std::numbers::pi_v<long double> - h;
    if (y < 0)
        h = -h;
    return static_cast<double>(h);
}

double ArcCos(double x)
{
    if (x == 0)
        return 1.5707963267948966;
    if (!(x >= -1 && x <= 1))
        return std::numeric_limits<double>::quiet_NaN();
    const long double lx = x;
    const long double h = std::atan(std::sqrt(1 / (lx * lx) - 1));
    return static_cast<double>(x > 0 ? h : std::numbers::pi_v<long double> - h);
}

SpaceVector SphericalToCartesian(const SphericalPoint& point)
{
    const long double k = point.Radius * std::cos(static_cast<long double>(point.Latitude));
    SpaceVector v;
    v.X = static_cast<double>(k * std::cos(static_cast<long double>(point.Longitude)));
    v.Y = static_cast<double>(k * std::sin(static_cast<long double>(point.Longitude)));
    v.Z = static_cast<double>(point.Radius * std::sin(static_cast<long double>(point.Latitude)));
    v.Length = point.Radius;
    return v;
}

SpaceVector VectorDifference(const SpaceVector& a, const SpaceVector& b)
{
    SpaceVector d;
    d.X = a.X - b.X;
    d.Y = a.Y - b.Y;
    d.Z = a.Z - b.Z;
    const long double x = d.X, y = d.Y, z = d.Z;
    d.Length = static_cast<double>(std::sqrt(x * x + y * y + z * z));
    return d;
}

double DotProduct(const SpaceVector& a, const SpaceVector& b)
{
    const long double sum = static_cast<long double>(a.X) * b.X
        + static_cast<long double>(a.Y) * b.Y + static_cast<long double>(a.Z) * b.Z;
    return static_cast<double>(sum);
}

} // namespace Mathe
