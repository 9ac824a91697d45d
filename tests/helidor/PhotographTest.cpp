// SPDX-License-Identifier: GPL-3.0-or-later
// The photograph display on the real console canvas: JPEGs of every kind at
// every scale, BMPs, the redraw from memory with clipping, and the errors.
#include "Photograph.h"
#include "CraftedJpegs.h"
#include "GreyPlane.h"
#include "Settings.h"
#include "TestPictures.h"
#include "Texts.h"

#include <QImage>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace HelidorTesting {
namespace {

constexpr std::uint32_t Marker = 0xff123456; // what the canvas showed before
constexpr int JpegTolerance = 6; // per channel, in uniform patches at quality 95
constexpr int Patch = 64; // pattern patches: whole 8 x 8 blocks even at scale 8

constexpr std::uint32_t PatchColours[8]
    = { 0xc83c28, 0x2896dc, 0x50b450, 0xf0dc78, 0x783ca0, 0x202020, 0xe0e0e0, 0x8c5a14 };

std::uint32_t Patches(int x, int y)
{
    return PatchColours[(x / Patch * 3 + y / Patch * 5) % 8];
}

class PhotographTest : public testing::Test {
protected:
    void SetUp() override
    {
        Photograph::Reset();
        Texts::SetUpMessageTexts();
        Settings::Language = 2;
        Settings::IsJpeg = true;
        Settings::JpegScale = 1;
        Settings::PictureX = 0;
        Settings::PictureY = 0;
        FillCanvas(Marker);
    }
};

bool CanvasIsMarker()
{
    const QImage& canvas = FensterGraf::Canvas();
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) != Marker)
                return false;
    return true;
}

// The error load must end in; none, and a failure, when it ends without one.
template <typename Error, typename Load> std::optional<Error> Refusal(Load load)
{
    try {
        load();
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return std::nullopt;
}

// A row's text in the language (1 German, 2 English).
template <typename Row> const char* Said(const Row& row, int language)
{
    return language == 1 ? row.german : row.english;
}

// [SECTION] JPEG kinds and scales

struct KindRow {
    const char* name;
    JpegKind kind;
    int width, height;
};

class JpegKinds : public PhotographTest, public testing::WithParamInterface<KindRow> { };

TEST_P(JpegKinds, DecodeAtEveryScaleToTheEncodedColours)
{
    const KindRow& row = GetParam();
    const std::string path = TempPath(std::string(row.name) + ".jpg");
    WriteJpeg(path, row.kind, row.width, row.height, Patches);
    Bitmap::Picture picture;
    // Shrinking and growing the reused buffer.
    for (const int scale : { 8, 1, 4, 2 }) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        Photograph::DecodeJpegFile(path, scale, picture);
        ASSERT_EQ(picture.Width, (row.width + scale - 1) / scale);
        ASSERT_EQ(picture.Height, (row.height + scale - 1) / scale);
        ASSERT_EQ(picture.Pixels.size(), std::size_t(picture.Width) * std::size_t(picture.Height));
        for (const std::uint32_t pixel : picture.Pixels)
            ASSERT_EQ(pixel >> 24, 0xffu) << "the canvas shows only opaque pixels";
        for (int y = Patch / 2; y + Patch / 2 <= row.height; y += Patch)
            for (int x = Patch / 2; x + Patch / 2 <= row.width; x += Patch) {
                std::uint32_t expected = Patches(x, y);
                if (row.kind == JpegKind::Grey)
                    expected = (expected >> 8 & 0xff) * 0x010101;
                const std::uint32_t got
                    = picture.Pixels[std::size_t(y / scale) * std::size_t(picture.Width)
                        + std::size_t(x / scale)];
                ASSERT_LE(ColourDistance(got, expected), JpegTolerance)
                    << std::hex << "at " << std::dec << x << ", " << y << std::hex << ": got "
                    << got << ", encoded " << expected;
            }
    }
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Photograph, JpegKinds,
    testing::Values(KindRow { "baseline", JpegKind::Baseline, 3000, 2000 },
        KindRow { "baseline444", JpegKind::Baseline444, 1001, 667 },
        KindRow { "progressive", JpegKind::Progressive, 1001, 667 },
        KindRow { "grey", JpegKind::Grey, 1001, 667 }, KindRow { "cmyk", JpegKind::Cmyk, 643, 481 },
        KindRow { "adobe_cmyk", JpegKind::AdobeCmyk, 643, 481 },
        KindRow { "adobe_ycck", JpegKind::AdobeYcck, 643, 481 }),
    RowName());

