// SPDX-License-Identifier: GPL-3.0-or-later
// Where the planet stands on the Sun's disc at a moment, seen from the Earth's
// centre and from a site on the rotating Earth, computed with ERFA: the
// Earth's heliocentric and barycentric position and velocity (eraEpv00), the
// planet's heliocentric position (eraPlan94) at the time its light left it,
// the site on the WGS84 ellipsoid at sea level turned by the Greenwich
// apparent sidereal time (polar motion neglected, UT1 taken as UTC), annual
// and diurnal aberration, the true equator and equinox of date.
//
// The disc frame: x' toward celestial west (the way the Sun's image drifts),
// y' toward north, in units of the Sun's angular radius (696,000 km) as the
// site sees it; the origin is the Sun's centre.
#pragma once

#include "Ephemeris.h"

namespace TransitModel {

// The solar parallax that the model's sites imply: the Earth's equatorial
// radius (6378.137 km) seen from 1 au, in seconds of arc.
double NominalParallax();

struct Site {
    double Latitude = 0, Longitude = 0; // radians, geodetic, east positive
};

struct Place {
    double X = 0, Y = 0;
};

struct Prediction {
    Place Geocentric;
    Place Topocentric;
};

// At secondsUt after 0h UT of the date (which must be InRange).
Prediction Predict(const Ephemeris::CalendarDate& date, double secondsUt, Ephemeris::Planet planet,
    const Site& site);

} // namespace TransitModel
