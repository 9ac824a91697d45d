// Where a blurred, limb-darkened limb shows its edge. Just inside the limb
// the brightness rises like the square root of the distance s from it,
// I(s) = J + K sqrt(s), so the peak of the smoothed derivative (where the
// Sun fit puts its edge points) lies inside the true limb. This module reads
// the limb's blur and K / J off the photograph, works out how far inside the
// peak lies, moves the fitted radius out by it and adds the correction's own
// uncertainty to the radius's variance.
#pragma once

#include "LimbFit.h"

#include <vector>

namespace LimbShift {

using LimbFit::Circle;
using LimbFit::GreyView;

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

// Seen when the estimate is not to be trusted: the mean shift on generated
// scenes (limb darkening 0.5 to 0.7, blur 0.5 to 3 px).
inline constexpr double TypicalShift = 0.2;

// How far inside the limb (px) the peak of the derivative of J + K sqrt(s),
// smoothed by a Gaussian of sigma px, lies; ratio is K / J.
double PeakShift(double ratio, double sigma);
// The same to first order in the ratio: 0.5152 (K / J) sigma^1.5.
double FirstOrderShift(double ratio, double sigma);
// K / J of the limb of circle and the blur there, from the profiles just
// inside it along the rays through the given edge points.
Estimate Measure(const GreyView& grey, const Circle& circle, const std::vector<LimbFit::Point>& at);
// Moves a Sun fit's radius out to the limb and widens its variance; with no
// trustworthy estimate only widens it by TypicalShift.
void CorrectRadius(const GreyView& grey, LimbFit::Fit& fit);

} // namespace LimbShift
