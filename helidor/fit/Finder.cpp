// SPDX-License-Identifier: GPL-3.0-or-later
#include "Finder.h"

#include "CircleFit.h"
#include "GreyPlane.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <numbers>

namespace Finder {

namespace {

constexpr int ReducedSide = 1024; // px on the long side of the disc search's copy
constexpr double BoundaryTolerance = 2.0; // reduced px a boundary point may lie off its circle
constexpr double SmallestPart = 0.05; // of the largest bright part: smaller ones are no disc
constexpr double LeftOverShare = 0.15; // of a part's boundary: a second circle is sought
constexpr double SmallestArc = 120; // degrees of a disc's limb that must lie inside the frame
constexpr double EdgeLevel = 0.12; // of the way from the sky to the disc's median: the limb
// Dark dots a disc's planets are sought among: a transit's composite of one
// planet's path holds a few dozen.
constexpr int PlanetCandidates = 32;
// Of the Sun's radius: a planet's own motion between exposures.
constexpr double PairTolerance = 0.03;
constexpr double DotContrast = 0.35; // of the ring's level: a dot darker than that

// The four neighbours of a pixel.
constexpr std::array<std::array<int, 2>, 4> Neighbours { { { 1, 0 }, { -1, 0 }, { 0, 1 },
    { 0, -1 } } };

// A copy of a region of the plane, its corner at (X0, Y0), reduced by Factor
// in each direction: block means as floats.
struct Reduced {
    int Width = 0, Height = 0, Factor = 1, X0 = 0, Y0 = 0;
    std::vector<float> Values;
    std::size_t Index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(Width)
            + static_cast<std::size_t>(x);
    }
    float At(int x, int y) const { return Values[Index(x, y)]; }
    // Between a reduced pixel's centre and the plane's pixels.
    double PlaneX(double u) const { return X0 + (u + 0.5) * Factor - 0.5; }
    double PlaneY(double v) const { return Y0 + (v + 0.5) * Factor - 0.5; }
    double ReducedX(double x) const { return (x - X0 + 0.5) / Factor - 0.5; }
    double ReducedY(double y) const { return (y - Y0 + 0.5) / Factor - 0.5; }
};

// The block means of the region [x0, x1) x [y0, y1) of grey, factor x factor
// samples each (fewer at the region's right and lower edges). A clipped
// sample counts as the brightest.
Reduced Reduce(const GreyView& grey, int factor, int x0, int y0, int x1, int y1)
{
    Reduced r;
    r.Factor = factor;
    r.X0 = x0;
    r.Y0 = y0;
    r.Width = (x1 - x0 + factor - 1) / factor;
    r.Height = (y1 - y0 + factor - 1) / factor;
    r.Values.assign(static_cast<std::size_t>(r.Width) * static_cast<std::size_t>(r.Height), 0);
    std::vector<double> sums(static_cast<std::size_t>(r.Width));
    std::vector<int> counts(static_cast<std::size_t>(r.Width));
    for (int ry = 0; ry < r.Height; ++ry) {
        std::fill(sums.begin(), sums.end(), 0.0);
        std::fill(counts.begin(), counts.end(), 0);
        const int yEnd = std::min(y1, y0 + (ry + 1) * factor);
        for (int y = y0 + ry * factor; y < yEnd; ++y) {
            const std::uint16_t* row
                = grey.Samples + static_cast<std::size_t>(y) * static_cast<std::size_t>(grey.Width);
            for (int x = x0; x < x1; ++x) {
                const auto k = static_cast<std::size_t>((x - x0) / factor);
                sums[k] += row[x] == FitTypes::SaturatedSample ? GreyPlane::MaxLinear : row[x];
                ++counts[k];
            }
        }
        for (int rx = 0; rx < r.Width; ++rx)
            r.Values[r.Index(rx, ry)] = static_cast<float>(sums[static_cast<std::size_t>(rx)]
                / std::max(1, counts[static_cast<std::size_t>(rx)]));
    }
    return r;
}

// Otsu's threshold of the values: the level that best splits them in two.
float OtsuThreshold(const std::vector<float>& values)
{
    constexpr int Bins = 256;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const double from = *low, span = std::max(1e-6, static_cast<double>(*high) - from);
    std::array<double, Bins> histogram {};
    for (float v : values)
        histogram[static_cast<std::size_t>(std::min(Bins - 1.0, (v - from) / span * Bins))] += 1;
    double total = 0, weighted = 0;
    for (int i = 0; i < Bins; ++i) {
        total += histogram[static_cast<std::size_t>(i)];
        weighted += i * histogram[static_cast<std::size_t>(i)];
    }
    double below = 0, belowWeighted = 0, best = -1;
    int split = Bins / 2;
    for (int i = 0; i < Bins - 1; ++i) {
        below += histogram[static_cast<std::size_t>(i)];
        belowWeighted += i * histogram[static_cast<std::size_t>(i)];
        const double above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double meanBelow = belowWeighted / below;
        const double meanAbove = (weighted - belowWeighted) / above;
        const double between = below * above * (meanAbove - meanBelow) * (meanAbove - meanBelow);
        if (between > best) {
            best = between;
            split = i;
        }
    }
    return static_cast<float>(from + (split + 1) * span / Bins);
}

// The level between the sky and the discs, low enough for the darkened
// limb; false where nothing stands out from the sky.
bool SplitSkyFromDisc(const std::vector<float>& values, float& threshold)
{
    const float otsu = OtsuThreshold(values);
    std::vector<float> sky, disc;
    for (float v : values)
        (v < otsu ? sky : disc).push_back(v);
    if (sky.empty() || disc.empty())
        return false;
    const auto median = [](std::vector<float>& v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return static_cast<double>(v[v.size() / 2]);
    };
    const double skyLevel = median(sky), discLevel = median(disc);
    if (discLevel - skyLevel < 0.01 * GreyPlane::MaxLinear || discLevel < 3 * skyLevel)
        return false;
    threshold = static_cast<float>(skyLevel + EdgeLevel * (discLevel - skyLevel));
    return true;
}

// Labels the 4-connected parts of mask (1 inside), labels from 1; returns
// each part's pixel count, indexed by label (entry 0 unused).
std::vector<int> LabelParts(
    int width, int height, const std::vector<std::uint8_t>& mask, std::vector<int>& labels)
{
    labels.assign(mask.size(), 0);
    std::vector<int> sizes(1, 0);
    std::vector<std::size_t> stack;
    for (std::size_t start = 0; start < mask.size(); ++start) {
        if (!mask[start] || labels[start])
            continue;
        const int label = static_cast<int>(sizes.size());
        int size = 0;
        labels[start] = label;
        stack.push_back(start);
        while (!stack.empty()) {
            const std::size_t i = stack.back();
            stack.pop_back();
            ++size;
            const int x = static_cast<int>(i % static_cast<std::size_t>(width));
            const int y = static_cast<int>(i / static_cast<std::size_t>(width));
            for (const auto& [dx, dy] : Neighbours) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= width || ny >= height)
                    continue;
                const std::size_t n = static_cast<std::size_t>(ny) * static_cast<std::size_t>(width)
                    + static_cast<std::size_t>(nx);
                if (mask[n] && !labels[n]) {
                    labels[n] = label;
                    stack.push_back(n);
                }
            }
        }
        sizes.push_back(size);
    }
    return sizes;
}

