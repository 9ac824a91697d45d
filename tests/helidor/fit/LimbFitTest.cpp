// SPDX-License-Identifier: GPL-3.0-or-later
// The assisted circle fit on small generated scenes whose circles are known,
// a refusal for every reason, and the error bars against a numerical
// derivative of the evaluation's formulas.
#include "LimbFit.h"
#include "EdgeRays.h"
#include "FitErrors.h"
#include "GreyPlane.h"
#include "LimbScenes.h"
#include "RenderedScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>

namespace {

using FitTypes::Circle;
using FitTypes::Outcome;

// What a sub-pixel fit must reach on these clean scenes, in px.
constexpr double CentreTolerance = 0.03;

using FitTesting::Render;
using FitTesting::Rendered;

// A picture of width x height with one Sun; JPEG and noise off unless asked.
LimbScenes::Scene SunScene(int width, int height, LimbScenes::Disc sun)
{
    LimbScenes::Scene scene;
    scene.Width = width;
    scene.Height = height;
    scene.Suns = { sun };
    scene.Noise = 0;
    scene.Jpeg = false;
    scene.Blur = 1.0;
    scene.Whole = true;
    return scene;
}

void ExpectCentre(const FitTypes::Fit& fit, double x, double y, double tolerance)
{
    ASSERT_EQ(fit.Result, Outcome::Fitted) << LimbFit::OutcomeName(fit.Result);
    EXPECT_NEAR(fit.Fitted.X, x, tolerance);
    EXPECT_NEAR(fit.Fitted.Y, y, tolerance);
}

// [SECTION] The Sun's limb

TEST(LimbFitSun, ExactCircleFromASeedOffInCentreAndRadius)
{
    const Rendered picture = Render(SunScene(400, 380, { 201.3, 188.6, 140 }));
    const FitTypes::Fit fit = LimbFit::FitSunLimb(picture.View(), { 186, 200, 152 });
    ExpectCentre(fit, 201.3, 188.6, CentreTolerance);
    // The inflection point of a limb-darkened, blurred limb lies a little inside it.
    EXPECT_NEAR(fit.Fitted.R, 140, 0.5);
    EXPECT_GT(fit.Used.size(), 700u);
    EXPECT_GT(fit.Covariance[0], 0);
    EXPECT_LT(std::sqrt(fit.Covariance[0]), 0.02);
}

TEST(LimbFitSun, TheSameSeedGivesTheSameCircle)
{
    LimbScenes::Scene scene = SunScene(400, 380, { 199.7, 190.2, 150 });
    scene.Noise = 0.01;
    scene.Jpeg = true;
    const Rendered picture = Render(scene);
    const FitTypes::Fit first = LimbFit::FitSunLimb(picture.View(), { 210, 180, 140 });
    const FitTypes::Fit second = LimbFit::FitSunLimb(picture.View(), { 210, 180, 140 });
    ASSERT_EQ(first.Result, Outcome::Fitted);
    EXPECT_EQ(first.Fitted.X, second.Fitted.X);
    EXPECT_EQ(first.Fitted.Y, second.Fitted.Y);
    EXPECT_EQ(first.Fitted.R, second.Fitted.R);
    ExpectCentre(first, 199.7, 190.2, 0.06);
}

TEST(LimbFitSun, DoubleExposureWithAClippedOverlap)
{
    // Two exposures whose overlap is clipped: the rays there are dropped,
    // the other limb near the crossings gets no weight.
    LimbScenes::Scene scene = SunScene(660, 340, { 170.4, 170.2, 130 });
    scene.Suns.push_back({ 170.4 + 230, 170.2 + 12, 130 });
    scene.Exposure = 0.7;
    const Rendered picture = Render(scene);
    const FitTypes::Fit first = LimbFit::FitSunLimb(picture.View(), { 180, 165, 120 });
    ExpectCentre(first, 170.4, 170.2, CentreTolerance);
    const FitTypes::Fit second = LimbFit::FitSunLimb(picture.View(), { 395, 190, 135 });
    ExpectCentre(second, 400.4, 182.2, CentreTolerance);
}

TEST(LimbFitSun, DoubleExposureWithADimOverlapDropsTheArcOverTheOtherDisc)
{
    // Dim exposures: the overlap is not clipped, each limb there is seen over
    // the other disc. The centres 230 px apart, radii 130: the limb of the
    // first lies inside the second within acos(230 / 260) = 27.8 degrees of
    // the line between them, and its rays' outer ends (7 to 12 px out) up to
    // acos((137^2 + 230^2 - 130^2) / (2 137 230)) = 29.7 degrees. The
    // arc within 25 degrees holds 50 / 360 of NormalRayCount(130) = 817
    // rays: 113 rejected points at least.
    LimbScenes::Scene scene = SunScene(660, 340, { 170.4, 170.2, 130 });
    scene.Suns.push_back({ 400.4, 170.2, 130 });
    scene.Exposure = 0.35;
    scene.Blur = 0.7;
    const Rendered picture = Render(scene);
    struct Case {
        Circle Seed;
        double X, Y; // the disc's centre
        double OtherX; // the other disc's centre, on the same row
    };
    for (const Case& c : { Case { { 180, 165, 120 }, 170.4, 170.2, 400.4 },
             Case { { 395, 175, 135 }, 400.4, 170.2, 170.4 } }) {
        const FitTypes::Fit fit = LimbFit::FitSunLimb(picture.View(), c.Seed);
        ExpectCentre(fit, c.X, c.Y, CentreTolerance);
        const double towards = c.OtherX > c.X ? 0 : std::numbers::pi;
        auto offLine = [&](const FitTypes::Point& p) {
            const double angle = std::atan2(p.Y - c.Y, p.X - c.X) - towards;
            return std::abs(std::remainder(angle, 2 * std::numbers::pi)) * 180 / std::numbers::pi;
        };
        int usedOverOther = 0, rejectedOnArc = 0;
        for (const FitTypes::Point& p : fit.Used)
            usedOverOther += offLine(p) < 27.8;
        for (const FitTypes::Point& p : fit.Rejected)
            rejectedOnArc += offLine(p) < 25;
        EXPECT_EQ(usedOverOther, 0);
        EXPECT_GE(rejectedOnArc, 113);
    }
}

TEST(LimbFitSun, SpotsAndAPlanetNotchInTheLimb)
{
    LimbScenes::Scene scene = SunScene(400, 400, { 200.5, 199.5, 150 });
    scene.Spots = { { 200.5 + 140, 199.5, 6, 13 }, { 200.5, 199.5 - 142, 4, 9 } };
    scene.Planets = { { 200.5 - 150, 199.5 + 10, 20 } };
    scene.Noise = 0.005;
    const Rendered picture = Render(scene);
    const FitTypes::Fit fit = LimbFit::FitSunLimb(picture.View(), { 190, 210, 160 });
    ExpectCentre(fit, 200.5, 199.5, 0.05);
    EXPECT_FALSE(fit.Rejected.empty());
}

TEST(LimbFitSun, APlanetCuttingIntoTheLimbGetsNoWeight)
{
    // Its near edge lies up to 10 px inside the limb, within the narrow rays' reach.
    LimbScenes::Scene scene = SunScene(400, 400, { 199.5, 200.5, 150 });
    scene.Planets = { { 199.5 + 140, 200.5, 30 } };
    const Rendered picture = Render(scene);
    const FitTypes::Fit fit = LimbFit::FitSunLimb(picture.View(), { 205, 195, 145 });
    ExpectCentre(fit, 199.5, 200.5, CentreTolerance);
    int nearPlanet = 0;
    for (const FitTypes::Point& p : fit.Rejected)
        nearPlanet += std::hypot(p.X - 339.5, p.Y - 200.5) < 40;
    EXPECT_GT(nearPlanet, 10);
}

// [SECTION] Seeds off on large pictures

// A Sun drawn sample by sample straight into a plane, as rendering the
// words of 100 million pixels and converting them would take too long: a
// disc darkened towards its limb (u = 0.6), its edge blurred by a Gaussian
// of 1.5 px, on a dark sky, with noise of half a percent of its centre.
struct LargePlane {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint16_t> Samples;
    FitTypes::GreyView View() const { return { Width, Height, Samples.data() }; }
};

LargePlane DrawLargeSun(int width, int height, const Circle& sun)
{
    constexpr double Centre = 26000, Sky = 300, Noise = 130, Blur = 1.5, Darkening = 0.6;
    LargePlane plane { width, height, {} };
    plane.Samples.resize(static_cast<std::size_t>(width) * height);
    std::uint32_t state = 12345;
    const double inner2 = (sun.R - 6 * Blur) * (sun.R - 6 * Blur);
    const double outer2 = (sun.R + 6 * Blur) * (sun.R + 6 * Blur);
    for (int y = 0; y < height; ++y) {
        const double dy2 = (y - sun.Y) * (y - sun.Y);
        std::uint16_t* row = plane.Samples.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const double d2 = (x - sun.X) * (x - sun.X) + dy2;
            double v = Sky;
            if (d2 < outer2) {
                const double mu = std::sqrt(std::max(0.0, 1 - d2 / (sun.R * sun.R)));
                const double disc = Centre * (1 - Darkening * (1 - mu));
                v += d2 <= inner2 ? disc
                                  : disc * 0.5
                        * std::erfc((std::sqrt(d2) - sun.R) / (std::numbers::sqrt2 * Blur));
            }
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            v += Noise * std::numbers::sqrt3 * (state / 2147483648.0 - 1);
            row[x] = static_cast<std::uint16_t>(std::lround(v));
        }
    }
    return plane;
}

