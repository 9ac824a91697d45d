// SPDX-License-Identifier: GPL-3.0-or-later
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

// Figures printed by almanacs, circulars and textbook examples, each row with
// its source. An instant given in TT (TD) is turned into UT with TT - UTC =
// TAI - UTC + 32.184 s, the value the module itself uses for that date.
// Tolerances: 1 s of time in right ascension and sidereal time, 2" in
// declination, 0.01' in radius, 0.001 in the distance ratio.
constexpr double Arcsecond = Pi / 648000;
constexpr double Unpublished = -1; // this source prints no such figure

struct AlmanacRow {
    const char* Name;
    Ephemeris::CalendarDate When;
    double HoursUt;
    Ephemeris::Planet Planet;
    double RightAscension, Declination, Radius, SiderealTime0, RadiusRatio;
};

class PublishedFigures : public testing::TestWithParam<AlmanacRow> { };

TEST_P(PublishedFigures, AgreeWithinTheAlmanacTolerances)
{
    const auto& row = GetParam();
    const auto sun = Ephemeris::Compute(row.When, row.HoursUt, row.Planet);
    if (row.RightAscension != Unpublished) {
        EXPECT_NEAR(sun.RightAscension, row.RightAscension, SecondOfTime) << "right ascension";
    }
    if (row.Declination != Unpublished) {
        EXPECT_NEAR(sun.Declination, row.Declination, 2 * Arcsecond) << "declination";
    }
    if (row.Radius != Unpublished) {
        EXPECT_NEAR(sun.Radius / Arcminute, row.Radius / Arcminute, 0.01) << "radius";
    }
    if (row.SiderealTime0 != Unpublished) {
        EXPECT_NEAR(sun.SiderealTime0, row.SiderealTime0, SecondOfTime) << "sidereal time";
    }
    if (row.RadiusRatio != Unpublished) {
        EXPECT_NEAR(sun.RadiusRatio, row.RadiusRatio, 0.001) << "distance ratio";
    }
}

// 0h TT of the day after, in hours UT of the given day.
constexpr double MidnightTt1992 = 24 - (27 + 32.184) / 3600; // TAI - UTC = 27 s
constexpr double MidnightTt2013 = 24 - (35 + 32.184) / 3600; // TAI - UTC = 35 s

constexpr auto U = Unpublished;
constexpr auto Mercury = Ephemeris::Planet::Mercury;
constexpr auto Venus = Ephemeris::Planet::Venus;

