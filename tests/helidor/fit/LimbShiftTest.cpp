// SPDX-License-Identifier: GPL-3.0-or-later
// The Sun fit's radius corrected for where a blurred, limb-darkened limb
// shows its edge. The expected shifts are worked out by hand from the
// first-order law x = 0.5152 (K / J) S^1.5 and, for the exact peak, by a
// golden-section search of the smoothed model profile sampled on a fine grid.
// The limbs are drawn by the benchmark's scene generator (8-bit sRGB, no JPEG).
#include "LimbShift.h"
#include "GreyPlane.h"
#include "LimbFit.h"
#include "LimbScenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <ostream>
#include <vector>

namespace {

using FitTypes::Circle;
using FitTypes::Fit;
using FitTypes::GreyView;
using FitTypes::Outcome;
using FitTypes::Point;

// [SECTION] The shift of the peak

TEST(LimbShiftPeak, FirstOrderLawWorkedByHand)
{
    // u = 0.6, R = 400: K / J = 1.5 sqrt(2 / 400) = 0.106066; S = 2:
    // 0.5152 * 0.106066 * 2^1.5 = 0.15456.
    EXPECT_NEAR(LimbShift::FirstOrderShift(0.106066, 2.0), 0.15456, 1e-4);
}

TEST(LimbShiftPeak, ExactPeakOfTheSmoothedProfile)
{
    // Small K / J: the first-order law, 0.5152 * 0.001 * 2^1.5 = 0.0014572.
    EXPECT_NEAR(LimbShift::PeakShift(0.001, 2.0), 0.0014572, 2e-5);
    // u = 0.6, R = 400, S = 2: the peak at 0.14282, 8 % short of the first-order 0.15456.
    EXPECT_NEAR(LimbShift::PeakShift(0.106066, 2.0), 0.14282, 5e-4);
    // u = 0.6, R = 150, blur 2 and the kernel's 1.25: S = sqrt(5.5625) = 2.35850,
    // K / J = 1.5 sqrt(2 / 150) = 0.173205; first order 0.32321, the peak 0.28165.
    EXPECT_NEAR(LimbShift::PeakShift(0.173205, 2.35850), 0.28165, 5e-4);
    EXPECT_EQ(LimbShift::PeakShift(0, 2.0), 0) << "no darkening, no shift";
}

// [SECTION] Generated limbs

using Disc = LimbScenes::Disc;

struct Scene {
    GreyPlane::Plane Plane;
    GreyView View() const { return { Plane.Width, Plane.Height, Plane.Samples.data() }; }
};

// Discs with I = 1 - u (1 - mu) at a linear level of 0.4 each, added,
// blurred by a Gaussian of sigma blur; noise 0.002, 8-bit sRGB, no JPEG.
// Samples further than clipFrom px inside the first disc's limb are clipped.
Scene Draw(int width, int height, const std::vector<Disc>& discs, double u, double blur,
    double clipFrom = -1)
{
    LimbScenes::Scene drawn;
    drawn.Width = width;
    drawn.Height = height;
    drawn.Suns = discs;
    drawn.LimbDarkening = u;
    drawn.Blur = blur;
    drawn.Noise = 0.002;
    drawn.Jpeg = false;
    std::vector<std::uint32_t> words;
    LimbScenes::Render(drawn, words);
    Scene scene;
    GreyPlane::FromWords(words.data(), width, height, scene.Plane);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (clipFrom >= 0 && std::hypot(x - discs[0].X, y - discs[0].Y) < discs[0].R - clipFrom)
                scene.Plane.Samples[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)
                    + static_cast<std::size_t>(x)]
                    = FitTypes::SaturatedSample;
    return scene;
}

struct LimbCase {
    const char* Name;
    double R, U, Blur;
    double Ratio; // K / J = u / (1 - u) sqrt(2 / R)
    double Shift; // the exact peak for S^2 = blur^2 + 1.25^2
    bool Twice; // a second exposure crossing the first
};

// Ratio and Shift by hand: u = 0.6, R = 150: 1.5 * sqrt(2 / 150) = 1.5 *
// 0.115470 = 0.173205; u = 0.7, R = 300: 2.33333 * 0.081650 = 0.190516,
// S = sqrt(1 + 1.5625) = 1.60078, first order 0.5152 * 0.190516 * 2.02534 =
// 0.19880, the peak 0.17540.
const LimbCase LimbCases[] = {
    { "DarkBlurredSmall", 150, 0.6, 2.0, 0.173205, 0.28165, false },
    { "DarkerSharperLarger", 300, 0.7, 1.0, 0.190516, 0.17540, false },
    { "TwiceExposed", 150, 0.6, 2.0, 0.173205, 0.28165, true },
};

void PrintTo(const LimbCase& c, std::ostream* out)
{
    *out << c.Name;
}

class LimbShiftScene : public testing::TestWithParam<LimbCase> { };