// Seeds at the far corners of what must be snapped: the centre off by
// offset px left, right, up or down, the radius 10 % short or long.
void ExpectFittedFromSeedsOff(const LargePlane& plane, const Circle& sun, double offset, int scale)
{
    LimbFit::SunHints hints;
    hints.CentreSlack = 20.0 * scale;
    const double directions[4][2] = { { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 } };
    for (const auto& d : directions)
        for (double radius : { 0.9, 1.1 }) {
            const Circle seed { sun.X + offset * d[0], sun.Y + offset * d[1], radius * sun.R };
            SCOPED_TRACE(
                testing::Message() << "seed " << seed.X << ", " << seed.Y << " r " << seed.R);
            const FitTypes::Fit fit = LimbFit::FitSunLimb(plane.View(), seed, hints);
            ExpectCentre(fit, sun.X, sun.Y, CentreTolerance);
            EXPECT_NEAR(fit.Fitted.R, sun.R, 0.5);
        }
}

TEST(LimbFitLarge, TwentyFourMegapixelsAtSizeFourFromSeedsTenPercentOff)
{
    // The Sun 450 px in radius on the screen: 10 % is 45 screen px, 180 in the plane.
    const Circle sun { 3000.3, 2000.6, 1800 };
    const LargePlane plane = DrawLargeSun(6000, 4000, sun);
    ExpectFittedFromSeedsOff(plane, sun, 180, 4);
}

