// SPDX-License-Identifier: GPL-3.0-or-later
// The sample photographs the build draws beside Helidor, measured against
// their truth files, and the real photographs of the shared folder.
#include "Photograph.h"
#include "Settings.h"
#include "TestPictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using Circle = HelidorTesting::TrueCircle;
using HelidorTesting::ReadTruth;

constexpr double Pi = 3.14159265358979323846;
constexpr double LimbTolerance = 0.5; // pixels

// The samples store light as a camera does, on the sRGB curve.
double Linear(std::uint32_t byte)
{
    const double v = byte / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Red channel in linear light, bilinear between pixel centres.
double Brightness(const Bitmap::Picture& picture, double x, double y)
{
    const int left = static_cast<int>(std::floor(x)), top = static_cast<int>(std::floor(y));
    const double fx = x - left, fy = y - top;
    const auto red = [&](int px, int py) {
        return Linear(
            picture.Pixels[std::size_t(py) * std::size_t(picture.Width) + std::size_t(px)] >> 16
            & 0xff);
    };
    return (red(left, top) * (1 - fx) + red(left + 1, top) * fx) * (1 - fy)
        + (red(left, top + 1) * (1 - fx) + red(left + 1, top + 1) * fx) * fy;
}

// Where the brightness along the ray from the centre crosses halfway between
// just inside and just outside the edge.
double EdgeRadius(const Bitmap::Picture& picture, const Circle& circle, double angle)
{
    const double dx = std::cos(angle), dy = std::sin(angle);
    const auto at
        = [&](double r) { return Brightness(picture, circle.X + r * dx, circle.Y + r * dy); };
    const double from = circle.Radius - 3, to = circle.Radius + 3;
    const double half = (at(from) + at(to)) / 2;
    const bool falling = at(from) > at(to);
    for (double r = from; r < to; r += 0.01)
        if ((at(r) > half) == falling && (at(r + 0.01) > half) != falling)
            return r;
    return 0;
}

bool NearEdge(const Circle& a, double x, double y, double margin)
{
    return std::abs(std::hypot(a.X - x, a.Y - y) - a.Radius) < margin;
}

// Every edge of every circle where no other edge comes near.
void ExpectEdgesAtTheTruth(
    const Bitmap::Picture& picture, const std::map<std::string, Circle>& truth, double scale)
{
    for (const auto& [name, real] : truth) {
        const Circle circle { (real.X - (scale - 1) / 2) / scale,
            (real.Y - (scale - 1) / 2) / scale, real.Radius / scale };
        int measured = 0;
        for (int step = 0; step < 24; ++step) {
            const double angle = step * Pi / 12;
            const double x = real.X + real.Radius * std::cos(angle);
            const double y = real.Y + real.Radius * std::sin(angle);
            bool clear = true;
            for (const auto& [other, otherCircle] : truth)
                clear = clear && (other == name || !NearEdge(otherCircle, x, y, 6));
            if (!clear)
                continue;
            ++measured;
            EXPECT_NEAR(EdgeRadius(picture, circle, angle), circle.Radius, LimbTolerance)
                << name << " at " << step * 15 << " degrees, scale " << scale;
        }
        EXPECT_GE(measured, 8) << name;
    }
}

class SampleTest : public testing::Test {
protected:
    void SetUp() override
    {
        Photograph::Reset();
        Settings::Language = 2;
    }
};

TEST_F(SampleTest, TwiceExposedBitmapHasItsCirclesWhereTheTruthSays)
{
    const auto truth = ReadTruth(HELIDOR_SAMPLE_DIR "/Lurni1000UT.truth.txt");
    ASSERT_EQ(truth.size(), 4u);
    Settings::IsJpeg = Photograph::IsJpegName("Lurni1000UT.bmp");
    Photograph::ShowPhotograph(HELIDOR_SAMPLE_DIR "/Lurni1000UT.bmp", 0, 0);
    const Bitmap::Picture& picture = Photograph::PhotoBitmap;
    ASSERT_EQ(picture.Width, 800);
    ASSERT_EQ(picture.Height, 760);
    ExpectEdgesAtTheTruth(picture, truth, 1);

    // Fits the program's start circle (250, 500), radius 200, not exactly.
    const Circle sun1 = truth.at("sun1"), sun2 = truth.at("sun2");
    EXPECT_LT(std::hypot(sun1.X - 250, sun1.Y - 500), 12);
    EXPECT_NEAR(sun1.Radius, 200, 5);
    EXPECT_NE(sun1.X, 250);
    // 90 s of drift at 15"/s cos 22.9 degrees, with the Sun's 15.8' on the radius.
    const double drift = 15 * std::cos(22.9 * Pi / 180) * 90 / (15.8 * 60) * sun1.Radius;
    EXPECT_NEAR(std::hypot(sun2.X - sun1.X, sun2.Y - sun1.Y), drift, 0.01 * drift);
    // Venus: 29" across, moving a pixel or so against the Sun.
    const Circle venus1 = truth.at("venus1"), venus2 = truth.at("venus2");
    EXPECT_NEAR(venus1.Radius, 29.0 / (15.8 * 60) * sun1.Radius, 0.5);
    const double moved = std::hypot(
        (venus2.X - sun2.X) - (venus1.X - sun1.X), (venus2.Y - sun2.Y) - (venus1.Y - sun1.Y));
    EXPECT_GT(moved, 0.3);
    EXPECT_LT(moved, 3);
}

TEST_F(SampleTest, OnceExposedJpegHasItsCirclesWhereTheTruthSaysAtEveryScale)
{
    const auto truth = ReadTruth(HELIDOR_SAMPLE_DIR "/Lurni1000UT1.truth.txt");
    ASSERT_EQ(truth.size(), 2u);
    ASSERT_TRUE(Photograph::IsJpegName("Lurni1000UT1.jpg"));
    Bitmap::Picture picture;
    for (const int scale : { 1, 2 }) {
        Photograph::DecodeJpegFile(HELIDOR_SAMPLE_DIR "/Lurni1000UT1.jpg", scale, picture);
        ExpectEdgesAtTheTruth(picture, truth, scale);
    }
}

TEST_F(SampleTest, JpegAtSizeEightIsShownAtAnEighth)
{
    Settings::IsJpeg = true;
    Settings::JpegScale = 8;
    Photograph::ShowPhotograph(HELIDOR_SAMPLE_DIR "/Lurni1000UT1.jpg", 0, 0);
    EXPECT_EQ(Photograph::PhotoJpeg.Width, 100); // of 800 x 760
    EXPECT_EQ(Photograph::PhotoJpeg.Height, 95);
}

TEST_F(SampleTest, RealPhotographsLoadAtEveryScale)
{
    namespace fs = std::filesystem;
    if (!fs::is_directory(HELIDOR_PHOTO_DIR))
        GTEST_SKIP() << "no shared photographs at " HELIDOR_PHOTO_DIR;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(HELIDOR_PHOTO_DIR)) {
        if (!Photograph::IsJpegName(entry.path().filename().string()))
            continue;
        ++count;
        Bitmap::Picture full, scaled;
        Photograph::DecodeJpegFile(entry.path().string(), 1, full);
        const auto mean = [](const Bitmap::Picture& picture, int shift) {
            double sum = 0;
            for (const std::uint32_t pixel : picture.Pixels)
                sum += pixel >> shift & 0xff;
            return sum / double(picture.Pixels.size());
        };
        for (const int scale : { 2, 4, 8 }) {
            Photograph::DecodeJpegFile(entry.path().string(), scale, scaled);
            EXPECT_EQ(scaled.Width, (full.Width + scale - 1) / scale) << entry.path();
            EXPECT_EQ(scaled.Height, (full.Height + scale - 1) / scale) << entry.path();
            for (const int shift : { 0, 8, 16, 24 })
                EXPECT_NEAR(mean(scaled, shift), mean(full, shift), 1.0)
                    << entry.path() << " scale " << scale << " channel " << shift / 8;
        }
    }
    EXPECT_GT(count, 0);
}

} // namespace