TEST_F(PhotographTest, HalfSizeJpegCoversHalfTheCanvasArea)
{
    const std::string path = TempPath("half.jpg");
    WriteJpeg(path, JpegKind::Baseline, 3000, 2000, Patches);
    Settings::JpegScale = 2;
    Photograph::ShowPhotograph(path, 50, 0);
    EXPECT_EQ(Photograph::PhotoJpeg.Width, 1500);
    EXPECT_EQ(Photograph::PhotoJpeg.Height, 1000);
    EXPECT_LE(ColourDistance(CanvasPixel(50 + 16, 16), Patches(32, 32)), JpegTolerance);
    EXPECT_LE(ColourDistance(CanvasPixel(1549, 999), Patches(2999, 1999)), JpegTolerance);
    EXPECT_EQ(CanvasPixel(49, 500), Marker);
    EXPECT_EQ(CanvasPixel(1550, 500), Marker);
    std::remove(path.c_str());
}

TEST_F(PhotographTest, UnknownScaleKeepsTheLastScale)
{
    const std::string path = TempPath("scale.jpg");
    WriteJpeg(path, JpegKind::Baseline, 1001, 667, Patches);
    const auto showAt = [&](int jpegScale) {
        Settings::JpegScale = jpegScale;
        Photograph::ShowJpegPhotograph(path, 0, 0);
        return Photograph::PhotoJpeg.Width;
    };
    EXPECT_EQ(showAt(3), 1001) << "full size for the first picture";
    EXPECT_EQ(showAt(4), 251);
    EXPECT_EQ(showAt(3), 251);
    EXPECT_EQ(showAt(0), 251);
    EXPECT_EQ(showAt(16), 251);
    EXPECT_EQ(showAt(1), 1001);
    EXPECT_EQ(Photograph::DecodingScale, 1);
    std::remove(path.c_str());
}

// [SECTION] Errors

// Offset of the baseline frame header (SOF0) in a JPEG file.
std::size_t FrameHeader(const std::vector<char>& bytes)
{
    for (std::size_t i = 0; i + 9 < bytes.size(); ++i)
        if (bytes[i] == char(0xff) && bytes[i + 1] == char(0xc0))
            return i;
    ADD_FAILURE() << "no SOF0";
    return 0;
}

void WriteGood(const std::string& path, JpegKind kind = JpegKind::Baseline)
{
    WriteJpeg(path, kind, 640, 480, Patches);
}

void WriteCut(const std::string& path, JpegKind kind, int percent)
{
    WriteGood(path, kind);
    std::vector<char> bytes = ReadBytes(path);
    bytes.resize(bytes.size() * std::size_t(percent) / 100);
    WriteBytes(path, bytes);
}

