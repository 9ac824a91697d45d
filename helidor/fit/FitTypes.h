// SPDX-License-Identifier: GPL-3.0-or-later
// The assisted fit's vocabulary, shared by its modules and its callers: the
// grey samples it reads, the circles and points it finds and its answer.
// Coordinates are pixels of the plane, the centre of sample (i, j) at (i, j).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace FitTypes {

// Linear-light samples (GreyPlane's); SaturatedSample marks a clipped pixel.
struct GreyView {
    int Width = 0;
    int Height = 0;
    const std::uint16_t* Samples = nullptr; // Width x Height, row-major
};
inline constexpr std::uint16_t SaturatedSample = 65535;

struct Circle {
    double X = 0;
    double Y = 0;
    double R = 0;
};

// Of (x, y, r), px^2, row-major.
using Covariance = std::array<double, 9>;

enum class Outcome {
    Fitted,
    NoEdge, // no edge near the circle
    ShortArc, // the edge is seen on too short an arc
    NotCircle, // not a clean circle
    MovedTooFar, // the fit moved too far from the seed
    Sunspot, // a penumbra around the dark core
    TooCloseToLimb, // a planet too close to the limb to measure
    Saturated, // the bright side of the edge is clipped
};

struct Point {
    double X = 0;
    double Y = 0;
};

struct Fit {
    Outcome Result = Outcome::NoEdge;
    Circle Fitted; // the seed when refused
    FitTypes::Covariance Covariance {}; // zero when refused
    std::vector<Point> Used; // edge points the final fit rests on
    std::vector<Point> Rejected; // edge points found and given no weight
    // A planet fitted closer to the Sun's limb than 10 px plus three edge widths.
    bool NearLimb = false;
    double EdgeWidth = 0; // px, the blur of the edge (Gaussian sigma)
};

} // namespace FitTypes