// The pixels of part label that touch the sky (not the frame's edge), where
// the threshold is crossed between them and their outer neighbour.
std::vector<FitTypes::Point> Boundary(
    const Reduced& r, const std::vector<int>& labels, int label, float threshold)
{
    std::vector<FitTypes::Point> points;
    for (int y = 1; y + 1 < r.Height; ++y)
        for (int x = 1; x + 1 < r.Width; ++x) {
            if (labels[r.Index(x, y)] != label)
                continue;
            // The crossing towards the first neighbour in the sky,
            // interpolated between the two pixel centres.
            for (const auto& [dx, dy] : Neighbours) {
                const float inside = r.At(x, y), outside = r.At(x + dx, y + dy);
                if (outside >= threshold)
                    continue;
                const double t = (inside - threshold) / std::max(1e-6f, inside - outside);
                points.push_back({ x + t * dx, y + t * dy });
                break;
            }
        }
    return points;
}

// Circles of the boundary points: one, and a second on the points the first
// leaves over when they are many. Each is fitted to the points of its robust
// start only: the other disc's points would pull it between the two.
std::vector<Circle> CirclesOf(std::vector<FitTypes::Point> points, int side)
{
    std::vector<Circle> circles;
    const std::size_t all = points.size();
    const Circle anywhere { side / 2.0, side / 2.0, side / 2.0 };
    for (int round = 0; round < 3 && points.size() >= 12; ++round) {
        Circle start;
        if (!CircleFit::RobustStart(
                points, anywhere, 2.0 * side, 2.0 * side, BoundaryTolerance, start))
            break;
        const auto onStart = [&](const FitTypes::Point& p) {
            return std::abs(std::hypot(p.X - start.X, p.Y - start.Y) - start.R)
                < 2 * BoundaryTolerance;
        };
        std::vector<FitTypes::Point> own;
        std::copy_if(points.begin(), points.end(), std::back_inserter(own), onStart);
        const CircleFit::LeastSquares ls = CircleFit::TukeyFit(own, start);
        if (!ls.Ok)
            break;
        circles.push_back(ls.Fitted);
        std::erase_if(points, onStart);
        if (points.size() < LeftOverShare * static_cast<double>(all))
            break;
    }
    return circles;
}

