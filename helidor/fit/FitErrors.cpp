// SPDX-License-Identifier: GPL-3.0-or-later
#include "FitErrors.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace FitErrors {

namespace {

// a' M b for 2-vectors and the x, y block of a covariance.
double CentreForm(const Covariance& m, double ax, double ay, double bx, double by)
{
    return ax * (m[0] * bx + m[1] * by) + ay * (m[3] * bx + m[4] * by);
}

Covariance Sum(const Covariance& a, const Covariance& b)
{
    Covariance sum {};
    for (int i = 0; i < 9; ++i)
        sum[static_cast<std::size_t>(i)]
            = a[static_cast<std::size_t>(i)] + b[static_cast<std::size_t>(i)];
    return sum;
}

} // namespace

Covariance KeyFittedCovariance()
{
    const double v = KeyFittedSigma * KeyFittedSigma;
    return { v, 0, 0, 0, v, 0, 0, 0, v };
}

Covariance WithCentreFloor(const Covariance& covariance, double floor)
{
    Covariance floored = covariance;
    floored[0] += floor * floor;
    floored[4] += floor * floor;
    return floored;
}

PositionErrors RhoAndAngle(const Circle& sun, const Covariance& sunCovariance, const Circle& planet,
    const Covariance& planetCovariance)
{
    // Upwards y: the screen's y turned round, and with it the x-y covariance.
    const double dx = planet.X - sun.X, dy = sun.Y - planet.Y;
    const double d = std::hypot(dx, dy);
    assert(d > 0 && sun.R > 0 && "the planet's centre is away from the Sun's");
    Covariance c = Sum(sunCovariance, planetCovariance);
    c[1] = -c[1];
    c[3] = -c[3];
    const double ux = dx / d, uy = dy / d;
    const double vx = -uy, vy = ux;
    const double rho = d / sun.R;
    PositionErrors errors;
    const double radial = CentreForm(c, ux, uy, ux, uy);
    errors.SigmaRho
        = std::sqrt(radial / (sun.R * sun.R) + (rho / sun.R) * (rho / sun.R) * sunCovariance[8]);
    errors.SigmaAngle = std::sqrt(CentreForm(c, vx, vy, vx, vy)) / d;
    errors.RhoAngleCovariance = CentreForm(c, ux, uy, vx, vy) / (sun.R * d);
    return errors;
}

double DriftDirectionSigma(const Circle& sun1, const Covariance& covariance1, const Circle& sun2,
    const Covariance& covariance2)
{
    const double dx = sun2.X - sun1.X, dy = sun2.Y - sun1.Y;
    const double d = std::hypot(dx, dy);
    assert(d > 0 && "the Sun moved between the pictures");
    // The perpendicular's form does not depend on the y direction's sign.
    const Covariance c = Sum(covariance1, covariance2);
    return std::sqrt(CentreForm(c, -dy / d, dx / d, -dy / d, dx / d)) / d;
}

CartesianErrors XAndY(double rho, double theta, const PositionErrors& errors, double referenceSigma)
{
    const double cosine = std::cos(theta), sine = std::sin(theta);
    const double varRho = errors.SigmaRho * errors.SigmaRho;
    const double varTheta = errors.SigmaAngle * errors.SigmaAngle + referenceSigma * referenceSigma;
    const double cov = errors.RhoAngleCovariance;
    CartesianErrors out;
    // x' = rho cos: d/drho = cos, d/dtheta = -rho sin; y' = rho sin: sin, rho cos.
    out.SigmaX = std::sqrt(std::max(0.0,
        cosine * cosine * varRho + rho * rho * sine * sine * varTheta
            - 2 * rho * sine * cosine * cov));
    out.SigmaY = std::sqrt(std::max(0.0,
        sine * sine * varRho + rho * rho * cosine * cosine * varTheta
            + 2 * rho * sine * cosine * cov));
    return out;
}

} // namespace FitErrors
