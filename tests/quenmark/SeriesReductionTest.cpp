// SPDX-License-Identifier: GPL-3.0-or-later
// The two reductions of two sites' series: the tracks read at common moments,
// the straight or curved track, outliers, and the rigorous fit on series from
// the independent generator, whose world differs from the model's.
#include "SeriesReduction.h"
#include "SeriesGenerator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using SeriesReduction::Observation;

constexpr double TrueParallax = 8.794143;

SeriesReduction::Setup Venus2004()
{
    SeriesReduction::Setup setup;
    setup.Date = { 2004, 6, 8 };
    setup.Planet = Ephemeris::Planet::Venus;
    setup.Sites[0] = { 59.91 * M_PI / 180, 10.75 * M_PI / 180 };
    setup.Sites[1] = { -33.93 * M_PI / 180, 18.42 * M_PI / 180 };
    return setup;
}

// Site 1 at 9:00, 9:10, 9:20, 9:30 on x = 0.1 + 0.06 h, y = -0.2 + 0.03 h
// (h in hours after 9:00); site 2 at 9:05, 9:15, 9:25, 0.001 and 0.01 off.
std::vector<Observation> StraightTracks()
{
    std::vector<Observation> o;
    for (int k = 0; k < 4; ++k) {
        const double h = k / 6.0;
        o.push_back({ 0, 32400 + 600.0 * k, 0.1 + 0.06 * h, -0.2 + 0.03 * h, 0.001, 0.001, 2 + k });
    }
    for (int k = 0; k < 3; ++k) {
        const double h = (5 + 10 * k) / 60.0;
        o.push_back(
            { 1, 32700 + 600.0 * k, 0.101 + 0.06 * h, -0.19 + 0.03 * h, 0.001, 0.001, 2 + k });
    }
    return o;
}

TEST(FormulaReduction, TracksAreReadAtMomentsWithinTheOverlap)
{
    const auto result = SeriesReduction::ReduceByFormula(Venus2004(), StraightTracks());
    ASSERT_TRUE(result.Summary.Done);
    EXPECT_EQ(result.Degree[0], 1);
    EXPECT_EQ(result.Degree[1], 1);
    ASSERT_EQ(result.Moments.size(), 7u);
    // From 9:05 to 9:25 in steps of 200 s.
    EXPECT_DOUBLE_EQ(result.Moments.front().Seconds, 32700);
    EXPECT_DOUBLE_EQ(result.Moments[1].Seconds, 32900);
    EXPECT_DOUBLE_EQ(result.Moments.back().Seconds, 33900);
    EXPECT_NEAR(result.Moments.front().X1, 0.105, 1e-12);
    EXPECT_NEAR(result.Moments.front().Y1, -0.1975, 1e-12);
    EXPECT_NEAR(result.Moments.front().X2, 0.106, 1e-12);
    EXPECT_NEAR(result.Moments.front().Y2, -0.1875, 1e-12);
    EXPECT_NEAR(result.Moments.back().X1, 0.125, 1e-12);
    EXPECT_NEAR(result.Moments.back().Y2, -0.1775, 1e-12);
    // The shift: hypot(0.001, 0.01) solar radii of 945.5" on that day.
    for (const auto& m : result.Moments)
        EXPECT_NEAR(m.Shift, 9.502, 0.003);
    EXPECT_EQ(result.Summary.Used, 7);
    EXPECT_TRUE(result.Summary.Dropped.empty());
}

TEST(FormulaReduction, OutlierIsDroppedAndTheTrackKept)
{
    std::vector<Observation> o = StraightTracks();
    Observation extra = o[1];
    extra.Seconds = 32700;
    extra.X = 0.1 + 0.06 * 5 / 60 + 0.02; // 20 sigma off
    extra.Line = 9;
    o.push_back(extra);
    const auto result = SeriesReduction::ReduceByFormula(Venus2004(), o);
    ASSERT_TRUE(result.Summary.Done);
    ASSERT_EQ(result.Summary.Dropped.size(), 1u);
    EXPECT_EQ(result.Summary.Dropped[0], 7);
    EXPECT_EQ(result.Summary.Used, 7);
    EXPECT_NEAR(result.Moments.front().X1, 0.105, 1e-12);
}

