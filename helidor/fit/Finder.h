// SPDX-License-Identifier: GPL-3.0-or-later
// Finds the objects of a photograph without a seed: the Sun's disc or discs
// (one or two exposures, apart or overlapping, cut by the frame or not) and,
// on a disc, the dark round dots of a planet's size. What it finds are
// seeds, good to a few pixels, for the fit, which measures them.
//
// Method. Discs: the plane reduced to about 1024 px on its long side, the
// bright part split from the sky at the histogram's Otsu threshold, its
// connected parts; the boundary of each part away from the frame's edge,
// one circle fitted to it robustly and, where many boundary points are left
// over, a second (two overlapping exposures make one part). Dots: on a copy
// reduced so that the smallest planet keeps a radius of 2 px, the contrast
// of a square core against the ring around it at radii from 1/250 to 1/20
// of the Sun's, its local maxima on the disc, strongest first.
#pragma once

#include "LimbFit.h"

#include <vector>

namespace Finder {

using FitTypes::Circle;
using FitTypes::GreyView;

enum class Outcome {
    Found,
    NoSun, // no bright disc on the picture
    TooManyDiscs, // more than two discs
    AtFrameEdge, // a disc too close to the frame's edge to measure
    SunNotFitted, // the fit refused a disc's limb
    NoPlanet, // no planet on a disc
    SeveralPlanets, // several planet-like dots on a disc
};

struct Discs {
    Outcome Result = Outcome::NoSun;
    std::vector<Circle> Suns; // full-resolution px, left to right; empty unless Found
};

// The discs of the Sun on the picture.
Discs FindDiscs(const GreyView& grey);

// Planet sizes, as a share of the Sun's radius: Mercury's is about 1/160,
// Venus's about 1/32; the search allows more on both sides.
inline constexpr double SmallestPlanet = 1.0 / 250;
inline constexpr double LargestPlanet = 1.0 / 20;

// Dark round dots of a planet's size on the disc sun, strongest first, at
// most maxCount; each a seed for LimbFit::FitPlanet, which tells a planet
// from a sunspot. The disc other (the other exposure's, when given with a
// radius above 0) is left out where it overlaps sun, whose brightness doubles there.
std::vector<Circle> FindDots(
    const GreyView& grey, const Circle& sun, const Circle& other = {}, int maxCount = 8);

// One exposure's circles as the fit measured them.
struct Exposure {
    FitTypes::Fit Sun;
    FitTypes::Fit Planet;
};

struct Survey {
    Outcome Result = Outcome::NoSun;
    std::vector<Exposure> Exposures; // one per disc, left to right; all when Found
    int Disc = -1; // the disc (0, 1) that a refusal concerns, -1 for the whole picture
    FitTypes::Outcome Refusal = FitTypes::Outcome::Fitted; // the fit's reason, SunNotFitted
    std::vector<Circle> Planets; // the planet-like dots of SeveralPlanets
};

// Every circle of the picture found and fitted: the discs, and on each the
// one planet that the fit takes for a planet.
Survey Measure(const GreyView& grey);

// The planets the fit takes on the disc sun among the dots found there, as
// many as there are; other is the other exposure's disc, when there is one.
std::vector<FitTypes::Fit> PlanetsOn(
    const GreyView& grey, const Circle& sun, const Circle& other = {});

} // namespace Finder
