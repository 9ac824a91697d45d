// SPDX-License-Identifier: GPL-3.0-or-later
// The assisted fit's covariance: the factor for neighbouring rays that share
// their errors on residuals chosen by hand, each piece of a fit's covariance
// on generated scenes without noise, where the Tukey scale sits at its floor
// and the pieces can be worked out from the points the fit used, and the
// spread of error / sigma on a fixed set of noisy scenes.
#include "CircleFit.h"
#include "GreyPlane.h"
#include "LimbFit.h"
#include "LimbScenes.h"
#include "RenderedScenes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

using FitTypes::Circle;
using FitTypes::Outcome;
using FitTypes::Point;
using Matrix = std::array<double, 9>;

constexpr double Pi = std::numbers::pi;

// [SECTION] The correlation factor on residuals chosen by hand

// Points around circle, evenly spaced, each residuals[i] px off it, all of
// full weight; the fit is the circle itself.
CircleFit::LeastSquares OnCircle(
    const Circle& circle, const std::vector<double>& residuals, std::vector<Point>& points)
{
    CircleFit::LeastSquares ls;
    ls.Ok = true;
    ls.Fitted = circle;
    const auto n = static_cast<double>(residuals.size());
    for (std::size_t i = 0; i < residuals.size(); ++i) {
        const double angle = 2 * Pi * static_cast<double>(i) / n;
        const double d = circle.R + residuals[i];
        points.push_back({ circle.X + d * std::cos(angle), circle.Y + d * std::sin(angle) });
        ls.Weights.push_back(1);
    }
    return ls;
}

double Inflation(const std::vector<double>& residuals)
{
    std::vector<Point> points;
    const CircleFit::LeastSquares ls = OnCircle({ 50, 40, 30 }, residuals, points);
    return CircleFit::CorrelationInflation(points, ls);
}

// Blocks of length px of +0.1 and -0.1 in turn, n in all.
std::vector<double> SquareWave(std::size_t n, std::size_t length)
{
    std::vector<double> residuals;
    for (std::size_t i = 0; i < n; ++i)
        residuals.push_back(i / length % 2 == 0 ? 0.1 : -0.1);
    return residuals;
}

TEST(CovarianceCorrelation, ResidualsAllAlikeCountEveryLagUpToAQuarterOrSixtyFour)
{
    // Every lag correlates fully (1, the sum taken round the circle): the
    // factor is 1 + 2 (L - 1), L the lags' limit. 20 points: L = 5, 9.
    // 23 points: L = 23 / 4 = 5 still. 400 points: L = 64 (not 100), 127.
    EXPECT_NEAR(Inflation(std::vector<double>(20, 0.1)), 9, 1e-9);
    EXPECT_NEAR(Inflation(std::vector<double>(23, -0.1)), 9, 1e-9);
    EXPECT_NEAR(Inflation(std::vector<double>(400, 0.1)), 127, 1e-9);
}

TEST(CovarianceCorrelation, TheSumStopsAtTheFirstLagThatIsNotPositive)
{
    // +++--- repeated, 48 points: the autocorrelation at lags 1, 2, 3, ... is
    // 1/3, -1/3, -1, -1/3, 1/3, 1, ...: only lag 1 counts, 1 + 2/3. Summed
    // over all 11 lags it would be 1 + 2 (-1) (below 1); over the positive
    // ones alone 1 + 2 (7/3).
    EXPECT_NEAR(Inflation(SquareWave(48, 3)), 5.0 / 3, 1e-9);
    // ++++----: lag 1 gives 1/2, lag 2 exactly 0, where the sum stops: 2.
    EXPECT_NEAR(Inflation(SquareWave(64, 4)), 2, 1e-9);
    // Alternating signs: lag 1 is -1, no correlation to count.
    EXPECT_NEAR(Inflation(SquareWave(40, 1)), 1, 1e-12);
}