TEST(LimbFitLarge, AHundredMegapixelsAtSizeEightFromSeedsTenPercentOff)
{
    const Circle sun { 6120.4, 4080.7, 3600 };
    const LargePlane plane = DrawLargeSun(12240, 8160, sun);
    ExpectFittedFromSeedsOff(plane, sun, 360, 8);
}

TEST(LimbFitLarge, ASmallSunAtSizeEightFromSeedsTwentyScreenPixelsOff)
{
    // 75 px in radius on the screen: 20 screen px (160 in the plane) are
    // more than 10 % of it.
    const Circle sun { 2000.5, 1500.2, 600 };
    const LargePlane plane = DrawLargeSun(4000, 3000, sun);
    ExpectFittedFromSeedsOff(plane, sun, 160, 8);
}

TEST(LimbFitLarge, RefusalsSayTrulyWhy)
{
    const Circle sun { 3000.3, 2000.6, 1800 };
    const LargePlane plane = DrawLargeSun(6000, 4000, sun);
    LimbFit::SunHints hints;
    hints.CentreSlack = 80;
    struct Case {
        Circle Seed;
        Outcome Why;
    } cases[] = {
        // In the sky, its circle nowhere near the limb.
        { { 700, 700, 400 }, Outcome::NoEdge },
        // Inside the disc, a third of its radius.
        { { 3100, 1900, 600 }, Outcome::NoEdge },
        // On the disc 80 % of the radius out, its circle of 540 px crossing
        // the limb over a short part: the limb is not near the circle.
        { { 3000.3 + 1152, 2000.6 + 864, 540 }, Outcome::NoEdge },
        // The limb's circle within the rays' reach, the centre 30 % of the
        // radius off, or the radius 30 % too long: a circle beyond the limits.
        { { 3000.3 + 540, 2000.6, 1800 }, Outcome::MovedTooFar },
        { { 3000.3 + 216, 2000.6 + 162, 2340 }, Outcome::MovedTooFar },
    };
    for (const Case& c : cases) {
        const FitTypes::Fit fit = LimbFit::FitSunLimb(plane.View(), c.Seed, hints);
        EXPECT_EQ(std::string(LimbFit::OutcomeName(fit.Result)), LimbFit::OutcomeName(c.Why))
            << c.Seed.X << ", " << c.Seed.Y << " r " << c.Seed.R;
    }
}

