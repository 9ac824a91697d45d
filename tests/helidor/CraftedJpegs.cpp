// SPDX-License-Identifier: GPL-3.0-or-later
#include "CraftedJpegs.h"

#include "TestPictures.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>

namespace HelidorTesting {

namespace {

void PutMarker(std::vector<char>& bytes, int marker, int length)
{
    for (const int byte : { 0xff, marker, length >> 8, length & 0xff })
        bytes.push_back(static_cast<char>(byte));
}

void Put16(std::vector<char>& bytes, int value)
{
    bytes.push_back(static_cast<char>(value >> 8));
    bytes.push_back(static_cast<char>(value & 0xff));
}

// Offset of the n-th (0-based) start-of-scan marker, or the size.
std::size_t ScanHeader(const std::vector<char>& jpeg, int n)
{
    for (std::size_t i = 2; i + 3 < jpeg.size(); ++i)
        if (jpeg[i] == char(0xff) && jpeg[i + 1] == char(0xda) && n-- == 0)
            return i;
    return jpeg.size();
}

std::vector<char> EndAt(const std::vector<char>& jpeg, std::size_t size)
{
    std::vector<char> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(size));
    cut.push_back(char(0xff));
    cut.push_back(char(0xd9));
    return cut;
}

} // namespace

std::vector<char> ArithmeticBomb(const BombShape& shape)
{
    std::vector<char> bytes { char(0xff), char(0xd8) };
    PutMarker(bytes, 0xdb, 67); // one quantisation table of ones
    bytes.push_back(0);
    bytes.insert(bytes.end(), 64, 1);
    PutMarker(bytes, shape.Progressive ? 0xca : 0xc9, 8 + 3 * shape.Components);
    bytes.push_back(8);
    Put16(bytes, shape.Height);
    Put16(bytes, shape.Width);
    bytes.push_back(static_cast<char>(shape.Components));
    for (int c = 1; c <= shape.Components; ++c) {
        bytes.push_back(static_cast<char>(c));
        bytes.push_back(static_cast<char>(c == 1 && shape.Subsampled ? 0x22 : 0x11));
        bytes.push_back(0);
    }
    PutMarker(bytes, 0xda, 6 + 2 * shape.Components);
    bytes.push_back(static_cast<char>(shape.Components));
    for (int c = 1; c <= shape.Components; ++c) {
        bytes.push_back(static_cast<char>(c));
        bytes.push_back(0); // conditioning tables 0
    }
    for (const int byte : { 0, shape.Progressive ? 0 : 63, 0 }) // Ss, Se, Ah/Al
        bytes.push_back(static_cast<char>(byte));
    for (int i = 0; i < shape.DataBytes; ++i)
        bytes.push_back(static_cast<char>(shape.Filler < 0 ? 0x5a + i % 0x80 : shape.Filler));
    for (int k = 1; k <= shape.AcScans; ++k) {
        PutMarker(bytes, 0xda, 8);
        for (const int byte : { 1, 1, 0, k, k, 0, 0, 0, 0, 0 }) // component 1, band k to k
            bytes.push_back(static_cast<char>(byte));
    }
    bytes.push_back(char(0xff));
    bytes.push_back(char(0xd9));
    return bytes;
}

void WriteArithmeticJpeg(const std::string& path, int width, int height, bool progressive,
    const std::function<std::uint32_t(int x, int y)>& pattern)
{
    WriteJpeg(path, progressive ? JpegKind::ArithmeticProgressive : JpegKind::Arithmetic, width,
        height, pattern);
}

std::vector<char> CutFirstScan(const std::vector<char>& jpeg, double fraction)
{
    const std::size_t header = ScanHeader(jpeg, 0);
    EXPECT_LT(header, jpeg.size()) << "no scan";
    const auto byte
        = [&](std::size_t at) { return static_cast<std::size_t>(std::uint8_t(jpeg[at])); };
    const std::size_t data = header + 2 + (byte(header + 2) << 8) + byte(header + 3);
    const std::size_t next = ScanHeader(jpeg, 1); // or the size
    const std::size_t end = next < jpeg.size() ? next : jpeg.size() - 2;
    return EndAt(jpeg, data + static_cast<std::size_t>(double(end - data) * fraction));
}

std::vector<char> OnlyFirstScan(const std::vector<char>& jpeg)
{
    const std::size_t second = ScanHeader(jpeg, 1);
    EXPECT_LT(second, jpeg.size()) << "a single scan";
    return EndAt(jpeg, second);
}

} // namespace HelidorTesting
