// SPDX-License-Identifier: GPL-3.0-or-later
// Generated photographs of a transit for the finder's benchmark, made with
// other assumptions than the fit's own tests use: three limb-darkening laws,
// Gaussian or Moffat seeing, foreshortened irregular sunspots with their
// penumbrae, faculae, vignetting, a thin cloud with its aureole, photon and
// read noise, and the whole picture through sRGB and JPEG.
#pragma once

#include <cstdint>
#include <vector>

namespace TransitScenes {

struct Disc {
    double X = 0, Y = 0, R = 0; // px, the centre of pixel (i, j) at (i, j)
};

enum class Darkening {
    Linear, // 1 - u1 (1 - mu)
    Quadratic, // 1 - u1 (1 - mu) - u2 (1 - mu)^2
    Polynomial550, // a fifth-order polynomial in mu fitted to the Sun at 550 nm
};

enum class Seeing { Gaussian, Moffat };

// A spot lies on the Sun: it is seen on every exposure's disc, at the same
// place relative to the disc's centre.
struct Spot {
    double DX = 0, DY = 0; // px, the umbra's centre from the disc's
    double Umbra = 3; // px, radius before foreshortening
    double PenumbraRatio = 2.2; // the penumbra's radius over the umbra's
    double UmbraLevel = 0.25, PenumbraLevel = 0.78; // of the photosphere around
    double Phase = 0; // of the outline's ripple
};

struct Scene {
    int Width = 0, Height = 0;
    std::vector<Disc> Suns; // one per exposure, added in linear light
    std::vector<Disc> Planets; // opaque; planet k is seen on exposure k (modulo the count) only
    std::vector<Spot> Spots;
    Darkening Law = Darkening::Quadratic;
    double U1 = 0.45, U2 = 0.25;
    Seeing Psf = Seeing::Gaussian;
    double Sigma = 1.2; // px: the Gaussian's sigma or the Moffat's of the same FWHM
    double MoffatBeta = 3;
    double Exposure = 0.45; // linear level of a disc's centre, per exposure
    double Vignetting = 0; // the share lost in the frame's corners
    double Cloud = 0; // the largest share a thin cloud takes away; its aureole goes with it
    int Faculae = 0;
    double ReadNoise = 0.002; // linear sigma
    double PhotonNoise = 0.004; // linear sigma at level 1, growing with the square root
    int Quality = 90; // JPEG; 0 keeps the 8-bit sRGB picture as it is
    std::uint32_t Seed = 1;
};

// The picture as 0xAARRGGBB words, Width x Height, through JPEG at Quality.
void Render(const Scene& scene, std::vector<std::uint32_t>& words);

// The photosphere's brightness at mu = cos(the angle from the disc's centre), 1 at the centre.
double Brightness(const Scene& scene, double mu);

} // namespace TransitScenes
