// SPDX-License-Identifier: GPL-3.0-or-later
// Reading BMP files written here field by field: every bit depth and header,
// both row orders, and files that are cut short, lie or are no picture.
#include "TestSupport.h"

#include "FensterGraf.h"

#include <cstdint>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bitmap::Picture;

std::string Le(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xff);
    return out;
}

struct Header {
    std::uint32_t infoSize = 40; // 12 is the old core header
    int width = 0, height = 0;
    bool topDown = false;
    int bits = 24;
    std::uint32_t compression = 0; // 3: colour masks
    std::vector<std::uint32_t> table = {}; // 0xRRGGBB; colorsUsed when not full
    std::vector<std::uint32_t> masks = {};
};

// The file's bytes; rows are given top row first, unpadded.
std::string Bmp(const Header& h, const std::vector<std::string>& rows)
{
    const bool core = h.infoSize == 12;
    std::string info = Le(h.infoSize, 4);
    if (core) {
        info += Le(h.width, 2) + Le(h.height, 2) + Le(1, 2) + Le(h.bits, 2);
    } else {
        const bool fullTable = h.bits <= 8 && h.table.size() == (1u << h.bits);
        info += Le(h.width, 4) + Le(h.topDown ? -h.height : h.height, 4) + Le(1, 2) + Le(h.bits, 2)
            + Le(h.compression, 4) + Le(0, 4) + Le(3780, 4) + Le(3780, 4)
            + Le(fullTable ? 0 : h.table.size(), 4) + Le(0, 4);
        for (const std::uint32_t mask : h.masks)
            info += Le(mask, 4);
        if (h.infoSize > 40)
            info.resize(h.infoSize, '\0');
    }
    for (const std::uint32_t colour : h.table)
        info += Le(colour, core ? 3 : 4); // blue, green, red (, 0)
    std::string pixels;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string row = rows[h.topDown ? i : rows.size() - 1 - i];
        row.resize((row.size() + 3) / 4 * 4, '\0');
        pixels += row;
    }
    const std::size_t offset = 14 + info.size();
    return "BM" + Le(offset + pixels.size(), 4) + Le(0, 4) + Le(offset, 4) + info + pixels;
}

std::string Patched(std::string bytes, std::size_t at, std::uint32_t value)
{
    return bytes.replace(at, 4, Le(value, 4));
}

