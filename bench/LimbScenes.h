// SPDX-License-Identifier: GPL-3.0-or-later
// Generated photographs of the Sun with known circles, for the assisted
// fit's benchmark and tests: one or two exposures of a limb-darkened disc,
// seeing blur, sunspots, planets, noise, 8-bit sRGB and JPEG artefacts.
#pragma once

#include "LimbFit.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace LimbScenes {

// A disc's centre and radius, px, as the fit reports its circles.
using Disc = FitTypes::Circle;

struct Spot {
    double X = 0;
    double Y = 0;
    double Umbra = 0; // radius, px
    double Penumbra = 0; // outer radius, px
};

struct Scene {
    int Width = 0;
    int Height = 0;
    std::vector<Disc> Suns; // exposures, added in linear light
    double Exposure = 0.4; // linear level of a disc's centre, per exposure
    std::array<double, 3> Gains { 0.75, 0.9, 1.0 }; // blue, green, red
    double LimbDarkening = 0.6; // I(mu) = 1 - u (1 - mu)
    double Blur = 1.0; // seeing, Gaussian sigma px
    double Noise = 0.005; // linear sigma
    std::vector<Disc> Planets; // opaque
    std::vector<Spot> Spots; // umbra at 25 %, penumbra at 75 % of the photosphere
    bool Jpeg = true; // quality 75 around the limbs, planets and spots
    int Quality = 75;
    std::uint32_t Seed = 1;
    bool Whole = false; // draw every pixel, not only around the limbs and objects
};

// The picture as 0xAARRGGBB words, Width x Height.
void Render(const Scene& scene, std::vector<std::uint32_t>& words);

// JPEG of words at quality; false when libjpeg fails.
bool EncodeJpeg(const std::vector<std::uint32_t>& words, int width, int height, int quality,
    std::vector<unsigned char>& jpeg);
bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace LimbScenes
