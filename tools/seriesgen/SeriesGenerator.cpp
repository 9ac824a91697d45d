// SPDX-License-Identifier: GPL-3.0-or-later
// Each place: eraApco gives the observer's barycentric position and velocity
// (the Earth from eraEpv00, the site on the rotating Earth through the Earth
// rotation angle, the CIP and polar motion) and the bias-precession-nutation
// matrix. The Sun's barycentric place at the time its light left it (from
// eraEpv00), the planet's heliocentric place from eraPlan94 (plus the world's
// offset) at its own light time, both directions aberrated with eraAb and
// turned into the CIRS; the planet's standard coordinates about the Sun's
// direction over the Sun's angular radius. The CIRS differs from the true
// equator and equinox of date only by a turn about the pole, so west and
// north at the Sun are the same in both.
#include "SeriesGenerator.h"

#include "NumberText.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace SeriesGenerator {

namespace {

void SunBarycentric(double tt1, double tt2, double position[3])
{
    double helio[2][3], bary[2][3];
    eraEpv00(tt1, tt2, helio, bary);
    eraPmp(bary[0], helio[0], position);
}

} // namespace

Place Topocentric(int year, int month, int day, double secondsUtc, bool venus, const Site& site,
    const World& world)
{
    double utc1 = 0, utc2 = 0, tai1 = 0, tai2 = 0, tt1 = 0, tt2 = 0, ut11 = 0, ut12 = 0;
    eraDtf2d("UTC", year, month, day, 0, 0, 0, &utc1, &utc2);
    const double midnight = utc1 + utc2;
    utc2 += secondsUtc / ERFA_DAYSEC;
    eraUtctai(utc1, utc2, &tai1, &tai2);
    eraTaitt(tai1, tai2, &tt1, &tt2);
    eraUtcut1(utc1, utc2, world.Ut1MinusUtc, &ut11, &ut12);

    double helio[2][3], bary[2][3];
    eraEpv00(tt1, tt2, helio, bary);
    double x = 0, y = 0, s = 0;
    eraXys06a(tt1, tt2, &x, &y, &s);
    eraASTROM astrom {};
    eraApco(tt1, tt2, bary, helio[0], x, y, s, eraEra00(ut11, ut12), site.Longitude * ERFA_DD2R,
        site.Latitude * ERFA_DD2R, site.Height, world.PolarX * ERFA_DAS2R,
        world.PolarY * ERFA_DAS2R, eraSp00(tt1, tt2), 0, 0, &astrom);

    // The Sun where its light left it.
    double sun[3], toSun[3];
    SunBarycentric(tt1, tt2, sun);
    for (int pass = 0; pass < 3; ++pass) {
        eraPmp(sun, astrom.eb, toSun);
        SunBarycentric(tt1, tt2 - eraPm(toSun) * ERFA_AULT / ERFA_DAYSEC, sun);
    }
    eraPmp(sun, astrom.eb, toSun);

    // The planet where its light left it, off the theory as the world says.
    double toPlanet[3], delay = 0;
    for (int pass = 0; pass < 4; ++pass) {
        const double t2 = tt2 - delay;
        double pv[2][3], sunThen[3], planet[3];
        eraPlan94(tt1, t2, venus ? 2 : 1, pv);
        const double days = (tt1 - midnight) + t2; // since 0h of the date
        for (int k = 0; k < 3; ++k)
            pv[0][k] += (world.PlanetOffsetKm[k] + world.PlanetDriftKmPerDay[k] * days) * 1000
                / ERFA_DAU;
        SunBarycentric(tt1, t2, sunThen);
        eraPpp(pv[0], sunThen, planet);
        eraPmp(planet, astrom.eb, toPlanet);
        delay = eraPm(toPlanet) * ERFA_AULT / ERFA_DAYSEC;
    }

    double natural[3], aberrated[3], sunCirs[3], planetCirs[3], distance = 0;
    eraPn(toSun, &distance, natural);
    eraAb(natural, astrom.v, astrom.em, astrom.bm1, aberrated);
    eraRxp(astrom.bpn, aberrated, sunCirs);
    const double sunDistance = distance;
    eraPn(toPlanet, &distance, natural);
    eraAb(natural, astrom.v, astrom.em, astrom.bm1, aberrated);
    eraRxp(astrom.bpn, aberrated, planetCirs);

    double xi = 0, eta = 0;
    eraTpxev(planetCirs, sunCirs, &xi, &eta);
    const double radius = std::asin(world.SolarRadiusKm * 1000 / (sunDistance * ERFA_DAU));
    return { -xi / radius, eta / radius };
}

std::vector<Picture> MakeSeries(int year, int month, int day, bool venus, const Site& site,
    const World& world, const SeriesPlan& plan)
{
    std::mt19937_64 random(plan.Seed);
    std::normal_distribution<double> noise(0, 1);
    std::uniform_real_distribution<double> offWhole(-0.5, 0.5);
    std::vector<Picture> pictures;
    for (int i = 0; i < plan.Count; ++i) {
        Picture p;
        p.Seconds = std::round(plan.FirstSeconds + i * plan.Spacing);
        p.Taken = p.Seconds + (plan.FractionalMoments ? offWhole(random) : 0);
        p.True = Topocentric(year, month, day, p.Taken, venus, site, world);
        p.Measured = p.True;
        if (plan.Sigma > 0) {
            p.Measured.X += plan.Sigma * noise(random);
            p.Measured.Y += plan.Sigma * noise(random);
        }
        p.Sigma = plan.Sigma > 0 ? plan.Sigma : 1e-6;
        pictures.push_back(p);
    }
    return pictures;
}

std::string AuditText(const std::vector<Picture>& pictures, const std::string& pictureStem)
{
    std::string text
        = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r\tpa\tsigma_pa\tfit\tut"
          "\tpicture\r\n";
    int measurement = 0;
    for (const Picture& p : pictures) {
        ++measurement;
        const double rho = std::hypot(p.Measured.X, p.Measured.Y);
        const double pa = std::atan2(p.Measured.Y, p.Measured.X) * ERFA_DR2D;
        char row[320];
        std::snprintf(row, sizeof row,
            "%d\tresult\t%.7f\t%.7f\t%.7f\t%.7f\t%.7f\t%.7f\t%.4f\t\tgenerated\t%s\t%s%03d.jpg\r\n",
            measurement, p.Measured.X, p.Measured.Y, rho, p.Sigma, p.Sigma, p.Sigma, pa,
            NumberText::FormatClock(p.Seconds).c_str(), pictureStem.c_str(), measurement);
        text += row;
    }
    return text;
}

} // namespace SeriesGenerator