// Degrees of the circle's limb that lie inside the frame.
double ArcInsideFrame(const Circle& c, int width, int height)
{
    constexpr int Steps = 360;
    int inside = 0;
    for (int k = 0; k < Steps; ++k) {
        const double a = 2 * std::numbers::pi * k / Steps;
        const double x = c.X + c.R * std::cos(a), y = c.Y + c.R * std::sin(a);
        inside += x >= 0 && y >= 0 && x <= width - 1 && y <= height - 1;
    }
    return inside * 360.0 / Steps;
}

} // namespace

Discs FindDiscs(const GreyView& grey)
{
    Discs found;
    if (grey.Width < 8 || grey.Height < 8)
        return found;
    const int factor
        = std::max(1, (std::max(grey.Width, grey.Height) + ReducedSide - 1) / ReducedSide);
    const Reduced r = Reduce(grey, factor, 0, 0, grey.Width, grey.Height);
    float threshold = 0;
    if (!SplitSkyFromDisc(r.Values, threshold))
        return found;
    std::vector<std::uint8_t> mask(r.Values.size());
    for (std::size_t i = 0; i < mask.size(); ++i)
        mask[i] = r.Values[i] >= threshold;
    std::vector<int> labels;
    const std::vector<int> sizes = LabelParts(r.Width, r.Height, mask, labels);
    const int largest = *std::max_element(sizes.begin(), sizes.end());
    std::vector<Circle> suns;
    for (int label = 1; label < static_cast<int>(sizes.size()); ++label) {
        if (sizes[static_cast<std::size_t>(label)] < SmallestPart * largest
            || sizes[static_cast<std::size_t>(label)] < 200)
            continue;
        for (const Circle& c :
            CirclesOf(Boundary(r, labels, label, threshold), std::max(r.Width, r.Height)))
            suns.push_back({ r.PlaneX(c.X), r.PlaneY(c.Y), c.R * factor });
    }
    if (suns.empty())
        return found;
    if (suns.size() > 2) {
        found.Result = Outcome::TooManyDiscs;
        return found;
    }
    for (const Circle& sun : suns)
        if (ArcInsideFrame(sun, grey.Width, grey.Height) < SmallestArc) {
            found.Result = Outcome::AtFrameEdge;
            return found;
        }
    std::sort(suns.begin(), suns.end(), [](const Circle& a, const Circle& b) { return a.X < b.X; });
    found.Result = Outcome::Found;
    found.Suns = std::move(suns);
    return found;
}