TEST(CovarianceCorrelation, PointsOfNoWeightAreLeftOut)
{
    // 20 alike and, between them, a point 5 px off of no weight: 9 as for
    // the 20 alone, round a circle away from the origin. Counted, it would
    // take the variance over: about 1.4.
    std::vector<double> residuals(21, 0.1);
    residuals[7] = 5;
    std::vector<Point> points;
    CircleFit::LeastSquares ls = OnCircle({ -20, 10, 60 }, residuals, points);
    ls.Weights[7] = 0;
    EXPECT_NEAR(CircleFit::CorrelationInflation(points, ls), 9, 1e-9);
}

// [SECTION] A fit's covariance piece by piece

using FitTesting::Render;
using FitTesting::Rendered;

// A 400 x 400 picture of a Sun at (200, 200), radius 170, without noise or JPEG.
LimbScenes::Scene CleanScene(double limbDarkening)
{
    LimbScenes::Scene scene;
    scene.Width = 400;
    scene.Height = 400;
    scene.Suns = { { 200, 200, 170 } };
    scene.Noise = 0;
    scene.Jpeg = false;
    scene.Blur = 1.0;
    scene.Whole = true;
    scene.LimbDarkening = limbDarkening;
    return scene;
}

bool Inverse(const Matrix& m, Matrix& inverse)
{
    // Cofactors, transposed, over the determinant.
    const double c[9]
        = { m[4] * m[8] - m[5] * m[7], m[5] * m[6] - m[3] * m[8], m[3] * m[7] - m[4] * m[6],
              m[2] * m[7] - m[1] * m[8], m[0] * m[8] - m[2] * m[6], m[1] * m[6] - m[0] * m[7],
              m[1] * m[5] - m[2] * m[4], m[2] * m[3] - m[0] * m[5], m[0] * m[4] - m[1] * m[3] };
    const double det = m[0] * c[0] + m[1] * c[1] + m[2] * c[2];
    if (!(std::abs(det) > 0))
        return false;
    inverse = { c[0] / det, c[3] / det, c[6] / det, c[1] / det, c[4] / det, c[7] / det, c[2] / det,
        c[5] / det, c[8] / det };
    return true;
}

// What the residuals of the points a fit used say of its circle, worked out
// here from the textbook formulas: Tukey's weights at the scale's floor of
// 0.05 px (cut at 4.685 scales), s^2 = sum w r^2 / (sum w - 3), the
// covariance s^2 (J'WJ)^-1, and the correlation of neighbouring residuals:
// 1 + 2 sum of the autocorrelations (round the circle, lag 1 up to a quarter
// of the points or 63) before the first one not positive.
struct FromResiduals {
    Matrix Covariance {};
    double Correlation = 1;
    double LargestResidual = 0;
};

FromResiduals WorkOut(const std::vector<Point>& used, const Circle& c)
{
    FromResiduals out;
    const double cutoff = 4.685 * 0.05;
    Matrix normal {};
    double weights = 0, squares = 0;
    std::vector<double> residuals;
    for (const Point& p : used) {
        const double dx = p.X - c.X, dy = p.Y - c.Y, d = std::hypot(dx, dy);
        const double r = d - c.R;
        residuals.push_back(r);
        out.LargestResidual = std::max(out.LargestResidual, std::abs(r));
        const double u = r / cutoff;
        const double w = (1 - u * u) * (1 - u * u);
        const double jac[3] = { dx / d, dy / d, 1 };
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b)
                normal[a * 3 + b] += w * jac[a] * jac[b];
        weights += w;
        squares += w * r * r;
    }
    Matrix inverse {};
    if (!Inverse(normal, inverse))
        return out;
    for (std::size_t m = 0; m < 9; ++m)
        out.Covariance[m] = squares / (weights - 3) * inverse[m];
    const std::size_t n = residuals.size();
    double variance = 0;
    for (double r : residuals)
        variance += r * r;
    double sum = 0;
    for (std::size_t lag = 1; lag < std::min<std::size_t>(n / 4, 64); ++lag) {
        double covariance = 0;
        for (std::size_t i = 0; i < n; ++i)
            covariance += residuals[i] * residuals[(i + lag) % n];
        if (!(covariance > 0))
            break;
        sum += covariance / variance;
    }
    out.Correlation = 1 + 2 * sum;
    return out;
}

