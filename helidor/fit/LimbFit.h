// SPDX-License-Identifier: GPL-3.0-or-later
// The assisted circle fit: snaps a circle set by the user (the seed) to the
// nearest solar limb or to the edge of a planet in front of the Sun, to a
// fraction of a pixel, and says how sure it is or why it refuses.
//
// Method. Sun: rays from the seed's centre over the radius +- (0.12 r + the
// centre's limit - 10) px, the limit 35 px first and, when that finds
// nothing, the larger of 0.12 r and 20 screen pixels, plus 15; on each the
// strongest bright-to-dark peak of a Gaussian-smoothed derivative (the
// limb's inflection point), refined by a 3-point parabola (where these give
// no circle, the three strongest peaks apart). Rays whose edge is weak
// against the sky noise or against the other rays, or whose bright side is
// saturated, are dropped. A robust start from a fixed number of random
// 3-point circles (fixed seed), then an orthogonal-distance least-squares
// fit with Tukey weights, then two passes of rays normal to the circle
// (+-12 px, then +-8 px, sigma 1.25 px); there a limb whose dark side is lit
// well above the sky (seen over the other exposure's disc, whose shading
// would draw it that way) is dropped too. A limb to avoid (the other
// exposure's, fitted already) found again sends the search outwards: rays
// from that limb's centre, beginning beyond it, over three radii. A refusal
// tells a circle beyond the limits (moved too far) from strong edges on
// most rays that make no circle (not a circle) and from too few (no edge).
// Planet: the darkest ring-minus-core contrast within 25 px of the seed,
// about 2 pi r rays for the dark-to-bright edge, points within 10 px of the
// Sun's limb dropped, then the same fit; its edge points are moved back by
// the pull of the photosphere's shading across it (near the limb), and a
// dark dot whose profile shows a penumbra, or a core lighter than the
// limb's blur allows, is refused as a spot. Covariance s^2 (J'WJ)^-1, inflated by the
// correlation of neighbouring rays' residuals and by a share for what the
// residuals do not show, calibrated on the benchmark's generated scenes; for
// a planet plus the error of the shading correction (a fifth of the shift it
// makes). A planet at the limb whose centre sigma exceeds 0.06 px is refused
// as too close to the limb.
//
// Pure: the same input gives the same circle.
#pragma once

#include "FitTypes.h"

#include <optional>

namespace LimbFit {

using FitTypes::Circle;
using FitTypes::Fit;
using FitTypes::GreyView;
using FitTypes::Outcome;
using FitTypes::Point;

// What the Sun's fit is told beside its seed.
struct SunHints {
    // px the seed's centre may lie off the limb's where 12 % of its radius is
    // less: 20 screen pixels, more on a picture shown reduced.
    double CentreSlack = 20;
    // A limb fitted already (the other exposure's): the fit snaps to another.
    std::optional<Circle> Avoid;
};

// Fits the nearest solar limb (bright inside, dark outside) to the seed.
Fit FitSunLimb(const GreyView& grey, const Circle& seed, const SunHints& hints = {});

// Fits the edge of a dark planet near the seed on the Sun whose circle is sun.
Fit FitPlanet(const GreyView& grey, const Circle& seed, const Circle& sun);

// A short English name of an outcome ("fitted", "no edge", ...), for reports.
const char* OutcomeName(Outcome outcome);

} // namespace LimbFit
