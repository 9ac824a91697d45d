// SPDX-License-Identifier: GPL-3.0-or-later
// The Sun's place against published figures printed finely enough to check it
// to a few tenths of an arcsecond: the Sun moves 0.04" a second, so an
// instant off by TT - UT (about a minute) moves it by 1" to 3" in right
// ascension, which these tolerances do not let pass.
#include "Ephemeris.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double Arcsecond = Pi / 648000;
constexpr double None = -1; // no such figure printed

double Hms(int h, int m, double s)
{
    return (h + m / 60.0 + s / 3600) * 15 * Pi / 180;
}

double Dms(int d, int m, double s)
{
    return (d + m / 60.0 + s / 3600) * Pi / 180;
}

struct FineRow {
    const char* Name;
    Ephemeris::CalendarDate When;
    double HoursUt;
    double RightAscension, Declination; // None where not printed
    double Tolerance; // arcseconds, on the sky
};

class FineFigures : public testing::TestWithParam<FineRow> { };

TEST_P(FineFigures, AgreeToAFewTenthsOfAnArcsecond)
{
    const FineRow& row = GetParam();
    const auto sun = Ephemeris::Compute(row.When, row.HoursUt, Ephemeris::Planet::Venus);
    if (row.RightAscension != None) {
        // Measured on the sky: an hour angle shrinks by cos(declination).
        EXPECT_NEAR(
            (sun.RightAscension - row.RightAscension) * std::cos(sun.Declination) / Arcsecond, 0,
            row.Tolerance)
            << "right ascension";
    }
    if (row.Declination != None) {
        EXPECT_NEAR((sun.Declination - row.Declination) / Arcsecond, 0, row.Tolerance)
            << "declination";
    }
}

// 0h TT of the day after, in hours UT of the given day: TT - UTC is
// TAI - UTC + 32.184 s (27 s in 1992, 35 s in 2013).
constexpr double MidnightTt1992 = 24 - (27 + 32.184) / 3600;
constexpr double MidnightTt2013 = 24 - (35 + 32.184) / 3600;

INSTANTIATE_TEST_SUITE_P(Published, FineFigures,
    testing::Values(
        // J. Meeus, Astronomical Algorithms, 2nd ed., Example 25.b: 1992
        // October 13.0 TD, alpha 13h13m30.749s, delta -7d47'01.74", from the
        // full VSOP87; a different nutation and frame leave about 0.1".
        FineRow { "Meeus25b", { 1992, 10, 12 }, MidnightTt1992, Hms(13, 13, 30.749),
            -Dms(7, 47, 1.74), 0.2 },
        // The Astronomical Almanac for 2013, p. C12: June 17.0 TT, alpha
        // 5h42m28.88s (0.01 s is 0.14" here), delta +23d22'27.8".
        FineRow { "Almanac2013June17", { 2013, 6, 16 }, MidnightTt2013, Hms(5, 42, 28.88),
            Dms(23, 22, 27.8), 0.2 },
        // Surveyors' ephemeris checked against the Almanac, 0h UT, delta to
        // 0.1": 2009 November 11 -17d23'42.1", 2013 January 8 -22d14'37.1".
        FineRow { "Surveyors2009November11", { 2009, 11, 11 }, 0, None, -Dms(17, 23, 42.1), 0.2 },
        FineRow { "Surveyors2013January8", { 2013, 1, 8 }, 0, None, -Dms(22, 14, 37.1), 0.2 }),
    [](const auto& row) { return std::string(row.param.Name); });

} // namespace
