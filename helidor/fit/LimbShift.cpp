// SPDX-License-Identifier: GPL-3.0-or-later
#include "LimbShift.h"

#include "CircleFit.h"
#include "EdgeRays.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace LimbShift {

namespace {

using EdgeRays::Median;
using EdgeRays::Ray;

constexpr double Root2Pi = 2.5066282746310002;
// What the corrected radius is good to beyond the fit's own scatter, px.
// On the benchmark's generated scenes the corrected radius scatters by
// 0.012 to 0.026 px about a mean that runs from -0.017 px at a blur of
// 0.5 to 1 px to +0.014 at 2.5 to 3 (JPEG's blocks, sRGB's rounding, the
// blur's and K / J's estimates), where the fit alone says 0.002 to 0.012:
// this brings the spread of error / sigma_r to 1.
constexpr double ResidualError = 0.016;
constexpr int MaximumRays = 360;
constexpr int MinimumRays = 24;
constexpr double Step = 0.5; // px between samples along a ray
constexpr double InsideReach = 30; // px of disc read inside the limb
constexpr double LargestBlur = 6; // px: a limb blurred more is not fitted

// Simpson's weight of node i of intervals (even): 1, 4, 2, ..., 4, 1.
double SimpsonWeight(int i, int intervals)
{
    return i == 0 || i == intervals ? 1 : (i % 2 == 1 ? 4 : 2);
}

// The slope of exp(-z^2 / 2) + c Integral_0^inf exp(-(t - w^2)^2 / 2) dw at
// t, less a common factor: the derivative of the smoothed profile in units
// of the sigma, with c = (K / J) sqrt(sigma).
double SmoothedSlope(double t, double c)
{
    // Beyond w^2 = t + 9 the integrand is below exp(-40).
    const double top = std::sqrt(std::max(0.0, t) + 9);
    constexpr int intervals = 400; // Simpson, even
    const double h = top / intervals;
    double sum = 0;
    for (int i = 0; i <= intervals; ++i) {
        const double w = i * h, z = t - w * w;
        const double term = -z * std::exp(-z * z / 2);
        sum += term * SimpsonWeight(i, intervals);
    }
    return -t * std::exp(-t * t / 2) + c * sum * h / 3;
}

// sqrt(s) for s > 0 and 0 outside, smoothed by a unit Gaussian, at z:
// tabulated from -8 to 40, beyond by its expansion sqrt(z) - z^(-3/2) / 8.
double SmoothedRoot(double z)
{
    constexpr double low = -8, high = 40, step = 0.02;
    static const std::vector<double> table = [] {
        std::vector<double> t;
        for (double z0 = low; z0 <= high + step; z0 += step) {
            // w = v^2 takes the root's kink out of the integrand.
            const double a = std::sqrt(std::max(0.0, z0 - 8)), b = std::sqrt(std::max(0.0, z0 + 8));
            constexpr int intervals = 160;
            const double h = (b - a) / intervals;
            double sum = 0;
            for (int i = 0; i <= intervals; ++i) {
                const double v = a + i * h, d = z0 - v * v;
                sum += 2 * v * v * std::exp(-d * d / 2) * SimpsonWeight(i, intervals);
            }
            t.push_back(sum * h / 3 / Root2Pi);
        }
        return t;
    }();
    if (z <= low)
        return 0;
    if (z >= high)
        return std::sqrt(z) - 1 / (8 * z * std::sqrt(z));
    const double k = (z - low) / step;
    const auto i = static_cast<std::size_t>(k);
    const double f = k - static_cast<double>(i);
    return table[i] * (1 - f) + table[i + 1] * f;
}

// Inside distance s from the limb to the cosine of the view angle there.
double Mu(double s, double radius)
{
    const double q = 1 - s / radius;
    return std::sqrt(std::max(0.0, 1 - q * q));
}

// A rise or fall of more than 0.15 of the contrast over 2 px anywhere from first on.
bool CrossesAStep(const std::vector<double>& values, std::size_t first, double contrast)
{
    constexpr double stepShare = 0.15;
    constexpr auto span = static_cast<std::size_t>(2 / Step);
    for (std::size_t k = first; k + span < values.size(); ++k)
        if (std::abs(values[k + span] - values[k]) > stepShare * contrast)
            return true;
    return false;
}

// The median over rays of the profile across the limb, samples at
// t = -outer + k Step px inside the circle; the number of rays used. Rays
// that leave the plane or cross a clipped sample are left out, and so are
// rays whose inside, beyond the blurred limb at t = inner, crosses the other
// exposure's limb (a step, where the disc's own light rises by a few per
// cent over 2 px). Edge points whose outside lies on the other exposure are
// already rejected by the fit (EdgeRays::OverLitGround).
int MedianProfile(const GreyView& grey, const Circle& circle, const std::vector<Point>& at,
    double outer, double inner, int count, std::vector<double>& profile)
{
    const std::size_t stride = (at.size() + MaximumRays - 1) / MaximumRays;
    const auto n = static_cast<std::size_t>(count);
    constexpr std::size_t ends = 9; // samples that give a ray's outside and inside levels
    std::vector<double> all, values;
    std::vector<char> saturated;
    int rays = 0;
    for (std::size_t i = 0; i < at.size(); i += stride) {
        const double dx = at[i].X - circle.X, dy = at[i].Y - circle.Y;
        const double length = EdgeRays::Distance(dx, dy);
        if (!(length > 0))
            continue;
        const Ray ray { circle.X + circle.R * dx / length, circle.Y + circle.R * dy / length,
            -dx / length, -dy / length, 0, 0 };
        if (!EdgeRays::ReadProfile(grey, ray, -outer, Step, count, values, saturated)
            || std::find(saturated.begin(), saturated.end(), 1) != saturated.end())
            continue;
        const double outside = Median({ values.begin(), values.begin() + ends });
        const double contrast = Median({ values.end() - ends, values.end() }) - outside;
        if (CrossesAStep(values, static_cast<std::size_t>((outer + inner) / Step), contrast))
            continue;
        all.insert(all.end(), values.begin(), values.end());
        ++rays;
    }
    if (rays == 0)
        return 0;
    profile.assign(n, 0);
    std::vector<double> column(static_cast<std::size_t>(rays));
    for (std::size_t k = 0; k < n; ++k) {
        for (std::size_t j = 0; j < column.size(); ++j)
            column[j] = all[j * n + k];
        profile[k] = Median(column);
    }
    return rays;
}

// The profile's model: sky + J Phi(s / b) + K' (the smoothed mu), s = t - offset.
struct ProfileFit {
    double Blur = 0, Offset = 0;
    double Sky = 0, Jump = 0, Slope = 0; // Slope: K', the level's rise per unit of mu
    double Squares = 0;
};

// The best sky, J and K' for a blur and an offset, by linear least squares.
void SolveLevels(const std::vector<double>& profile, double outer, double radius, ProfileFit& fit)
{
    std::array<double, 9> normal {};
    std::array<double, 3> right {};
    std::vector<std::array<double, 3>> rows(profile.size());
    const double scale = std::sqrt(2 / radius * fit.Blur);
    for (std::size_t k = 0; k < profile.size(); ++k) {
        const double s = -outer + static_cast<double>(k) * Step - fit.Offset;
        // Beyond the blur mu parts from its root law: that part unsmoothed.
        const double curved = s > 0 ? Mu(s, radius) - std::sqrt(2 * s / radius) : 0;
        rows[k] = { 1, 0.5 * std::erfc(-s / (fit.Blur * std::numbers::sqrt2)),
            scale * SmoothedRoot(s / fit.Blur) + curved };
        for (std::size_t a = 0; a < 3; ++a) {
            right[a] += rows[k][a] * profile[k];
            for (std::size_t b = 0; b < 3; ++b)
                normal[a * 3 + b] += rows[k][a] * rows[k][b];
        }
    }
    std::array<double, 9> inverse {};
    if (!CircleFit::Invert3(normal, inverse)) {
        fit.Squares = HUGE_VAL;
        return;
    }
    std::array<double, 3> c {};
    for (std::size_t a = 0; a < 3; ++a)
        for (std::size_t b = 0; b < 3; ++b)
            c[a] += inverse[a * 3 + b] * right[b];
    fit.Sky = c[0];
    fit.Jump = c[1];
    fit.Slope = c[2];
    fit.Squares = 0;
    for (std::size_t k = 0; k < profile.size(); ++k) {
        const double r = profile[k] - c[0] * rows[k][0] - c[1] * rows[k][1] - c[2] * rows[k][2];
        fit.Squares += r * r;
    }
}

// Golden-section search of one of the fit's two shape parameters.
void SearchOne(const std::vector<double>& profile, double outer, double radius, ProfileFit& fit,
    double ProfileFit::*parameter, double low, double high)
{
    constexpr double golden = 0.6180339887498949;
    auto squaresAt = [&](double value) {
        ProfileFit trial = fit;
        trial.*parameter = value;
        SolveLevels(profile, outer, radius, trial);
        return trial.Squares;
    };
    double a = low, b = high;
    double c = b - golden * (b - a), d = a + golden * (b - a);
    double fc = squaresAt(c), fd = squaresAt(d);
    for (int i = 0; i < 32; ++i) {
        if (fc < fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - golden * (b - a);
            fc = squaresAt(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + golden * (b - a);
            fd = squaresAt(d);
        }
    }
    fit.*parameter = (a + b) / 2;
    SolveLevels(profile, outer, radius, fit);
}

} // namespace

// The seeing's sigma, px, from the sky side of the limb's derivative: its
// half width at half maximum there is 1.1774 sigma. NaN where the limb is
// nowhere seen whole.
double SunLimbBlur(const GreyView& grey, const Circle& sun)
{
    constexpr int rayCount = 48;
    constexpr double step = 0.25, reach = 12;
    const int count = static_cast<int>(2 * reach / step) + 1;
    std::vector<double> widths, values;
    std::vector<char> saturated;
    for (int j = 0; j < rayCount; ++j) {
        const double angle = 2 * std::numbers::pi * (j + 0.5) / rayCount;
        const double cx = std::cos(angle), cy = std::sin(angle);
        const Ray ray { sun.X + sun.R * cx, sun.Y + sun.R * cy, cx, cy, -reach, reach };
        if (!EdgeRays::ReadProfile(grey, ray, -reach, step, count, values, saturated))
            continue;
        if (std::find(saturated.begin(), saturated.end(), 1) != saturated.end())
            continue;
        // Falling slope by central differences over 0.5 px.
        std::vector<double> slope(static_cast<std::size_t>(count), 0);
        int peak = 1;
        for (int k = 1; k + 1 < count; ++k) {
            slope[static_cast<std::size_t>(k)] = (values[static_cast<std::size_t>(k - 1)]
                                                     - values[static_cast<std::size_t>(k + 1)])
                / (2 * step);
            if (slope[static_cast<std::size_t>(k)] > slope[static_cast<std::size_t>(peak)])
                peak = k;
        }
        const double top = slope[static_cast<std::size_t>(peak)];
        if (!(top > 0))
            continue;
        int k = peak;
        while (k + 1 < count && slope[static_cast<std::size_t>(k + 1)] > top / 2)
            ++k;
        if (k + 1 >= count)
            continue;
        const double a = slope[static_cast<std::size_t>(k)],
                     b = slope[static_cast<std::size_t>(k + 1)];
        const double half = (k - peak + (a - top / 2) / (a - b)) * step;
        widths.push_back(half / 1.1774);
    }
    if (widths.size() < rayCount / 4)
        return std::nan("");
    // Central differences over 0.5 px and bilinear sampling widen it a little.
    const double measured = Median(widths);
    return std::sqrt(std::max(0.01, measured * measured - 0.1));
}

double FirstOrderShift(double ratio, double sigma)
{
    // (1 / 2) 2^(-1/4) Gamma(3/4)
    return 0.5152 * ratio * sigma * std::sqrt(sigma);
}

double PeakShift(double ratio, double sigma)
{
    const double c = ratio * std::sqrt(sigma);
    if (!(c > 0))
        return 0;
    // The slope falls from positive at 0 through the peak; bisect.
    double low = 0, high = 1;
    while (SmoothedSlope(high, c) > 0 && high < 16)
        high *= 2;
    for (int i = 0; i < 50; ++i) {
        const double mid = (low + high) / 2;
        (SmoothedSlope(mid, c) > 0 ? low : high) = mid;
    }
    return sigma * (low + high) / 2;
}

Estimate Measure(const GreyView& grey, const Circle& circle, const std::vector<Point>& at)
{
    Estimate e;
    if (at.empty())
        return e;
    const double start = SunLimbBlur(grey, circle);
    const double guess = std::isfinite(start) ? std::clamp(start, 0.5, 4.0) : 1.5;
    const double outer = 5 * guess + 6;
    const double reach = std::min(InsideReach, 0.25 * circle.R);
    const int count = static_cast<int>((outer + reach) / Step) + 1;
    std::vector<double> profile;
    // Beyond three blurs the step's own blur has died away.
    e.Rays = MedianProfile(grey, circle, at, outer, 3 * guess + 2, count, profile);
    if (e.Rays < MinimumRays)
        return e;
    ProfileFit fit;
    fit.Blur = guess;
    for (int round = 0; round < 3; ++round) {
        SearchOne(profile, outer, circle.R, fit, &ProfileFit::Offset, -3, 2);
        SearchOne(profile, outer, circle.R, fit, &ProfileFit::Blur, 0.2, LargestBlur);
    }
    // A jump that is no jump, a brightness falling towards the centre, a blur at the search's end.
    if (!(fit.Jump > 0) || !(fit.Slope >= 0) || fit.Slope > 10 * fit.Jump
        || fit.Blur > LargestBlur - 0.1)
        return e;
    e.Blur = fit.Blur;
    e.Offset = fit.Offset;
    // The samples are read at the blur fitted; the narrow passes smooth them once more.
    e.Sigma = std::sqrt(fit.Blur * fit.Blur + EdgeRays::NarrowSigma * EdgeRays::NarrowSigma);
    // mu ~ sqrt(2 s / R) near the limb.
    e.Ratio = fit.Slope / fit.Jump * std::sqrt(2 / circle.R);
    e.Shift = PeakShift(e.Ratio, e.Sigma);
    e.Ok = true;
    return e;
}

Correction RadiusCorrection(
    const GreyView& grey, const Circle& circle, const std::vector<Point>& used)
{
    const Estimate e = Measure(grey, circle, used);
    const double uncertainty = e.Ok ? ResidualError : TypicalShift;
    return { e.Ok ? e.Shift : 0, uncertainty * uncertainty };
}

} // namespace LimbShift