namespace {

// Sums over any rectangle of a table in constant time.
class SummedArea {
public:
    SummedArea(int columns, int rows, const std::vector<float>& values)
        : width(columns)
        , height(rows)
        , sums(static_cast<std::size_t>(columns + 1) * static_cast<std::size_t>(rows + 1), 0)
    {
        for (int y = 0; y < height; ++y) {
            double row = 0;
            for (int x = 0; x < width; ++x) {
                row += values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)
                    + static_cast<std::size_t>(x)];
                sums[Index(x + 1, y + 1)] = At(x + 1, y) + row;
            }
        }
    }
    // The sum over the square of half side h around (x, y), clipped to the table.
    double Square(int x, int y, int h) const
    {
        const int x0 = std::max(0, x - h), y0 = std::max(0, y - h);
        const int x1 = std::min(width, x + h + 1), y1 = std::min(height, y + h + 1);
        return At(x1, y1) - At(x0, y1) - At(x1, y0) + At(x0, y0);
    }

private:
    int width;
    int height;
    std::vector<double> sums; // (width + 1) x (height + 1)
    std::size_t Index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width + 1)
            + static_cast<std::size_t>(x);
    }
    double At(int x, int y) const { return sums[Index(x, y)]; }
};

struct Dot {
    double X = 0, Y = 0, R = 0; // reduced px
    double Contrast = 0;
};

} // namespace