TEST_P(LimbShiftScene, CorrectedRadiusLiesOnTheLimb)
{
    const LimbCase& c = GetParam();
    const int margin = 50;
    const int side = static_cast<int>(2 * c.R) + 2 * margin;
    const Disc sun { margin + c.R + 0.3, margin + c.R + 0.6, c.R };
    std::vector<Disc> discs { sun };
    int width = side;
    if (c.Twice) { // the second disc 0.3 R to the right: 40 % of the limb lies on it
        discs.push_back({ sun.X + 0.3 * c.R, sun.Y + 0.4, c.R });
        width = side + static_cast<int>(0.3 * c.R);
    }
    const Scene scene = Draw(width, side, discs, c.U, c.Blur);
    const Fit fit = LimbFit::FitSunLimb(scene.View(), { sun.X - 2, sun.Y - 1, c.R - 2 });
    ASSERT_EQ(fit.Result, Outcome::Fitted);
    // Without the correction the radius would be c.Shift short.
    EXPECT_NEAR(fit.Fitted.R, c.R, 0.03);
    EXPECT_NEAR(fit.Fitted.X, sun.X, 0.03) << "the correction moves only R";
    EXPECT_GE(fit.Covariance[8], 0.016 * 0.016) << "the correction's own error is in sigma_r";
    EXPECT_LT(fit.Covariance[8], 0.03 * 0.03);

    const LimbShift::Estimate e
        = LimbShift::Measure(scene.View(), { sun.X, sun.Y, c.R - c.Shift }, fit.Used);
    ASSERT_TRUE(e.Ok);
    EXPECT_NEAR(e.Blur, c.Blur, 0.1);
    EXPECT_NEAR(e.Ratio, c.Ratio, 0.04 * c.Ratio);
    EXPECT_NEAR(e.Sigma, std::sqrt(c.Blur * c.Blur + 1.5625), 0.1);
    EXPECT_NEAR(e.Shift, c.Shift, 0.02);
    EXPECT_NEAR(e.Offset, -c.Shift, 0.05) << "the limb lies outside the circle measured from";
}

INSTANTIATE_TEST_SUITE_P(Limbs, LimbShiftScene, testing::ValuesIn(LimbCases),
    [](const testing::TestParamInfo<LimbCase>& row) { return row.param.Name; });

// [SECTION] The seeing's blur read off the limb

TEST(LimbShiftBlur, TheDrawnBlurOrNaNWhereTheLimbIsNotSeenWhole)
{
    const Disc sun { 150.3, 150.6, 100 };
    // It only starts the profile's fit: good to 0.3 px.
    for (const double blur : { 1.0, 2.5 })
        EXPECT_NEAR(
            LimbShift::SunLimbBlur(Draw(300, 300, { sun }, 0.6, blur).View(), sun), blur, 0.3)
            << "blur " << blur;
    // Clipped from 5 px inside the limb: every 12 px profile holds a clipped sample.
    EXPECT_TRUE(
        std::isnan(LimbShift::SunLimbBlur(Draw(300, 300, { sun }, 0.6, 1.0, 5).View(), sun)));
    // A circle around the whole plane: no profile across it lies in the picture.
    EXPECT_TRUE(std::isnan(
        LimbShift::SunLimbBlur(Draw(300, 300, { sun }, 0.6, 1.0).View(), { 150, 150, 250 })));
}

// [SECTION] No trustworthy estimate

// The given number of points of a circle, as a Sun fit's used points.
std::vector<Point> PointsOn(const Circle& circle, int points)
{
    std::vector<Point> on;
    for (int i = 0; i < points; ++i) {
        const double a = 2 * std::numbers::pi * i / points;
        on.push_back({ circle.X + circle.R * std::cos(a), circle.Y + circle.R * std::sin(a) });
    }
    return on;
}

TEST(LimbShiftUnreliable, ClippedInsideOrTooFewRaysLeaveTheRadiusAndWidenSigma)
{
    const Disc sun { 200.3, 200.6, 150 };
    const Circle seen { sun.X, sun.Y, 150 - 0.28 };
    // Clipped from 5 px inside the limb: every inside profile crosses it.
    const Scene clipped = Draw(400, 400, { sun }, 0.6, 2.0, 5);
    LimbShift::Correction c
        = LimbShift::RadiusCorrection(clipped.View(), seen, PointsOn(seen, 720));
    EXPECT_EQ(c.Radius, 0) << "no correction";
    // 0.2^2, the typical shift.
    EXPECT_NEAR(c.Variance, 0.04, 1e-12);

    // Unclipped, but only 20 rays to read.
    const Scene clear = Draw(400, 400, { sun }, 0.6, 2.0);
    c = LimbShift::RadiusCorrection(clear.View(), seen, PointsOn(seen, 20));
    EXPECT_EQ(c.Radius, 0);
    EXPECT_NEAR(c.Variance, 0.04, 1e-12);

    // The same limb on 720 rays is corrected: 149.72 + 0.28165.
    c = LimbShift::RadiusCorrection(clear.View(), seen, PointsOn(seen, 720));
    EXPECT_NEAR(seen.R + c.Radius, 150.0, 0.02);
    // 0.016^2.
    EXPECT_NEAR(c.Variance, 0.000256, 1e-12);
}

} // namespace