// [SECTION] The other exposure's limb avoided

TEST(LimbFitAvoid, FromSunOnesCircleTheOtherExposureIsFound)
{
    // Overlapping (centres 1.3 radii apart, dim: the overlap not clipped)
    // and apart (2 radii); the seed is the first Sun's circle.
    struct Case {
        int Width;
        LimbScenes::Disc Second;
    } cases[]
        = { { 560, { 130.4 + 169, 170.2 - 12, 130 } }, { 660, { 130.4 + 260, 170.2 + 20, 130 } } };
    for (const Case& c : cases) {
        LimbScenes::Scene scene = SunScene(c.Width, 360, { 130.4, 170.2, 130 });
        scene.Suns.push_back(c.Second);
        scene.Exposure = 0.35;
        const Rendered picture = Render(scene);
        const Circle first { 130.4, 170.2, 130 };
        LimbFit::SunHints hints;
        EXPECT_NEAR(LimbFit::FitSunLimb(picture.View(), first, hints).Fitted.X, 130.4, 0.05)
            << "no limb avoided: the seed's own";
        hints.Avoid = first;
        const FitTypes::Fit fit = LimbFit::FitSunLimb(picture.View(), first, hints);
        ExpectCentre(fit, c.Second.X, c.Second.Y, 0.05);
        EXPECT_NEAR(fit.Fitted.R, 130, 0.5);
    }
}

TEST(LimbFitAvoid, NoOtherLimbIsNoEdge)
{
    const Rendered picture = Render(SunScene(400, 380, { 201.3, 188.6, 140 }));
    LimbFit::SunHints hints;
    hints.Avoid = Circle { 201, 189, 140 };
    const Circle seed { 201, 189, 140 };
    EXPECT_EQ(
        std::string(LimbFit::OutcomeName(LimbFit::FitSunLimb(picture.View(), seed, hints).Result)),
        "no edge");
}

// [SECTION] Edge rays: the levels beside an edge, a limb over lit ground

TEST(EdgeRaysLevels, MeansBeyondTheSmoothingsReachOnEitherSide)
{
    // A ramp from 1000 at column 46 to 200 at column 54; a ray along the row
    // from x = 20 finds its middle at t = 30. Beyond 3 sigma + 3 = 6.75 px
    // of it every sample is flat: the means are the two levels exactly.
    GreyPlane::Plane plane;
    plane.Width = 100;
    plane.Height = 20;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            plane.Samples.push_back(
                static_cast<std::uint16_t>(std::clamp(1000 - 100 * (x - 46), 200, 1000)));
    const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
    std::vector<double> sky;
    std::vector<EdgeRays::RayEdge> edges;
    const EdgeRays::Ray outwards { 20, 10, 1, 0, 10, 50 };
    EdgeRays::FindEdges(view, outwards, EdgeRays::NarrowSigma, EdgeRays::NarrowStep,
        EdgeRays::Polarity::BrightToDark, 1, sky, edges);
    ASSERT_EQ(edges.size(), 1u);
    const EdgeRays::RayEdge fall = edges[0];
    ASSERT_TRUE(fall.Found);
    EXPECT_NEAR(fall.T, 30, 0.01);
    EXPECT_EQ(fall.DarkLevel, 200);
    EXPECT_EQ(fall.BrightLevel, 1000);
    // Going the other way the same step is a rise from dark to bright.
    const EdgeRays::Ray inwards { 80, 10, -1, 0, 10, 50 };
    EdgeRays::FindEdges(view, inwards, EdgeRays::NarrowSigma, EdgeRays::NarrowStep,
        EdgeRays::Polarity::DarkToBright, 1, sky, edges);
    ASSERT_EQ(edges.size(), 1u);
    const EdgeRays::RayEdge rise = edges[0];
    ASSERT_TRUE(rise.Found);
    EXPECT_NEAR(rise.T, 30, 0.01);
    EXPECT_EQ(rise.DarkLevel, 200);
    EXPECT_EQ(rise.BrightLevel, 1000);
}

// Edges whose levels are given; strengths and points do not matter here.
EdgeRays::EdgeSet Levels(const std::vector<double>& dark, double bright)
{
    EdgeRays::EdgeSet edges;
    edges.DarkLevels = dark;
    edges.BrightLevels.assign(dark.size(), bright);
    return edges;
}

