// The dialogue driven through string streams, then the inputs as converted
// and the computed results checked against hand-computed values.
#include "KernDos.h"
#include "PromptLoop.h"
#include "Quenmark.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

constexpr double Tolerance = 1e-10;
struct ProgramEnded { };
void ThrowEnd()
{
    throw ProgramEnded {};
}

class Parallax : public testing::Test {
protected:
    std::istringstream in;
    std::ostringstream out;

    void SetUp() override
    {
        Quenmark::ResetState();
        PromptLoop::Install(KernDos::Binding());
    }
    void TearDown() override { KernDos::ResetConsole(); }

    // Answers every question of one run and its first pass; "" keeps a default.
    void RunFirstPass(const std::string& planet, const std::vector<std::string>& sunAndSites = {},
        const std::vector<std::string>& timeAndPositions = {})
    {
        std::string lines = "\n" + planet + "\n";
        for (std::size_t i = 0; i < 9; ++i)
            lines += (i < sunAndSites.size() ? sunAndSites[i] : "") + "\n";
        for (std::size_t i = 0; i < 5; ++i)
            lines += (i < timeAndPositions.size() ? timeAndPositions[i] : "") + "\n";
        in.str(lines);
        KernDos::SetConsole({ &in, &out, &ThrowEnd });
        Quenmark::ChooseLanguageAndShowTitle();
        Quenmark::ReadSunAndSites();
        Quenmark::ComputeSunVector();
        Quenmark::ReadTimeAndPositions();
        Quenmark::ComputeParallax();
    }
};

TEST_F(Parallax, VenusDefaults)
{
    RunFirstPass("");
    const auto& input = Quenmark::Input;
    EXPECT_NEAR(input.RightAscension, 1.34150369631, Tolerance);
    EXPECT_NEAR(input.Declination, 0.399467080687, Tolerance);
    EXPECT_NEAR(input.SunRadius, 0.00458148928649, Tolerance);
    EXPECT_NEAR(input.SiderealTime0, 4.48055107808, Tolerance);
    EXPECT_NEAR(input.Latitude1, 0.894306708722, Tolerance);
    EXPECT_NEAR(input.Longitude1, 0.12217304764, Tolerance);
    EXPECT_NEAR(input.Latitude2, -0.389906554896, Tolerance);
    EXPECT_NEAR(input.Longitude2, 0.297578637465, Tolerance);
    EXPECT_NEAR(input.Time, 2.58308729295, Tolerance);

    const auto& r = Quenmark::Result;
    EXPECT_NEAR(r.LocalSiderealTime1, 0.909698370212, Tolerance);
    EXPECT_NEAR(r.LocalSiderealTime2, 1.08510396004, Tolerance);
    EXPECT_NEAR(r.Baseline.Length, 1.20516309676, Tolerance);
    EXPECT_NEAR(r.ScalarProduct, -0.15067061, 1e-8);
    EXPECT_NEAR(r.W, 1.72204292, 1e-8);
    EXPECT_NEAR(r.Beta, 10.2313435335, Tolerance);
    EXPECT_NEAR(std::sin(r.W) * r.Baseline.Length, 1.19140498, 1e-8);
    EXPECT_NEAR(r.PiS, 3.42304079, 1e-8);
}

TEST_F(Parallax, MercuryDefaults)
{
    RunFirstPass("m");
    const auto& r = Quenmark::Result;
    EXPECT_NEAR(Quenmark::Input.RightAscension, 0.765254154947, Tolerance);
    EXPECT_NEAR(r.Beta, 10.2963044448, Tolerance);
    EXPECT_NEAR(r.Baseline.Length, 1.20516309676, Tolerance);
    EXPECT_NEAR(std::sin(r.W) * r.Baseline.Length, 1.20488186, 1e-8);
    EXPECT_NEAR(r.PiS, 10.6148000, 1e-7);
}

TEST_F(Parallax, EqualDistancesGiveNoParallax)
{
    RunFirstPass("", { "", "", "", "", "1" });
    EXPECT_EQ(Quenmark::Result.PiS, 0);
}

TEST_F(Parallax, IdenticalPositionsGiveNoShift)
{
    RunFirstPass("", {}, { "", "0.5", "0.5", "0.5", "0.5" });
    EXPECT_EQ(Quenmark::Result.Beta, 0);
    EXPECT_EQ(Quenmark::Result.PiS, 0);
}

TEST_F(Parallax, OnlyTimesAboveAFullTurnAreWrapped)
{
    // Western longitudes: 0h sidereal time, -100 degrees, 0h UT stays negative.
    RunFirstPass("", { "", "", "", "0", "", "", "-100", "", "" }, { "0" });
    EXPECT_NEAR(Quenmark::Result.LocalSiderealTime1, -100 * 0.017453292519943295769, Tolerance);
    // 17h6m52 + 17.05 degrees + 23.59 UT goes past a full turn once.
    RunFirstPass("", {}, { "23.59" });
    const double unwrapped = Quenmark::Input.SiderealTime0 + Quenmark::Input.Longitude2
        + 1.0027379093 * Quenmark::Input.Time;
    EXPECT_GT(unwrapped, 6.283185307179586477);
    EXPECT_NEAR(Quenmark::Result.LocalSiderealTime2, unwrapped - 6.283185307179586477, Tolerance);
}

} // namespace
