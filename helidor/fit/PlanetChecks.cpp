// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlanetChecks.h"

#include "EdgeRays.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <utility>

namespace PlanetChecks {

namespace {

constexpr double SpotSpread = 2.0; // rise 10-90 % x steepest slope: 1.02 for a blurred disc
constexpr double SpotDepth = 0.12; // umbral light above what the blur leaks into a planet
constexpr double SpotPenumbra = 0.2; // light inside the edge, beyond the blur's reach

using CircleFit::Invert3;
using CircleFit::LeastSquares;
using CircleFit::Shift;
using EdgeRays::Distance;
using EdgeRays::Median;
using EdgeRays::NarrowSigma;
using EdgeRays::SampleAt;
using FitTypes::SaturatedSample;

// Mean samples in rings around a planet; Low the darkest within its radius,
// High the mean of the outermost 6 px.
struct RadialProfile {
    std::vector<double> Radii, Values;
    double Low = 0, High = 0;
};
bool Levels(RadialProfile& profile, double radius, double outer);
// The pixels of the picture within reach of a circle's centre, inclusive.
struct Box {
    int X0, X1, Y0, Y1;
};
Box BoxAround(const GreyView& grey, const Circle& circle, double reach);

} // namespace

// How far the shading correction moved the circle (the correction of each
// point taken at its corrected place, which differs by a small fraction).
Shift ShadingCorrectionShift(
    const Shading& shading, const std::vector<Point>& points, const LeastSquares& ls)
{
    if (!shading.Ok)
        return {};
    const Circle& c = ls.Fitted;
    std::vector<double> change(points.size(), 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point q = CorrectForShading(shading, c, points[i]);
        const double dx = points[i].X - c.X, dy = points[i].Y - c.Y;
        const double d = Distance(dx, dy);
        if (d > 0)
            change[i] = ((q.X - points[i].X) * dx + (q.Y - points[i].Y) * dy) / d;
    }
    return Response(points, ls, change);
}

// The centre within 25 px of the seed where a core of the seed's size is
// darkest against the ring around it; box sums of a summed-area table.
bool FindDarkestSpot(const GreyView& grey, const Circle& seed, Point& centre, double& saturated)
{
    const double r = seed.R;
    const int core = std::max(1, static_cast<int>(0.6 * r));
    const int ringInner = static_cast<int>(1.1 * r) + 1;
    const int ringOuter = static_cast<int>(1.5 * r) + 2;
    const int search = 25;
    const int margin = search + ringOuter + 1;
    const int x0 = std::max(0, static_cast<int>(std::lround(seed.X)) - margin);
    const int y0 = std::max(0, static_cast<int>(std::lround(seed.Y)) - margin);
    const int x1 = std::min(grey.Width - 1, static_cast<int>(std::lround(seed.X)) + margin);
    const int y1 = std::min(grey.Height - 1, static_cast<int>(std::lround(seed.Y)) + margin);
    if (x1 - x0 < 2 * ringOuter + 2 || y1 - y0 < 2 * ringOuter + 2)
        return false;
    const int w = x1 - x0 + 2, h = y1 - y0 + 2;
    std::vector<double> sums(static_cast<std::size_t>(w) * h, 0);
    std::vector<int> clipped(static_cast<std::size_t>(w) * h, 0);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const std::uint16_t v = grey.Samples[static_cast<std::size_t>(y) * grey.Width + x];
            const std::size_t at = static_cast<std::size_t>(y - y0 + 1) * w + (x - x0 + 1);
            sums[at] = v + sums[at - 1] + sums[at - w] - sums[at - w - 1];
            clipped[at]
                = (v == SaturatedSample) + clipped[at - 1] + clipped[at - w] - clipped[at - w - 1];
        }
    auto box = [&](const auto& table, int cx, int cy, int half) {
        const int ax = std::max(x0, cx - half) - x0, ay = std::max(y0, cy - half) - y0;
        const int bx = std::min(x1, cx + half) - x0 + 1, by = std::min(y1, cy + half) - y0 + 1;
        const double area = static_cast<double>(bx - ax) * (by - ay);
        const double sum = static_cast<double>(table[static_cast<std::size_t>(by) * w + bx])
            - table[static_cast<std::size_t>(ay) * w + bx]
            - table[static_cast<std::size_t>(by) * w + ax]
            + table[static_cast<std::size_t>(ay) * w + ax];
        return std::pair(sum, area);
    };
    double best = -1e300;
    const int sx = static_cast<int>(std::lround(seed.X)),
              sy = static_cast<int>(std::lround(seed.Y));
    for (int dy = -search; dy <= search; ++dy)
        for (int dx = -search; dx <= search; ++dx) {
            if (dx * dx + dy * dy > search * search)
                continue;
            const int cx = sx + dx, cy = sy + dy;
            if (cx - ringOuter < x0 || cy - ringOuter < y0 || cx + ringOuter > x1
                || cy + ringOuter > y1)
                continue;
            const auto [coreSum, coreArea] = box(sums, cx, cy, core);
            const auto [outerSum, outerArea] = box(sums, cx, cy, ringOuter);
            const auto [innerSum, innerArea] = box(sums, cx, cy, ringInner);
            const double contrast
                = (outerSum - innerSum) / (outerArea - innerArea) - coreSum / coreArea;
            if (contrast > best) {
                best = contrast;
                centre = { static_cast<double>(cx), static_cast<double>(cy) };
                const auto [outerClip, outerA] = box(clipped, cx, cy, ringOuter);
                const auto [innerClip, innerA] = box(clipped, cx, cy, ringInner);
                saturated = (outerClip - innerClip) / (outerA - innerA);
            }
        }
    return best > 0;
}

