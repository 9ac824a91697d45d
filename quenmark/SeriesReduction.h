// SPDX-License-Identifier: GPL-3.0-or-later
// The solar parallax from two sites' series of positions of the planet on the
// Sun's disc, two ways:
//  - Rigorous: every position at its own moment against TransitModel's
//    prediction. Fitted: the solar parallax (as a factor on the model's
//    topocentric shift) and a correction to the geocentric track, a straight
//    line in x' and in y' common to both sites, which takes up what the
//    ephemeris gets wrong (the planet's place, some arcseconds) and the
//    frame's zero point; the curvature of the track comes from the model.
//  - Formula: each site's track fitted by a polynomial (degree 1, or 2 when
//    the residuals ask for it), both tracks read at common moments within
//    their overlap, and the two-site formula of the dialogue applied with the
//    Sun's data of each moment; the mean of the moments.
// Uncertainties come from the positions' sigma through the fits, scaled by
// the square root of the reduced chi-square where that exceeds 1; a position
// whose residual exceeds 4 sigma (4 times the scatter where the residuals say
// sigma is stated too small) is dropped and named, at most 50 per fit.
#pragma once

#include "Ephemeris.h"
#include "TransitModel.h"

#include <vector>

namespace SeriesReduction {

inline constexpr double OutlierLimit = 4; // sigma
inline constexpr int MomentCount = 7;

struct Observation {
    int Site = 0; // 0 or 1
    double Seconds = 0; // UT after 0h of the date
    double X = 0, Y = 0, SigmaX = 0, SigmaY = 0; // solar radii
    int Line = 0; // in its file, for the list of dropped positions
};

struct Setup {
    Ephemeris::CalendarDate Date;
    Ephemeris::Planet Planet = Ephemeris::Planet::Venus;
    TransitModel::Site Sites[2];
};

struct Result {
    bool Done = false; // false: too few positions left to fit
    double Parallax = 0, Sigma = 0; // seconds of arc
    double ReducedChiSquare = 0;
    std::vector<int> Dropped; // indices into the observations
    int Used = 0;
};

Result ReduceRigorously(const Setup& setup, const std::vector<Observation>& observations);

struct Moment {
    double Seconds = 0;
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0; // from the tracks
    double Shift = 0, Parallax = 0; // seconds of arc, the formula's beta and piS
};

struct FormulaResult {
    Result Summary;
    std::vector<Moment> Moments;
    int Degree[2] = { 0, 0 };
    bool Overlap = true;
    std::vector<double> Coefficients[2]; // x0..xd, y0..yd of each site's track
    double Middle = 0; // the tracks' zero of time, seconds UT
};

// A site's fitted track at a moment.
TransitModel::Place TrackPlace(const FormulaResult& result, int site, double seconds);

FormulaResult ReduceByFormula(const Setup& setup, const std::vector<Observation>& observations);

// The dialogue's formula for one moment: the shift beta and piS from the two
// positions (solar radii) with the Sun's data of that moment.
Moment ApplyFormula(const Setup& setup, double seconds, double x1, double y1, double x2, double y2);

// The astronomical unit in km for a solar parallax in seconds of arc.
double AstronomicalUnitKm(double parallax);

} // namespace SeriesReduction