// The circle of least squares of the points with the centre fixed: the fit's
// own before the Sun's radius is moved for the limb's darkening and blur.
Circle RadiusOfLeastSquares(const std::vector<Point>& used, Circle c)
{
    for (int step = 0; step < 20; ++step) {
        double weights = 0, moved = 0;
        for (const Point& p : used) {
            const double r = std::hypot(p.X - c.X, p.Y - c.Y) - c.R;
            const double u = r / (4.685 * 0.05);
            const double w = std::abs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0;
            weights += w;
            moved += w * r;
        }
        c.R += moved / weights;
    }
    return c;
}

// fit's covariance less the residuals' share: what the residuals cannot show.
Matrix Rest(const FitTypes::Fit& fit, const FromResiduals& residuals)
{
    Matrix rest {};
    for (std::size_t m = 0; m < 9; ++m)
        rest[m] = fit.Covariance[m] - 1.44 * residuals.Correlation * residuals.Covariance[m];
    return rest;
}

TEST(CovariancePieces, ResidualsTimesTheirCorrelationTimesTheCalibratedShare)
{
    // Clean scenes: every residual well inside the scale's floor, so the
    // weights follow from the points used alone. What the fit says is the
    // residuals' covariance times their correlation (well above 1 here)
    // times 1.44, to rounding.
    const auto expectShare
        = [](const FitTypes::Fit& fit, const FromResiduals& expected, std::size_t entries) {
              EXPECT_LT(expected.LargestResidual, 0.1);
              EXPECT_GT(expected.Correlation, 1.5);
              for (std::size_t m = 0; m < entries; ++m)
                  EXPECT_NEAR(fit.Covariance[m] / (expected.Covariance[m] * expected.Correlation),
                      1.44, 1e-3)
                      << "entry " << m;
          };
    {
        // A planet on an even disc: no shading, no correction, none of its error.
        LimbScenes::Scene scene = CleanScene(0);
        scene.Planets = { { 230.4, 170.7, 12 } };
        const Rendered picture = Render(scene);
        const FitTypes::Fit fit
            = LimbFit::FitPlanet(picture.View(), { 228, 172, 11 }, { 200, 200, 170 });
        ASSERT_EQ(fit.Result, Outcome::Fitted) << LimbFit::OutcomeName(fit.Result);
        expectShare(fit, WorkOut(fit.Used, fit.Fitted), 9);
    }
    {
        // The Sun: its radius is moved afterwards and takes the move's error,
        // the other entries stay.
        LimbScenes::Scene scene = CleanScene(0.6);
        scene.Suns = { { 201.3, 188.6, 140 } };
        const Rendered picture = Render(scene);
        const FitTypes::Fit fit = LimbFit::FitSunLimb(picture.View(), { 190, 196, 150 });
        ASSERT_EQ(fit.Result, Outcome::Fitted) << LimbFit::OutcomeName(fit.Result);
        expectShare(fit, WorkOut(fit.Used, RadiusOfLeastSquares(fit.Used, fit.Fitted)), 8);
    }
}