std::vector<Circle> FindDots(
    const GreyView& grey, const Circle& sun, const Circle& other, int maxCount)
{
    const double smallest = SmallestPlanet * sun.R;
    const int factor = std::max(1, static_cast<int>(smallest / 2));
    const int x0 = std::max(0, static_cast<int>(sun.X - sun.R)),
              y0 = std::max(0, static_cast<int>(sun.Y - sun.R));
    const int x1 = std::min(grey.Width, static_cast<int>(sun.X + sun.R) + 1),
              y1 = std::min(grey.Height, static_cast<int>(sun.Y + sun.R) + 1);
    if (x1 - x0 < 4 || y1 - y0 < 4)
        return {};
    const Reduced r = Reduce(grey, factor, x0, y0, x1, y1);
    const double cx = r.ReducedX(sun.X), cy = r.ReducedY(sun.Y);
    const double radius = sun.R / factor;
    const double ox = r.ReducedX(other.X), oy = r.ReducedY(other.Y);
    const double otherRadius = other.R / factor;

    // Only the photosphere counts, and only that lit as the dot's centre is:
    // where the other exposure's disc overlaps, the brightness doubles.
    const auto insideOther = [&](double x, double y) {
        return otherRadius > 0 && std::hypot(x - ox, y - oy) < otherRadius;
    };
    std::array<std::vector<float>, 2> used, usedValues;
    for (int side = 0; side < 2; ++side) {
        used[side].assign(r.Values.size(), 0);
        usedValues[side].assign(r.Values.size(), 0);
    }
    for (int y = 0; y < r.Height; ++y)
        for (int x = 0; x < r.Width; ++x) {
            const std::size_t i = r.Index(x, y);
            const bool offOtherLimb
                = otherRadius <= 0 || std::abs(std::hypot(x - ox, y - oy) - otherRadius) > 2;
            if (std::hypot(x - cx, y - cy) < radius - 1.5 && offOtherLimb) {
                const int side = insideOther(x, y);
                used[side][i] = 1;
                usedValues[side][i] = r.Values[i];
            }
        }
    const std::array<SummedArea, 2> counts { SummedArea(r.Width, r.Height, used[0]),
        SummedArea(r.Width, r.Height, used[1]) };
    const std::array<SummedArea, 2> sums { SummedArea(r.Width, r.Height, usedValues[0]),
        SummedArea(r.Width, r.Height, usedValues[1]) };

    // Half sides of the core, a geometric ladder over the planet sizes; the
    // core is the square inside the dot, the ring the square twice as wide.
    std::vector<int> halves;
    for (double h = std::max(1.0, smallest / factor * 0.7); h <= LargestPlanet * radius * 0.7;
         h *= 1.4)
        if (halves.empty() || static_cast<int>(std::lround(h)) != halves.back())
            halves.push_back(static_cast<int>(std::lround(h)));
    std::vector<float> best(r.Values.size(), 0);
    std::vector<std::uint8_t> bestHalf(r.Values.size(), 0);
    for (int y = 0; y < r.Height; ++y)
        for (int x = 0; x < r.Width; ++x) {
            const std::size_t i = r.Index(x, y);
            if (std::hypot(x - cx, y - cy) > radius)
                continue;
            const int side = insideOther(x, y);
            for (std::size_t k = 0; k < halves.size(); ++k) {
                const int h = halves[k];
                const double coreCount = counts[side].Square(x, y, h);
                const double ringCount = counts[side].Square(x, y, 2 * h) - coreCount;
                // A dot half beyond the limb still counts, a sliver does not.
                if (coreCount < 0.4 * (2 * h + 1) * (2 * h + 1) || ringCount < coreCount)
                    continue;
                const double coreSum = sums[side].Square(x, y, h);
                const double core = coreSum / coreCount;
                const double ring = (sums[side].Square(x, y, 2 * h) - coreSum) / ringCount;
                if (ring <= 0)
                    continue;
                const auto contrast = static_cast<float>((ring - core) / ring);
                if (contrast > best[i]) {
                    best[i] = contrast;
                    bestHalf[i] = static_cast<std::uint8_t>(k);
                }
            }
        }

    // Local maxima above the threshold, the strongest first; a weaker one
    // within another's ring is part of it.
    std::vector<Dot> dots;
    for (int y = 1; y + 1 < r.Height; ++y)
        for (int x = 1; x + 1 < r.Width; ++x) {
            const std::size_t i = r.Index(x, y);
            if (best[i] < DotContrast)
                continue;
            bool peak = true;
            for (int dy = -1; dy <= 1 && peak; ++dy)
                for (int dx = -1; dx <= 1 && peak; ++dx)
                    peak = (dx == 0 && dy == 0) || best[i] >= best[r.Index(x + dx, y + dy)];
            if (peak)
                dots.push_back({ static_cast<double>(x), static_cast<double>(y),
                    halves[bestHalf[i]] / 0.7, best[i] });
        }
    std::sort(dots.begin(), dots.end(),
        [](const Dot& a, const Dot& b) { return a.Contrast > b.Contrast; });
    std::vector<Circle> seeds;
    std::vector<Dot> kept;
    for (const Dot& d : dots) {
        if (static_cast<int>(seeds.size()) >= maxCount)
            break;
        const bool apart = std::none_of(kept.begin(), kept.end(), [&](const Dot& k) {
            return std::hypot(d.X - k.X, d.Y - k.Y) < 2 * std::max(d.R, k.R);
        });
        if (!apart)
            continue;
        kept.push_back(d);
        seeds.push_back({ r.PlaneX(d.X), r.PlaneY(d.Y), d.R * factor });
    }
    return seeds;
}