TEST(EdgeRaysLevels, ADarkSideLitAboveTheGroundIsNotSky)
{
    // Noiseless ground 100, contrast 2000: lit above 100 + 5 % of 2000 = 200.
    const std::vector<char> quiet = EdgeRays::OverLitGround(
        Levels({ 100, 100, 100, 100, 100, 100, 199, 201, 100, 100 }, 2100));
    EXPECT_EQ(quiet, (std::vector<char> { 0, 0, 0, 0, 0, 0, 0, 1, 0, 0 }));
    // Ground 110 (the upper middle of ten), deviations' median 20: sigma
    // 29.652, six of it 177.912 over 5 % of 990: lit above 287.912.
    const std::vector<char> noisy
        = EdgeRays::OverLitGround(Levels({ 90, 110, 90, 110, 90, 110, 90, 110, 285, 290 }, 1100));
    EXPECT_EQ(noisy, (std::vector<char> { 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 }));
}

// [SECTION] Planets

TEST(LimbFitPlanet, PlanetOnTheDiscWithNoiseAndJpeg)
{
    LimbScenes::Scene scene = SunScene(400, 400, { 200, 200, 170 });
    scene.Planets = { { 230.4, 170.7, 12 } };
    scene.Noise = 0.005;
    scene.Jpeg = true;
    const Rendered picture = Render(scene);
    const FitTypes::Fit fit
        = LimbFit::FitPlanet(picture.View(), { 222, 180, 11 }, { 200, 200, 170 });
    ExpectCentre(fit, 230.4, 170.7, 0.1);
    EXPECT_NEAR(fit.Fitted.R, 12, 0.5);
    EXPECT_FALSE(fit.NearLimb);
    EXPECT_NEAR(fit.EdgeWidth, 1.0, 0.5);
}

TEST(LimbFitPlanet, PlanetNearTheLimbIsFittedAndWarned)
{
    // 8 px between the planet's edge and the limb: under 10 px + 3 edge widths.
    LimbScenes::Scene scene = SunScene(400, 400, { 200, 200, 170 });
    scene.Planets = { { 200 + 170 - 8 - 15, 200.3, 15 } };
    const Rendered picture = Render(scene);
    const FitTypes::Fit fit
        = LimbFit::FitPlanet(picture.View(), { 340, 196, 15 }, { 200, 200, 170 });
    ExpectCentre(fit, 347, 200.3, 0.1);
    EXPECT_TRUE(fit.NearLimb);
    EXPECT_FALSE(fit.Rejected.empty()); // the points near the limb
}

TEST(LimbFitPlanet, ShadingNearTheLimbDoesNotPullTheCentre)
{
    // Limb darkening falls steeply across a planet 6 px from the limb of a
    // small Sun; in heavy seeing its edge would be seen pulled inwards, the
    // centre by about 0.2 px. A plane of shading leaves the curvature's share.
    LimbScenes::Scene scene = SunScene(400, 400, { 200, 200, 170 });
    scene.Blur = 3;
    scene.Planets = { { 200.4, 200 - 170 + 6 + 20, 20 } };
    const Rendered picture = Render(scene);
    const FitTypes::Fit fit
        = LimbFit::FitPlanet(picture.View(), { 205, 60, 21 }, { 200, 200, 170 });
    ExpectCentre(fit, 200.4, 56, 0.08);
    // The correction's own error. At 144 px from the centre (mu 0.5315) the
    // relative slope of 1 - 0.6 (1 - mu) is 0.6 (0.847 / 0.5315) / 170 / 0.7189
    // = 0.00782 / px; times 2 (3^2 + 1.25^2) = 21.1 px^2 a shift of 0.165 px
    // in y, a fifth of it 0.033 px of sigma in y alone, none in x. The plane
    // is fitted on the ring's inner side, where the slope is gentler: at
    // least half that variance.
    const double varianceX = fit.Covariance[0], varianceY = fit.Covariance[4];
    EXPECT_GT(varianceY - varianceX, 0.5 * 0.033 * 0.033);
    EXPECT_LT(varianceY, 0.05 * 0.05);
}

// [SECTION] Refusals: the circle stays the seed

void ExpectRefusal(const FitTypes::Fit& fit, Outcome outcome, const Circle& seed)
{
    EXPECT_EQ(fit.Result, outcome) << LimbFit::OutcomeName(fit.Result);
    EXPECT_EQ(fit.Fitted.X, seed.X);
    EXPECT_EQ(fit.Fitted.Y, seed.Y);
    EXPECT_EQ(fit.Fitted.R, seed.R);
    EXPECT_EQ(fit.Covariance[0], 0);
}

