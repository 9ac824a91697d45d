// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces of the fit's covariance, on points and covariances worked by
// hand: the circle's response to a shift of its points, the error ellipse's
// larger axis, and the shift a planet's shading correction gives the circle.
#include "CircleFit.h"
#include "PlanetChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

// 36 points on the circle, 10 degrees apart, all of full weight.
CircleFit::LeastSquares PointsOnCircle(
    const FitTypes::Circle& circle, std::vector<FitTypes::Point>& points)
{
    CircleFit::LeastSquares ls;
    ls.Ok = true;
    ls.Fitted = circle;
    for (int k = 0; k < 36; ++k) {
        const double angle = k * Pi / 18;
        points.push_back(
            { circle.X + circle.R * std::cos(angle), circle.Y + circle.R * std::sin(angle) });
        ls.Weights.push_back(1);
    }
    return ls;
}

TEST(CircleFitResponse, ACosineChangeMovesTheCentreAConstantOneTheRadius)
{
    // Points 0.2 cos(angle) px farther out: the circle moves 0.2 px in +x;
    // 0.1 px farther out everywhere: the radius grows by 0.1 px.
    std::vector<FitTypes::Point> points;
    CircleFit::LeastSquares ls = PointsOnCircle({ 3, 4, 10 }, points);
    std::vector<double> change;
    for (int k = 0; k < 36; ++k)
        change.push_back(0.2 * std::cos(k * Pi / 18) + 0.1);
    // A point the fit gave no weight moves far and must not count.
    ls.Weights[9] = 0;
    change[9] = 50;
    const CircleFit::Shift shift = CircleFit::Response(points, ls, change);
    EXPECT_NEAR(shift[0], 0.2, 1e-12);
    EXPECT_NEAR(shift[1], 0, 1e-12);
    EXPECT_NEAR(shift[2], 0.1, 1e-12);

    std::array<double, 9> covariance {};
    CircleFit::AddOuterProduct(covariance, { 0.2, 0, 0.1 }, 0.5);
    EXPECT_NEAR(covariance[0], 0.01, 1e-15); // (0.5 0.2)^2
    EXPECT_NEAR(covariance[2], 0.005, 1e-15); // 0.5 0.2 x 0.5 0.1
    EXPECT_NEAR(covariance[8], 0.0025, 1e-15);
    EXPECT_EQ(covariance[4], 0);
}

TEST(CircleFitCentreSigma, TheLargerAxisOfTheErrorEllipse)
{
    // Variances 0.0009 and 0.0016, covariance 0.0012: eigenvalues 0.00125
    // +- sqrt(0.00035^2 + 0.0012^2) = 0.00125 +- 0.00125, the larger 0.0025.
    EXPECT_NEAR(
        CircleFit::CentreSigma({ 0.0009, 0.0012, 0, 0.0012, 0.0016, 0, 0, 0, 1 }), 0.05, 1e-12);
    EXPECT_NEAR(CircleFit::CentreSigma({ 0.0004, 0, 0, 0, 0.0001, 0, 0, 0, 0 }), 0.02, 1e-12);
}

TEST(PlanetChecksShading, TheCorrectionShiftsTheCircleAgainstTheGradient)
{
    // Shading 100 + 2 (x / 10) about the planet's centre, shift factor 5
    // px^2: the relative slope 0.2 / 100 per px pulls each point back by
    // 5 x 0.002 = 0.01 cos(angle) px, the circle by -0.01 px in x. The level
    // varies by 1 % over the planet: the rest lands in the radius.
    std::vector<FitTypes::Point> points;
    const CircleFit::LeastSquares ls = PointsOnCircle({ 0, 0, 5 }, points);
    PlanetChecks::Shading shading;
    shading.Ok = true;
    shading.Scale = 10;
    shading.C = { 100, 2, 0 };
    shading.ShiftFactor = 5;
    const CircleFit::Shift shift = PlanetChecks::ShadingCorrectionShift(shading, points, ls);
    EXPECT_NEAR(shift[0], -0.01, 1e-5);
    EXPECT_NEAR(shift[1], 0, 1e-9);
    EXPECT_NEAR(shift[2], 0, 1e-4);
    shading.Ok = false;
    EXPECT_EQ(PlanetChecks::ShadingCorrectionShift(shading, points, ls)[0], 0);
}

} // namespace
