// SPDX-License-Identifier: GPL-3.0-or-later
#include "LimbFit.h"

#include "CircleFit.h"
#include "EdgeRays.h"
#include "LimbShift.h"
#include "PlanetChecks.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <numbers>

// The two fits and their verdicts. The rays are cast in EdgeRays, the
// circles fitted in CircleFit, the planet's checks made in PlanetChecks,
// the Sun's limb blur and shift measured in LimbShift.

namespace LimbFit {

namespace {

constexpr double SunCoarseSigma = 2.0;
// What the residuals do not show (JPEG's blocks, the other exposure's limb):
// the variance factor that brings the spread of error / sigma to 1 on the
// benchmark's generated scenes.
constexpr double SystematicShare = 1.44;
// The shading correction (a plane, a shift of 2 s^2 times its relative
// slope) is good to this share of the shift it makes: the limb darkening's
// curvature and the blur's estimate are not in it. Its error moves the whole
// edge one way, a shift of the circle the residuals cannot show.
constexpr double ShadingModelError = 0.2;
// A planet at the limb whose centre is predicted no better than this (px,
// the larger axis of its error ellipse) is refused: 2.45 sigma, the radius
// holding 95 % of a round 2-D error, would exceed the 0.15 px a planet's
// position needs.
constexpr double LimbPlanetSigma = 0.06;
constexpr int MinimumPoints = 12;
constexpr int CoarseRays = 180;
constexpr int CoarsePeaks = 3;

void Refuse(Fit& fit, Outcome outcome, const Circle& seed);
void Accept(Fit& fit, const CircleFit::LeastSquares& ls, const std::vector<Point>& points,
    const std::array<double, 9>& systematic);
// Two narrow passes of rays normal to the circle, a Tukey fit after each.
Outcome RefinePasses(const GreyView& grey, Circle& circle, EdgeRays::Polarity polarity,
    const std::vector<double>& halfWidths, const Circle* sun, const PlanetChecks::Shading* shading,
    CircleFit::LeastSquares& ls, std::vector<Point>& points, std::vector<Point>& dropped);

} // namespace

const char* OutcomeName(Outcome outcome)
{
    // In the order of the enumeration.
    static constexpr const char* Names[] = { "fitted", "no edge", "short arc", "not a circle",
        "moved too far", "sunspot", "too close to limb", "saturated" };
    const auto index = static_cast<std::size_t>(outcome);
    return index < std::size(Names) ? Names[index] : "?";
}

// [SECTION] Sun

namespace {

// How far a Sun's seed may lie from the limb it snaps to, px.
struct SunLimits {
    double Centre = 0;
    double Radius = 0;
};

// px: a seed set by keys at full size is rarely farther off.
constexpr double NarrowCentreLimit = 35;

SunLimits LimitsFor(const Circle& seed, const SunHints& hints)
{
    return { std::max(0.12 * seed.R, hints.CentreSlack) + 15, 0.12 * seed.R + 2 };
}

// Two circles of one limb: the avoided one may have been set by keys.
bool SameLimb(const Circle& a, const Circle& b)
{
    const double tolerance = 0.05 * b.R + 5;
    return std::hypot(a.X - b.X, a.Y - b.Y) < tolerance && std::abs(a.R - b.R) < tolerance;
}

// Strong edges of the rays cast, or the refusal when too few are.
Outcome StrongPoints(const EdgeRays::EdgeSet& edges, std::vector<Point>& points)
{
    const std::vector<char> strong = EdgeRays::StrongEnough(edges);
    points.clear();
    for (std::size_t i = 0; i < edges.Points.size(); ++i)
        if (strong[i])
            points.push_back(edges.Points[i]);
    if (static_cast<int>(points.size()) >= MinimumPoints)
        return Outcome::Fitted;
    return edges.ClippedRays > edges.RaysWithEdge / 2 ? Outcome::Saturated : Outcome::NoEdge;
}

// The robust start, then the weighted fit of the points near it only: most
// points may lie elsewhere.
bool StartOnNearPoints(const std::vector<Point>& points, const Circle& seed, double radiusLimit,
    double centreLimit, int trials, Circle& circle)
{
    Circle start;
    if (!CircleFit::RobustStart(points, seed, radiusLimit, centreLimit, 2.0, start, trials))
        return false;
    std::vector<Point> near;
    for (const Point& p : points)
        if (std::abs(std::hypot(p.X - start.X, p.Y - start.Y) - start.R) < 6)
            near.push_back(p);
    const CircleFit::LeastSquares ls = CircleFit::TukeyFit(near, start);
    circle = ls.Fitted;
    return ls.Ok;
}

// The refined limb from a start circle, checked against the seed.
Fit RefineSun(
    const GreyView& grey, const Circle& seed, Circle circle, double centreLimit, double radiusLimit)
{
    Fit fit;
    CircleFit::LeastSquares ls;
    std::vector<Point> used, dropped;
    const Outcome outcome = RefinePasses(grey, circle, EdgeRays::Polarity::BrightToDark, { 12, 8 },
        nullptr, nullptr, ls, used, dropped);
    if (outcome != Outcome::Fitted) {
        Refuse(fit, outcome, seed);
        return fit;
    }
    if (std::hypot(ls.Fitted.X - seed.X, ls.Fitted.Y - seed.Y) > centreLimit
        || std::abs(ls.Fitted.R - seed.R) > radiusLimit) {
        Refuse(fit, Outcome::MovedTooFar, seed);
        return fit;
    }
    Accept(fit, ls, used, {});
    fit.Rejected.insert(fit.Rejected.end(), dropped.begin(), dropped.end());
    return fit;
}

// The limb nearest the seed.
Fit FitSunNear(const GreyView& grey, const Circle& seed, const SunLimits& limits)
{
    Fit fit;
    Refuse(fit, Outcome::NoEdge, seed);
    // Coarse rays from the seed's centre, over its radius +- the radius's and
    // the centre's slack and the limb's blur.
    const double reach = 0.12 * seed.R + limits.Centre - 10;
    std::vector<EdgeRays::Ray> rays;
    for (int j = 0; j < CoarseRays; ++j) {
        const double angle = 2 * std::numbers::pi * j / CoarseRays;
        rays.push_back({ seed.X, seed.Y, std::cos(angle), std::sin(angle),
            std::max(1.0, seed.R - reach), seed.R + reach });
    }
    EdgeRays::EdgeSet edges;
    EdgeRays::CastRays(grey, rays, SunCoarseSigma, 1.0, EdgeRays::Polarity::BrightToDark, edges);
    std::vector<Point> points;
    const Outcome seen = StrongPoints(edges, points);
    if (seen != Outcome::Fitted) {
        Refuse(fit, seen, seed);
        return fit;
    }
    Circle circle;
    if (CircleFit::StartAndFit(points, seed, 0.12 * seed.R, limits.Centre, 2.0, circle))
        return RefineSun(grey, seed, circle, limits.Centre, limits.Radius);

    // Over so wide a window the limb need not be a ray's strongest edge (a
    // planet, a spot, the other exposure's limb, structure on the disc): a
    // few edges a ray, the start fitted to those near the start circle only.
    const int strongRays = static_cast<int>(points.size());
    EdgeRays::EdgeSet more;
    EdgeRays::CastRays(
        grey, rays, SunCoarseSigma, 1.0, EdgeRays::Polarity::BrightToDark, more, CoarsePeaks);
    StrongPoints(more, points);
    if (StartOnNearPoints(
            points, seed, 0.12 * seed.R, limits.Centre, CircleFit::RandomCircles, circle))
        return RefineSun(grey, seed, circle, limits.Centre, limits.Radius);
    // Why: a circle beyond the limits, an edge around the seed that is no
    // circle, or strong edges on too few rays to be a limb at all.
    Circle start;
    const Outcome why = CircleFit::RobustStart(points, seed, 0.5 * seed.R,
                            std::numeric_limits<double>::infinity(), 2.0, start)
        ? Outcome::MovedTooFar
        : 2 * strongRays >= CoarseRays ? Outcome::NotCircle
                                       : Outcome::NoEdge;
    Refuse(fit, why, seed);
    return fit;
}

// Another limb than the avoided one: rays from its centre, beginning beyond
// its limb and the blur's reach, over three of the seed's radii. The other
// exposure's limb where it lies over this disc is not seen from there; the
// refinement's rays drop it as seen over lit ground anyway.
Fit FitSunBeyond(
    const GreyView& grey, const Circle& seed, const Circle& avoid, const SunLimits& limits)
{
    Fit fit;
    Refuse(fit, Outcome::NoEdge, seed);
    const double from = avoid.R + 20 + 0.02 * avoid.R, to = from + 3 * seed.R;
    std::vector<EdgeRays::Ray> rays;
    for (int j = 0; j < CoarseRays; ++j) {
        const double angle = 2 * std::numbers::pi * j / CoarseRays;
        rays.push_back({ avoid.X, avoid.Y, std::cos(angle), std::sin(angle), from, to });
    }
    EdgeRays::EdgeSet edges;
    EdgeRays::CastRays(grey, rays, SunCoarseSigma, 1.0, EdgeRays::Polarity::BrightToDark, edges);
    // Only the rays towards the other disc see its limb, all about as
    // strong: the floor is taken from the strongest tenth, not the median.
    std::vector<double> strengths = edges.Strengths;
    std::sort(strengths.begin(), strengths.end());
    const double floor
        = strengths.empty() ? 0 : 0.3 * strengths[strengths.size() - 1 - strengths.size() / 10];
    const std::vector<char> strong = EdgeRays::StrongEnough(edges);
    std::vector<Point> points;
    for (std::size_t i = 0; i < edges.Points.size(); ++i)
        if (strong[i] && edges.Strengths[i] >= floor)
            points.push_back(edges.Points[i]);
    Circle circle;
    if (static_cast<int>(points.size()) < MinimumPoints
        || !StartOnNearPoints(points, { avoid.X, avoid.Y, seed.R }, 0.12 * seed.R, to + seed.R,
            5 * CircleFit::RandomCircles, circle)) {
        const bool clipped = edges.ClippedRays > edges.RaysWithEdge / 2;
        Refuse(fit, clipped ? Outcome::Saturated : Outcome::NoEdge, seed);
        return fit;
    }
    fit = RefineSun(grey, seed, circle, std::numeric_limits<double>::infinity(), limits.Radius);
    if (fit.Result == Outcome::Fitted && SameLimb(fit.Fitted, avoid))
        Refuse(fit, Outcome::NoEdge, seed);
    return fit;
}

} // namespace

Fit FitSunLimb(const GreyView& grey, const Circle& seed, const SunHints& hints)
{
    assert(grey.Samples != nullptr && seed.R > 0 && "a plane and a seed with a radius");
    const SunLimits limits = LimitsFor(seed, hints);
    // The narrow window first, where most seeds are: the wide one reads
    // twice the samples across the plane.
    const SunLimits narrow { std::min(limits.Centre, NarrowCentreLimit), limits.Radius };
    Fit fit = FitSunNear(grey, seed, narrow);
    if (fit.Result != Outcome::Fitted && limits.Centre > narrow.Centre)
        fit = FitSunNear(grey, seed, limits);
    if (hints.Avoid) {
        // The avoided limb found again, or nothing found from a seed on it:
        // the other exposure's lies further out.
        const Circle& avoid = *hints.Avoid;
        const bool onAvoided = fit.Result == Outcome::Fitted
            ? SameLimb(fit.Fitted, avoid)
            : std::hypot(seed.X - avoid.X, seed.Y - avoid.Y) <= limits.Centre
                && std::abs(seed.R - avoid.R) <= limits.Radius;
        if (onAvoided)
            fit = FitSunBeyond(grey, seed, avoid, limits);
    }
    if (fit.Result == Outcome::Fitted) {
        // The edge points lie inside the limb where it is darkened and blurred.
        const LimbShift::Correction c = LimbShift::RadiusCorrection(grey, fit.Fitted, fit.Used);
        fit.Fitted.R += c.Radius;
        fit.Covariance[8] += c.Variance;
    }
    return fit;
}

// [SECTION] Planet

Fit FitPlanet(const GreyView& grey, const Circle& seed, const Circle& sun)
{
    assert(grey.Samples != nullptr && seed.R > 0 && sun.R > 0 && "a plane, a seed and a Sun");
    Fit fit;
    Refuse(fit, Outcome::NoEdge, seed);

    Point centre;
    double saturated = 0;
    if (!PlanetChecks::FindDarkestSpot(grey, seed, centre, saturated))
        return fit;
    if (saturated > 0.5) {
        Refuse(fit, Outcome::Saturated, seed);
        return fit;
    }
    if (PlanetChecks::UsableArcFraction({ centre.X, centre.Y, seed.R }, sun) < 0.5) {
        Refuse(fit, Outcome::TooCloseToLimb, seed);
        return fit;
    }

    // About 2 pi r rays from the darkest spot for the dark-to-bright edge.
    const int rayCount = std::max(32, static_cast<int>(std::lround(2 * std::numbers::pi * seed.R)));
    std::vector<EdgeRays::Ray> rays;
    for (int j = 0; j < rayCount; ++j) {
        const double angle = 2 * std::numbers::pi * j / rayCount;
        rays.push_back({ centre.X, centre.Y, std::cos(angle), std::sin(angle),
            std::max(0.5, 0.5 * seed.R - 2), 1.5 * seed.R + 6 });
    }
    EdgeRays::EdgeSet edges;
    EdgeRays::CastRays(grey, rays, EdgeRays::NarrowSigma, EdgeRays::NarrowStep,
        EdgeRays::Polarity::DarkToBright, edges);
    const std::vector<char> strong = EdgeRays::StrongEnough(edges);
    std::vector<Point> points;
    for (std::size_t i = 0; i < edges.Points.size(); ++i) {
        const Point& p = edges.Points[i];
        if (strong[i] && std::hypot(p.X - sun.X, p.Y - sun.Y) < sun.R - PlanetChecks::LimbMargin)
            points.push_back(p);
    }
    if (static_cast<int>(points.size()) < MinimumPoints) {
        Refuse(fit, Outcome::NoEdge, seed);
        return fit;
    }
    Circle circle;
    const Circle start { centre.X, centre.Y, seed.R };
    if (!CircleFit::StartAndFit(points, start, 0.5 * seed.R + 5, 0.5 * seed.R + 3, 1.0, circle)) {
        Refuse(fit, Outcome::NotCircle, seed);
        return fit;
    }
    // Near the limb the photosphere darkens across the planet: its edge is
    // seen displaced towards the brighter side, by 2 s^2 times the relative gradient.
    double edgeWidth = 0, slopeSigma = 0;
    const double limbSigma = LimbShift::SunLimbBlur(grey, sun);
    PlanetChecks::Shading shading
        = PlanetChecks::FitShading(grey, circle, std::isfinite(limbSigma) ? limbSigma : 2.0, sun);
    if (PlanetChecks::LooksLikeSunspot(
            grey, circle, sun, shading, limbSigma, edgeWidth, slopeSigma)) {
        Refuse(fit, Outcome::Sunspot, seed);
        return fit;
    }
    shading = PlanetChecks::FitShading(grey, circle, slopeSigma, sun);
    const double halfWidth = std::clamp(0.6 * circle.R, 2.0, 8.0);
    CircleFit::LeastSquares ls;
    std::vector<Point> used, dropped;
    const Outcome outcome = RefinePasses(grey, circle, EdgeRays::Polarity::DarkToBright,
        { halfWidth, halfWidth }, &sun, &shading, ls, used, dropped);
    if (outcome != Outcome::Fitted) {
        Refuse(fit, outcome, seed);
        return fit;
    }
    const Circle& fitted = ls.Fitted;
    // A spot first: the fit may have run out to its penumbra.
    if (PlanetChecks::LooksLikeSunspot(
            grey, fitted, sun, shading, limbSigma, edgeWidth, slopeSigma)) {
        Refuse(fit, Outcome::Sunspot, seed);
        return fit;
    }
    // A planet set by keys on a reduced picture is a few pixels across: its
    // radius may be off by half a reduced pixel and more.
    if (std::hypot(fitted.X - seed.X, fitted.Y - seed.Y) > 25 + 0.2 * seed.R
        || std::abs(fitted.R - seed.R) > 0.5 * seed.R + 5) {
        Refuse(fit, Outcome::MovedTooFar, seed);
        return fit;
    }
    if (PlanetChecks::UsableArcFraction(fitted, sun) < 0.5) {
        Refuse(fit, Outcome::TooCloseToLimb, seed);
        return fit;
    }
    std::array<double, 9> systematic {};
    CircleFit::AddOuterProduct(
        systematic, PlanetChecks::ShadingCorrectionShift(shading, used, ls), ShadingModelError);
    Accept(fit, ls, used, systematic);
    fit.Rejected.insert(fit.Rejected.end(), dropped.begin(), dropped.end());
    fit.EdgeWidth = edgeWidth;
    const double gap = sun.R - std::hypot(fitted.X - sun.X, fitted.Y - sun.Y) - fitted.R;
    fit.NearLimb = gap < PlanetChecks::LimbMargin + 3 * edgeWidth;
    // At the limb the edge is seen on a part of its arc over the steepest
    // shading: what the fit says of itself decides whether it is worth keeping.
    if (fit.NearLimb && CircleFit::CentreSigma(fit.Covariance) > LimbPlanetSigma) {
        Refuse(fit, Outcome::TooCloseToLimb, seed);
        fit.Used.clear();
        fit.Rejected.clear();
        fit.NearLimb = false;
        fit.EdgeWidth = 0;
    }
    return fit;
}

namespace {

Outcome RefinePasses(const GreyView& grey, Circle& circle, EdgeRays::Polarity polarity,
    const std::vector<double>& halfWidths, const Circle* sun, const PlanetChecks::Shading* shading,
    CircleFit::LeastSquares& ls, std::vector<Point>& points, std::vector<Point>& dropped)
{
    for (double halfWidth : halfWidths) {
        EdgeRays::EdgeSet edges;
        const int count = EdgeRays::NormalRayCount(circle.R);
        EdgeRays::CastRays(grey, EdgeRays::NormalRays(circle, count, halfWidth, polarity),
            EdgeRays::NarrowSigma, EdgeRays::NarrowStep, polarity, edges);
        const std::vector<char> strong = EdgeRays::StrongEnough(edges);
        // A limb over the other exposure's disc is dropped like a clipped one.
        const std::vector<char> lit = sun == nullptr ? EdgeRays::OverLitGround(edges)
                                                     : std::vector<char>(edges.Points.size(), 0);
        points.clear();
        dropped.clear();
        for (std::size_t i = 0; i < edges.Points.size(); ++i) {
            const Point p = shading != nullptr && shading->Ok
                ? PlanetChecks::CorrectForShading(*shading, circle, edges.Points[i])
                : edges.Points[i];
            const bool nearLimb = sun != nullptr
                && std::hypot(p.X - sun->X, p.Y - sun->Y) >= sun->R - PlanetChecks::LimbMargin;
            (strong[i] && !nearLimb && !lit[i] ? points : dropped).push_back(p);
        }
        if (static_cast<int>(points.size()) < MinimumPoints) {
            const bool clipped = edges.ClippedRays > edges.RaysWithEdge / 2;
            return clipped ? Outcome::Saturated : Outcome::NoEdge;
        }
        ls = CircleFit::TukeyFit(points, circle);
        if (!ls.Ok)
            return Outcome::NotCircle;
        circle = ls.Fitted;
    }
    int kept = 0;
    for (double w : ls.Weights)
        kept += w > 0;
    if (CircleFit::ArcCoverage(points, ls.Weights, circle) < 90)
        return Outcome::ShortArc;
    if (kept < MinimumPoints || kept < static_cast<int>(points.size()) / 2 || ls.Scale > 1.0)
        return Outcome::NotCircle;
    return Outcome::Fitted;
}

void Refuse(Fit& fit, Outcome outcome, const Circle& seed)
{
    fit.Result = outcome;
    fit.Fitted = seed;
    fit.Covariance = {};
}

void Accept(Fit& fit, const CircleFit::LeastSquares& ls, const std::vector<Point>& points,
    const std::array<double, 9>& systematic)
{
    fit.Result = Outcome::Fitted;
    fit.Fitted = ls.Fitted;
    const double inflation = CircleFit::CorrelationInflation(points, ls) * SystematicShare;
    for (std::size_t m = 0; m < 9; ++m)
        fit.Covariance[m] = ls.Covariance[m] * inflation + systematic[m];
    fit.Used.clear();
    fit.Rejected.clear();
    for (std::size_t i = 0; i < points.size(); ++i)
        (ls.Weights[i] > 0 ? fit.Used : fit.Rejected).push_back(points[i]);
}

} // namespace

} // namespace LimbFit