// A planet fit on a Sun of radius 170 at (200, 200) in a 400 x 400 scene,
// changed by change, refused for outcome with the circle left at the seed.
void ExpectPlanetRefused(void (*change)(LimbScenes::Scene&), const Circle& seed, Outcome outcome)
{
    const Circle sun { 200, 200, 170 };
    LimbScenes::Scene scene = SunScene(400, 400, sun);
    change(scene);
    const Rendered picture = Render(scene);
    ExpectRefusal(LimbFit::FitPlanet(picture.View(), seed, sun), outcome, seed);
}

TEST(LimbFitRefusal, NoEdgeOnAFlatPicture)
{
    LimbScenes::Scene scene = SunScene(300, 300, { 150, 150, 400 }); // all disc
    const Rendered picture = Render(scene);
    const Circle seed { 150, 150, 100 };
    ExpectRefusal(LimbFit::FitSunLimb(picture.View(), seed), Outcome::NoEdge, seed);
}

TEST(LimbFitRefusal, ShortArcWhenOnlyASliverOfLimbIsSeen)
{
    // The rest of the limb is hidden: the picture outside a 60-degree wedge
    // is made flat at the disc's level.
    Rendered picture = Render(SunScene(300, 300, { 150, 150, 100 }));
    const std::uint16_t inside = picture.Plane.Samples[150 * 300 + 150];
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const double angle = std::atan2(y - 150.0, x - 150.0) * 180 / std::numbers::pi;
            if (std::abs(angle) > 30)
                picture.Plane.Samples[static_cast<std::size_t>(y * 300 + x)] = inside;
        }
    const Circle seed { 152, 148, 104 };
    ExpectRefusal(LimbFit::FitSunLimb(picture.View(), seed), Outcome::ShortArc, seed);
}

TEST(LimbFitRefusal, NotACleanCircleOnASquare)
{
    GreyPlane::Plane plane;
    plane.Width = plane.Height = 300;
    plane.Samples.assign(300 * 300, 0);
    for (int y = 50; y < 250; ++y)
        for (int x = 50; x < 250; ++x)
            plane.Samples[static_cast<std::size_t>(y * 300 + x)] = 30000;
    const Circle seed { 150, 150, 105 };
    ExpectRefusal(
        LimbFit::FitSunLimb({ 300, 300, plane.Samples.data() }, seed), Outcome::NotCircle, seed);
}

TEST(LimbFitRefusal, MovedTooFarFromThePlanetSeed)
{
    // The seed 30 px beside the planet.
    ExpectPlanetRefused(
        [](LimbScenes::Scene& scene) {
            scene.Planets = { { 230, 200, 10 } };
        },
        { 200, 200, 10 }, Outcome::MovedTooFar);
}

TEST(LimbFitRefusal, ASpotWithAPenumbraIsNoPlanet)
{
    ExpectPlanetRefused(
        [](LimbScenes::Scene& scene) {
            scene.Spots = { { 190.5, 210.5, 8, 18 } };
        },
        { 192, 208, 9 }, Outcome::Sunspot);
}

TEST(LimbFitRefusal, ASmallSpotInHeavySeeingIsNoPlanet)
{
    // Blurred, its penumbra merges with the umbra into one soft dip; its core
    // still keeps far more light than a planet's would under the limb's blur.
    ExpectPlanetRefused(
        [](LimbScenes::Scene& scene) {
            scene.Blur = 2.5;
            scene.Spots = { { 180.5, 220.5, 6, 13 } };
        },
        { 183, 218, 6 }, Outcome::Sunspot);
}

TEST(LimbFitRefusal, PlanetOnTheLimbIsTooCloseToMeasure)
{
    ExpectPlanetRefused(
        [](LimbScenes::Scene& scene) {
            scene.Planets = { { 200, 200 - 168, 14 } };
        },
        { 202, 34, 14 }, Outcome::TooCloseToLimb);
}

TEST(LimbFitRefusal, APlanetCutByTheLimbInHeavySeeingIsTooCloseToMeasure)
{
    // Cut by the limb by 21 px, blur 3 px: the edge is seen on the inner half
    // only, over the steepest shading, and the centre's predicted sigma
    // exceeds what a planet's position needs.
    LimbScenes::Scene scene = SunScene(400, 400, { 200, 200, 170 });
    scene.Blur = 3;
    scene.Noise = 0.01;
    scene.Jpeg = true;
    scene.Exposure = 0.3;
    scene.Planets = { { 200, 200 - 155, 36 } };
    const Rendered picture = Render(scene);
    const Circle seed { 203, 47, 36 };
    const FitTypes::Fit fit = LimbFit::FitPlanet(picture.View(), seed, { 200, 200, 170 });
    ExpectRefusal(fit, Outcome::TooCloseToLimb, seed);
}

