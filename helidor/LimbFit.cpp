#include "LimbFit.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <numbers>
#include <random>

// Index: [SECTION] Samples and rays, [SECTION] Circle fits, [SECTION] Sun,
// [SECTION] Planet.

namespace LimbFit {

namespace {

constexpr double Pi = std::numbers::pi;

// The edge of one ray: position along the ray and the smoothed derivative there.
struct RayEdge {
    bool Found = false;
    double T = 0; // px from the ray's origin
    double Strength = 0; // |derivative| at the peak, samples per px
    bool Clipped = false; // a saturated sample on the bright side
};

// A ray's edges and what the rejections need of them.
struct EdgeSet {
    std::vector<Point> Points;
    std::vector<double> Strengths;
    std::vector<double> SkyDerivatives; // derivative values on the dark side, away from the edge
    int ClippedRays = 0;
    int RaysWithEdge = 0;
};

struct Ray {
    double OriginX, OriginY, DirX, DirY;
    double From, To; // px along the ray where the edge may lie
};

struct LeastSquares {
    bool Ok = false;
    Circle Fitted;
    std::array<double, 9> Covariance {};
    std::vector<double> Weights;
    double Scale = 0; // robust scale of the residuals, px
};

// The direction an edge is looked for, going along a ray.
enum class Polarity { BrightToDark, DarkToBright };

constexpr double SunCoarseSigma = 2.0;
constexpr double NarrowSigma = 1.25;
constexpr double NarrowStep = 0.5;
constexpr double EdgeToNoise = 6.0;
constexpr double EdgeToMedian = 0.25;
constexpr int RandomCircles = 400;
constexpr std::uint32_t RandomSeed = 20240605;
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
constexpr double LimbMargin = 10.0; // px: planet points this close to the limb are dropped
constexpr int MinimumPoints = 12;
constexpr double SpotSpread = 2.0; // rise 10-90 % x steepest slope: 1.02 for a blurred disc
constexpr double SpotDepth = 0.12; // umbral light above what the blur leaks into a planet
constexpr double SpotPenumbra = 0.2; // light inside the edge, beyond the blur's reach
constexpr int CoarseRays = 180;

double SampleAt(const GreyView& grey, double x, double y, bool& saturated);
// std::hypot guards against overflow that pixel distances never reach, at many times the cost.
inline double Distance(double dx, double dy)
{
    return std::sqrt(dx * dx + dy * dy);
}
bool ReadProfile(const GreyView& grey, const Ray& ray, double from, double step, int count,
    std::vector<double>& values, std::vector<char>& saturated);
const std::vector<double>& DerivativeKernel(double sigma, double step);
bool ClipToPlane(const GreyView& grey, const Ray& ray, double margin, double& from, double& to);
RayEdge FindEdge(const GreyView& grey, const Ray& ray, double sigma, double step, Polarity polarity,
    std::vector<double>& skyDerivatives);
void CastRays(const GreyView& grey, const std::vector<Ray>& rays, double sigma, double step,
    Polarity polarity, EdgeSet& edges);
double Median(std::vector<double> values);
double RobustSigma(const std::vector<double>& values);
std::vector<char> StrongEnough(const EdgeSet& edges);
bool CircleThrough(const Point& a, const Point& b, const Point& c, Circle& circle);
bool RobustStart(const std::vector<Point>& points, const Circle& seed, double radiusLimit,
    double centreLimit, double tolerance, Circle& start);
LeastSquares TukeyFit(const std::vector<Point>& points, const Circle& start);
bool StartAndFit(const std::vector<Point>& points, const Circle& seed, double radiusLimit,
    double centreLimit, double tolerance, Circle& circle);
bool Invert3(const std::array<double, 9>& m, std::array<double, 9>& inverse);
double ArcCoverage(
    const std::vector<Point>& points, const std::vector<double>& weights, const Circle& circle);
std::vector<Ray> NormalRays(const Circle& circle, int count, double halfWidth, Polarity polarity);
int NormalRayCount(double radius);
double CorrelationInflation(const std::vector<Point>& points, const LeastSquares& ls);
void Refuse(Fit& fit, Outcome outcome, const Circle& seed);
void Accept(Fit& fit, const LeastSquares& ls, const std::vector<Point>& points,
    const std::array<double, 9>& systematic);
using Shift = std::array<double, 3>; // of x, y, r
Shift Response(
    const std::vector<Point>& points, const LeastSquares& ls, const std::vector<double>& change);
void AddOuterProduct(std::array<double, 9>& covariance, const Shift& shift, double scale);
double CentreSigma(const std::array<double, 9>& covariance);
// The photosphere's brightness around a planet, a plane in x and y (a ring
// cannot tell a curvature from a constant), and
// how far a planet's edge seen on it moves towards the brighter side.
struct Shading {
    bool Ok = false;
    double X0 = 0, Y0 = 0, Scale = 1;
    std::array<double, 3> C {}; // 1, u, v of u = (x - X0) / Scale
    double ShiftFactor = 0; // 2 s^2: px^2, s the blur and the smoothing together
};
Shading FitShading(const GreyView& grey, const Circle& planet, double sigma, const Circle& sun);
Point CorrectForShading(const Shading& shading, const Circle& circle, const Point& p);
Outcome RefinePasses(const GreyView& grey, Circle& circle, Polarity polarity,
    const std::vector<double>& halfWidths, const Circle* sun, const Shading* shading,
    LeastSquares& ls, std::vector<Point>& points, std::vector<Point>& dropped);
bool FindDarkestSpot(const GreyView& grey, const Circle& seed, Point& centre, double& saturated);
double UsableArcFraction(const Circle& planet, const Circle& sun);
Shift ShadingCorrectionShift(
    const Shading& shading, const std::vector<Point>& points, const LeastSquares& ls);
// Mean samples in rings around a planet; Low the darkest within its radius,
// High the mean of the outermost 6 px.
struct RadialProfile {
    std::vector<double> Radii, Values;
    double Low = 0, High = 0;
};
bool Levels(RadialProfile& profile, double radius, double outer);
bool LooksLikeSunspot(const GreyView& grey, const Circle& planet, const Circle& sun,
    const Shading& shading, double limbSigma, double& edgeWidth, double& slopeSigma);
double ShadingLevel(const Shading& shading, double x, double y);
double LimbBlur(const GreyView& grey, const Circle& sun);
double SkyLevel(const GreyView& grey, const Circle& sun);

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

Fit FitSunLimb(const GreyView& grey, const Circle& seed)
{
    assert(grey.Samples != nullptr && seed.R > 0 && "a plane and a seed with a radius");
    Fit fit;
    Refuse(fit, Outcome::NoEdge, seed);

    // Coarse rays from the seed's centre over the radius +- (0.12 r + 25).
    const double reach = 0.12 * seed.R + 25;
    const int rayCount = CoarseRays;
    std::vector<Ray> rays;
    for (int j = 0; j < rayCount; ++j) {
        const double angle = 2 * Pi * j / rayCount;
        rays.push_back({ seed.X, seed.Y, std::cos(angle), std::sin(angle),
            std::max(1.0, seed.R - reach), seed.R + reach });
    }
    EdgeSet edges;
    CastRays(grey, rays, SunCoarseSigma, 1.0, Polarity::BrightToDark, edges);
    const std::vector<char> strong = StrongEnough(edges);
    std::vector<Point> points;
    for (std::size_t i = 0; i < edges.Points.size(); ++i)
        if (strong[i])
            points.push_back(edges.Points[i]);
    if (static_cast<int>(points.size()) < MinimumPoints) {
        const bool clipped = edges.ClippedRays > edges.RaysWithEdge / 2;
        Refuse(fit, clipped ? Outcome::Saturated : Outcome::NoEdge, seed);
        return fit;
    }

    Circle circle;
    if (!StartAndFit(points, seed, 0.12 * seed.R, 35, 2.0, circle)) {
        Refuse(fit, Outcome::NotCircle, seed);
        return fit;
    }

    LeastSquares ls;
    std::vector<Point> used, dropped;
    const Outcome outcome = RefinePasses(
        grey, circle, Polarity::BrightToDark, { 12, 8 }, nullptr, nullptr, ls, used, dropped);
    if (outcome != Outcome::Fitted) {
        Refuse(fit, outcome, seed);
        return fit;
    }
    if (std::hypot(ls.Fitted.X - seed.X, ls.Fitted.Y - seed.Y) > 35
        || std::abs(ls.Fitted.R - seed.R) > 0.12 * seed.R + 2) {
        Refuse(fit, Outcome::MovedTooFar, seed);
        return fit;
    }
    Accept(fit, ls, used, {});
    fit.Rejected.insert(fit.Rejected.end(), dropped.begin(), dropped.end());
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
    if (!FindDarkestSpot(grey, seed, centre, saturated))
        return fit;
    if (saturated > 0.5) {
        Refuse(fit, Outcome::Saturated, seed);
        return fit;
    }
    if (UsableArcFraction({ centre.X, centre.Y, seed.R }, sun) < 0.5) {
        Refuse(fit, Outcome::TooCloseToLimb, seed);
        return fit;
    }

    // About 2 pi r rays from the darkest spot for the dark-to-bright edge.
    const int rayCount = std::max(32, static_cast<int>(std::lround(2 * Pi * seed.R)));
    std::vector<Ray> rays;
    for (int j = 0; j < rayCount; ++j) {
        const double angle = 2 * Pi * j / rayCount;
        rays.push_back({ centre.X, centre.Y, std::cos(angle), std::sin(angle),
            std::max(0.5, 0.5 * seed.R - 2), 1.5 * seed.R + 6 });
    }
    EdgeSet edges;
    CastRays(grey, rays, NarrowSigma, NarrowStep, Polarity::DarkToBright, edges);
    const std::vector<char> strong = StrongEnough(edges);
    std::vector<Point> points;
    for (std::size_t i = 0; i < edges.Points.size(); ++i) {
        const Point& p = edges.Points[i];
        if (strong[i] && std::hypot(p.X - sun.X, p.Y - sun.Y) < sun.R - LimbMargin)
            points.push_back(p);
    }
    if (static_cast<int>(points.size()) < MinimumPoints) {
        Refuse(fit, Outcome::NoEdge, seed);
        return fit;
    }
    Circle circle;
    const Circle start { centre.X, centre.Y, seed.R };
    if (!StartAndFit(points, start, 0.5 * seed.R + 5, 0.5 * seed.R + 3, 1.0, circle)) {
        Refuse(fit, Outcome::NotCircle, seed);
        return fit;
    }
    // Near the limb the photosphere darkens across the planet: its edge is
    // seen displaced towards the brighter side, by 2 s^2 times the relative gradient.
    double edgeWidth = 0, slopeSigma = 0;
    const double limbSigma = LimbBlur(grey, sun);
    Shading shading = FitShading(grey, circle, std::isfinite(limbSigma) ? limbSigma : 2.0, sun);
    if (LooksLikeSunspot(grey, circle, sun, shading, limbSigma, edgeWidth, slopeSigma)) {
        Refuse(fit, Outcome::Sunspot, seed);
        return fit;
    }
    shading = FitShading(grey, circle, slopeSigma, sun);
    const double halfWidth = std::clamp(0.6 * circle.R, 2.0, 8.0);
    LeastSquares ls;
    std::vector<Point> used, dropped;
    const Outcome outcome = RefinePasses(grey, circle, Polarity::DarkToBright,
        { halfWidth, halfWidth }, &sun, &shading, ls, used, dropped);
    if (outcome != Outcome::Fitted) {
        Refuse(fit, outcome, seed);
        return fit;
    }
    const Circle& fitted = ls.Fitted;
    // A spot first: the fit may have run out to its penumbra.
    if (LooksLikeSunspot(grey, fitted, sun, shading, limbSigma, edgeWidth, slopeSigma)) {
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
    if (UsableArcFraction(fitted, sun) < 0.5) {
        Refuse(fit, Outcome::TooCloseToLimb, seed);
        return fit;
    }
    std::array<double, 9> systematic {};
    AddOuterProduct(systematic, ShadingCorrectionShift(shading, used, ls), ShadingModelError);
    Accept(fit, ls, used, systematic);
    fit.Rejected.insert(fit.Rejected.end(), dropped.begin(), dropped.end());
    fit.EdgeWidth = edgeWidth;
    const double gap = sun.R - std::hypot(fitted.X - sun.X, fitted.Y - sun.Y) - fitted.R;
    fit.NearLimb = gap < LimbMargin + 3 * edgeWidth;
    // At the limb the edge is seen on a part of its arc over the steepest
    // shading: what the fit says of itself decides whether it is worth keeping.
    if (fit.NearLimb && CentreSigma(fit.Covariance) > LimbPlanetSigma) {
        Refuse(fit, Outcome::TooCloseToLimb, seed);
        fit.Used.clear();
        fit.Rejected.clear();
        fit.NearLimb = false;
        fit.EdgeWidth = 0;
    }
    return fit;
}

namespace {

// [SECTION] Samples and rays

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

RayEdge FindEdge(const GreyView& grey, const Ray& ray, double sigma, double step, Polarity polarity,
    std::vector<double>& skyDerivatives)
{
    RayEdge edge;
    const std::vector<double>& taps = DerivativeKernel(sigma, step);
    const int half = static_cast<int>(taps.size() / 2);
    // A limb near the picture's border is still seen on the part of the ray inside it.
    double from = ray.From, to = ray.To;
    if (!ClipToPlane(grey, ray, half * step, from, to))
        return edge;
    const int inner = static_cast<int>(std::floor((to - from) / step)) + 1;
    if (inner < 3)
        return edge;
    const int count = inner + 2 * half;
    static thread_local std::vector<double> values, derivative;
    static thread_local std::vector<char> saturated;
    if (!ReadProfile(grey, ray, from - half * step, step, count, values, saturated))
        return edge;
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
        return edge;
    const double a = derivative[static_cast<std::size_t>(best - 1)];
    const double b = derivative[static_cast<std::size_t>(best)];
    const double c = derivative[static_cast<std::size_t>(best + 1)];
    const double curvature = a - 2 * b + c;
    const double offset = curvature < 0 ? std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5) : 0;
    edge.Found = true;
    edge.T = from + (best + offset) * step;
    edge.Strength = b;

    // Saturation on the bright side within reach of the smoothing and the blur.
    const int reach = static_cast<int>(std::ceil((3 * sigma + 3) / step));
    for (int k = std::max(0, best - reach); k <= std::min(inner - 1, best + reach); ++k) {
        const bool brightSide = polarity == Polarity::BrightToDark ? k <= best : k >= best;
        if (brightSide && saturated[static_cast<std::size_t>(k + half)])
            edge.Clipped = true;
    }
    // Derivative values on the dark side, away from the edge: the noise the edge stands out of.
    for (int k = 0; k < inner; ++k) {
        const bool darkSide
            = polarity == Polarity::BrightToDark ? k > best + reach : k < best - reach;
        if (darkSide)
            skyDerivatives.push_back(derivative[static_cast<std::size_t>(k)]);
    }
    return edge;
}

void CastRays(const GreyView& grey, const std::vector<Ray>& rays, double sigma, double step,
    Polarity polarity, EdgeSet& edges)
{
    for (const Ray& ray : rays) {
        const RayEdge edge = FindEdge(grey, ray, sigma, step, polarity, edges.SkyDerivatives);
        if (!edge.Found)
            continue;
        ++edges.RaysWithEdge;
        if (edge.Clipped) {
            ++edges.ClippedRays;
            continue;
        }
        edges.Points.push_back(
            { ray.OriginX + edge.T * ray.DirX, ray.OriginY + edge.T * ray.DirY });
        edges.Strengths.push_back(edge.Strength);
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

// [SECTION] Circle fits

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
    double centreLimit, double tolerance, Circle& start)
{
    const auto n = static_cast<std::uint32_t>(points.size());
    if (n < 3)
        return false;
    std::mt19937 random(RandomSeed);
    int bestCount = 0;
    for (int trial = 0; trial < RandomCircles; ++trial) {
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
    double centreLimit, double tolerance, Circle& circle)
{
    Circle start;
    if (!RobustStart(points, seed, radiusLimit, centreLimit, tolerance, start))
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
    double widest = angles.front() + 2 * Pi - angles.back();
    for (std::size_t i = 1; i < angles.size(); ++i)
        widest = std::max(widest, angles[i] - angles[i - 1]);
    return 360 - widest * 180 / Pi;
}

int NormalRayCount(double radius)
{
    return std::clamp(static_cast<int>(std::lround(2 * Pi * radius)), 32, 1440);
}

// Rays across the circle, outwards for the Sun's limb and the planet's edge alike.
std::vector<Ray> NormalRays(const Circle& circle, int count, double halfWidth, Polarity)
{
    std::vector<Ray> rays;
    rays.reserve(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j) {
        const double angle = 2 * Pi * (j + 0.5) / count;
        const double cx = std::cos(angle), cy = std::sin(angle);
        rays.push_back(
            { circle.X + circle.R * cx, circle.Y + circle.R * cy, cx, cy, -halfWidth, halfWidth });
    }
    return rays;
}

Outcome RefinePasses(const GreyView& grey, Circle& circle, Polarity polarity,
    const std::vector<double>& halfWidths, const Circle* sun, const Shading* shading,
    LeastSquares& ls, std::vector<Point>& points, std::vector<Point>& dropped)
{
    for (double halfWidth : halfWidths) {
        EdgeSet edges;
        const int count = NormalRayCount(circle.R);
        CastRays(grey, NormalRays(circle, count, halfWidth, polarity), NarrowSigma, NarrowStep,
            polarity, edges);
        const std::vector<char> strong = StrongEnough(edges);
        points.clear();
        dropped.clear();
        for (std::size_t i = 0; i < edges.Points.size(); ++i) {
            const Point p = shading != nullptr && shading->Ok
                ? CorrectForShading(*shading, circle, edges.Points[i])
                : edges.Points[i];
            const bool nearLimb
                = sun != nullptr && std::hypot(p.X - sun->X, p.Y - sun->Y) >= sun->R - LimbMargin;
            (strong[i] && !nearLimb ? points : dropped).push_back(p);
        }
        if (static_cast<int>(points.size()) < MinimumPoints) {
            const bool clipped = edges.ClippedRays > edges.RaysWithEdge / 2;
            return clipped ? Outcome::Saturated : Outcome::NoEdge;
        }
        ls = TukeyFit(points, circle);
        if (!ls.Ok)
            return Outcome::NotCircle;
        circle = ls.Fitted;
    }
    int kept = 0;
    for (double w : ls.Weights)
        kept += w > 0;
    if (ArcCoverage(points, ls.Weights, circle) < 90)
        return Outcome::ShortArc;
    if (kept < MinimumPoints || kept < static_cast<int>(points.size()) / 2 || ls.Scale > 1.0)
        return Outcome::NotCircle;
    return Outcome::Fitted;
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

void Refuse(Fit& fit, Outcome outcome, const Circle& seed)
{
    fit.Result = outcome;
    fit.Fitted = seed;
    fit.Covariance = {};
}

void Accept(Fit& fit, const LeastSquares& ls, const std::vector<Point>& points,
    const std::array<double, 9>& systematic)
{
    fit.Result = Outcome::Fitted;
    fit.Fitted = ls.Fitted;
    const double inflation = CorrelationInflation(points, ls) * SystematicShare;
    for (std::size_t m = 0; m < 9; ++m)
        fit.Covariance[m] = ls.Covariance[m] * inflation + systematic[m];
    fit.Used.clear();
    fit.Rejected.clear();
    for (std::size_t i = 0; i < points.size(); ++i)
        (ls.Weights[i] > 0 ? fit.Used : fit.Rejected).push_back(points[i]);
}

// [SECTION] Planet

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
        const double angle = 2 * Pi * j / count;
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
        const double angle = 2 * Pi * j / 720;
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
// The pixels of the picture within reach of a circle's centre, inclusive.
struct Box {
    int X0, X1, Y0, Y1;
};
Box BoxAround(const GreyView& grey, const Circle& circle, double reach)
{
    return { std::max(0, static_cast<int>(circle.X - reach)),
        std::min(grey.Width - 1, static_cast<int>(circle.X + reach) + 1),
        std::max(0, static_cast<int>(circle.Y - reach)),
        std::min(grey.Height - 1, static_cast<int>(circle.Y + reach) + 1) };
}

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

// The seeing's sigma, px, from the sky side of the limb's derivative: its
// half width at half maximum there is 1.1774 sigma. NaN where the limb is
// nowhere seen whole.
double LimbBlur(const GreyView& grey, const Circle& sun)
{
    constexpr int rayCount = 48;
    constexpr double step = 0.25, reach = 12;
    const int count = static_cast<int>(2 * reach / step) + 1;
    std::vector<double> widths, values;
    std::vector<char> saturated;
    for (int j = 0; j < rayCount; ++j) {
        const double angle = 2 * Pi * (j + 0.5) / rayCount;
        const double cx = std::cos(angle), cy = std::sin(angle);
        const Ray ray { sun.X + sun.R * cx, sun.Y + sun.R * cy, cx, cy, -reach, reach };
        if (!ReadProfile(grey, ray, -reach, step, count, values, saturated))
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
    const double sigma = 1 / (std::sqrt(2 * Pi) * steepest);
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

} // namespace

} // namespace LimbFit
