// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ephemeris.h"

#include "NumberText.h"

#include <erfa.h>
#include <erfam.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <limits>

namespace Ephemeris {

namespace {

constexpr double SolarRadiusMetres = 696.0e6;
constexpr double MercuryRadiusMetres = 2439.7e3;
constexpr double VenusRadiusMetres = 6051.8e3;
constexpr double RadiansToArcseconds = 180 * 3600 / ERFA_DPI;

// Delta T = TT - UT in seconds at the start of the years 1900, 1910 .. 1960
// (Morrison and Stephenson's values as tabulated by Espenak and Meeus); read
// linearly between them. From 1960 on the leap-second table gives TAI - UTC.
constexpr std::array<double, 7> DecadeDeltaT { -2.79, 10.38, 21.16, 24.02, 24.33, 29.15, 33.15 };

bool IsDigits(const std::string& text, std::size_t from, std::size_t count)
{
    for (std::size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

double DeltaTSeconds(const CalendarDate& date, double dayFraction)
{
    if (date.Year >= 1960) {
        double taiMinusUtc = 0;
        eraDat(date.Year, date.Month, date.Day, dayFraction, &taiMinusUtc); // +1 past its table
        return taiMinusUtc + 32.184;
    }
    const double years = date.Year - FirstYear + (date.Month - 1 + (date.Day - 1) / 31.0) / 12;
    const auto decade = static_cast<std::size_t>(years / 10);
    const double fraction = years / 10 - static_cast<double>(decade);
    return DecadeDeltaT[decade] + fraction * (DecadeDeltaT[decade + 1] - DecadeDeltaT[decade]);
}

// Whole units of value, split into the three parts of a sexagesimal text.
std::string Sexagesimal(double units, const char* first, const char* second)
{
    const auto whole = static_cast<long>(std::nearbyint(units));
    return std::to_string(whole / 3600) + first + std::to_string(whole / 60 % 60) + second
        + std::to_string(whole % 60);
}

// Seen from the Earth's centre at hoursUt of the date: the angle between the
// centres of the planet and the Sun less both angular radii (radians),
// negative while the planet's disc overlaps the Sun's in front of it.
double DiscGap(const CalendarDate& date, double hoursUt, Planet planet)
{
    double midnight0 = 0, midnight = 0;
    eraCal2jd(date.Year, date.Month, date.Day, &midnight0, &midnight);
    const double tt = midnight + hoursUt / 24 + DeltaTSeconds(date, hoursUt / 24) / ERFA_DAYSEC;
    double heliocentric[2][3], barycentric[2][3];
    eraEpv00(midnight0, tt, heliocentric, barycentric);
    double toSun[3];
    eraSxp(-1, heliocentric[0], toSun);

    // The planet where its light left it: Mercury moves some 30" in those minutes.
    const int number = planet == Planet::Mercury ? 1 : 2;
    double planetPv[2][3], toPlanet[3];
    eraPlan94(midnight0, tt, number, planetPv);
    eraPmp(planetPv[0], heliocentric[0], toPlanet);
    eraPlan94(midnight0, tt - eraPm(toPlanet) * ERFA_AULT / ERFA_DAYSEC, number, planetPv);
    eraPmp(planetPv[0], heliocentric[0], toPlanet);

    // Behind the Sun the planet is hidden: no transit however close the centres.
    if (eraPm(toPlanet) > eraPm(toSun))
        return ERFA_DPI;
    const double planetRadius = planet == Planet::Mercury ? MercuryRadiusMetres : VenusRadiusMetres;
    return eraSepp(toPlanet, toSun) - std::asin(SolarRadiusMetres / (eraPm(toSun) * ERFA_DAU))
        - std::asin(planetRadius / (eraPm(toPlanet) * ERFA_DAU));
}

// The smallest DiscGap of the day. Over a day the planet's path relative to
// the Sun is nearly straight, so the gap has at most one minimum: the nearest
// whole hour, then a golden-section search within an hour either side of it.
double SmallestGap(const CalendarDate& date, Planet planet)
{
    int nearestHour = 0;
    double smallest = std::numeric_limits<double>::infinity();
    for (int hour = 0; hour <= 24; ++hour) {
        const double gap = DiscGap(date, hour, planet);
        if (gap < smallest) {
            smallest = gap;
            nearestHour = hour;
        }
    }
    const double goldenPart = (std::sqrt(5.0) - 1) / 2;
    double low = std::max(nearestHour - 1, 0), high = std::min(nearestHour + 1, 24);
    double left = high - goldenPart * (high - low), right = low + goldenPart * (high - low);
    double leftGap = DiscGap(date, left, planet), rightGap = DiscGap(date, right, planet);
    for (int step = 0; step < 30; ++step) { // the bracket shrinks below a millisecond
        if (leftGap < rightGap) {
            high = right;
            right = left;
            rightGap = leftGap;
            left = high - goldenPart * (high - low);
            leftGap = DiscGap(date, left, planet);
        } else {
            low = left;
            left = right;
            leftGap = rightGap;
            right = low + goldenPart * (high - low);
            rightGap = DiscGap(date, right, planet);
        }
    }
    return std::min({ smallest, leftGap, rightGap });
}

} // namespace

DateReading ReadDate(const std::string& text, CalendarDate& date)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !IsDigits(text, 0, 4)
        || !IsDigits(text, 5, 2) || !IsDigits(text, 8, 2))
        return DateReading::NotYyyyMmDd;
    const CalendarDate read { std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)),
        std::stoi(text.substr(8, 2)) };
    double djm0 = 0, djm = 0;
    // eraCal2jd checks month and day against the month's length, leap years included.
    if (read.Month < 1 || eraCal2jd(read.Year, read.Month, read.Day, &djm0, &djm) != 0)
        return DateReading::NoSuchDay;
    date = read;
    return DateReading::Read;
}