TEST(LimbFitRefusal, SaturatedLimb)
{
    LimbScenes::Scene scene = SunScene(300, 300, { 150, 150, 100 });
    scene.Exposure = 1.6; // clipped up to the limb in every channel
    scene.Gains = { 1, 1, 1 };
    const Rendered picture = Render(scene);
    const Circle seed { 145, 153, 96 };
    ExpectRefusal(LimbFit::FitSunLimb(picture.View(), seed), Outcome::Saturated, seed);
}

// [SECTION] Real photographs, where the shared folder is

FitTypes::Fit FitSunOf(const GreyPlane::Plane& plane, const Circle& seed)
{
    return LimbFit::FitSunLimb({ plane.Width, plane.Height, plane.Samples.data() }, seed);
}

// The plane of a photograph of the shared folder; false where it is absent.
bool LoadPhotograph(const std::string& name, GreyPlane::Plane& plane)
{
    const std::string path = HELIDOR_PHOTO_DIR "/" + name;
    if (!std::filesystem::exists(path))
        return false;
    GreyPlane::DecodeJpegFile(path, plane);
    return true;
}

TEST(LimbFitPhotograph, TheRoundSpotOfTheIntensitygramIsRefusedAsASpot)
{
    GreyPlane::Plane plane;
    if (!LoadPhotograph("sdo_hmi_intensitygram_2022-04_1024.jpg", plane))
        GTEST_SKIP() << "no photograph folder";
    // The disc fills the picture to about 40 px from its edges; the spot,
    // about 10 px across with its penumbra, lies above and right of the centre.
    const FitTypes::Fit sun = FitSunOf(plane, { 505, 520, 465 });
    ASSERT_EQ(sun.Result, Outcome::Fitted);
    EXPECT_NEAR(sun.Fitted.X, 511.5, 2);
    EXPECT_NEAR(sun.Fitted.Y, 511.5, 2);
    const FitTypes::Fit spot = LimbFit::FitPlanet(
        { plane.Width, plane.Height, plane.Samples.data() }, { 603, 357, 6 }, sun.Fitted);
    EXPECT_EQ(spot.Result, Outcome::Sunspot) << LimbFit::OutcomeName(spot.Result);
}

TEST(LimbFitPhotograph, AMercuryDotOfTheCompositeIsFitted)
{
    GreyPlane::Plane plane;
    if (!LoadPhotograph("mercury2016_sdo_hmi_composite.jpg", plane))
        GTEST_SKIP() << "no photograph folder";
    // Red is burnt out near the limb and goes; the dots are about 25 px across.
    EXPECT_EQ(plane.KeptChannels, GreyPlane::Blue | GreyPlane::Green);
    const FitTypes::Fit sun = FitSunOf(plane, { 2040, 2060, 1870 });
    ASSERT_EQ(sun.Result, Outcome::Fitted);
    const FitTypes::Fit dot = LimbFit::FitPlanet(
        { plane.Width, plane.Height, plane.Samples.data() }, { 3460, 2740, 14 }, sun.Fitted);
    ASSERT_EQ(dot.Result, Outcome::Fitted) << LimbFit::OutcomeName(dot.Result);
    EXPECT_NEAR(dot.Fitted.R, 12.5, 1.5);
    EXPECT_LT(std::sqrt(dot.Covariance[0]), 0.1);
}

// [SECTION] Error bars

using FitErrors::Covariance;

TEST(FitErrors, RhoAndAngleWorkedByHand)
{
    // S (100, 100, 50), P (130, 60): D = 50, rho' = 1. Only the Sun uncertain:
    // sigma^2(rho') = 0.04 / 50^2 + (1 / 50)^2 0.09 = 5.2e-5; sigma(PA) = 0.2 / 50.
    const Covariance sun { 0.04, 0, 0, 0, 0.04, 0, 0, 0, 0.09 };
    const FitErrors::PositionErrors e
        = FitErrors::RhoAndAngle({ 100, 100, 50 }, sun, { 130, 60, 5 }, Covariance {});
    EXPECT_NEAR(e.SigmaRho, 0.0072111, 1e-7);
    EXPECT_NEAR(e.SigmaAngle, 0.004, 1e-9);
    EXPECT_NEAR(e.RhoAngleCovariance, 0, 1e-15);
}

