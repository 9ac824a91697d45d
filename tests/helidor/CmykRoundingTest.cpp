// SPDX-License-Identifier: GPL-3.0-or-later
// A CMYK JPEG's colours as shown: each channel (255 - ink) x (255 - black) /
// 255 rounded to the nearest. 255 being odd, no product ends exactly in .5;
// the samples closest to half on either side tell rounding from truncation
// and from a rounding offset one off.
#include "Photograph.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

using Cmyk = std::array<unsigned char, 4>;

// A CMYK JPEG of 8 x 8 blocks side by side, each of one colour, at quality
// 100: a block of one value comes back exactly. libjpeg adds Adobe's marker,
// whose bytes are stored inverted (255: no ink).
void WriteCmykBlocks(const std::string& path, const std::vector<Cmyk>& blocks)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(8 * blocks.size());
    info.image_height = 8;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row;
    for (const Cmyk& block : blocks)
        for (int x = 0; x < 8; ++x)
            row.insert(row.end(), block.begin(), block.end());
    for (int y = 0; y < 8; ++y) {
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

TEST(CmykRounding, ProductsJustAboveHalfRoundUpJustBelowDown)
{
    Settings::Language = 2;
    const std::string path = (std::filesystem::temp_directory_path()
        / ("helidor-cmyk-" + std::to_string(::getpid()) + ".jpg"))
                                 .string();
    // C M Y K as stored, and the R G B shown:
    // 127 x 254 / 255 = 126.502 -> 127, 128 x 254 / 255 = 127.498 -> 127,
    // 255 x 254 / 255 = 254; 192 x 2 / 255 = 1.506 -> 2, 191 x 2 / 255 =
    // 1.498 -> 1, 0.
    WriteCmykBlocks(path, { { 127, 128, 255, 254 }, { 192, 191, 0, 2 } });
    Bitmap::Picture picture;
    Photograph::DecodeJpegFile(path, 1, picture);
    std::filesystem::remove(path);
    ASSERT_EQ(picture.Width, 16);
    ASSERT_EQ(picture.Height, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(picture.Pixels[static_cast<std::size_t>(y * 16 + x)],
                x < 8 ? 0xff7f7ffeu : 0xff020100u)
                << x << "," << y;
    Settings::Language = 0;
}

} // namespace