TEST(CovariancePieces, APlanetNearTheLimbAddsAFifthOfItsShadingShift)
{
    // Seeing of 2 px, the planet's centre 142 px from the Sun's (radius 170,
    // limb darkening 1 - 0.6 (1 - mu)): mu = sqrt(1 - (142/170)^2) = 0.5498,
    // the level 0.7299, its slope 0.6 (142 / 170^2) / 0.5498 = 0.005362 / px,
    // relative 0.007346 / px, towards the Sun's centre (+y). The edge moves
    // by 2 (2^2 + 1.25^2) = 11.13 px^2 times that, 0.0817 px: a fifth of it,
    // 0.0163 px, is the sigma the correction adds in y. The plane is fitted
    // on a ring around the planet, where the slope is not the centre's:
    // within 0.7 to 1.1 of that.
    LimbScenes::Scene scene = CleanScene(0.6);
    scene.Blur = 2;
    scene.Planets = { { 200.4, 58, 20 } };
    const Rendered picture = Render(scene);
    const FitTypes::Fit fit
        = LimbFit::FitPlanet(picture.View(), { 202, 60, 21 }, { 200, 200, 170 });
    ASSERT_EQ(fit.Result, Outcome::Fitted) << LimbFit::OutcomeName(fit.Result);
    const FromResiduals residuals = WorkOut(fit.Used, fit.Fitted);
    ASSERT_LT(residuals.LargestResidual, 0.1);
    const Matrix rest = Rest(fit, residuals);
    const double sigmaY = std::sqrt(std::max(0.0, rest[4]));
    EXPECT_GT(sigmaY, 0.7 * 0.0163);
    EXPECT_LT(sigmaY, 1.1 * 0.0163);
    // None in x: the slope is along y.
    EXPECT_LT(std::abs(rest[0]), 0.01 * rest[4]);
    EXPECT_LT(std::abs(rest[1]), 0.1 * rest[4]);
    // One shift's outer product: y and r vary together, fully.
    EXPECT_NEAR(rest[5] * rest[5], rest[4] * rest[8], 0.1 * rest[4] * rest[8]);
    EXPECT_NEAR(rest[5], rest[7], 1e-9 * std::abs(rest[5]));
}

// [SECTION] Error / sigma on noisy scenes

struct Pulls {
    double Squares = 0;
    int Count = 0;
    void Add(double error, double variance)
    {
        Squares += error * error / variance;
        ++Count;
    }
    double Rms() const { return std::sqrt(Squares / Count); }
};

TEST(CovariancePulls, CentresOfSunsAndPlanetsWithinTheirSigmas)
{
    // 36 scenes with noise and JPEG, each a Sun of radius 100 and a planet
    // 60 px from its centre, seeing, radii and places varied. The RMS of 72
    // errors / sigma (x and y) spreads by about 1 / sqrt(144) = 8 %. A
    // Sun's is near 0.9, a planet's near 1.05 (the shading's share counts
    // more this close to the limb): 0.75 to 1.25 and 0.8 to 1.35, bands
    // that both leave with a covariance twice or half what it should be
    // (RMS x 0.71 or x 1.41).
    Pulls suns, planets;
    for (std::uint32_t seed = 1; seed <= 36; ++seed) {
        LimbScenes::Scene scene = CleanScene(0.6);
        const Circle sun { 130 + 0.37 * seed - 2.1 * (seed % 3), 128.7 + 0.71 * (seed % 5),
            100 + 0.9 * (seed % 4) };
        scene.Width = 260;
        scene.Height = 260;
        scene.Suns = { sun };
        scene.Noise = 0.01;
        scene.Jpeg = true;
        scene.Seed = seed;
        scene.Whole = false;
        scene.Blur = 1.0 + 0.15 * (seed % 4);
        const double angle = 0.9 * seed;
        const Circle planet { sun.X + 60 * std::cos(angle), sun.Y + 60 * std::sin(angle),
            9.0 + seed % 5 };
        scene.Planets = { planet };
        const Rendered picture = Render(scene);
        const FitTypes::Fit fit
            = LimbFit::FitSunLimb(picture.View(), { sun.X + 5, sun.Y - 4, sun.R + 6 });
        ASSERT_EQ(fit.Result, Outcome::Fitted) << "scene " << seed;
        suns.Add(fit.Fitted.X - sun.X, fit.Covariance[0]);
        suns.Add(fit.Fitted.Y - sun.Y, fit.Covariance[4]);
        const FitTypes::Fit dot = LimbFit::FitPlanet(
            picture.View(), { planet.X + 2, planet.Y - 1, planet.R + 1 }, fit.Fitted);
        ASSERT_EQ(dot.Result, Outcome::Fitted) << "scene " << seed;
        planets.Add(dot.Fitted.X - planet.X, dot.Covariance[0]);
        planets.Add(dot.Fitted.Y - planet.Y, dot.Covariance[4]);
    }
    EXPECT_GT(suns.Rms(), 0.75);
    EXPECT_LT(suns.Rms(), 1.25);
    EXPECT_GT(planets.Rms(), 0.8);
    EXPECT_LT(planets.Rms(), 1.35);
}

} // namespace
