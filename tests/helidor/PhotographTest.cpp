// The photograph display on the real console canvas: JPEGs of every kind at
// every scale, BMPs, the redraw from memory with clipping, and the errors.
#include "Photograph.h"
#include "Settings.h"
#include "TestPictures.h"
#include "Texts.h"

#include <QImage>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <stdexcept>

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
    FensterGraf::Picture picture;
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

// 60000 x 60000 pixels in the header of a small picture.
void WriteHuge(const std::string& path)
{
    WriteGood(path);
    std::vector<char> bytes = ReadBytes(path);
    const std::size_t sof = FrameHeader(bytes);
    for (const std::size_t at : { sof + 5, sof + 7 }) {
        bytes[at] = char(60000 >> 8);
        bytes[at + 1] = char(60000 & 0xff);
    }
    WriteBytes(path, bytes);
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
        try {
            Photograph::ShowPhotograph(path, 0, 0);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(language == 1 ? row.german : row.english), std::string::npos)
                << message;
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
    WriteBitmap(good, 24, false, 37, 23, Stripes);
    WriteBytes(text, { 'n', 'o', ' ', 'B', 'M', 'P' });
    const struct {
        std::string path;
        int language;
        const char* fragment;
    } cases[] = {
        { TempPath("missing.bmp"), 2, "does not exist" },
        { TempPath("missing.bmp"), 1, "gibt es nicht" },
        { text, 2, "is not a readable BMP picture" },
        { text, 1, "ist keine lesbare BMP-Datei" },
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
    std::remove(good.c_str());
    std::remove(text.c_str());
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
