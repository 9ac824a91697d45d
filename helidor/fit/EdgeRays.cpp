// SPDX-License-Identifier: GPL-3.0-or-later
#include "EdgeRays.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

namespace EdgeRays {

namespace {

constexpr double EdgeToNoise = 6.0;
constexpr double EdgeToMedian = 0.25;
// A dark side lit by more than this share of the edge's contrast, or by
// more than LitToNoise of the dark levels' scatter, is not sky.
constexpr double LitShare = 0.05;
constexpr double LitToNoise = 6.0;

using FitTypes::SaturatedSample;

// Mean of values[from, to); NaN when empty.
double MeanOf(const std::vector<double>& values, int from, int to)
{
    from = std::max(from, 0);
    to = std::min(to, static_cast<int>(values.size()));
    if (to <= from)
        return std::nan("");
    double sum = 0;
    for (int m = from; m < to; ++m)
        sum += values[static_cast<std::size_t>(m)];
    return sum / (to - from);
}

} // namespace

// Bilinear; outside the plane NaN. saturated: one of the four is clipped.
double SampleAt(const GreyView& grey, double x, double y, bool& saturated)
{
    if (!(x >= 0 && y >= 0 && x <= grey.Width - 1 && y <= grey.Height - 1))
        return std::nan("");
    const int i = std::min(static_cast<int>(x), grey.Width - 2 < 0 ? 0 : grey.Width - 2);
    const int j = std::min(static_cast<int>(y), grey.Height - 2 < 0 ? 0 : grey.Height - 2);
    const double fx = x - i, fy = y - j;
    const std::uint16_t* row = grey.Samples + static_cast<std::size_t>(j) * grey.Width + i;
    const std::uint16_t* next = grey.Width > 1 && grey.Height > 1 ? row + grey.Width : row;
    const int dx = grey.Width > 1 ? 1 : 0;
    const std::uint16_t a = row[0], b = row[dx], c = next[0], d = next[dx];
    saturated = a == SaturatedSample || b == SaturatedSample || c == SaturatedSample
        || d == SaturatedSample;
    return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
}

// Samples at from + k step along the ray, k < count; false when the ray leaves the plane.
bool ReadProfile(const GreyView& grey, const Ray& ray, double from, double step, int count,
    std::vector<double>& values, std::vector<char>& saturated)
{
    values.resize(static_cast<std::size_t>(count));
    saturated.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const double t = from + k * step;
        bool clipped = false;
        const double v
            = SampleAt(grey, ray.OriginX + t * ray.DirX, ray.OriginY + t * ray.DirY, clipped);
        if (std::isnan(v))
            return false;
        values[static_cast<std::size_t>(k)] = v;
        saturated[static_cast<std::size_t>(k)] = clipped;
    }
    return true;
}

// Taps of a derivative-of-Gaussian filter over samples step px apart,
// scaled so that a ramp of slope 1 per px gives 1. Index 0 is offset -half.
const std::vector<double>& DerivativeKernel(double sigma, double step)
{
    static double cachedSigma = -1, cachedStep = -1;
    static std::vector<double> taps;
    if (sigma == cachedSigma && step == cachedStep)
        return taps;
    const int half = static_cast<int>(std::ceil(3 * sigma / step));
    taps.assign(static_cast<std::size_t>(2 * half + 1), 0);
    double norm = 0;
    for (int k = -half; k <= half; ++k) {
        const double u = k * step;
        const double w = -u * std::exp(-u * u / (2 * sigma * sigma));
        taps[static_cast<std::size_t>(k + half)] = -w; // correlation with f(t + u)
        norm += -w * u;
    }
    for (double& w : taps)
        w /= norm;
    cachedSigma = sigma;
    cachedStep = step;
    return taps;
}