// The share of the planet's circle lying more than LimbMargin inside the Sun's limb.
double UsableArcFraction(const Circle& planet, const Circle& sun)
{
    int inside = 0;
    const int count = 360;
    for (int j = 0; j < count; ++j) {
        const double angle = 2 * std::numbers::pi * j / count;
        const double x = planet.X + planet.R * std::cos(angle);
        const double y = planet.Y + planet.R * std::sin(angle);
        inside += std::hypot(x - sun.X, y - sun.Y) < sun.R - LimbMargin;
    }
    return static_cast<double>(inside) / count;
}

// The median sample in a ring 15 to 25 px outside the Sun's limb, where it is in the picture.
double SkyLevel(const GreyView& grey, const Circle& sun)
{
    std::vector<double> values;
    for (int j = 0; j < 720; ++j) {
        const double angle = 2 * std::numbers::pi * j / 720;
        for (double d = 15; d <= 25; d += 5) {
            bool clipped = false;
            const double v = SampleAt(grey, sun.X + (sun.R + d) * std::cos(angle),
                sun.Y + (sun.R + d) * std::sin(angle), clipped);
            if (!std::isnan(v))
                values.push_back(v);
        }
    }
    return values.empty() ? 0 : Median(values);
}
namespace {

Box BoxAround(const GreyView& grey, const Circle& circle, double reach)
{
    return { std::max(0, static_cast<int>(circle.X - reach)),
        std::min(grey.Width - 1, static_cast<int>(circle.X + reach) + 1),
        std::max(0, static_cast<int>(circle.Y - reach)),
        std::min(grey.Height - 1, static_cast<int>(circle.Y + reach) + 1) };
}

} // namespace

Shading FitShading(const GreyView& grey, const Circle& planet, double sigma, const Circle& sun)
{
    Shading shading;
    if (!(sigma > 0) || !std::isfinite(sigma))
        return shading;
    const double inner = planet.R + 3 * sigma + 2;
    const double outer = inner + std::max(6.0, 0.5 * planet.R);
    shading.X0 = planet.X;
    shading.Y0 = planet.Y;
    shading.Scale = outer;
    std::array<double, 9> normal {};
    std::array<double, 3> rhs {};
    int count = 0;
    const Box box = BoxAround(grey, planet, outer);
    for (int y = box.Y0; y <= box.Y1; ++y)
        for (int x = box.X0; x <= box.X1; ++x) {
            const double rho = Distance(x - planet.X, y - planet.Y);
            const std::uint16_t v = grey.Samples[static_cast<std::size_t>(y) * grey.Width + x];
            if (rho < inner || rho > outer || v == SaturatedSample
                || Distance(x - sun.X, y - sun.Y) >= sun.R - LimbMargin)
                continue;
            const double u = (x - planet.X) / outer, w = (y - planet.Y) / outer;
            const double basis[3] = { 1, u, w };
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j)
                    normal[static_cast<std::size_t>(i * 3 + j)] += basis[i] * basis[j];
                rhs[static_cast<std::size_t>(i)] += basis[i] * v;
            }
            ++count;
        }
    std::array<double, 9> inverse {};
    if (count < 30 || !Invert3(normal, inverse))
        return shading;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            shading.C[static_cast<std::size_t>(i)]
                += inverse[static_cast<std::size_t>(i * 3 + j)] * rhs[static_cast<std::size_t>(j)];
    shading.ShiftFactor = 2 * (sigma * sigma + NarrowSigma * NarrowSigma);
    shading.Ok = true;
    return shading;
}

namespace {

bool Levels(RadialProfile& profile, double radius, double outer)
{
    profile.Low = profile.Values[0];
    double high = 0, count = 0;
    for (std::size_t i = 0; i < profile.Values.size(); ++i) {
        if (profile.Radii[i] <= radius)
            profile.Low = std::min(profile.Low, profile.Values[i]);
        if (profile.Radii[i] >= outer - 6) {
            high += profile.Values[i];
            count += 1;
        }
    }
    if (count == 0 || high / count <= profile.Low)
        return false;
    profile.High = high / count;
    return true;
}

} // namespace

double ShadingLevel(const Shading& shading, double x, double y)
{
    const double u = (x - shading.X0) / shading.Scale, w = (y - shading.Y0) / shading.Scale;
    const std::array<double, 3>& c = shading.C;
    return c[0] + c[1] * u + c[2] * w;
}