TEST(FormulaReduction, CurvedTrackOnlyWhenTheResidualsAskForIt)
{
    // Over three hours, 0.01 h^2 of curvature against sigma 0.0002.
    std::vector<Observation> o;
    for (int k = 0; k < 10; ++k) {
        const double h = k / 3.0;
        o.push_back({ 0, 32400 + 1200.0 * k, 0.1 + 0.06 * h + 0.01 * h * h, -0.2 + 0.03 * h, 0.0002,
            0.0002, k });
        o.push_back(
            { 1, 32460 + 1200.0 * k, 0.101 + 0.06 * h, -0.19 + 0.03 * h, 0.0002, 0.0002, k });
    }
    const auto result = SeriesReduction::ReduceByFormula(Venus2004(), o);
    ASSERT_TRUE(result.Summary.Done);
    EXPECT_EQ(result.Degree[0], 2);
    EXPECT_EQ(result.Degree[1], 1);
    EXPECT_TRUE(result.Summary.Dropped.empty());
}

TEST(FormulaReduction, SeriesThatDoNotOverlap)
{
    std::vector<Observation> o = StraightTracks();
    for (Observation& p : o)
        if (p.Site == 1)
            p.Seconds += 3600;
    EXPECT_FALSE(SeriesReduction::ReduceByFormula(Venus2004(), o).Overlap);
}

std::vector<Observation> Generated(const SeriesReduction::Setup& setup, double sigma,
    std::uint64_t seed, SeriesGenerator::World world = {})
{
    const SeriesGenerator::Site sites[2] = { { 59.91, 10.75, 120 }, { -33.93, 18.42, 900 } };
    std::vector<Observation> all;
    for (int s = 0; s < 2; ++s) {
        SeriesGenerator::SeriesPlan plan;
        plan.FirstSeconds = 7 * 3600 + 10 * 60 + s * 47;
        plan.Spacing = s == 0 ? 480 : 560;
        plan.Count = s == 0 ? 28 : 23;
        plan.Sigma = sigma;
        plan.Seed = seed + static_cast<std::uint64_t>(s);
        for (const auto& p : SeriesGenerator::MakeSeries(
                 setup.Date.Year, setup.Date.Month, setup.Date.Day, true, sites[s], world, plan))
            all.push_back({ s, p.Seconds, p.Measured.X, p.Measured.Y, p.Sigma, p.Sigma, 0 });
    }
    return all;
}

TEST(RigorousReduction, FindsTheGeneratorsParallax)
{
    const SeriesReduction::Setup setup = Venus2004();
    // Without noise, whatever the planet's offset from its theory.
    SeriesGenerator::World offTheory;
    offTheory.PlanetOffsetKm[0] = -900;
    offTheory.PlanetDriftKmPerDay[2] = 400;
    for (const auto& world : { SeriesGenerator::World {}, offTheory }) {
        const auto exact = SeriesReduction::ReduceRigorously(setup, Generated(setup, 0, 1, world));
        ASSERT_TRUE(exact.Done);
        EXPECT_NEAR(exact.Parallax, TrueParallax, 0.001 * TrueParallax);
    }

    // With noise: the errors over the stated sigma spread by about 1, over
    // 40 fixed seeds (a chi-square bound of 99.9 %).
    double sumOfSquares = 0;
    constexpr int Runs = 40;
    for (int run = 0; run < Runs; ++run) {
        const auto r
            = SeriesReduction::ReduceRigorously(setup, Generated(setup, 0.001, 100 + 2 * run));
        ASSERT_TRUE(r.Done);
        sumOfSquares += std::pow((r.Parallax - TrueParallax) / r.Sigma, 2);
    }
    const double spread = std::sqrt(sumOfSquares / Runs);
    EXPECT_GT(spread, 0.62);
    EXPECT_LT(spread, 1.45);
}

TEST(RigorousReduction, UncertaintyFollowsTheStatedSigmaOrTheScatter)
{
    const SeriesReduction::Setup setup = Venus2004();
    const auto noisy = Generated(setup, 0.001, 7);
    auto stated = [&](double factor) {
        auto o = noisy;
        for (auto& p : o) {
            p.SigmaX *= factor;
            p.SigmaY *= factor;
        }
        return SeriesReduction::ReduceRigorously(setup, o);
    };
    // Sigma stated ten times too large: the uncertainty is ten times the one of
    // the true sigma, as stated. Ten times too small: the scatter says so and
    // scales it back to what the true sigma gives, within the chi-square's
    // own spread.
    const auto right = stated(1), large = stated(10), small = stated(0.1);
    EXPECT_NEAR(large.Sigma / right.Sigma, 10, 1e-6);
    EXPECT_NEAR(small.Sigma / right.Sigma, 1, 0.25);
    EXPECT_GT(small.ReducedChiSquare, 50);
    EXPECT_NEAR(small.Parallax, right.Parallax, 1e-9);
}

} // namespace
