// SPDX-License-Identifier: GPL-3.0-or-later
#include "CircleFit.h"

#include "EdgeRays.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <random>

namespace CircleFit {

namespace {

constexpr std::uint32_t RandomSeed = 20240605;

using EdgeRays::Distance;
using EdgeRays::RobustSigma;

} // namespace

bool CircleThrough(const Point& a, const Point& b, const Point& c, Circle& circle)
{
    const double bx = b.X - a.X, by = b.Y - a.Y, cx = c.X - a.X, cy = c.Y - a.Y;
    const double d = 2 * (bx * cy - by * cx);
    if (std::abs(d) < 1e-9)
        return false;
    const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
    const double ux = (cy * b2 - by * c2) / d, uy = (bx * c2 - cx * b2) / d;
    circle = { a.X + ux, a.Y + uy, std::hypot(ux, uy) };
    return true;
}

// The 3-point circle within the limits that most points lie on, then the
// points within tolerance of it refitted; a fixed seed keeps it repeatable.
bool RobustStart(const std::vector<Point>& points, const Circle& seed, double radiusLimit,
    double centreLimit, double tolerance, Circle& start, int trials)
{
    const auto n = static_cast<std::uint32_t>(points.size());
    if (n < 3)
        return false;
    std::mt19937 random(RandomSeed);
    int bestCount = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const std::uint32_t i = random() % n, j = random() % n, k = random() % n;
        if (i == j || j == k || i == k)
            continue;
        Circle c;
        if (!CircleThrough(points[i], points[j], points[k], c))
            continue;
        if (std::abs(c.R - seed.R) > radiusLimit
            || std::hypot(c.X - seed.X, c.Y - seed.Y) > centreLimit)
            continue;
        int count = 0;
        for (const Point& p : points)
            count += std::abs(Distance(p.X - c.X, p.Y - c.Y) - c.R) < tolerance;
        if (count > bestCount) {
            bestCount = count;
            start = c;
        }
    }
    return bestCount >= std::max(6, static_cast<int>(n / 4));
}

// Orthogonal-distance fit with Tukey's biweight by iteratively reweighted
// Gauss-Newton steps; the covariance is s^2 (J'WJ)^-1 of the last step.
// The robust start, then the weighted fit from it; false when either fails.
bool StartAndFit(const std::vector<Point>& points, const Circle& seed, double radiusLimit,
    double centreLimit, double tolerance, Circle& circle, int trials)
{
    Circle start;
    if (!RobustStart(points, seed, radiusLimit, centreLimit, tolerance, start, trials))
        return false;
    const LeastSquares ls = TukeyFit(points, start);
    circle = ls.Fitted;
    return ls.Ok;
}

LeastSquares TukeyFit(const std::vector<Point>& points, const Circle& start)
{
    LeastSquares ls;
    Circle c = start;
    const std::size_t n = points.size();
    std::vector<double> residuals(n);
    ls.Weights.assign(n, 1);
    for (int iteration = 0; iteration < 30; ++iteration) {
        for (std::size_t i = 0; i < n; ++i)
            residuals[i] = Distance(points[i].X - c.X, points[i].Y - c.Y) - c.R;
        // The scale has a floor: edges of a perfect synthetic picture still
        // scatter by JPEG rounding, and a zero scale would reject them all.
        const double scale = std::max(0.05, RobustSigma(residuals));
        const double cutoff = 4.685 * scale;
        std::array<double, 9> normal {};
        std::array<double, 3> rhs {};
        for (std::size_t i = 0; i < n; ++i) {
            const double u = residuals[i] / cutoff;
            const double w = std::abs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0;
            ls.Weights[i] = w;
            if (w == 0)
                continue;
            const double d = std::max(1e-9, residuals[i] + c.R);
            const double jac[3] = { -(points[i].X - c.X) / d, -(points[i].Y - c.Y) / d, -1 };
            for (int r = 0; r < 3; ++r) {
                for (int s = 0; s < 3; ++s)
                    normal[static_cast<std::size_t>(r * 3 + s)] += w * jac[r] * jac[s];
                rhs[static_cast<std::size_t>(r)] -= w * jac[r] * residuals[i];
            }
        }
        std::array<double, 9> inverse {};
        if (!Invert3(normal, inverse))
            return ls;
        double step[3] = {};
        for (int r = 0; r < 3; ++r)
            for (int s = 0; s < 3; ++s)
                step[r] += inverse[static_cast<std::size_t>(r * 3 + s)]
                    * rhs[static_cast<std::size_t>(s)];
        c.X += step[0];
        c.Y += step[1];
        c.R += step[2];
        double weightSum = 0, weightedSquares = 0;
        for (std::size_t i = 0; i < n; ++i) {
            weightSum += ls.Weights[i];
            weightedSquares += ls.Weights[i] * residuals[i] * residuals[i];
        }
        ls.Scale = scale;
        const double s2 = weightSum > 3 ? weightedSquares / (weightSum - 3) : 0;
        for (std::size_t m = 0; m < 9; ++m)
            ls.Covariance[m] = s2 * inverse[m];
        if (std::abs(step[0]) + std::abs(step[1]) + std::abs(step[2]) < 1e-6 && iteration >= 3)
            break;
    }
    ls.Ok = c.R > 0 && std::isfinite(c.X) && std::isfinite(c.Y) && std::isfinite(c.R);
    ls.Fitted = c;
    return ls;
}