// 60000 x 60000 pixels in the header of a small picture, padded after its end
// to the 329,590 bytes that its 84,375,000 blocks need at 256 per byte.
void WriteHuge(const std::string& path)
{
    WriteGood(path);
    std::vector<char> bytes = ReadBytes(path);
    bytes.resize(400'000);
    const std::size_t sof = FrameHeader(bytes);
    for (const std::size_t at : { sof + 5, sof + 7 }) {
        bytes[at] = char(60000 >> 8);
        bytes[at + 1] = char(60000 & 0xff);
    }
    WriteBytes(path, bytes);
}

// A photograph with no uniform rows: colour patches over a fine ramp.
std::uint32_t Textured(int x, int y)
{
    return Patches(x, y) ^ std::uint32_t((x * 5 + y * 3) % 16) * 0x010101;
}

void WriteArithmetic(const std::string& path, bool progressive)
{
    WriteArithmeticJpeg(path, 640, 480, progressive, Textured);
}

void WriteArithmeticCut(const std::string& path, double fraction)
{
    WriteArithmetic(path, false);
    WriteBytes(path, CutFirstScan(ReadBytes(path), fraction));
}

void WriteFirstScanOnly(const std::string& path, bool arithmetic)
{
    if (arithmetic)
        WriteArithmetic(path, true);
    else
        WriteGood(path, JpegKind::Progressive);
    WriteBytes(path, OnlyFirstScan(ReadBytes(path)));
}

struct ErrorRow {
    const char* name;
    void (*write)(const std::string& path);
    int scale;
    const char* english;
    const char* german;
};

class JpegErrors : public PhotographTest, public testing::WithParamInterface<ErrorRow> { };

// Nothing is drawn, and nothing of the picture before is drawn later.
TEST_P(JpegErrors, ThrowInTheLanguageAndLeaveNothingToDraw)
{
    const ErrorRow& row = GetParam();
    const std::string good = TempPath("good.jpg");
    const std::string path = TempPath(std::string("bad_") + row.name + ".jpg");
    WriteGood(good);
    row.write(path);
    for (const int language : { 1, 2 }) {
        Settings::Language = language;
        Settings::JpegScale = 2;
        Photograph::ShowPhotograph(good, 0, 0);
        FillCanvas(Marker);
        Settings::JpegScale = row.scale;
        const auto error
            = Refusal<std::runtime_error>([&] { Photograph::ShowPhotograph(path, 0, 0); });
        if (error) {
            const std::string message = error->what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(Said(row, language)), std::string::npos) << message;
        }
        EXPECT_EQ(Photograph::PhotoJpeg.Width * Photograph::PhotoJpeg.Height, 0);
        EXPECT_EQ(Photograph::DecodingScale, 2) << "a failed load keeps the scale";
        Photograph::RedrawPhotograph();
        EXPECT_TRUE(CanvasIsMarker());
    }
    std::remove(good.c_str());
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Photograph, JpegErrors,
    testing::Values(
        ErrorRow { "missing", [](const std::string&) {}, 1, "does not exist", "gibt es nicht" },
        ErrorRow { "text",
            [](const std::string& path) {
                WriteBytes(path, { 'N', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '\n' });
            },
            1, "is not a JPEG picture", "ist kein JPEG-Bild" },
        ErrorRow { "empty", [](const std::string& path) { WriteBytes(path, {}); }, 1,
            "is not a JPEG picture", "ist kein JPEG-Bild" },
        // Early in the data and just before its end.
        ErrorRow { "cut_early",
            [](const std::string& path) { WriteCut(path, JpegKind::Baseline, 25); }, 1,
            "is truncated", "ist abgeschnitten" },
        ErrorRow { "cut_late",
            [](const std::string& path) { WriteCut(path, JpegKind::Baseline, 97); }, 2,
            "is truncated", "ist abgeschnitten" },
        ErrorRow { "cut_progressive",
            [](const std::string& path) { WriteCut(path, JpegKind::Progressive, 60); }, 8,
            "is truncated", "ist abgeschnitten" },
        ErrorRow { "bad_precision",
            [](const std::string& path) {
                WriteGood(path);
                std::vector<char> bytes = ReadBytes(path);
                bytes[FrameHeader(bytes) + 4] = 7;
                WriteBytes(path, bytes);
            },
            1, "is damaged", "ist beschädigt" },
        // Data missing, though the end marker is there.
        ErrorRow { "arithmetic_cut_in_half",
            [](const std::string& path) { WriteArithmeticCut(path, 0.5); }, 1, "is truncated",
            "ist abgeschnitten" },
        ErrorRow { "arithmetic_cut_early",
            [](const std::string& path) { WriteArithmeticCut(path, 0.1); }, 8, "is truncated",
            "ist abgeschnitten" },
        ErrorRow { "arithmetic_no_data",
            [](const std::string& path) { WriteArithmeticCut(path, 0); }, 2, "is truncated",
            "ist abgeschnitten" },
        ErrorRow { "huffman_no_data",
            [](const std::string& path) {
                WriteGood(path);
                WriteBytes(path, CutFirstScan(ReadBytes(path), 0));
            },
            4, "is truncated", "ist abgeschnitten" },
        ErrorRow { "progressive_first_scan_only",
            [](const std::string& path) { WriteFirstScanOnly(path, false); }, 1,
            "some of its scans are missing", "von seinen Durchgängen fehlen welche" },
        ErrorRow { "arithmetic_progressive_first_scan_only",
            [](const std::string& path) { WriteFirstScanOnly(path, true); }, 4,
            "some of its scans are missing", "von seinen Durchgängen fehlen welche" },
        // Not files: refused at once, a FIFO without waiting for a writer.
        ErrorRow { "fifo",
            [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, 1,
            "is not a regular file", "ist keine gewöhnliche Datei" },
        ErrorRow { "folder",
            [](const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0700), 0); }, 1,
            "is not a regular file", "ist keine gewöhnliche Datei" },
        ErrorRow { "huge_full", WriteHuge, 1,
            "too large to hold at size 1: 60000 x 60000 pixels (at most 100 million). Please "
            "choose a larger reduction: size 2, 4 or 8.",
            "in Größe 1 zu groß: 60000 x 60000 Bildpunkte (höchstens 100 Millionen). Bitte eine "
            "stärkere Verkleinerung wählen: Größe 2, 4 oder 8." },
        ErrorRow { "huge_half", WriteHuge, 2,
            "size 2: 30000 x 30000 pixels (at most 100 million). Please choose a larger "
            "reduction: size 4 or 8.",
            "Größe 2 zu groß: 30000 x 30000 Bildpunkte (höchstens 100 Millionen). Bitte eine "
            "stärkere Verkleinerung wählen: Größe 4 oder 8." },
        ErrorRow { "huge_quarter", WriteHuge, 4,
            "size 4: 15000 x 15000 pixels (at most 100 million). Please choose a larger "
            "reduction: size 8.",
            "Größe 4 zu groß: 15000 x 15000 Bildpunkte (höchstens 100 Millionen). Bitte eine "
            "stärkere Verkleinerung wählen: Größe 8." }),
    RowName());

