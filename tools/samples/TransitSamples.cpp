// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the sample photographs of a transit of Venus that the build puts
// beside Helidor, and beside each one a text file with its true circles:
//
//   Lurni1000UT.bmp    twice exposed, 90 s apart with the drive off (24-bit BMP)
//   Lurni1000UT1.jpg   once exposed (JPEG)
//
// The first Sun lies close to the program's default start circle, so that a
// new user sees a fit that still needs a few keys. Usage: transit_samples FOLDER
#include "Adjustment.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

struct Circle {
    double X = 0, Y = 0, Radius = 0; // picture pixels; (0, 0) is the top-left pixel's centre
};

// One exposure: the Sun and Venus in front of it.
struct Exposure {
    Circle Sun;
    Circle Venus;
};

struct Image {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb; // 3 bytes per pixel, rows top-down
};

constexpr double Pi = 3.14159265358979323846;

// [SECTION] Sky and optics
constexpr double SunRadiusArcsec = 15.8 * 60; // apparent radius at the June transit
constexpr double VenusRadiusArcsec = 29; // Venus near inferior conjunction
constexpr double SiderealDriftArcsecPerSecond = 15.0; // on the celestial equator
constexpr double DeclinationDegrees = 22.9;
constexpr double ExposureInterval = 90; // seconds between the two exposures
constexpr double VenusArcsecPerSecond = 4.0 * 60 / 3600; // about 4' an hour across the disc
constexpr double LimbDarkening = 0.6; // linear coefficient in the visible
constexpr double LimbSoftness = 0.6; // pixels, Gaussian: seeing and optics
constexpr double ExposureLevel = 0.6; // centre of the disc, of full scale, per exposure
constexpr double SkyLevel = 0.003; // linear: about 10 of 255 in the file
constexpr double NoiseLevel = 0.0008; // linear: about 3 of 255 at the sky's level
constexpr double FilterTint[3] = { 1.0, 0.88, 0.64 }; // R, G, B of a solar film

void DrawSamples(const std::string& folder);
Image Render(int width, int height, const std::vector<Exposure>& exposures, unsigned seed);
double SunBrightness(const Circle& sun, double x, double y);
double Coverage(const Circle& disc, double x, double y);
void WriteBitmap(const std::string& path, const Image& image);
void WriteJpeg(const std::string& path, const Image& image, int quality);
void WriteTruth(const std::string& path, const std::string& pictureName, const Image& image,
    const std::vector<Exposure>& exposures);

void DrawSamples(const std::string& folder)
{
    // The sample's plate scale: the Sun's radius is about 200 pixels.
    const double pixelsPerArcsec = 203.0 / SunRadiusArcsec;
    const double venusRadius = VenusRadiusArcsec * pixelsPerArcsec;

    // Twice exposed: with the drive off the Sun drifts west at 15"/s times
    // cos(declination); the camera is turned a little against the equator.
    const double drift = SiderealDriftArcsecPerSecond * std::cos(DeclinationDegrees * Pi / 180)
        * ExposureInterval * pixelsPerArcsec;
    const double tilt = 4 * Pi / 180;
    // Venus at 0.6 solar radii, moving slowly across the disc.
    const double venusAngle = 75 * Pi / 180;
    const double venusOffsetX = 0.6 * 203.0 * std::cos(venusAngle);
    const double venusOffsetY = 0.6 * 203.0 * std::sin(venusAngle);
    const double venusPath = 160 * Pi / 180;
    const double venusStep = VenusArcsecPerSecond * ExposureInterval * pixelsPerArcsec;

    Exposure first;
    first.Sun = { 257.0, 494.0, 203.0 };
    first.Venus = { first.Sun.X + venusOffsetX, first.Sun.Y + venusOffsetY, venusRadius };
    Exposure second;
    second.Sun
        = { first.Sun.X + drift * std::cos(tilt), first.Sun.Y - drift * std::sin(tilt), 203.0 };
    second.Venus = { second.Sun.X + venusOffsetX + venusStep * std::cos(venusPath),
        second.Sun.Y + venusOffsetY + venusStep * std::sin(venusPath), venusRadius };
    const std::vector<Exposure> twice { first, second };
    const Image doubled = Render(800, 760, twice, 1000);
    WriteBitmap(folder + "/Lurni1000UT.bmp", doubled);
    WriteTruth(folder + "/Lurni1000UT.truth.txt", "Lurni1000UT.bmp", doubled, twice);

    // Once exposed, on a slightly different scale, off the whole pixels.
    const double onceScale = 201.5 / SunRadiusArcsec;
    Exposure once;
    once.Sun = { 261.5, 489.25, 201.5 };
    once.Venus = { once.Sun.X + 0.6 * 201.5 * std::cos(200 * Pi / 180),
        once.Sun.Y + 0.6 * 201.5 * std::sin(200 * Pi / 180), VenusRadiusArcsec * onceScale };
    const std::vector<Exposure> single { once };
    const Image onceImage = Render(800, 760, single, 1001);
    WriteJpeg(folder + "/Lurni1000UT1.jpg", onceImage, 92);
    WriteTruth(folder + "/Lurni1000UT1.truth.txt", "Lurni1000UT1.jpg", onceImage, single);
}

// Linear light as a camera stores it: the sRGB curve, 0..255.
std::uint8_t SrgbByte(double linear)
{
    const double clipped = std::fmin(std::fmax(linear, 0.0), 1.0);
    const double encoded
        = clipped <= 0.0031308 ? 12.92 * clipped : 1.055 * std::pow(clipped, 1 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(encoded * 255));
}

