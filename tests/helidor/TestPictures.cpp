// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPictures.h"

#include <QCoreApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <jpeglib.h>

namespace HelidorTesting {

namespace {

// CMYK of an RGB colour whose product (1 - c)(1 - k) gives the colour back.
void ToCmyk(std::uint32_t rgb, unsigned char* cmyk)
{
    const int channel[3] = { int(rgb >> 16 & 0xff), int(rgb >> 8 & 0xff), int(rgb & 0xff) };
    const int top = *std::max_element(channel, channel + 3);
    for (int i = 0; i < 3; ++i)
        cmyk[i] = static_cast<unsigned char>(top == 0 ? 0 : (top - channel[i]) * 255 / top);
    cmyk[3] = static_cast<unsigned char>(255 - top);
}

void PutLittleEndian(std::vector<char>& bytes, std::uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i) & 0xff));
}

} // namespace

void WriteJpeg(const std::string& path, JpegKind kind, int width, int height,
    const Pattern& pattern, int quality)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    const bool cmyk
        = kind == JpegKind::Cmyk || kind == JpegKind::AdobeCmyk || kind == JpegKind::AdobeYcck;
    const bool inverted = kind == JpegKind::AdobeCmyk || kind == JpegKind::AdobeYcck;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = kind == JpegKind::Grey ? 1 : cmyk ? 4 : 3;
    info.in_color_space = kind == JpegKind::Grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (kind == JpegKind::Arithmetic || kind == JpegKind::ArithmeticProgressive)
        info.arith_code = TRUE;
    if (kind == JpegKind::Progressive || kind == JpegKind::ArithmeticProgressive)
        jpeg_simple_progression(&info);
    if (kind == JpegKind::Baseline444)
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    if (kind == JpegKind::AdobeYcck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    info.write_Adobe_marker = inverted ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = pattern(x, y);
            unsigned char* p = row.data() + static_cast<std::size_t>(x) * info.input_components;
            if (kind == JpegKind::Grey) {
                p[0] = static_cast<unsigned char>(rgb >> 8 & 0xff);
            } else if (cmyk) {
                ToCmyk(rgb, p);
                for (int i = 0; inverted && i < 4; ++i)
                    p[i] = static_cast<unsigned char>(255 - p[i]);
            } else {
                p[0] = static_cast<unsigned char>(rgb >> 16 & 0xff);
                p[1] = static_cast<unsigned char>(rgb >> 8 & 0xff);
                p[2] = static_cast<unsigned char>(rgb & 0xff);
            }
        }
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

void WriteBitmap(
    const std::string& path, int bits, bool topDown, int width, int height, const Pattern& pattern)
{
    const std::uint32_t paletteBytes = bits == 8 ? 1024 : 0;
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width * bits) + 31) / 32 * 4;
    const std::uint32_t offset = 54 + paletteBytes;
    std::vector<char> bytes { 'B', 'M' };
    for (const std::uint32_t field : { offset + rowBytes * std::uint32_t(height), 0u, offset, 40u,
             std::uint32_t(width), std::uint32_t(topDown ? -height : height) })
        PutLittleEndian(bytes, field, 4);
    PutLittleEndian(bytes, 1, 2);
    PutLittleEndian(bytes, static_cast<std::uint32_t>(bits), 2);
    for (int i = 0; i < 6; ++i)
        PutLittleEndian(bytes, 0, 4);
    for (std::uint32_t grey = 0; grey < paletteBytes / 4; ++grey)
        PutLittleEndian(bytes, grey * 0x010101, 4);
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        std::vector<char> line(rowBytes);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t colour = pattern(x, y);
            for (int byte = 0; byte < bits / 8 && byte < 3; ++byte)
                line[std::size_t(x * bits / 8 + byte)] = char(colour >> (bits == 8 ? 8 : 8 * byte));
        }
        bytes.insert(bytes.end(), line.begin(), line.end());
    }
    WriteBytes(path, bytes);
}

std::vector<char> ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::map<std::string, TrueCircle> ReadTruth(const std::string& truthFile)
{
    std::map<std::string, TrueCircle> circles;
    std::ifstream file(truthFile);
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name;
        TrueCircle circle;
        fields >> name >> circle.X >> circle.Y >> circle.Radius;
        EXPECT_TRUE(fields) << line;
        circles[name] = circle;
    }
    return circles;
}

std::uint32_t CanvasPixel(int x, int y)
{
    return FensterGraf::Canvas().pixel(x, y);
}

void FillCanvas(std::uint32_t colour)
{
    FensterGraf::Canvas().fill(colour);
}

int ColourDistance(std::uint32_t a, std::uint32_t b)
{
    int largest = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        largest = std::max(largest, std::abs(int(a >> shift & 0xff) - int(b >> shift & 0xff)));
    return largest;
}

} // namespace HelidorTesting
