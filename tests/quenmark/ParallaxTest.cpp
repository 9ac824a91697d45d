// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogue driven through string streams, then the inputs as converted
// and the computed results checked against hand-computed values.
#include "KernDos.h"
#include "PromptLoop.h"
#include "Quenmark.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

namespace {

constexpr double Tolerance = 1e-10;

double Degrees(double degrees)
{
    return degrees * std::numbers::pi / 180;
}

struct ProgramEnded { };
void ThrowEnd()
{
    throw ProgramEnded {};
}

class Parallax : public testing::Test {
protected:
    std::istringstream in;
    std::ostringstream out;
    std::string language; // the answer to the language question; "" keeps English

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
        std::string lines = language + "\n" + planet + "\n";
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

// Local sidereal time of site 1 = sidereal time at 0h + longitude + 1.0027379093
// x UT, less one full turn when above it.
struct SiderealCase {
    const char* name;
    const char* siderealTime0;
    const char* longitude;
    const char* time;
    double degrees;
};

class LocalSiderealTime : public Parallax, public testing::WithParamInterface<SiderealCase> { };

TEST_P(LocalSiderealTime, WrapsOnlyAboveAFullTurn)
{
    const SiderealCase& c = GetParam();
    RunFirstPass("", { "", "", "", c.siderealTime0, "", "", c.longitude }, { c.time });
    EXPECT_NEAR(Quenmark::Result.LocalSiderealTime1, Degrees(c.degrees), Tolerance);
}

INSTANTIATE_TEST_SUITE_P(Sums, LocalSiderealTime,
    testing::Values(SiderealCase { "WesternStaysNegative", "0", "-100", "0", -100 },
        SiderealCase { "WithinATurn", "100", "250", "0", 350 },
        SiderealCase { "PastATurn", "300", "70", "0", 10 },
        SiderealCase { "OnceOnly", "300", "430", "0", 370 },
        // 12h UT: 180 degrees x 1.0027379093
        SiderealCase { "SiderealRate", "0", "200", "12", 20.492823674 }),
    [](const auto& row) { return row.param.name; });

// The line of piS when it has no value: each reason is true for its inputs.
struct ReasonCase {
    const char* name;
    const char* language;
    std::vector<std::string> sunAndSites, timeAndPositions;
    const char* reason;
};

class NoParallax : public Parallax, public testing::WithParamInterface<ReasonCase> { };

TEST_P(NoParallax, SaysWhy)
{
    const ReasonCase& c = GetParam();
    language = c.language;
    RunFirstPass("", c.sunAndSites, c.timeAndPositions);
    Quenmark::ShowResults();
    const std::string label
        = language == "g" ? "Parallaxe der Sonne piS :" : "Parallax of the Sun piS :";
    const std::string line = std::string(60 - label.size(), ' ') + label + "  " + c.reason + "\n";
    EXPECT_NE(out.str().find(line), std::string::npos) << out.str();
}

// Sun at right ascension 30 degrees on the equator; at 0h the sites on the
// equator at longitudes -90 and -30 lie one Earth radius apart along that
// direction. The scalar product misses 1 by its rounding.
const std::vector<std::string> BaselineAlongTheSun { "2h0m", "0", "", "0", "", "0", "-90", "0",
    "-30" };
// Declination 30, the two poles: the baseline is at 120 degrees to the Sun.
const std::vector<std::string> PolesAtAngleToSun { "", "30", "", "", "", "90", "", "-90", "" };
const std::vector<std::string> HugePositions { "", "1e300", "", "-1e300", "" };

INSTANTIATE_TEST_SUITE_P(Reasons, NoParallax,
    testing::Values(ReasonCase { "GermanRatioZero", "g", { "", "", "", "", "0" }, {},
                        "nicht definiert: rPlanet/rErde ist 0" },
        ReasonCase { "GermanSunBelowHorizon", "g", { "", "", "", "", "", "80", "0", "-80", "180" },
            {}, "nicht definiert: die Sonne steht an einem Beobachtungsort unter dem Horizont" },
        ReasonCase { "GermanBaselineTowardSun", "g", BaselineAlongTheSun, { "0" },
            "nicht definiert: die Verbindungslinie der Beobachtungsorte zeigt zur Sonne" },
        ReasonCase { "GermanSinWZero", "g", PolesAtAngleToSun, {},
            "nicht definiert: sin(w) ist 0, die Kosinus der Zenitdistanzen der Sonne an den "
            "beiden Orten unterscheiden sich um 1" },
        ReasonCase { "GermanOutOfRange", "g", {}, HugePositions,
            "nicht definiert: die Eingaben liegen außerhalb des Rechenbereichs" },
        ReasonCase {
            "OutOfRange", "", {}, HugePositions, "undefined: the inputs are out of range" },
        // The sites cannot be placed: their rounding exceeds any baseline.
        ReasonCase {
            "TimeOutOfRange", "", {}, { "1e200" }, "undefined: the inputs are out of range" }),
    [](const auto& row) { return row.param.name; });

} // namespace