std::string WriteFile(const std::string& bytes)
{
    const std::string path = ConsoleTesting::TempPath("bitmap.bmp");
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// [SECTION] Formats
// Pixel (x, y) holds the file value v(x, y); the reader must give colour(v).

struct Format {
    const char* name;
    std::uint32_t infoSize;
    int bits, width, colours; // colours > 0: a table of that many entries
    std::vector<std::uint32_t> masks = {};
};

std::uint32_t TableColour(std::uint32_t i)
{
    return (i * 13 & 0xff) << 16 | ((255 - i * 7) & 0xff) << 8 | (i * 29 & 0xff);
}

std::uint32_t Value(const Format& f, int x, int y)
{
    if (f.colours > 0)
        return static_cast<std::uint32_t>(x + 3 * y) % static_cast<std::uint32_t>(f.colours);
    if (f.bits == 16) // 5-6-5: channels either off or full
        return (x % 2 ? 0xf800u : 0) | (y % 2 ? 0x07e0u : 0) | ((x + y) % 3 ? 0 : 0x1fu);
    return static_cast<std::uint32_t>(0x5a000000 | (40 * x + 7) << 16 | (60 * y + 3) << 8 | x * y);
}

std::uint32_t Colour(const Format& f, std::uint32_t v)
{
    if (f.colours > 0)
        return 0xff000000 | TableColour(v);
    if (f.bits == 16)
        return 0xff000000 | (v & 0xf800 ? 0xff0000 : 0) | (v & 0x07e0 ? 0xff00 : 0)
            | (v & 0x1f ? 0xff : 0);
    if (!f.masks.empty() && f.masks[0] == 0xff000000u) // red in the top byte
        return 0xff000000 | v >> 8;
    return 0xff000000 | (v & 0xffffff);
}

void PrintTo(const Format& f, std::ostream* out)
{
    *out << f.name;
}

class BitmapFormat : public testing::TestWithParam<std::tuple<Format, bool>> { };

TEST_P(BitmapFormat, ReadsTheTopRowFirst)
{
    const auto& [f, topDown] = GetParam();
    constexpr int Height = 3;
    Header header { .infoSize = f.infoSize,
        .width = f.width,
        .height = Height,
        .topDown = topDown,
        .bits = f.bits,
        .compression = f.masks.empty() ? 0u : 3u,
        .masks = f.masks };
    for (int i = 0; i < f.colours; ++i)
        header.table.push_back(TableColour(static_cast<std::uint32_t>(i)));
    std::vector<std::string> rows;
    Bitmap::PixelBuffer expected;
    for (int y = 0; y < Height; ++y) {
        std::string& row = rows.emplace_back();
        std::uint32_t packed = 0;
        for (int x = 0; x < f.width; ++x) {
            const std::uint32_t v = Value(f, x, y);
            expected.push_back(Colour(f, v));
            if (f.bits >= 8) {
                row += Le(v, f.bits / 8);
                continue;
            }
            packed |= v << (8 - f.bits * (x % (8 / f.bits) + 1)); // leftmost in the high bits
            if (x % (8 / f.bits) == 8 / f.bits - 1 || x == f.width - 1) {
                row += static_cast<char>(packed);
                packed = 0;
            }
        }
    }
    Picture picture;
    Bitmap::ReadBitmapFile(WriteFile(Bmp(header, rows)), picture);
    EXPECT_EQ(picture.Width, f.width);
    EXPECT_EQ(picture.Height, Height);
    EXPECT_EQ(picture.Pixels, expected);
}

// Both row orders; the core header knows bottom-up rows only.
std::vector<std::tuple<Format, bool>> Formats()
{
    const std::vector<Format> formats { { "OneBit", 40, 1, 11, 2 },
        { "FourBitFiveColours", 40, 4, 5, 5 }, { "EightBitFull", 40, 8, 3, 256 },
        { "EightBitTwentyColoursV4", 108, 8, 6, 20 }, { "EightBitCore", 12, 8, 5, 256 },
        { "SixteenBit565", 56, 16, 3, 0, { 0xf800, 0x07e0, 0x001f } },
        { "TwentyFourBit", 40, 24, 5, 0 }, { "TwentyFourBitCore", 12, 24, 2, 0 },
        { "ThirtyTwoBit", 40, 32, 3, 0 },
        { "ThirtyTwoBitMasks", 40, 32, 2, 0, { 0xff0000, 0xff00, 0xff } },
        { "ThirtyTwoBitRedFirstV5", 124, 32, 3, 0, { 0xff000000u, 0xff0000, 0xff00 } } };
    std::vector<std::tuple<Format, bool>> rows;
    for (const Format& f : formats) {
        rows.emplace_back(f, false);
        if (f.infoSize != 12)
            rows.emplace_back(f, true);
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, BitmapFormat, testing::ValuesIn(Formats()), [](const auto& row) {
    return std::string(std::get<0>(row.param).name)
        + (std::get<1>(row.param) ? "TopDown" : "BottomUp");
});

// [SECTION] Refused files

// 200 x 100 pixels of 24 bits, 600 bytes a row.
std::string Truecolour()
{
    return Bmp(
        { .width = 200, .height = 100 }, std::vector<std::string>(100, std::string(600, '\x40')));
}

struct BadFile {
    const char* name;
    std::string bytes;
};

void PrintTo(const BadFile& f, std::ostream* out)
{
    *out << f.name;
}

class RefusedBitmap : public testing::TestWithParam<BadFile> { };

TEST_P(RefusedBitmap, ThrowsNamingTheFileAndLeavesThePictureEmpty)
{
    const std::string path = WriteFile(GetParam().bytes);
    Picture picture { 2, 1, { 1, 2 } };
    try {
        Bitmap::ReadBitmapFile(path, picture);
        ADD_FAILURE() << "read as " << picture.Width << " x " << picture.Height << " pixels";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
    EXPECT_EQ(picture.Width, 0);
    EXPECT_EQ(picture.Height, 0);
    EXPECT_TRUE(picture.Pixels.empty());
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, RefusedBitmap,
    testing::Values(BadFile { "NoPicture", "Dies ist kein Bild.\n" },
        BadFile { "CutAfterTheHeader", Truecolour().substr(0, 54) },
        BadFile { "CutAfterTenRows", Truecolour().substr(0, 54 + 10 * 600) },
        BadFile { "CutByOneByte", Truecolour().substr(0, 54 + 100 * 600 - 1) },
        BadFile { "LyingWidth", Patched(Truecolour(), 18, 100000) },
        BadFile { "BeyondTheBound", Patched(Patched(Truecolour(), 18, 1 << 20), 22, 1 << 20) },
        BadFile { "IndexBeyondTheTable",
            Bmp({ .width = 3, .height = 1, .bits = 8, .table = { 0xff, 0xff00, 0xff0000, 0 } },
                { "\x01\x04\x02" }) },
        BadFile { "UnknownHeaderSize", Patched(Truecolour(), 14, 64) },
        BadFile { "RunLengthCompressed", Patched(Truecolour(), 30, 1) },
        BadFile { "ZeroWidth", Patched(Truecolour(), 18, 0) },
        BadFile { "PixelsInsideTheHeader", Patched(Truecolour(), 10, 20) }),
    ConsoleTesting::RowName());

TEST(ReadBitmap, ReusesThePicturesBuffer)
{
    Picture picture;
    Bitmap::ReadBitmapFile(WriteFile(Truecolour()), picture);
    ASSERT_EQ(picture.Pixels.size(), 20000u);
    const std::uint32_t* buffer = picture.Pixels.data();
    Bitmap::ReadBitmapFile(
        WriteFile(Bmp({ .width = 2, .height = 1 }, { "\x01\x02\x03\x04\x05\x06" })), picture);
    EXPECT_EQ(picture.Pixels, (Bitmap::PixelBuffer { 0xff030201, 0xff060504 }));
    EXPECT_EQ(picture.Pixels.data(), buffer);
}

} // namespace