INSTANTIATE_TEST_SUITE_P(Almanac, PublishedFigures,
    testing::Values(
        // J. Meeus, Astronomical Algorithms, 2nd ed. (1998), Example 25.b,
        // p. 169: the Sun on 1992 October 13.0 TD, apparent place of date
        // from VSOP87, alpha 13h13m30.749s, delta -7d47'01.74"; radius vector
        // R = 0.99760775 AU, from which asin(696000 km / R) = 961.95".
        AlmanacRow { "Meeus25b", Date(1992, 10, 12), MidnightTt1992, Venus, Hms(13, 13, 30.749),
            -Dms(7, 47, 1.74), 961.95 * Arcsecond, U, U },
        // Meeus, Example 12.a, p. 88: mean sidereal time at Greenwich on
        // 1987 April 10 at 0h UT, 13h10m46.3668s.
        AlmanacRow { "Meeus12a", Date(1987, 4, 10), 0, Venus, U, U, U, Hms(13, 10, 46.3668), U },
        // Meeus, Examples 33.a and 41.a: 1992 December 20.0 TD, Venus r =
        // 0.724603 AU, the Earth R = 0.983824 AU; r / R = 0.736517.
        AlmanacRow { "Meeus33a", Date(1992, 12, 19), MidnightTt1992, Venus, U, U, U, U, 0.736517 },
        // The Astronomical Almanac for 2013, p. C12, as quoted in SunPy's
        // test suite (sunpy/coordinates/tests/test_sun.py): the Sun on 2013
        // June 17.0 TT, apparent alpha 5h42m28.88s, delta +23d22'27.8",
        // distance 1.0159149 AU, from which asin(696000 km / R) = 944.611".
        AlmanacRow { "Almanac2013June17", Date(2013, 6, 16), MidnightTt2013, Venus,
            Hms(5, 42, 28.88), Dms(23, 22, 27.8), 944.611 * Arcsecond, U, U },
        // The same almanac (p. C5) as quoted there: distances 0.9992311 AU on
        // 2013 April 1.0 TT and 0.9861362 AU on December 1.0 TT, radii
        // 960.383" and 973.136".
        AlmanacRow { "Almanac2013April1", Date(2013, 3, 31), MidnightTt2013, Venus, U, U,
            960.383 * Arcsecond, U, U },
        AlmanacRow { "Almanac2013December1", Date(2013, 11, 30), MidnightTt2013, Venus, U, U,
            973.136 * Arcsecond, U, U },
        // J. L. Wahl's Sun and Polaris ephemeris for land surveyors, checked
        // against the Astronomical Almanac (cadastral.com/2009nov.htm and
        // 2013jan.htm), 0h UT: 2009 November 11, delta -17d23'42.1", semi-
        // diameter 16'08.8"; 2013 January 8, delta -22d14'37.1", 16'15.8".
        AlmanacRow { "Surveyors2009November11", Date(2009, 11, 11), 0, Mercury, U,
            -Dms(17, 23, 42.1), 968.8 * Arcsecond, U, U },
        AlmanacRow { "Surveyors2013January8", Date(2013, 1, 8), 0, Venus, U, -Dms(22, 14, 37.1),
            975.8 * Arcsecond, U, U },
        // Transit of Mercury of 2016 May 9, IOTA's Occult 4 prediction as
        // printed at bobmoler.wordpress.com/2016/05/05/ (minimum separation
        // 14:57:38 UTC): "Radii - Sun 950.4"", solar radius 959.63" at 1 AU.
        AlmanacRow { "Mercury2016", Date(2016, 5, 9), 14 + 57 / 60.0 + 38 / 3600.0, Mercury, U, U,
            950.4 * Arcsecond, U, U },
        // Transit of Mercury of 2019 November 11, the same prediction as
        // printed at bobmoler.wordpress.com/2019/11/08/ (minimum separation
        // 15:19:48 UTC): "Radii - Sun 969.3"".
        AlmanacRow { "Mercury2019", Date(2019, 11, 11), 15 + 19 / 60.0 + 48 / 3600.0, Mercury, U, U,
            969.3 * Arcsecond, U, U }),
    [](const auto& row) { return std::string(row.param.Name); });

// F. Espenak's catalogue of transits of Venus (NASA/GSFC, transit/catalog/
// VenusCatalog) prints the Sun's place at greatest transit to 0.001 h and
// 0.01 degree only; checked to half its last digit.
struct CatalogueRow {
    const char* Name;
    Ephemeris::CalendarDate When;
    double HoursUt, RightAscensionHours, DeclinationDegrees;
};

class TransitCatalogue : public testing::TestWithParam<CatalogueRow> { };

TEST_P(TransitCatalogue, AgreesToThePrintedDigits)
{
    const auto& row = GetParam();
    const auto sun = Ephemeris::Compute(row.When, row.HoursUt, Venus);
    EXPECT_NEAR(sun.RightAscension * 12 / Pi, row.RightAscensionHours, 0.0005);
    EXPECT_NEAR(sun.Declination * 180 / Pi, row.DeclinationDegrees, 0.005);
}