bool Invert3(const std::array<double, 9>& m, std::array<double, 9>& inverse)
{
    const double c00 = m[4] * m[8] - m[5] * m[7];
    const double c01 = m[5] * m[6] - m[3] * m[8];
    const double c02 = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * c00 + m[1] * c01 + m[2] * c02;
    if (!(std::abs(det) > 1e-12))
        return false;
    inverse = { c00 / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
        c01 / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det, c02 / det,
        (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det };
    return true;
}

// Degrees of the circle the weighted points cover: 360 less the widest gap.
double ArcCoverage(
    const std::vector<Point>& points, const std::vector<double>& weights, const Circle& circle)
{
    std::vector<double> angles;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (weights[i] > 0)
            angles.push_back(std::atan2(points[i].Y - circle.Y, points[i].X - circle.X));
    if (angles.size() < 2)
        return 0;
    std::sort(angles.begin(), angles.end());
    double widest = angles.front() + 2 * std::numbers::pi - angles.back();
    for (std::size_t i = 1; i < angles.size(); ++i)
        widest = std::max(widest, angles[i] - angles[i - 1]);
    return 360 - widest * 180 / std::numbers::pi;
}

// Neighbouring rays closer than the smoothing, the blur and JPEG's blocks
// share their errors: fewer independent points than rays. The factor is
// 1 + 2 sum of the residuals' autocorrelations along the circle, up to the
// first that is not positive: rays closer than the smoothing and the blur
// raise it, rays far apart leave it at 1.
double CorrelationInflation(const std::vector<Point>& points, const LeastSquares& ls)
{
    std::vector<double> residuals;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (ls.Weights[i] > 0)
            residuals.push_back(
                Distance(points[i].X - ls.Fitted.X, points[i].Y - ls.Fitted.Y) - ls.Fitted.R);
    double variance = 0;
    for (double r : residuals)
        variance += r * r;
    const std::size_t n = residuals.size();
    double sum = 0;
    for (std::size_t lag = 1; lag < std::min<std::size_t>(n / 4, 64) && variance > 0; ++lag) {
        double covariance = 0;
        for (std::size_t i = 0; i < n; ++i)
            covariance += residuals[i] * residuals[(i + lag) % n];
        if (covariance <= 0)
            break;
        sum += covariance / variance;
    }
    return std::max(1.0, 1 + 2 * sum);
}

// How the final fit's circle answers a change of its points' distances from
// the centre (px, along each point's normal): one weighted Gauss-Newton step.
Shift Response(
    const std::vector<Point>& points, const LeastSquares& ls, const std::vector<double>& change)
{
    const Circle& c = ls.Fitted;
    std::array<double, 9> normal {};
    std::array<double, 3> rhs {};
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double w = ls.Weights[i];
        if (w <= 0)
            continue;
        const double dx = points[i].X - c.X, dy = points[i].Y - c.Y;
        const double d = std::max(1e-9, Distance(dx, dy));
        const double jac[3] = { -dx / d, -dy / d, -1 };
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b)
                normal[static_cast<std::size_t>(a * 3 + b)] += w * jac[a] * jac[b];
            rhs[static_cast<std::size_t>(a)] -= w * jac[a] * change[i];
        }
    }
    std::array<double, 9> inverse {};
    Shift shift {};
    if (!Invert3(normal, inverse))
        return shift;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            shift[static_cast<std::size_t>(a)]
                += inverse[static_cast<std::size_t>(a * 3 + b)] * rhs[static_cast<std::size_t>(b)];
    return shift;
}

void AddOuterProduct(std::array<double, 9>& covariance, const Shift& shift, double scale)
{
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            covariance[static_cast<std::size_t>(a * 3 + b)] += scale * scale
                * shift[static_cast<std::size_t>(a)] * shift[static_cast<std::size_t>(b)];
}

// The larger semi-axis of the centre's 1-sigma error ellipse, px.
double CentreSigma(const std::array<double, 9>& covariance)
{
    const double a = covariance[0], b = covariance[1], d = covariance[4];
    const double half = 0.5 * (a - d);
    return std::sqrt(std::max(0.0, 0.5 * (a + d) + std::sqrt(half * half + b * b)));
}

} // namespace CircleFit
