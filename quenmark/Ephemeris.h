// SPDX-License-Identifier: GPL-3.0-or-later
// The Sun's data an almanac prints for a date, computed with ERFA, the IAU's
// standard routines: apparent place of the Sun, its angular radius, Greenwich
// mean sidereal time at 0h UT and the planet's distance from the Sun over the
// Earth's. No Qt, no state.
//
// Years FirstYear..LastYear: the range where ERFA's Earth ephemeris (eraEpv00)
// is given its stated accuracy. UT1 is taken equal to UTC (within 0.9 s: 0.04"
// of the Sun's motion); TT - UT is the leap-second table plus 32.184 s from
// 1960 on, before 1960 a decade table of Delta T. The values are good to a
// fraction of an arcsecond; their texts round to whole seconds.
#pragma once

#include <optional>
#include <string>

namespace Ephemeris {

inline constexpr int FirstYear = 1900;
inline constexpr int LastYear = 2100;

struct CalendarDate {
    int Year = 0, Month = 0, Day = 0; // Gregorian
};

enum class Planet { Mercury, Venus };

// Radians throughout; the sidereal time as an hour angle (hours x 15 degrees).
struct SunData {
    double RightAscension = 0; // apparent, equator and equinox of date, 0..2 pi
    double Declination = 0;
    double Radius = 0; // angular radius, solar radius 696,000 km
    double SiderealTime0 = 0; // Greenwich mean sidereal time at 0h UT, IAU 2006, 0..2 pi
    double RadiusRatio = 0; // planet's heliocentric distance / Earth's
};

enum class DateReading { Read, NotYyyyMmDd, NoSuchDay };

// "YYYY-MM-DD", four digits, two, two; NoSuchDay when the form is right but
// the calendar has no such day (2023-02-29, 2004-06-31, month 13).
DateReading ReadDate(const std::string& text, CalendarDate& date);

// FirstYear-01-01 up to LastYear-12-31.
bool InRange(const CalendarDate& date);

// The data at hoursUt (decimal hours UT, 0..24) of the date; the sidereal time
// is that of 0h UT of the date. The date must be InRange.
SunData Compute(const CalendarDate& date, double hoursUt, Planet planet);

// The planet whose disc overlaps the Sun's, seen from the Earth's centre, at
// some moment of the date from 0h to 24h UT (outer contacts count): the date
// of a transit. None on any other date. The date must be InRange.
std::optional<Planet> PlanetInTransit(const CalendarDate& date);

// TT - UT in seconds at dayFraction (0..1) of the date, as Compute takes it.
// The date must be InRange.
double TtMinusUtSeconds(const CalendarDate& date, double dayFraction);

// Texts in the dialogue's notation, rounded to the last unit shown:
//   FormatHours:   5h7m27      (whole seconds of time; 0h0m0 .. 23h59m59)
//   FormatDegrees: 22g53'16    (whole arcseconds, "-" in front when negative)
//   FormatArcminutes: 15.75    (two decimals)
//   FormatRatio:   0.715       (three decimals)
std::string FormatHours(double radians);
std::string FormatDegrees(double radians);
std::string FormatArcminutes(double radians);
std::string FormatRatio(double ratio);

} // namespace Ephemeris