// Narrows [from, to] so that the samples from - margin to to + margin lie in
// the plane; false when nothing is left.
bool ClipToPlane(const GreyView& grey, const Ray& ray, double margin, double& from, double& to)
{
    double low = from - margin, high = to + margin;
    const double origin[2] = { ray.OriginX, ray.OriginY };
    const double direction[2] = { ray.DirX, ray.DirY };
    const double limit[2] = { grey.Width - 1.0, grey.Height - 1.0 };
    for (int axis = 0; axis < 2; ++axis) {
        if (std::abs(direction[axis]) < 1e-12) {
            if (origin[axis] < 0 || origin[axis] > limit[axis])
                return false;
            continue;
        }
        double t0 = (0 - origin[axis]) / direction[axis];
        double t1 = (limit[axis] - origin[axis]) / direction[axis];
        if (t0 > t1)
            std::swap(t0, t1);
        low = std::max(low, t0 + 1e-9);
        high = std::min(high, t1 - 1e-9);
    }
    from = low + margin;
    to = high - margin;
    return to - from > 2;
}

void FindEdges(const GreyView& grey, const Ray& ray, double sigma, double step, Polarity polarity,
    int most, std::vector<double>& skyDerivatives, std::vector<RayEdge>& found)
{
    found.clear();
    const std::vector<double>& taps = DerivativeKernel(sigma, step);
    const int half = static_cast<int>(taps.size() / 2);
    // A limb near the picture's border is still seen on the part of the ray inside it.
    double from = ray.From, to = ray.To;
    if (!ClipToPlane(grey, ray, half * step, from, to))
        return;
    const int inner = static_cast<int>(std::floor((to - from) / step)) + 1;
    if (inner < 3)
        return;
    const int count = inner + 2 * half;
    static thread_local std::vector<double> values, derivative;
    static thread_local std::vector<char> saturated;
    if (!ReadProfile(grey, ray, from - half * step, step, count, values, saturated))
        return;
    derivative.assign(static_cast<std::size_t>(inner), 0);
    const double sign = polarity == Polarity::BrightToDark ? -1 : 1;
    int best = -1;
    for (int k = 0; k < inner; ++k) {
        double sum = 0;
        for (int m = 0; m < static_cast<int>(taps.size()); ++m)
            sum += taps[static_cast<std::size_t>(m)] * values[static_cast<std::size_t>(k + m)];
        derivative[static_cast<std::size_t>(k)] = sign * sum;
        if (best < 0 || sign * sum > derivative[static_cast<std::size_t>(best)])
            best = k;
    }
    if (best <= 0 || best >= inner - 1 || derivative[static_cast<std::size_t>(best)] <= 0)
        return;
    const int reach = static_cast<int>(std::ceil((3 * sigma + 3) / step));
    const auto at = [&](int k) { return derivative[static_cast<std::size_t>(k)]; };
    // The strongest first, then the next local peaks apart from those taken.
    std::vector<int> peaks { best };
    if (most > 1) {
        std::vector<int> others;
        for (int k = 1; k < inner - 1; ++k)
            if (k != best && at(k) > 0 && at(k) >= at(k - 1) && at(k) > at(k + 1))
                others.push_back(k);
        std::sort(others.begin(), others.end(), [&](int p, int q) { return at(p) > at(q); });
        for (int k : others) {
            if (static_cast<int>(peaks.size()) >= most)
                break;
            if (std::none_of(peaks.begin(), peaks.end(),
                    [&](int taken) { return std::abs(taken - k) <= reach; }))
                peaks.push_back(k);
        }
    }
    for (int peak : peaks) {
        const double a = at(peak - 1), b = at(peak), c = at(peak + 1);
        const double curvature = a - 2 * b + c;
        const double offset = curvature < 0 ? std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5) : 0;
        RayEdge edge;
        edge.Found = true;
        edge.T = from + (peak + offset) * step;
        edge.Strength = b;
        // Saturation on the bright side within reach of the smoothing and the blur.
        for (int k = std::max(0, peak - reach); k <= std::min(inner - 1, peak + reach); ++k) {
            const bool brightSide = polarity == Polarity::BrightToDark ? k <= peak : k >= peak;
            if (brightSide && saturated[static_cast<std::size_t>(k + half)])
                edge.Clipped = true;
        }
        // Sample m lies at derivative index m - half.
        const int before = peak - reach + half, after = peak + reach + half;
        const double lowLevel = MeanOf(values, 0, before);
        const double highLevel = MeanOf(values, after + 1, count);
        const bool outwardDark = polarity == Polarity::BrightToDark;
        edge.DarkLevel = outwardDark ? highLevel : lowLevel;
        edge.BrightLevel = outwardDark ? lowLevel : highLevel;
        found.push_back(edge);
    }
    // Derivative values on the dark side of the strongest edge, away from
    // it: the noise the edge stands out of.
    for (int k = 0; k < inner; ++k) {
        const bool darkSide
            = polarity == Polarity::BrightToDark ? k > best + reach : k < best - reach;
        if (darkSide)
            skyDerivatives.push_back(at(k));
    }
}