// [SECTION] Bombs
// A hundred bytes that claim a huge picture: refused after little work (at
// most 256 blocks read per byte of the file), in at most 1 GB, at every
// size, and the next picture loads. The grey plane is held to the same.

struct BombRow {
    std::string name;
    BombShape shape;
    int scale;
    const char* english;
    const char* german;
};

class JpegBombs : public PhotographTest, public testing::WithParamInterface<BombRow> { };

long PeakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_P(JpegBombs, RefusedAfterLittleWorkInBoundedMemory)
{
    const BombRow& row = GetParam();
    const std::string path = TempPath(std::string(row.name) + ".jpg");
    const std::string good = TempPath("after_bomb.jpg");
    const std::vector<char> bomb = ArithmeticBomb(row.shape);
    WriteBytes(path, bomb);
    WriteGood(good);
    for (const int language : { 2, 1 }) {
        Settings::Language = language;
        Settings::JpegScale = row.scale;
        const auto error
            = Refusal<Photograph::JpegError>([&] { Photograph::ShowJpegPhotograph(path, 0, 0); });
        if (error) {
            const std::string message = error->what();
            EXPECT_NE(message.find(Said(row, language)), std::string::npos) << message;
            EXPECT_LE(error->Refused.Done.BlocksRead, std::int64_t(bomb.size()) * 256);
        }
        EXPECT_LT(PeakKilobytes(), 1'000'000) << "peak of the whole test program";
    }
    Photograph::ShowJpegPhotograph(good, 0, 0);
    EXPECT_EQ(Photograph::PhotoJpeg.Width, 640 / row.scale);
    std::remove(path.c_str());
    std::remove(good.c_str());
}

// A hundred bytes cannot hold 65500 x 65500 pixels: 8188 x 8188 blocks
// (65500 / 8 rounded up) per component, far beyond 256 blocks per byte.
constexpr const char* Colour110
    = "is damaged: its 110 bytes cannot hold a picture of 65500 x 65500 pixels.";
constexpr const char* Colour110German
    = "ist beschädigt: seine 110 Bytes können kein Bild von 65500 x 65500 Bildpunkten enthalten.";
constexpr const char* Grey100 = "its 100 bytes cannot hold a picture of 65500 x 65500 pixels.";
constexpr const char* Grey100German
    = "seine 100 Bytes können kein Bild von 65500 x 65500 Bildpunkten enthalten.";
// With enough data for its blocks, the coefficients of the several scans:
// 8188 x 8188 blocks of 64 coefficients of 2 bytes, 8,581,548,032 bytes per
// component.
constexpr const char* ColourBuffer
    = "needs 25744 MB of memory to decode at any size, more than 500 MB";
constexpr const char* ColourBufferGerman
    = "braucht zum Entpacken in jeder Größe 25744 MB Speicher, mehr als 500 MB";