// The edge point moved back by the shading's pull along the circle's normal.
Point CorrectForShading(const Shading& shading, const Circle& circle, const Point& p)
{
    const double dx = p.X - circle.X, dy = p.Y - circle.Y;
    const double d = Distance(dx, dy);
    if (d <= 0)
        return p;
    const double nx = dx / d, ny = dy / d;
    const double u = (p.X - shading.X0) / shading.Scale, w = (p.Y - shading.Y0) / shading.Scale;
    const std::array<double, 3>& c = shading.C;
    const double level = c[0] + c[1] * u + c[2] * w;
    if (!(level > 0))
        return p;
    const double du = c[1], dw = c[2];
    const double slope = (du * nx + dw * ny) / shading.Scale / level; // per px
    const double shift = std::clamp(shading.ShiftFactor * slope, -1.0, 1.0);
    return { p.X - shift * nx, p.Y - shift * ny };
}

// A planet's disc is one blurred step from sky-dark to the photosphere. A
// spot is not: a penumbra widens the rise far beyond its steepest part, and
// a large umbra stays well above the sky.
bool LooksLikeSunspot(const GreyView& grey, const Circle& planet, const Circle& sun,
    const Shading& shading, double limbSigma, double& edgeWidth, double& slopeSigma)
{
    // Two azimuthal profiles: as seen, and with the photosphere's shading
    // divided out, which near the limb would smear the rise.
    const double binWidth = 0.5;
    const double outer = 2 * planet.R + 12;
    const auto bins = static_cast<std::size_t>(outer / binWidth) + 1;
    std::vector<double> sums(bins, 0), flatSums(bins, 0), counts(bins, 0);
    const Box box = BoxAround(grey, planet, outer);
    for (int y = box.Y0; y <= box.Y1; ++y)
        for (int x = box.X0; x <= box.X1; ++x) {
            const double rho = Distance(x - planet.X, y - planet.Y);
            const double level = shading.Ok ? ShadingLevel(shading, x, y) : 1;
            if (rho >= outer || Distance(x - sun.X, y - sun.Y) >= sun.R - LimbMargin
                || !(level > 0))
                continue;
            const auto bin = static_cast<std::size_t>(rho / binWidth);
            const double v = grey.Samples[static_cast<std::size_t>(y) * grey.Width + x];
            sums[bin] += v;
            flatSums[bin] += v / level;
            counts[bin] += 1;
        }
    RadialProfile seen, flat;
    for (std::size_t b = 0; b < bins; ++b)
        if (counts[b] > 0) {
            seen.Values.push_back(sums[b] / counts[b]);
            flat.Values.push_back(flatSums[b] / counts[b]);
            seen.Radii.push_back((b + 0.5) * binWidth);
        }
    flat.Radii = seen.Radii;
    if (seen.Values.size() < 8 || !Levels(seen, planet.R, outer) || !Levels(flat, planet.R, outer))
        return false;
    // The rise from 10 % to 90 % against the width its steepest slope implies.
    const std::vector<double>& profile = flat.Values;
    const std::vector<double>& radii = flat.Radii;
    double rise10 = -1, rise90 = -1, steepest = 0;
    for (std::size_t i = 0; i < profile.size(); ++i) {
        const double t = (profile[i] - flat.Low) / (flat.High - flat.Low);
        if (rise10 < 0 && t >= 0.1)
            rise10 = radii[i];
        if (t < 0.9)
            rise90 = radii[i];
        if (i > 0 && i + 1 < profile.size())
            steepest = std::max(steepest,
                (profile[i + 1] - profile[i - 1]) / (radii[i + 1] - radii[i - 1])
                    / (flat.High - flat.Low));
    }
    if (rise10 < 0 || rise90 < rise10 || steepest <= 0)
        return false;
    const double rise = rise90 - rise10 + binWidth;
    edgeWidth = rise / 2.563;
    const double spread = rise * steepest; // 1.02 for a blurred step
    // A blurred dark disc keeps exp(-r^2 / 2 sigma^2) of the light at its
    // centre, with sigma from the steepest slope; a spot's umbra keeps more.
    const double sigma = 1 / (std::sqrt(2 * std::numbers::pi) * steepest);
    slopeSigma = sigma;
    // The seeing's blur is best read off the limb: a spot's slope is widened by its penumbra.
    const double blur
        = std::isfinite(limbSigma) && limbSigma > 0 ? std::min(limbSigma, sigma) : sigma;
    const double leak = std::exp(-planet.R * planet.R / (2 * blur * blur));
    const double low = seen.Low, high = seen.High;
    const double sky = SkyLevel(grey, sun);
    const double depth = high > sky ? (low - sky) / (high - sky) : 0;
    // Inside a planet's edge the disc is flat and dark; inside a penumbra's
    // outer edge lies the penumbra, well above the core.
    double penumbra = 0;
    for (std::size_t i = 0; i < seen.Values.size(); ++i)
        if (seen.Radii[i] >= 0.4 * planet.R && seen.Radii[i] <= planet.R - 2.5 * sigma)
            penumbra = std::max(penumbra, (seen.Values[i] - low) / (high - low));
    return spread > SpotSpread || depth > leak + SpotDepth || penumbra > SpotPenumbra;
}

} // namespace PlanetChecks
