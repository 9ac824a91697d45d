// SPDX-License-Identifier: GPL-3.0-or-later
// The photograph of a measurement: read and decoded once by ShowPhotograph,
// kept in memory and redrawn from there after every key. JPEG files are
// decoded at full, half, quarter or eighth size; everything else is read as
// a BMP.
#pragma once

#include "FensterGraf.h"

#include <cstdint>
#include <string>

namespace Photograph {

// [SECTION] State
// The kept pictures, in the canvas's format. Each buffer is reused for the
// next picture. After a failed load the picture is empty (0 x 0), so that
// RedrawPhotograph draws nothing rather than the previous photograph.
inline Bitmap::Picture PhotoJpeg;
inline Bitmap::Picture PhotoBitmap;
inline int DecodingScale = 1; // 1, 2, 4 or 8: that of the last JPEG loaded

// A JPEG picture larger than this at its decoding scale is refused with a
// message that names its size: 100 million pixels are 400 MB in memory.
inline constexpr std::int64_t MaxPicturePixels = 100'000'000;
// libjpeg's own memory, above all the full-size coefficients of a file of
// several scans (progressive ones), whatever the scale: with the picture's
// 400 MB it stays below 1 GB.
inline constexpr long MaxDecoderMemory = 500'000'000;
// A file may make libjpeg decode this many blocks of 8 x 8 pixels (summed
// over its scans) for each of its bytes: a photograph needs far fewer, while
// a bomb of a hundred bytes claims billions of blocks and seconds of work.
inline constexpr std::int64_t MaxBlocksPerByte = 256;

// Empty pictures and full size, as at the start of the program. For tests.
void Reset();

// [SECTION] Display
// True when the upper-cased name contains ".JPG" or ".JPEG" anywhere.
bool IsJpegName(const std::string& name);

// Loads the picture at path (JPEG when Settings::IsJpeg, else BMP) and draws
// it with its top-left corner at (x, y) canvas pixels. A picture that cannot
// be loaded throws std::runtime_error with a message in Settings::Language
// that names the file; nothing is drawn then.
void ShowPhotograph(const std::string& path, int x, int y);
// Decodes into PhotoJpeg at Settings::JpegScale; a JpegScale other than 1,
// 2, 4 or 8 keeps DecodingScale. DecodingScale changes only on success.
void ShowJpegPhotograph(const std::string& path, int x, int y);
void ShowBitmapPhotograph(const std::string& path, int x, int y);

// Draws the kept picture (PhotoJpeg when Settings::IsJpeg, else PhotoBitmap)
// at (Settings::PictureX, Settings::PictureY) without reading the file.
void RedrawPhotograph();

// [SECTION] Decoding
// Decodes a baseline, progressive, greyscale, RGB, CMYK or YCCK JPEG file at
// 1/scale of its size in each direction (scale 1, 2, 4 or 8; each side
// rounded up) into picture, reusing its buffer. Throws std::runtime_error
// (missing, not a regular file, not a JPEG, damaged, truncated or without
// all its scans, larger than MaxPicturePixels at that scale, needing more
// than MaxDecoderMemory, with too little data for MaxBlocksPerByte) in
// Settings::Language; picture is then empty.
void DecodeJpegFile(const std::string& path, int scale, Bitmap::Picture& picture);

} // namespace Photograph
