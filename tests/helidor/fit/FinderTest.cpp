// SPDX-License-Identifier: GPL-3.0-or-later
// The finder on generated pictures of known circles: the discs without a
// seed, and the dark dots on a disc.
#include "Finder.h"

#include "RenderedScenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using Finder::Outcome;
using FitTesting::Rendered;
using FitTypes::Circle;

// Seeds are good enough for the fit when within a few px; on a picture
// reduced by 2 for the search, 2 px is a reduced pixel.
constexpr double DiscTolerance = 2.0;

Rendered Render(int width, int height, std::vector<Circle> suns, std::vector<Circle> planets = {},
    std::vector<LimbScenes::Spot> spots = {})
{
    LimbScenes::Scene scene;
    scene.Width = width;
    scene.Height = height;
    scene.Suns = std::move(suns);
    scene.Exposure = scene.Suns.size() > 1 ? 0.3 : 0.6;
    scene.Planets = std::move(planets);
    scene.Spots = std::move(spots);
    scene.Noise = 0.004;
    scene.Quality = 90;
    scene.Whole = true;
    return FitTesting::Render(scene);
}

void ExpectDisc(const Circle& found, const Circle& truth)
{
    EXPECT_NEAR(found.X, truth.X, DiscTolerance);
    EXPECT_NEAR(found.Y, truth.Y, DiscTolerance);
    EXPECT_NEAR(found.R, truth.R, DiscTolerance);
}

// [SECTION] Discs

TEST(FinderDiscs, OneDiscInTheFrameAndOneCutByItsEdge)
{
    const Circle whole { 612.4, 401.7, 300 };
    const Finder::Discs one = Finder::FindDiscs(Render(1200, 900, { whole }).View());
    ASSERT_EQ(one.Result, Outcome::Found);
    ASSERT_EQ(one.Suns.size(), 1u);
    ExpectDisc(one.Suns[0], whole);

    // Centre 150 px inside the left edge: the limb beyond x = 0 is the third
    // of it where cos(a) < -1/2, 240 degrees stay in the frame.
    const Circle cut { 150, 450.5, 300 };
    const Finder::Discs edge = Finder::FindDiscs(Render(1200, 900, { cut }).View());
    ASSERT_EQ(edge.Result, Outcome::Found);
    ExpectDisc(edge.Suns.at(0), cut);
}

TEST(FinderDiscs, TwoExposuresApartAndOverlappingLeftToRight)
{
    const Circle left { 330, 440, 250 }, right { 930.6, 410.2, 250 };
    const Finder::Discs apart = Finder::FindDiscs(Render(1300, 900, { right, left }).View());
    ASSERT_EQ(apart.Result, Outcome::Found);
    ASSERT_EQ(apart.Suns.size(), 2u);
    ExpectDisc(apart.Suns[0], left);
    ExpectDisc(apart.Suns[1], right);

    // Their centres 300 px apart, less than a diameter: one bright part.
    const Circle first { 480.3, 452.8, 280 }, second { 780.1, 431.5, 280 };
    const Finder::Discs overlapping
        = Finder::FindDiscs(Render(1300, 900, { second, first }).View());
    ASSERT_EQ(overlapping.Result, Outcome::Found);
    ASSERT_EQ(overlapping.Suns.size(), 2u);
    ExpectDisc(overlapping.Suns[0], first);
    ExpectDisc(overlapping.Suns[1], second);
}

TEST(FinderDiscs, RefusesNoSunThreeDiscsAndADiscMostlyBeyondTheFrame)
{
    EXPECT_EQ(Finder::FindDiscs(Render(600, 400, {}).View()).Result, Outcome::NoSun);
    const Finder::Discs three = Finder::FindDiscs(
        Render(1500, 600, { { 250, 300, 200 }, { 750, 300, 200 }, { 1250, 300, 200 } }).View());
    EXPECT_EQ(three.Result, Outcome::TooManyDiscs);
    EXPECT_TRUE(three.Suns.empty());
    // Centre 200 px beyond the left edge: only where cos(a) > 2/3, about
    // 96 degrees of the limb, lies in the frame.
    EXPECT_EQ(Finder::FindDiscs(Render(1200, 900, { { -200, 450, 300 } }).View()).Result,
        Outcome::AtFrameEdge);
}

// [SECTION] Dots