bool InRange(const CalendarDate& date)
{
    return date.Year >= FirstYear && date.Year <= LastYear;
}

SunData Compute(const CalendarDate& date, double hoursUt, Planet planet)
{
    assert(InRange(date) && "Compute takes dates within FirstYear..LastYear");
    double midnight0 = 0, midnight = 0; // Julian date of 0h UT in two parts
    eraCal2jd(date.Year, date.Month, date.Day, &midnight0, &midnight);
    const double ut = midnight + hoursUt / 24;
    const double tt = ut + DeltaTSeconds(date, hoursUt / 24) / ERFA_DAYSEC;
    const double ttMidnight = midnight + DeltaTSeconds(date, 0) / ERFA_DAYSEC;

    SunData data;
    data.SiderealTime0 = eraGmst06(midnight0, midnight, midnight0, ttMidnight);

    double heliocentric[2][3], barycentric[2][3];
    eraEpv00(midnight0, tt, heliocentric, barycentric); // +1 outside 1900..2100
    double toSun[3];
    eraSxp(-1, heliocentric[0], toSun);
    double distance = 0, direction[3];
    eraPn(toSun, &distance, direction);

    // Annual aberration from the Earth's barycentric velocity (units of c);
    // the Sun's own motion in the 8 minutes of light time is below 0.01".
    double velocity[3];
    eraSxp(1 / ERFA_DC, barycentric[1], velocity);
    const double inverseLorentz = std::sqrt(1 - eraPm(velocity) * eraPm(velocity));
    double apparent[3];
    eraAb(direction, velocity, distance, inverseLorentz, apparent);

    double toDate[3][3], ofDate[3];
    eraPnm06a(midnight0, tt, toDate);
    eraRxp(toDate, apparent, ofDate);
    double rightAscension = 0;
    eraC2s(ofDate, &rightAscension, &data.Declination);
    data.RightAscension = eraAnp(rightAscension);
    data.Radius = std::asin(SolarRadiusMetres / (distance * ERFA_DAU));

    double planetPv[2][3];
    eraPlan94(midnight0, tt, planet == Planet::Mercury ? 1 : 2, planetPv);
    data.RadiusRatio = eraPm(planetPv[0]) / eraPm(heliocentric[0]);
    return data;
}

std::optional<Planet> PlanetInTransit(const CalendarDate& date)
{
    assert(InRange(date) && "PlanetInTransit takes dates within FirstYear..LastYear");
    for (const Planet planet : { Planet::Mercury, Planet::Venus })
        if (SmallestGap(date, planet) < 0)
            return planet;
    return std::nullopt;
}

double TtMinusUtSeconds(const CalendarDate& date, double dayFraction)
{
    assert(InRange(date) && "TtMinusUtSeconds takes dates within FirstYear..LastYear");
    return DeltaTSeconds(date, dayFraction);
}

std::string FormatHours(double radians)
{
    // 24h0m0 after rounding is 0h0m0 of the next day.
    const double seconds = std::nearbyint(eraAnp(radians) * RadiansToArcseconds / 15);
    return Sexagesimal(std::fmod(seconds, 86400), "h", "m");
}

std::string FormatDegrees(double radians)
{
    const double arcseconds = std::nearbyint(std::fabs(radians) * RadiansToArcseconds);
    std::string text = radians < 0 && arcseconds > 0 ? "-" : "";
    return text.append(Sexagesimal(arcseconds, "g", "'"));
}

std::string FormatArcminutes(double radians)
{
    return NumberText::FormatFixed(radians * RadiansToArcseconds / 60, 0, 2);
}

std::string FormatRatio(double ratio)
{
    return NumberText::FormatFixed(ratio, 0, 3);
}

} // namespace Ephemeris