constexpr BombShape ProgressiveColour { 65500, 65500, 3, true };
constexpr BombShape ProgressiveGrey { 65500, 65500, 1, true };
constexpr BombShape SequentialColour { 65500, 65500, 3, false };
// 201,130,032 blocks in the first scan: 785,665 bytes are enough.
constexpr BombShape FullProgressiveColour { 65500, 65500, 3, true, false, 1'000'000, 0 };

std::vector<BombRow> Bombs()
{
    std::vector<BombRow> rows {
        BombRow { "sequential_grey_no_data_size8", { 65500, 65500, 1, false, false, 0 }, 8,
            "its 96 bytes cannot hold", "seine 96 Bytes können kein Bild" },
        BombRow { "progressive_subsampled_20000_size2", { 20000, 20000, 3, true, true }, 2,
            "its 110 bytes cannot hold a picture of 20000 x 20000 pixels",
            "seine 110 Bytes können kein Bild von 20000 x 20000 Bildpunkten enthalten" },
        BombRow { "full_progressive_colour_size1", FullProgressiveColour, 1, ColourBuffer,
            ColourBufferGerman },
        BombRow { "full_progressive_colour_size8", FullProgressiveColour, 8, ColourBuffer,
            ColourBufferGerman },
        BombRow { "full_progressive_grey_size8", { 65500, 65500, 1, true, false, 300'000, 0 }, 8,
            "needs 8581 MB of memory", "braucht zum Entpacken in jeder Größe 8581 MB Speicher" },
        // 2500 x 2500 luminance blocks and twice 1250 x 1250: 9,375,000 blocks.
        BombRow { "full_progressive_subsampled_20000_size2",
            { 20000, 20000, 3, true, true, 100'000, 0 }, 2,
            "(20000 x 20000 pixels, stored in several scans) needs 1200 MB",
            "(20000 x 20000 Bildpunkte, in mehreren Durchgängen gespeichert) braucht zum "
            "Entpacken in jeder Größe 1200 MB" },
        // 1000 x 1000 blocks of 128 MB are allowed; zeros decode without a
        // warning, and the AC scans are missing.
        BombRow { "progressive_grey_8000_first_scan_size2", { 8000, 8000, 1, true, false, 5000, 0 },
            2, "some of its scans are missing", "von seinen Durchgängen fehlen welche" },
        // 5000 + 96 + 63 x 14 bytes: a million blocks in each scan, the second
        // one beyond 256 per byte.
        BombRow { "progressive_grey_8000_64_scans_size2",
            { 8000, 8000, 1, true, false, 5000, 0, 63 }, 2,
            "its 5978 bytes cannot hold a picture of 8000 x 8000 pixels",
            "seine 5978 Bytes können kein Bild von 8000 x 8000 Bildpunkten enthalten" },
        // The same with 62 AC scans, too few to complete the coefficients: a
        // decoder that read all of them (62 million blocks) before giving up
        // would be refused too, but after the work.
        BombRow { "progressive_grey_8000_62_scans_size2",
            { 8000, 8000, 1, true, false, 5000, 0, 62 }, 2,
            "its 5964 bytes cannot hold a picture of 8000 x 8000 pixels",
            "seine 5964 Bytes können kein Bild von 8000 x 8000 Bildpunkten enthalten" },
    };
    // And these three at every size.
    for (const auto& [name, shape, english, german] :
        { std::tuple { "progressive_colour", ProgressiveColour, Colour110, Colour110German },
            { "progressive_grey", ProgressiveGrey, Grey100, Grey100German },
            { "sequential_colour", SequentialColour, Colour110, Colour110German } })
        for (const int scale : { 1, 2, 4, 8 })
            rows.push_back({ std::string(name) + "_size" + std::to_string(scale), shape, scale,
                english, german });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Photograph, JpegBombs, testing::ValuesIn(Bombs()), RowName());

// The assisted fit's grey plane, always at full size: the same bomb is
// refused for the same reason, in the same words, after as little work.
TEST_P(JpegBombs, TheGreyPlaneIsRefusedByTheSameLimits)
{
    const BombRow& row = GetParam();
    const std::string path = TempPath(std::string("plane_") + row.name + ".jpg");
    const std::vector<char> bomb = ArithmeticBomb(row.shape);
    WriteBytes(path, bomb);
    GreyPlane::Plane plane;
    for (const int language : { 2, 1 }) {
        Settings::Language = language;
        const auto error
            = Refusal<GreyPlane::PlaneError>([&] { GreyPlane::DecodeJpegFile(path, plane); });
        if (error) {
            const std::string message = Photograph::JpegFailureText(error->Refused, path, false);
            EXPECT_NE(message.find(Said(row, language)), std::string::npos) << message;
            EXPECT_LE(error->Refused.Done.BlocksRead, std::int64_t(bomb.size()) * 256);
        }
        EXPECT_EQ(plane.Width * plane.Height, 0);
        EXPECT_LT(PeakKilobytes(), 1'000'000) << "peak of the whole test program";
    }
    std::remove(path.c_str());
}

// 10240 x 10240 pixels (104,857,600) in one scan of 1280 x 1280 blocks, which
// its 7096 bytes may hold (1,816,576 at 256 per byte): the display refuses
// it at full size by its pixel count, and the grey plane by the same, with
// no reduction to offer.
TEST_F(PhotographTest, TheGreyPlaneKeepsToTheDisplaysPixelCount)
{
    const std::string path = TempPath("many_pixels.jpg");
    const std::vector<char> bomb = ArithmeticBomb({ 10240, 10240, 1, false, false, 7000 });
    ASSERT_EQ(bomb.size(), 7096u);
    WriteBytes(path, bomb);
    const std::string tooLarge
        = "is too large to hold at size 1: 10240 x 10240 pixels (at most 100 million).";
    try {
        Photograph::DecodeJpegFile(path, 1, Photograph::PhotoJpeg);
        ADD_FAILURE() << "no error";
    } catch (const Photograph::JpegError& error) {
        EXPECT_NE(std::string(error.what())
                      .find(tooLarge
                          + " Please choose a larger reduction: "
                            "size 2, 4 or 8."),
            std::string::npos)
            << error.what();
    }
    GreyPlane::Plane plane;
    try {
        GreyPlane::DecodeJpegFile(path, plane);
        ADD_FAILURE() << "no error";
    } catch (const GreyPlane::PlaneError& error) {
        EXPECT_EQ(error.Refused.Why, JpegGuard::Failure::TooManyPixels);
        const std::string message = Photograph::JpegFailureText(error.Refused, path, false);
        EXPECT_NE(message.find(tooLarge), std::string::npos) << message;
        EXPECT_EQ(message.find("reduction"), std::string::npos) << message;
    }
    EXPECT_EQ(plane.Samples.capacity(), 0u) << "refused before allocating";
    std::remove(path.c_str());
}

// 100 million pixels at the scale asked for are allowed, one row more is not:
// 10000 x 10000 at size 1 and 20000 x 20000 at size 2 pass the limits,
// 10000 x 10001 and 20000 x 20002 do not. Only the headers are read.
TEST_F(PhotographTest, TheLargestPixelCountIsAllowedAndOneRowMoreIsNot)
{
    struct Case {
        int Width, Height, Scale, DataBytes;
        bool Allowed;
    };
    // A byte may stand for 256 blocks: 1250 x 1251 and 2500 x 2501 need 6109
    // and 24424 bytes.
    for (const Case& c :
        { Case { 10000, 10000, 1, 7000, true }, Case { 10000, 10001, 1, 7000, false },
            Case { 20000, 20000, 2, 25000, true }, Case { 20000, 20002, 2, 25000, false } }) {
        SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
        const std::string path = TempPath("largest.jpg");
        WriteBytes(path, ArithmeticBomb({ c.Width, c.Height, 1, false, false, c.DataBytes }));
        JpegGuard::Decoder decoder;
        ASSERT_TRUE(decoder.Open(path));
        ASSERT_TRUE(decoder.ReadHeader(c.Scale, JpegGuard::Layout::Packed));
        EXPECT_EQ(decoder.Width(), c.Width / c.Scale);
        EXPECT_EQ(decoder.CheckLimits(), c.Allowed);
        EXPECT_EQ(decoder.Refused().Why,
            c.Allowed ? JpegGuard::Failure::None : JpegGuard::Failure::TooManyPixels);
        std::remove(path.c_str());
    }
}

// Black sky below the Sun: its encoder drops the zero bytes at the end, so
// the data ends early rightly.
std::uint32_t BlackBelow(int x, int y)
{
    return y >= 320 ? 0 : Textured(x, y);
}

TEST_F(PhotographTest, ArithmeticCodedPhotographsDecodeAtEveryScale)
{
    for (const int kind : { 0, 1, 2 }) {
        const bool progressive = kind == 1;
        const auto pattern = kind == 2 ? BlackBelow : Textured;
        const std::string path = TempPath("arithmetic.jpg");
        WriteArithmeticJpeg(path, 640, 480, progressive, pattern);
        Bitmap::Picture picture;
        for (const int scale : { 1, 2, 4, 8 }) {
            SCOPED_TRACE("scale " + std::to_string(scale) + " kind " + std::to_string(kind));
            Photograph::DecodeJpegFile(path, scale, picture);
            ASSERT_EQ(picture.Width, 640 / scale);
            ASSERT_EQ(picture.Height, 480 / scale);
            // The centre of the last patch row: the data reached the end.
            for (const int y : { 288, 416 }) {
                const int x = 608;
                EXPECT_LE(ColourDistance(
                              picture.Pixels[std::size_t(y / scale * picture.Width + x / scale)],
                              pattern(x, y)),
                    16);
            }
        }
        std::remove(path.c_str());
    }
}

// [SECTION] BMP and redraw

std::uint32_t Stripes(int x, int y)
{
    return PatchColours[(x / 3 + y / 2) % 8] | 0xff000000;
}
std::uint32_t GreyStripes(int x, int y)
{
    return std::uint32_t(x * 7 + y * 11) % 256 * 0x010101 | 0xff000000;
}

struct BitmapRow {
    const char* name;
    int bits;
    bool topDown;
    std::uint32_t (*pattern)(int, int);
};

class BitmapKinds : public PhotographTest, public testing::WithParamInterface<BitmapRow> { };

TEST_P(BitmapKinds, DrawPixelForPixelWhateverTheJpegScale)
{
    const BitmapRow& row = GetParam();
    const std::string path = TempPath(std::string(row.name) + ".bmp");
    WriteBitmap(path, row.bits, row.topDown, 37, 23, row.pattern);
    Settings::IsJpeg = false;
    Settings::JpegScale = 4;
    Photograph::ShowPhotograph(path, 100, 200);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(CanvasPixel(100 + x, 200 + y), row.pattern(x, y)) << x << ", " << y;
    EXPECT_EQ(CanvasPixel(99, 200), Marker);
    EXPECT_EQ(CanvasPixel(137, 222), Marker);
    EXPECT_EQ(CanvasPixel(136, 223), Marker);
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Photograph, BitmapKinds,
    testing::Values(BitmapRow { "rgb24", 24, false, Stripes },
        BitmapRow { "rgb24_top_down", 24, true, Stripes },
        BitmapRow { "rgb32", 32, false, Stripes }, BitmapRow { "grey8", 8, false, GreyStripes }),
    RowName());

TEST_F(PhotographTest, BitmapErrorsThrowInTheLanguage)
{
    Settings::IsJpeg = false;
    const std::string good = TempPath("good.bmp");
    const std::string text = TempPath("text.bmp");
    const std::string cut = TempPath("cut.bmp");
    const std::string headless = TempPath("headless.bmp");
    const std::string fifo = TempPath("fifo.bmp");
    WriteBitmap(good, 24, false, 37, 23, Stripes);
    WriteBytes(text, { 'n', 'o', ' ', 'B', 'M', 'P' });
    std::vector<char> bytes = ReadBytes(good);
    WriteBytes(cut, { bytes.begin(), bytes.begin() + 1000 });
    WriteBytes(headless, { bytes.begin(), bytes.begin() + 30 });
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        int language;
        const char* fragment;
    } cases[] = {
        { TempPath("missing.bmp"), 2, "does not exist" },
        { TempPath("missing.bmp"), 1, "gibt es nicht" },
        { text, 2, "is not a readable BMP picture" },
        { text, 1, "ist keine lesbare BMP-Datei (keine BMP-Datei)." },
        // 54 bytes of headers and 23 rows of 112 bytes.
        { cut, 2, "is not a readable BMP picture (the file is cut short: 1000 bytes of 2630)." },
        { cut, 1,
            "ist keine lesbare BMP-Datei (die Datei ist abgeschnitten: 1000 Bytes von 2630)." },
        { headless, 1, "ist keine lesbare BMP-Datei (die Datei endet in ihrem Kopf)." },
        { fifo, 2, "is not a regular file" }, { fifo, 1, "ist keine gewöhnliche Datei" },
        { testing::TempDir(), 1, "ist keine gewöhnliche Datei" }, // a folder
    };
    for (const auto& failing : cases) {
        Settings::Language = failing.language;
        Photograph::ShowPhotograph(good, 0, 0);
        FillCanvas(Marker);
        try {
            Photograph::ShowPhotograph(failing.path, 0, 0);
            ADD_FAILURE() << "no error for " << failing.path;
        } catch (const std::runtime_error& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(failing.path), std::string::npos) << message;
            EXPECT_NE(message.find(failing.fragment), std::string::npos) << message;
        }
        Photograph::RedrawPhotograph();
        EXPECT_TRUE(CanvasIsMarker()) << failing.path;
    }
    for (const std::string& path : { good, text, cut, headless, fifo })
        std::remove(path.c_str());
}

