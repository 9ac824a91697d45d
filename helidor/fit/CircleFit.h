// SPDX-License-Identifier: GPL-3.0-or-later
// Circle fitting: the robust start from random 3-point circles, the
// orthogonal-distance fit with Tukey weights, the arc it covers, and what
// its covariance is built from (the residuals' correlation along the arc,
// the circle's response to a shift of its points).
#pragma once

#include "FitTypes.h"

#include <array>
#include <vector>

namespace CircleFit {

using FitTypes::Circle;
using FitTypes::Point;

struct LeastSquares {
    bool Ok = false;
    Circle Fitted;
    std::array<double, 9> Covariance {}; // s^2 (J'WJ)^-1 of the last step, px^2
    std::vector<double> Weights; // Tukey's, per point
    double Scale = 0; // robust scale of the residuals, px
};

using Shift = std::array<double, 3>; // of x, y, r, px

// Random 3-point circles the robust start tries unless told otherwise.
inline constexpr int RandomCircles = 400;

bool CircleThrough(const Point& a, const Point& b, const Point& c, Circle& circle);
// The 3-point circle within the limits that most points lie on (within
// tolerance px); a fixed seed keeps it repeatable.
bool RobustStart(const std::vector<Point>& points, const Circle& seed, double radiusLimit,
    double centreLimit, double tolerance, Circle& start, int trials = RandomCircles);
// Orthogonal-distance fit with Tukey's biweight by iteratively reweighted
// Gauss-Newton steps from start.
LeastSquares TukeyFit(const std::vector<Point>& points, const Circle& start);
// The robust start, then the weighted fit from it; false when either fails.
bool StartAndFit(const std::vector<Point>& points, const Circle& seed, double radiusLimit,
    double centreLimit, double tolerance, Circle& circle, int trials = RandomCircles);
bool Invert3(const std::array<double, 9>& m, std::array<double, 9>& inverse);
// Degrees of the circle the weighted points cover: 360 less the widest gap.
double ArcCoverage(
    const std::vector<Point>& points, const std::vector<double>& weights, const Circle& circle);
// The factor for neighbouring rays that share their errors, at least 1.
double CorrelationInflation(const std::vector<Point>& points, const LeastSquares& ls);
// How the final fit's circle answers a change of its points' distances from
// the centre (px, along each point's normal, one per point).
Shift Response(
    const std::vector<Point>& points, const LeastSquares& ls, const std::vector<double>& change);
// covariance += (scale shift)(scale shift)'.
void AddOuterProduct(std::array<double, 9>& covariance, const Shift& shift, double scale);
// The larger semi-axis of the centre's 1-sigma error ellipse, px.
double CentreSigma(const std::array<double, 9>& covariance);

} // namespace CircleFit
