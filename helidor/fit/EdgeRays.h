// SPDX-License-Identifier: GPL-3.0-or-later
// Edge rays: grey profiles read along rays through the plane, smoothed by a
// derivative-of-Gaussian kernel, and the strongest edge of a given direction
// on each, refined to a fraction of a pixel. The assisted fit casts its rays
// through here for the Sun's limb and a planet's edge alike.
#pragma once

#include "FitTypes.h"

#include <cmath>
#include <vector>

namespace EdgeRays {

using FitTypes::Circle;
using FitTypes::GreyView;
using FitTypes::Point;

// The edge of one ray: position along the ray and the smoothed derivative there.
struct RayEdge {
    bool Found = false;
    double T = 0; // px from the ray's origin
    double Strength = 0; // |derivative| at the peak, samples per px
    bool Clipped = false; // a saturated sample on the bright side
    // Mean samples beyond the smoothing's and the blur's reach on either
    // side; NaN where the ray holds none there.
    double DarkLevel = 0;
    double BrightLevel = 0;
};

// A ray's edges and what the rejections need of them.
struct EdgeSet {
    std::vector<Point> Points;
    std::vector<double> Strengths;
    std::vector<double> DarkLevels, BrightLevels; // per point, as RayEdge's
    std::vector<double> SkyDerivatives; // derivative values on the dark side, away from the edge
    int ClippedRays = 0;
    int RaysWithEdge = 0;
};

struct Ray {
    double OriginX, OriginY, DirX, DirY;
    double From, To; // px along the ray where the edge may lie
};

// The direction an edge is looked for, going along a ray.
enum class Polarity { BrightToDark, DarkToBright };

inline constexpr double NarrowSigma = 1.25; // px, the smoothing of the narrow passes
inline constexpr double NarrowStep = 0.5; // px between samples of the narrow passes

// Bilinear; outside the plane NaN. saturated: one of the four is clipped.
double SampleAt(const GreyView& grey, double x, double y, bool& saturated);
// std::hypot guards against overflow that pixel distances never reach, at many times the cost.
inline double Distance(double dx, double dy)
{
    return std::sqrt(dx * dx + dy * dy);
}
// Samples at from + k step along the ray, k < count; false when the ray leaves the plane.
bool ReadProfile(const GreyView& grey, const Ray& ray, double from, double step, int count,
    std::vector<double>& values, std::vector<char>& saturated);
// Taps of a derivative-of-Gaussian filter over samples step px apart,
// scaled so that a ramp of slope 1 per px gives 1. Index 0 is offset -half.
// The last kernel is kept: not for use from two threads at once.
const std::vector<double>& DerivativeKernel(double sigma, double step);
// Narrows [from, to] so that the samples from - margin to to + margin lie in
// the plane; false when nothing is left.
bool ClipToPlane(const GreyView& grey, const Ray& ray, double margin, double& from, double& to);
// Up to most edges of the polarity on the ray, smoothed by sigma px: the
// strongest, whose derivative on its dark side, away from it, is appended to
// skyDerivatives, then the strongest other peaks farther from those taken
// than the smoothing and the blur reach.
void FindEdges(const GreyView& grey, const Ray& ray, double sigma, double step, Polarity polarity,
    int most, std::vector<double>& skyDerivatives, std::vector<RayEdge>& found);
// FindEdges on every ray, perRay edges at most; a ray whose strongest edge's
// bright side is clipped is counted, and no clipped edge is kept.
void CastRays(const GreyView& grey, const std::vector<Ray>& rays, double sigma, double step,
    Polarity polarity, EdgeSet& edges, int perRay = 1);
double Median(std::vector<double> values);
// 1.4826 times the median absolute deviation: sigma for Gaussian noise.
double RobustSigma(const std::vector<double>& values);
// Edges that stand 6 noise sigmas out of the sky and reach a quarter of the median edge.
std::vector<char> StrongEnough(const EdgeSet& edges);
// Edges whose dark side is lit well above the level most edges see there:
// a limb seen over the other exposure's disc rather than the sky. That
// disc's shading moves the found edge towards it.
std::vector<char> OverLitGround(const EdgeSet& edges);
// About 2 pi r rays, at least 32 and at most 1,440.
int NormalRayCount(double radius);
// Rays across the circle, outwards, from -halfWidth to +halfWidth px about it.
std::vector<Ray> NormalRays(const Circle& circle, int count, double halfWidth, Polarity polarity);

} // namespace EdgeRays