std::vector<FitTypes::Fit> PlanetsOn(const GreyView& grey, const Circle& sun, const Circle& other)
{
    std::vector<FitTypes::Fit> planets;
    for (const Circle& dot : FindDots(grey, sun, other, PlanetCandidates)) {
        FitTypes::Fit fit = LimbFit::FitPlanet(grey, dot, sun);
        if (fit.Result != FitTypes::Outcome::Fitted)
            continue;
        // Two dots of one planet (its core and its rim) give one fit.
        const bool known = std::any_of(planets.begin(), planets.end(), [&](const FitTypes::Fit& p) {
            return std::hypot(p.Fitted.X - fit.Fitted.X, p.Fitted.Y - fit.Fitted.Y) < p.Fitted.R;
        });
        if (!known)
            planets.push_back(std::move(fit));
    }
    return planets;
}

namespace {

// Keeps the one planet on the only disc, or says why there is none.
void ChooseThePlanet(const GreyView& grey, Survey& survey)
{
    std::vector<FitTypes::Fit> planets = PlanetsOn(grey, survey.Exposures[0].Sun.Fitted);
    survey.Disc = 0;
    if (planets.size() == 1) {
        survey.Exposures[0].Planet = std::move(planets.front());
        return;
    }
    survey.Result = planets.empty() ? Outcome::NoPlanet : Outcome::SeveralPlanets;
    for (const FitTypes::Fit& p : planets)
        survey.Planets.push_back(p.Fitted);
}

// Two exposures: the planet of each lies where the other's does, moved as
// the Sun moved between them (and a little by its own motion). Where the
// discs overlap, a disc may hold both exposures' planets: the pair tells
// which is whose.
void PairThePlanets(const GreyView& grey, Survey& survey)
{
    const Circle& sun1 = survey.Exposures[0].Sun.Fitted;
    const Circle& sun2 = survey.Exposures[1].Sun.Fitted;
    std::vector<FitTypes::Fit> first = PlanetsOn(grey, sun1, sun2);
    std::vector<FitTypes::Fit> second = PlanetsOn(grey, sun2, sun1);
    const double tolerance = PairTolerance * sun1.R;
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t a = 0; a < first.size(); ++a)
        for (std::size_t b = 0; b < second.size(); ++b)
            if (std::hypot(second[b].Fitted.X - first[a].Fitted.X - (sun2.X - sun1.X),
                    second[b].Fitted.Y - first[a].Fitted.Y - (sun2.Y - sun1.Y))
                < tolerance)
                pairs.emplace_back(a, b);
    if (pairs.size() == 1) {
        survey.Exposures[0].Planet = std::move(first[pairs[0].first]);
        survey.Exposures[1].Planet = std::move(second[pairs[0].second]);
        return;
    }
    // Several pairs, or none: the disc without a planet, else the first.
    survey.Disc = !first.empty() && second.empty() ? 1 : 0;
    survey.Result = pairs.empty() ? Outcome::NoPlanet : Outcome::SeveralPlanets;
    const std::vector<FitTypes::Fit>& seen = survey.Disc == 0 ? first : second;
    for (const FitTypes::Fit& p : seen)
        survey.Planets.push_back(p.Fitted);
}

} // namespace

Survey Measure(const GreyView& grey)
{
    Survey survey;
    const Discs discs = FindDiscs(grey);
    survey.Result = discs.Result;
    if (discs.Result != Outcome::Found)
        return survey;
    for (std::size_t k = 0; k < discs.Suns.size(); ++k) {
        LimbFit::SunHints hints;
        if (k == 1)
            hints.Avoid = survey.Exposures[0].Sun.Fitted;
        Exposure exposure;
        exposure.Sun = LimbFit::FitSunLimb(grey, discs.Suns[k], hints);
        if (exposure.Sun.Result != FitTypes::Outcome::Fitted) {
            survey.Result = Outcome::SunNotFitted;
            survey.Disc = static_cast<int>(k);
            survey.Refusal = exposure.Sun.Result;
            return survey;
        }
        survey.Exposures.push_back(std::move(exposure));
    }
    if (survey.Exposures.size() == 1)
        ChooseThePlanet(grey, survey);
    else
        PairThePlanets(grey, survey);
    return survey;
}

} // namespace Finder