TEST_F(PhotographTest, RedrawComesFromMemoryAtThePictureSettingsClipped)
{
    const std::string path = TempPath("redraw.bmp");
    WriteBitmap(path, 24, false, 37, 23, Stripes);
    Settings::IsJpeg = false;
    Photograph::ShowPhotograph(path, 0, 0);
    std::remove(path.c_str());

    const struct {
        int x, y; // PictureX, PictureY
        int canvasX, canvasY, pictureX, pictureY; // a pixel that must show
    } placed[] = {
        { 300, 400, 300, 400, 0, 0 },
        { 300, 400, 336, 422, 36, 22 },
        { -20, -10, 0, 0, 20, 10 },
        { 1590, 995, 1599, 999, 9, 4 },
    };
    for (const auto& place : placed) {
        FillCanvas(Marker);
        Settings::PictureX = place.x;
        Settings::PictureY = place.y;
        Photograph::RedrawPhotograph();
        EXPECT_EQ(
            CanvasPixel(place.canvasX, place.canvasY), Stripes(place.pictureX, place.pictureY))
            << place.x << ", " << place.y;
    }
    for (const auto& [x, y] :
        { std::pair { 1600, 0 }, std::pair { 0, 1000 }, std::pair { -37, 0 }, std::pair { 0, -23 },
            std::pair { INT_MAX, INT_MAX }, std::pair { INT_MIN, INT_MIN } }) {
        FillCanvas(Marker);
        Settings::PictureX = x;
        Settings::PictureY = y;
        Photograph::RedrawPhotograph();
        EXPECT_TRUE(CanvasIsMarker()) << x << ", " << y;
    }
}

