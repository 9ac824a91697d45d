// SPDX-License-Identifier: GPL-3.0-or-later
#include "Mathe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using std::numbers::pi;
constexpr double Tolerance = 1e-15;

struct PolarCase {
    const char* name;
    double y, x, angle;
};

class PolarAngleTest : public testing::TestWithParam<PolarCase> { };

TEST_P(PolarAngleTest, MatchesTheQuadrant)
{
    const PolarCase& c = GetParam();
    EXPECT_NEAR(Mathe::PolarAngle(c.y, c.x), c.angle, Tolerance);
    if (c.x != 0 || c.y != 0) {
        EXPECT_NEAR(Mathe::PolarAngle(c.y, c.x), std::atan2(c.y, c.x), Tolerance);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, PolarAngleTest,
    testing::Values(PolarCase { "Origin", 0, 0, 0 }, PolarCase { "Up", 1, 0, pi / 2 },
        PolarCase { "Down", -1, 0, -pi / 2 }, PolarCase { "NegativeXAxis", 0, -1, pi },
        PolarCase { "FourthQuadrant", -1, 1, -pi / 4 },
        PolarCase { "SecondQuadrant", 1, -1, 3 * pi / 4 },
        PolarCase { "ThirdQuadrant", -1, -2, std::atan2(-1.0, -2.0) },
        PolarCase { "Steep", 5, 0.001, std::atan2(5, 0.001) },
        PolarCase { "Flat", 0.001, 5, std::atan2(0.001, 5) }),
    [](const auto& row) { return row.param.name; });

TEST(ArcCos, EndsMiddleAndOutside)
{
    EXPECT_EQ(Mathe::ArcCos(1), 0);
    EXPECT_NEAR(Mathe::ArcCos(-1), pi, Tolerance);
    EXPECT_EQ(Mathe::ArcCos(0), 1.5707963267948966);
    EXPECT_NEAR(Mathe::ArcCos(0.5), pi / 3, Tolerance);
    EXPECT_NEAR(Mathe::ArcCos(-0.15067061), std::acos(-0.15067061), Tolerance);
    EXPECT_NEAR(Mathe::ArcCos(1e-300), pi / 2, Tolerance);
    EXPECT_TRUE(std::isnan(Mathe::ArcCos(1.0000001)));
    EXPECT_TRUE(std::isnan(Mathe::ArcCos(-2)));
}

TEST(SpaceVectors, SphericalToCartesianKeepsTheRadiusAsLength)
{
    const Mathe::SpaceVector pole = Mathe::SphericalToCartesian({ 1, 0, pi / 2 });
    EXPECT_NEAR(pole.X, 6.1e-17, 1e-18);
    EXPECT_EQ(pole.Y, 0);
    EXPECT_EQ(pole.Z, 1);
    EXPECT_EQ(pole.Length, 1);

    const Mathe::SpaceVector v = Mathe::SphericalToCartesian({ 2, pi / 6, pi / 4 });
    EXPECT_NEAR(v.X, 2 * std::cos(pi / 4) * std::cos(pi / 6), Tolerance);
    EXPECT_NEAR(v.Y, 2 * std::cos(pi / 4) * std::sin(pi / 6), Tolerance);
    EXPECT_NEAR(v.Z, 2 * std::sin(pi / 4), Tolerance);
    EXPECT_EQ(v.Length, 2);
}

TEST(SpaceVectors, DifferenceHasItsLength)
{
    const Mathe::SpaceVector a { 1, 1, 0, 0 }, b { 1, 0, 1, 0 };
    const Mathe::SpaceVector d = Mathe::VectorDifference(a, b);
    EXPECT_EQ(d.X, 1);
    EXPECT_EQ(d.Y, -1);
    EXPECT_EQ(d.Z, 0);
    EXPECT_NEAR(d.Length, std::sqrt(2.0), Tolerance);
}

TEST(SpaceVectors, DotProductIgnoresLength)
{
    const Mathe::SpaceVector a { 1, 1, 2, 3 }, b { 1, 4, -5, 6 }, longB { 99, 4, -5, 6 };
    EXPECT_EQ(Mathe::DotProduct(a, b), 12);
    EXPECT_EQ(Mathe::DotProduct(a, longB), Mathe::DotProduct(a, b));
}

} // namespace
