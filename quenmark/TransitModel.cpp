// SPDX-License-Identifier: GPL-3.0-or-later
#include "TransitModel.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>

namespace TransitModel {

namespace {

constexpr double SolarRadiusMetres = 696.0e6;
constexpr double EquatorialRadiusMetres = 6378137.0;
constexpr double EarthRotation = 7.292115e-5; // radians per second

struct Observer {
    double Position[3]; // au, heliocentric
    double Velocity[3]; // barycentric, units of c
    double Lorentz; // sqrt(1 - v^2)
};

// The direction of target (au, heliocentric) from the observer, with the
// aberration of the observer's motion.
void Apparent(double target[3], Observer& observer, double direction[3])
{
    double toTarget[3], natural[3], distance = 0;
    eraPmp(target, observer.Position, toTarget);
    eraPn(toTarget, &distance, natural);
    eraAb(natural, observer.Velocity, eraPm(observer.Position), observer.Lorentz, direction);
}

Place OnDisc(double planet[3], double sun[3], double sunDistance)
{
    double xi = 0, eta = 0;
    eraTpxev(planet, sun, &xi, &eta);
    const double radius = std::asin(SolarRadiusMetres / (sunDistance * ERFA_DAU));
    return { -xi / radius, eta / radius }; // xi grows to the east
}

} // namespace

double NominalParallax()
{
    return std::asin(EquatorialRadiusMetres / ERFA_DAU) * ERFA_DR2AS;
}

Prediction Predict(const Ephemeris::CalendarDate& date, double secondsUt, Ephemeris::Planet planet,
    const Site& site)
{
    double midnight0 = 0, midnight = 0;
    eraCal2jd(date.Year, date.Month, date.Day, &midnight0, &midnight);
    const double dayFraction = secondsUt / ERFA_DAYSEC;
    const double ut = midnight + dayFraction;
    const double tt = ut + Ephemeris::TtMinusUtSeconds(date, dayFraction) / ERFA_DAYSEC;

    double heliocentric[2][3], barycentric[2][3];
    eraEpv00(midnight0, tt, heliocentric, barycentric);
    double toDate[3][3];
    eraPnm06a(midnight0, tt, toDate);
    const double siderealTime = eraGst06a(midnight0, ut, midnight0, tt);

    // The site in the true equator of date, then turned back to the GCRS.
    double terrestrial[3];
    eraGd2gc(ERFA_WGS84, site.Longitude, site.Latitude, 0, terrestrial);
    double ofDate[3], siteVelocityOfDate[3];
    double spin[3][3];
    eraIr(spin);
    eraRz(-siderealTime, spin);
    eraRxp(spin, terrestrial, ofDate);
    siteVelocityOfDate[0] = -EarthRotation * ofDate[1];
    siteVelocityOfDate[1] = EarthRotation * ofDate[0];
    siteVelocityOfDate[2] = 0;
    double sitePosition[3], siteVelocity[3];
    eraTrxp(toDate, ofDate, sitePosition);
    eraTrxp(toDate, siteVelocityOfDate, siteVelocity);

    Prediction prediction;
    for (const bool topocentric : { false, true }) {
        Observer observer {};
        double velocity[3]; // au per day
        eraCp(barycentric[1], velocity);
        eraCp(heliocentric[0], observer.Position);
        if (topocentric) {
            double offset[3], motion[3];
            eraSxp(1 / ERFA_DAU, sitePosition, offset);
            eraSxp(ERFA_DAYSEC / ERFA_DAU, siteVelocity, motion);
            eraPpp(observer.Position, offset, observer.Position);
            eraPpp(velocity, motion, velocity);
        }
        eraSxp(1 / ERFA_DC, velocity, observer.Velocity);
        observer.Lorentz = std::sqrt(1 - eraPm(observer.Velocity) * eraPm(observer.Velocity));

        // The planet where its light left it.
        const int number = planet == Ephemeris::Planet::Mercury ? 1 : 2;
        double planetPv[2][3], toPlanet[3];
        double delay = 0;
        for (int pass = 0; pass < 3; ++pass) {
            eraPlan94(midnight0, tt - delay, number, planetPv);
            eraPmp(planetPv[0], observer.Position, toPlanet);
            delay = eraPm(toPlanet) * ERFA_AULT / ERFA_DAYSEC;
        }
        double sunOrigin[3] = { 0, 0, 0 };
        double planetDirection[3], sunDirection[3], planetOfDate[3], sunOfDate[3];
        Apparent(planetPv[0], observer, planetDirection);
        Apparent(sunOrigin, observer, sunDirection);
        eraRxp(toDate, planetDirection, planetOfDate);
        eraRxp(toDate, sunDirection, sunOfDate);
        (topocentric ? prediction.Topocentric : prediction.Geocentric)
            = OnDisc(planetOfDate, sunOfDate, eraPm(observer.Position));
    }
    return prediction;
}

} // namespace TransitModel