TEST_F(PhotographTest, RedrawDrawsTheKindTheNameChose)
{
    const std::string jpeg = TempPath("kind.jpg");
    const std::string bitmap = TempPath("kind.bmp");
    WriteJpeg(jpeg, JpegKind::Baseline, 128, 128, Patches);
    WriteBitmap(bitmap, 24, false, 37, 23, Stripes);
    Photograph::ShowJpegPhotograph(jpeg, 0, 0);
    Photograph::ShowBitmapPhotograph(bitmap, 0, 0);
    Settings::PictureX = 500;
    for (const bool isJpeg : { true, false }) {
        FillCanvas(Marker);
        Settings::IsJpeg = isJpeg;
        Photograph::RedrawPhotograph();
        EXPECT_EQ(CanvasPixel(540, 0) == Marker, !isJpeg) << "only the JPEG is 128 wide";
    }
    std::remove(jpeg.c_str());
    std::remove(bitmap.c_str());
}

TEST(PhotographName, JpegWhereUpperCaseNameHoldsDotJpgOrDotJpeg)
{
    for (const char* name : { "SUN.JPG", "sun.jpeg", "x.Jpg.bmp", "sun.jpeg.bmp", ".jpg" })
        EXPECT_TRUE(Photograph::IsJpegName(name)) << name;
    for (const char* name : { "sun.jpe", "sun.bmp", "sunjpg", "", "sun.jp g" })
        EXPECT_FALSE(Photograph::IsJpegName(name)) << name;
}

} // namespace
} // namespace HelidorTesting
