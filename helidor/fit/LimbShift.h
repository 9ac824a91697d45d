// SPDX-License-Identifier: GPL-3.0-or-later
// Where a blurred, limb-darkened limb shows its edge. Just inside the limb
// the brightness rises like the square root of the distance s from it,
// I(s) = J + K sqrt(s), so the peak of the smoothed derivative (where the
// Sun fit puts its edge points) lies inside the true limb, by 0.1 to 0.4 px.
// The blur read off the limb here serves the planet's fit too.
//
// Method. The median profile across the limb over the fit's own rays (those
// crossing the other exposure's limb, or clipped, left out) is
// fitted with sky + J Phi(s / b) + K' mu(s) smoothed by b, for the blur b
// and K / J; SunLimbBlur only gives the search its start (on
// generated scenes it scatters by 0.3 px, the profile's fit by 0.06). The
// shift is the exact peak of the smoothed model's derivative, found
// numerically for S^2 = b^2 + the kernel's 1.25^2: the first-order law
// 0.5152 (K / J) S^1.5 runs 8 % high at these ratios and leaves +0.02 px.
// The radius moves out by the shift, and its variance gains what the
// correction is good to.
#pragma once

#include "FitTypes.h"

#include <vector>

namespace LimbShift {

using FitTypes::Circle;
using FitTypes::GreyView;
using FitTypes::Point;

// What the correction rests on, read off the photograph around a fitted limb.
struct Estimate {
    bool Ok = false;
    double Blur = 0; // px, the limb's blur as the samples show it
    double Offset = 0; // px the limb lies inside the circle measured from (negative: outside)
    double Sigma = 0; // px, the blur and the derivative kernel together
    double Ratio = 0; // K / J, px^(-1/2)
    int Rays = 0; // rays whose inside profile was used
    double Shift = 0; // px, how far inside the limb the edge is seen
};

// sigma_r's widening where the estimate is not to be trusted, px: about the
// mean shift on generated scenes (darkening 0.5 to 0.7, blur 0.5 to 3 px).
inline constexpr double TypicalShift = 0.2;

// The seeing's sigma, px, from the Sun's limb; NaN where the limb is nowhere
// seen whole.
double SunLimbBlur(const GreyView& grey, const Circle& sun);
// How far inside the limb (px) the peak of the derivative of J + K sqrt(s),
// smoothed by a Gaussian of sigma px, lies; ratio is K / J.
double PeakShift(double ratio, double sigma);
// The same to first order in the ratio: 0.5152 (K / J) sigma^1.5.
double FirstOrderShift(double ratio, double sigma);
// The blur, K / J and the shift of the limb near circle, from the profiles
// across it along the rays from its centre through the given edge points:
// a fit's used points, so none lies where the limb is seen over the other
// exposure's disc.
Estimate Measure(const GreyView& grey, const Circle& circle, const std::vector<Point>& at);
// What a Sun fit on the given points needs: its radius moved out to the limb
// by Radius px, its variance widened by Variance px^2; with no trustworthy
// estimate no move and TypicalShift's square.
struct Correction {
    double Radius = 0;
    double Variance = 0;
};
Correction RadiusCorrection(
    const GreyView& grey, const Circle& circle, const std::vector<Point>& used);

} // namespace LimbShift