void CastRays(const GreyView& grey, const std::vector<Ray>& rays, double sigma, double step,
    Polarity polarity, EdgeSet& edges, int perRay)
{
    std::vector<RayEdge> found;
    for (const Ray& ray : rays) {
        FindEdges(grey, ray, sigma, step, polarity, perRay, edges.SkyDerivatives, found);
        if (found.empty())
            continue;
        ++edges.RaysWithEdge;
        if (found.front().Clipped)
            ++edges.ClippedRays;
        for (const RayEdge& edge : found) {
            if (edge.Clipped)
                continue;
            edges.Points.push_back(
                { ray.OriginX + edge.T * ray.DirX, ray.OriginY + edge.T * ray.DirY });
            edges.Strengths.push_back(edge.Strength);
            edges.DarkLevels.push_back(edge.DarkLevel);
            edges.BrightLevels.push_back(edge.BrightLevel);
        }
    }
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// 1.4826 times the median absolute deviation: sigma for Gaussian noise.
double RobustSigma(const std::vector<double>& values)
{
    const double centre = Median(values);
    std::vector<double> deviations;
    deviations.reserve(values.size());
    for (double v : values)
        deviations.push_back(std::abs(v - centre));
    return 1.4826 * Median(deviations);
}

// Edges that stand 6 noise sigmas out of the sky and reach a quarter of the median edge.
std::vector<char> StrongEnough(const EdgeSet& edges)
{
    const double noise = RobustSigma(edges.SkyDerivatives);
    const double floor = std::max(EdgeToNoise * noise, EdgeToMedian * Median(edges.Strengths));
    std::vector<char> strong(edges.Strengths.size());
    for (std::size_t i = 0; i < strong.size(); ++i)
        strong[i] = edges.Strengths[i] >= floor && edges.Strengths[i] > 0;
    return strong;
}

// The ground is the median dark level: most of a limb is seen against the
// sky (the overlap of two exposures is at most a quarter of each limb).
std::vector<char> OverLitGround(const EdgeSet& edges)
{
    std::vector<double> dark, bright;
    for (std::size_t i = 0; i < edges.DarkLevels.size(); ++i)
        if (std::isfinite(edges.DarkLevels[i]) && std::isfinite(edges.BrightLevels[i])) {
            dark.push_back(edges.DarkLevels[i]);
            bright.push_back(edges.BrightLevels[i]);
        }
    std::vector<char> lit(edges.DarkLevels.size(), 0);
    if (dark.empty())
        return lit;
    const double ground = Median(dark);
    const double contrast = Median(bright) - ground;
    const double limit = ground + std::max(LitToNoise * RobustSigma(dark), LitShare * contrast);
    for (std::size_t i = 0; i < lit.size(); ++i)
        lit[i] = edges.DarkLevels[i] > limit;
    return lit;
}

int NormalRayCount(double radius)
{
    return std::clamp(static_cast<int>(std::lround(2 * std::numbers::pi * radius)), 32, 1440);
}

// Rays across the circle, outwards for the Sun's limb and the planet's edge alike.
std::vector<Ray> NormalRays(const Circle& circle, int count, double halfWidth, Polarity)
{
    std::vector<Ray> rays;
    rays.reserve(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j) {
        const double angle = 2 * std::numbers::pi * (j + 0.5) / count;
        const double cx = std::cos(angle), cy = std::sin(angle);
        rays.push_back(
            { circle.X + circle.R * cx, circle.Y + circle.R * cy, cx, cy, -halfWidth, halfWidth });
    }
    return rays;
}

} // namespace EdgeRays
