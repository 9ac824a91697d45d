// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic series of the planet's positions on the Sun's disc as one site
// sees them, written as the measuring program's audit files. The positions
// come from ERFA by another route than the reduction's, and from a world that
// differs from the one the reduction assumes in the ways a real one would:
// UT1 - UTC and polar motion not zero, sites above sea level, another solar
// radius, the planet off its theory by an offset that grows with time, the
// Sun's light time taken into account.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SeriesGenerator {

struct World {
    double Ut1MinusUtc = -0.35; // seconds
    double PolarX = 0.12, PolarY = 0.38; // arcseconds
    double SolarRadiusKm = 695700;
    double PlanetOffsetKm[3] = { 150, -90, 60 }; // heliocentric, added to the theory
    double PlanetDriftKmPerDay[3] = { 80, 40, -30 };
};

struct Site {
    double Latitude = 0, Longitude = 0; // degrees, geodetic, east positive
    double Height = 0; // metres above the ellipsoid
};

struct Place {
    double X = 0, Y = 0; // solar radii, x' west, y' north
};

// Venus when venus, else Mercury; secondsUtc after 0h UTC of the date.
Place Topocentric(int year, int month, int day, double secondsUtc, bool venus, const Site& site,
    const World& world);

struct Picture {
    double Seconds = 0; // whole seconds UTC, as written
    double Taken = 0; // when the picture was taken
    Place Measured;
    Place True;
    double Sigma = 0;
};

struct SeriesPlan {
    double FirstSeconds = 0; // UTC of the first picture
    double Spacing = 300; // seconds between pictures
    int Count = 20;
    double Sigma = 0; // noise of each coordinate, solar radii
    std::uint64_t Seed = 1;
    // Pictures taken up to half a second off the whole second that the file
    // gives as their time, as a clock read to the second would.
    bool FractionalMoments = false;
};

std::vector<Picture> MakeSeries(int year, int month, int day, bool venus, const Site& site,
    const World& world, const SeriesPlan& plan);

// The audit file's text: header with ut and picture, one result row per
// picture, CR LF line ends.
std::string AuditText(const std::vector<Picture>& pictures, const std::string& pictureStem);

} // namespace SeriesGenerator