TEST(FinderDots, ThePlanetFirstThenTheSpotAndNothingOnAClearDisc)
{
    const Circle sun { 600, 450, 400 };
    const Circle planet { 712.3, 388.6, 12.5 };
    const LimbScenes::Spot spot { 430.2, 560.7, 5, 11 };
    const std::vector<Circle> dots
        = Finder::FindDots(Render(1200, 900, { sun }, { planet }, { spot }).View(), sun);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_NEAR(dots[0].X, planet.X, 2);
    EXPECT_NEAR(dots[0].Y, planet.Y, 2);
    EXPECT_NEAR(dots[0].R, planet.R, planet.R / 2);
    EXPECT_NEAR(dots[1].X, spot.X, 3);
    EXPECT_NEAR(dots[1].Y, spot.Y, 3);

    EXPECT_TRUE(Finder::FindDots(Render(1200, 900, { sun }).View(), sun).empty());
}

TEST(FinderDots, TheOtherExposuresLimbAcrossTheDiscIsNoDot)
{
    const Circle first { 480, 450, 300 }, second { 760, 430, 300 };
    const Circle planet { 420.4, 380.2, 9 };
    const Rendered picture = Render(1300, 900, { first, second }, { planet });
    const std::vector<Circle> dots = Finder::FindDots(picture.View(), first, second);
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_NEAR(dots[0].X, planet.X, 2);
    EXPECT_NEAR(dots[0].Y, planet.Y, 2);
}

// [SECTION] The whole picture

// A picture from the other generator, where a planet takes only its own
// exposure's light.
Rendered RenderTransit(int width, int height, const std::vector<TransitScenes::Disc>& suns,
    const std::vector<TransitScenes::Disc>& planets)
{
    TransitScenes::Scene scene;
    scene.Width = width;
    scene.Height = height;
    scene.Suns = suns;
    scene.Planets = planets;
    scene.Exposure = suns.size() > 1 ? 0.35 : 0.6;
    return FitTesting::Render(scene);
}

TEST(FinderMeasure, OverlappingExposuresEachWithItsPlanet)
{
    // Both planets 250 px below their disc's centre, outside the overlap
    // (397 and 384 px from the other centre).
    const TransitScenes::Disc sun1 { 450, 450, 300 }, sun2 { 750, 440, 300 };
    const TransitScenes::Disc planet1 { 450.3, 700.6, 10 }, planet2 { 750.3, 690.6, 10 };
    const Rendered picture = RenderTransit(1200, 900, { sun1, sun2 }, { planet1, planet2 });
    const Finder::Survey survey = Finder::Measure(picture.View());
    ASSERT_EQ(survey.Result, Outcome::Found);
    ASSERT_EQ(survey.Exposures.size(), 2u);
    EXPECT_NEAR(survey.Exposures[0].Sun.Fitted.X, sun1.X, 0.1);
    EXPECT_NEAR(survey.Exposures[1].Sun.Fitted.X, sun2.X, 0.1);
    EXPECT_NEAR(survey.Exposures[0].Planet.Fitted.X, planet1.X, 0.3);
    EXPECT_NEAR(survey.Exposures[0].Planet.Fitted.Y, planet1.Y, 0.3);
    EXPECT_NEAR(survey.Exposures[1].Planet.Fitted.X, planet2.X, 0.3);
    EXPECT_NEAR(survey.Exposures[1].Planet.Fitted.Y, planet2.Y, 0.3);
}

TEST(FinderMeasure, NoPlanetAndSeveralPlanetsAreRefusedWithTheirPlaces)
{
    const TransitScenes::Disc sun { 600, 450, 400 };
    const Finder::Survey none = Finder::Measure(RenderTransit(1200, 900, { sun }, {}).View());
    EXPECT_EQ(none.Result, Outcome::NoPlanet);
    EXPECT_EQ(none.Disc, 0);

    const TransitScenes::Disc a { 500.5, 400.5, 12 }, b { 720.5, 560.5, 12 };
    const Finder::Survey two = Finder::Measure(RenderTransit(1200, 900, { sun }, { a, b }).View());
    EXPECT_EQ(two.Result, Outcome::SeveralPlanets);
    ASSERT_EQ(two.Planets.size(), 2u);
    const bool aFirst = two.Planets[0].X < two.Planets[1].X;
    EXPECT_NEAR(two.Planets[aFirst ? 0 : 1].X, a.X, 0.5);
    EXPECT_NEAR(two.Planets[aFirst ? 1 : 0].Y, b.Y, 0.5);
}

} // namespace