// Light adds up on the frame: where the two Suns overlap the picture is
// brighter, and each Venus darkens only its own exposure.
Image Render(int width, int height, const std::vector<Exposure>& exposures, unsigned seed)
{
    std::mt19937 random(seed);
    // Box-Muller on the generator's raw words: the same picture everywhere.
    const auto gaussian = [&random] {
        const double u1 = (static_cast<double>(random()) + 1) / 4294967296.0;
        const double u2 = static_cast<double>(random()) / 4294967296.0;
        return std::sqrt(-2 * std::log(u1)) * std::cos(2 * Pi * u2);
    };
    Image image { width, height, {} };
    image.Rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    std::uint8_t* pixel = image.Rgb.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double sun = 0;
            for (const Exposure& exposure : exposures)
                sun += ExposureLevel * SunBrightness(exposure.Sun, x, y)
                    * (1 - Coverage(exposure.Venus, x, y));
            const double sky = SkyLevel + NoiseLevel * gaussian();
            for (const double tint : FilterTint)
                *pixel++ = SrgbByte(sky + sun * tint);
        }
    return image;
}

// Limb-darkened disc with a soft edge: I = 1 - u (1 - mu).
double SunBrightness(const Circle& sun, double x, double y)
{
    const double r = std::hypot(x - sun.X, y - sun.Y);
    const double inner = std::fmin(r / sun.Radius, 1.0);
    const double mu = std::sqrt(1 - inner * inner);
    return (1 - LimbDarkening * (1 - mu)) * Coverage(sun, x, y);
}

// How much of a pixel centre the disc covers: 1/2 exactly on the edge.
double Coverage(const Circle& disc, double x, double y)
{
    const double r = std::hypot(x - disc.X, y - disc.Y);
    return 0.5 * std::erfc((r - disc.Radius) / (LimbSoftness * std::sqrt(2.0)));
}

void WriteBitmap(const std::string& path, const Image& image)
{
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.Width) * 3 + 3) / 4 * 4;
    const std::uint32_t dataBytes = rowBytes * static_cast<std::uint32_t>(image.Height);
    std::vector<std::uint8_t> file;
    const auto put = [&file](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    file.push_back('B');
    file.push_back('M');
    put(54 + dataBytes, 4);
    put(0, 4);
    put(54, 4); // offset of the pixels
    put(40, 4); // BITMAPINFOHEADER
    put(static_cast<std::uint32_t>(image.Width), 4);
    put(static_cast<std::uint32_t>(image.Height), 4); // positive: bottom-up rows
    put(1, 2);
    put(24, 2);
    put(0, 4); // uncompressed
    put(dataBytes, 4);
    put(3780, 4); // 96 dpi
    put(3780, 4);
    put(0, 4);
    put(0, 4);
    for (int y = image.Height - 1; y >= 0; --y) {
        const std::uint8_t* row = image.Rgb.data()
            + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width) * 3;
        for (int x = 0; x < image.Width; ++x, row += 3) {
            file.push_back(row[2]);
            file.push_back(row[1]);
            file.push_back(row[0]);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(image.Width) * 3; pad < rowBytes; ++pad)
            file.push_back(0);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(
        reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void WriteJpeg(const std::string& path, const Image& image, int quality)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path);
    // libjpeg's default error handler ends the tool, which is right here.
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image.Width);
    info.image_height = static_cast<JDIMENSION>(image.Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(image.Rgb.data()
            + static_cast<std::size_t>(info.next_scanline) * static_cast<std::size_t>(image.Width)
                * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    if (std::fclose(file) != 0)
        throw std::runtime_error("cannot write " + path);
}

void WriteTruth(const std::string& path, const std::string& pictureName, const Image& image,
    const std::vector<Exposure>& exposures)
{
    std::ofstream out(path);
    out << "# " << pictureName << ", " << image.Width << " x " << image.Height
        << " pixels: the true circles, as drawn\n"
        << "# name x y radius, in pixels: x to the right, y downwards, (0, 0) the centre of the\n"
        << "# top-left pixel; the limb lies where the disc covers half a pixel\n";
    out.setf(std::ios::fixed);
    out.precision(3);
    const bool twice = exposures.size() > 1;
    for (std::size_t i = 0; i < exposures.size(); ++i) {
        const Circle& sun = exposures[i].Sun;
        out << "sun" << (twice ? std::to_string(i + 1) : "") << ' ' << sun.X << ' ' << sun.Y << ' '
            << sun.Radius << '\n';
    }
    for (std::size_t i = 0; i < exposures.size(); ++i) {
        const Circle& venus = exposures[i].Venus;
        out << "venus" << (twice ? std::to_string(i + 1) : "") << ' ' << venus.X << ' ' << venus.Y
            << ' ' << venus.Radius << '\n';
    }
    // Where the program starts the first planet circle once the Suns are
    // fitted to their true circles in whole pixels: scripts that type a
    // measurement need it, and only the program knows it. A comment, so that
    // the data lines stay the true circles.
    const Circle& firstSun = exposures.front().Sun;
    const int lastSunRadius = static_cast<int>(std::nearbyint(exposures.back().Sun.Radius));
    out.precision(0);
    out << "# planetstart " << std::nearbyint(firstSun.X) << ' ' << std::nearbyint(firstSun.Y)
        << ' ' << static_cast<double>(Adjustment::PlanetStartRadius(lastSunRadius)) << '\n';
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: transit_samples FOLDER\n";
        return 2;
    }
    try {
        DrawSamples(argv[1]);
    } catch (const std::exception& error) {
        std::cerr << "transit_samples: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