INSTANTIATE_TEST_SUITE_P(Espenak, TransitCatalogue,
    testing::Values(CatalogueRow { "Transit2004", Date(2004, 6, 8), 8 + 20 / 60.0, 5.121, 22.89 },
        CatalogueRow { "Transit2012", Date(2012, 6, 6), 1 + 29 / 60.0, 4.969, 22.68 }),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(Dates, AreReadOnlyAsRealCalendarDates)
{
    Ephemeris::CalendarDate date;
    using Ephemeris::DateReading;
    ASSERT_EQ(Ephemeris::ReadDate("2004-06-08", date), DateReading::Read);
    EXPECT_EQ(date.Year, 2004);
    EXPECT_EQ(date.Month, 6);
    EXPECT_EQ(date.Day, 8);
    EXPECT_EQ(Ephemeris::ReadDate("2000-02-29", date), DateReading::Read);
    for (const char* bad :
        { "1900-02-29", "2004-13-01", "2004-00-10", "2004-06-31", "2004-06-00", "2004-6-08",
            "2004-06-8", "20040608", "2004-06-08 ", "2004/06/08", "+004-06-08", "", "2004-06-0x" })
        EXPECT_NE(Ephemeris::ReadDate(bad, date), DateReading::Read) << bad;
}

TEST(Dates, AWrongFormAndADayTheCalendarLacksAreTold)
{
    Ephemeris::CalendarDate date;
    using Ephemeris::DateReading;
    for (const char* missing : { "2023-02-29", "1900-02-29", "2004-06-31", "2004-13-01",
             "2004-00-10", "2004-06-00", "2004-99-99" })
        EXPECT_EQ(Ephemeris::ReadDate(missing, date), DateReading::NoSuchDay) << missing;
    for (const char* unreadable : { "2004-6-08", "8.6.2004", "2004-06-0x", "" })
        EXPECT_EQ(Ephemeris::ReadDate(unreadable, date), DateReading::NotYyyyMmDd) << unreadable;
    EXPECT_EQ(Ephemeris::ReadDate("2024-02-29", date), DateReading::Read);
}

// The dates of transits as the almanacs give them, contacts in UT; a transit
// that runs over midnight UT belongs to both dates. Venus passed behind the
// Sun on 2016-06-06, and in inferior conjunction north of it on 2020-06-03.
struct TransitRow {
    const char* Name;
    Ephemeris::CalendarDate When;
    const char* Planet; // "Mercury", "Venus" or "" for neither
};

class TransitDates : public testing::TestWithParam<TransitRow> { };

TEST_P(TransitDates, NameThePlanetOnTheSun)
{
    const auto& row = GetParam();
    const auto planet = Ephemeris::PlanetInTransit(row.When);
    const std::string name = !planet            ? ""
        : *planet == Ephemeris::Planet::Mercury ? "Mercury"
                                                : "Venus";
    EXPECT_EQ(name, row.Planet);
}

INSTANTIATE_TEST_SUITE_P(Almanac, TransitDates,
    testing::Values(TransitRow { "Mercury2003", Date(2003, 5, 7), "Mercury" },
        TransitRow { "Mercury2006Evening", Date(2006, 11, 8), "Mercury" }, // from 19:12
        TransitRow { "Mercury2006PastMidnight", Date(2006, 11, 9), "Mercury" }, // until 0:10
        TransitRow { "Mercury2016", Date(2016, 5, 9), "Mercury" },
        TransitRow { "Mercury2019", Date(2019, 11, 11), "Mercury" }, // 12:35 to 18:04
        TransitRow { "DayBeforeMercury2019", Date(2019, 11, 10), "" },
        TransitRow { "DayAfterMercury2019", Date(2019, 11, 12), "" },
        TransitRow { "Mercury2032", Date(2032, 11, 13), "Mercury" },
        TransitRow { "Mercury2039", Date(2039, 11, 7), "Mercury" },
        TransitRow { "Venus2004", Date(2004, 6, 8), "Venus" }, // 5:13 to 11:26
        TransitRow { "DayBeforeVenus2004", Date(2004, 6, 7), "" },
        TransitRow { "DayAfterVenus2004", Date(2004, 6, 9), "" },
        TransitRow { "Venus2012Evening", Date(2012, 6, 5), "Venus" }, // from 22:09
        TransitRow { "Venus2012", Date(2012, 6, 6), "Venus" }, // until 4:49
        TransitRow { "DayAfterVenus2012", Date(2012, 6, 7), "" },
        TransitRow { "VenusBehindTheSun", Date(2016, 6, 6), "" },
        TransitRow { "VenusNorthOfTheSun", Date(2020, 6, 3), "" }),
    [](const auto& row) { return std::string(row.param.Name); });

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
