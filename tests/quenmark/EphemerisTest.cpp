// The ephemeris against figures computed or published elsewhere, the date
// syntax and range, and the rounding of the default texts.
#include "Ephemeris.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double SecondOfTime = Pi / 43200; // radians
constexpr double Arcminute = Pi / 10800;

double Hms(int h, int m, double s)
{
    return (h + m / 60.0 + s / 3600) * 15 * Pi / 180;
}

double Dms(int d, int m, double s)
{
    return (d + m / 60.0 + s / 3600) * Pi / 180;
}

Ephemeris::CalendarDate Date(int year, int month, int day)
{
    return { year, month, day };
}

// Greenwich mean sidereal time at 0h UT, worked out by hand with the IAU 1982
// expression 24110.54841 s + 8640184.812866 s T + 0.093104 s T^2 (T in Julian
// centuries of UT1 from J2000); it differs from IAU 2006 by milliseconds.
struct SiderealRow {
    const char* Name;
    Ephemeris::CalendarDate When;
    double Expected;
};

class SiderealTime : public testing::TestWithParam<SiderealRow> { };

TEST_P(SiderealTime, AgreesWithinOneSecond)
{
    const auto& row = GetParam();
    const double computed
        = Ephemeris::Compute(row.When, 12, Ephemeris::Planet::Venus).SiderealTime0;
    EXPECT_NEAR(computed, row.Expected, SecondOfTime) << row.Name;
}

INSTANTIATE_TEST_SUITE_P(Transits, SiderealTime,
    testing::Values(SiderealRow { "Mercury2003", Date(2003, 5, 7), Hms(14, 57, 42.93) },
        SiderealRow { "Venus2004", Date(2004, 6, 8), Hms(17, 6, 51.97) },
        SiderealRow { "Venus2012", Date(2012, 6, 6), Hms(16, 59, 13.64) },
        SiderealRow { "Mercury2016", Date(2016, 5, 9), Hms(15, 8, 57.49) },
        SiderealRow { "Mercury2019", Date(2019, 11, 11), Hms(3, 19, 24.91) }),
    [](const auto& row) { return std::string(row.param.Name); });

// Published with the geocentric circumstances of the transit of Mercury of
// 2016 May 9 (IOTA's prediction, minimum separation at 14:57:38 UTC): the
// Sun's radius 950.4".
TEST(PublishedFigures, SunRadiusAtTheTransitOfMercury2016)
{
    const auto sun
        = Ephemeris::Compute(Date(2016, 5, 9), 14 + 57.6 / 60, Ephemeris::Planet::Mercury);
    EXPECT_NEAR(sun.Radius / Arcminute, 950.4 / 60, 0.01);
}

TEST(Dates, AreReadOnlyAsRealCalendarDates)
{
    Ephemeris::CalendarDate date;
    ASSERT_TRUE(Ephemeris::ParseDate("2004-06-08", date));
    EXPECT_EQ(date.Year, 2004);
    EXPECT_EQ(date.Month, 6);
    EXPECT_EQ(date.Day, 8);
    EXPECT_TRUE(Ephemeris::ParseDate("2000-02-29", date));
    for (const char* bad :
        { "1900-02-29", "2004-13-01", "2004-00-10", "2004-06-31", "2004-06-00", "2004-6-08",
            "2004-06-8", "20040608", "2004-06-08 ", "2004/06/08", "+004-06-08", "", "2004-06-0x" })
        EXPECT_FALSE(Ephemeris::ParseDate(bad, date)) << bad;
}

TEST(Dates, RangeIsTheEphemerisYears)
{
    EXPECT_FALSE(Ephemeris::InRange(Date(1899, 12, 31)));
    EXPECT_TRUE(Ephemeris::InRange(Date(1900, 1, 1)));
    EXPECT_TRUE(Ephemeris::InRange(Date(2100, 12, 31)));
    EXPECT_FALSE(Ephemeris::InRange(Date(2101, 1, 1)));
}

TEST(DefaultTexts, RoundToTheLastUnitWithCarry)
{
    EXPECT_EQ(Ephemeris::FormatHours(Hms(5, 7, 27.4)), "5h7m27");
    EXPECT_EQ(Ephemeris::FormatHours(Hms(5, 7, 59.6)), "5h8m0");
    EXPECT_EQ(Ephemeris::FormatHours(Hms(23, 59, 59.7)), "0h0m0");
    EXPECT_EQ(Ephemeris::FormatHours(Hms(17, 6, 51.97)), "17h6m52");
    EXPECT_EQ(Ephemeris::FormatDegrees(Dms(22, 53, 15.6)), "22g53'16");
    EXPECT_EQ(Ephemeris::FormatDegrees(-Dms(17, 16, 18.7)), "-17g16'19");
    EXPECT_EQ(Ephemeris::FormatDegrees(-Dms(0, 0, 0.4)), "0g0'0");
    EXPECT_EQ(Ephemeris::FormatDegrees(Dms(16, 59, 59.5)), "17g0'0");
    EXPECT_EQ(Ephemeris::FormatArcminutes(15.754 * Arcminute), "15.75");
    EXPECT_EQ(Ephemeris::FormatRatio(0.4456), "0.446");
}

} // namespace