TEST(FitErrors, FloorsKeysAndDrift)
{
    const Covariance keys = FitErrors::KeyFittedCovariance();
    EXPECT_EQ(keys, (Covariance { 0.25, 0, 0, 0, 0.25, 0, 0, 0, 0.25 }));
    const Covariance floored = FitErrors::WithCentreFloor(Covariance {}, 0.05);
    EXPECT_NEAR(floored[0], 0.0025, 1e-15);
    EXPECT_NEAR(floored[4], 0.0025, 1e-15);
    EXPECT_EQ(floored[8], 0);
    // Shift (300, 400), |shift| 500; 0.25 + 0.25 across it: sqrt(0.5) / 500.
    EXPECT_NEAR(FitErrors::DriftDirectionSigma({ 0, 0, 1 }, keys, { 300, 400, 1 }, keys),
        0.0014142136, 1e-9);
}

// The evaluation's rho' and position angle (radians, y up) of screen circles.
std::array<double, 2> RhoAndAngle(const std::array<double, 6>& p)
{
    const double dx = p[3] - p[0], dy = p[1] - p[4];
    return { std::hypot(dx, dy) / p[2], std::atan2(dy, dx) };
}

TEST(FitErrors, AgreeWithANumericalDerivativeForAnyCovariance)
{
    // Correlated, unequal covariances: J C J' by central differences.
    const Covariance sun { 0.09, 0.03, 0.01, 0.03, 0.04, -0.02, 0.01, -0.02, 0.16 };
    const Covariance planet { 0.02, -0.015, 0, -0.015, 0.05, 0, 0, 0, 0.01 };
    const std::array<double, 6> at { 412.3, 305.8, 210.4, 523.1, 228.6, 11.0 };
    // Parameters 0-2 the Sun's x, y, r; 3-4 the planet's x, y. The formula leaves out
    // the Sun's centre-radius covariance, so the test does too.
    double jac[2][5];
    for (int k = 0; k < 5; ++k) {
        std::array<double, 6> plus = at, minus = at;
        plus[static_cast<std::size_t>(k)] += 1e-5;
        minus[static_cast<std::size_t>(k)] -= 1e-5;
        for (int f = 0; f < 2; ++f)
            jac[f][k] = (RhoAndAngle(plus)[static_cast<std::size_t>(f)]
                            - RhoAndAngle(minus)[static_cast<std::size_t>(f)])
                / 2e-5;
    }
    double c[5][5] = {};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            c[i][j] = sun[static_cast<std::size_t>(i * 3 + j)];
            c[3 + i][3 + j] = planet[static_cast<std::size_t>(i * 3 + j)];
        }
    c[2][2] = sun[8];
    double v[2][2] = {};
    for (int f = 0; f < 2; ++f)
        for (int g = 0; g < 2; ++g)
            for (int i = 0; i < 5; ++i)
                for (int j = 0; j < 5; ++j)
                    v[f][g] += jac[f][i] * c[i][j] * jac[g][j];
    const FitErrors::PositionErrors e
        = FitErrors::RhoAndAngle({ at[0], at[1], at[2] }, sun, { at[3], at[4], at[5] }, planet);
    EXPECT_NEAR(e.SigmaRho, std::sqrt(v[0][0]), 1e-7);
    EXPECT_NEAR(e.SigmaAngle, std::sqrt(v[1][1]), 1e-7);
    EXPECT_NEAR(e.RhoAngleCovariance, v[0][1], 1e-9);

    // x' and y' from rho' and the angle, with a reference direction known to 0.001 rad.
    const auto [rho, theta] = RhoAndAngle(at);
    const double reference = 0.3;
    const FitErrors::CartesianErrors xy = FitErrors::XAndY(rho, theta - reference, e, 0.001);
    const double a = theta - reference;
    const double jx[2] = { std::cos(a), -rho * std::sin(a) },
                 jy[2] = { std::sin(a), rho * std::cos(a) };
    const double vt[2][2] = { { v[0][0], v[0][1] }, { v[1][0], v[1][1] + 1e-6 } };
    double vx = 0, vy = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            vx += jx[i] * vt[i][j] * jx[j];
            vy += jy[i] * vt[i][j] * jy[j];
        }
    EXPECT_NEAR(xy.SigmaX, std::sqrt(vx), 1e-7);
    EXPECT_NEAR(xy.SigmaY, std::sqrt(vy), 1e-7);
}

} // namespace
