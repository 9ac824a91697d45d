// SPDX-License-Identifier: GPL-3.0-or-later
// The photograph of a measurement: read and decoded once by ShowPhotograph,
// kept in memory and redrawn from there after every key. JPEG files are
// decoded at full, half, quarter or eighth size; everything else is read as
// a BMP.
#pragma once

#include "FensterGraf.h"
#include "Files.h"
#include "JpegGuard.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Photograph {

// [SECTION] State
// The kept pictures, in the canvas's format. Each buffer is reused for the
// next picture. After a failed load the picture is empty (0 x 0), so that
// RedrawPhotograph draws nothing rather than the previous photograph.
inline Bitmap::Picture PhotoJpeg;
inline Bitmap::Picture PhotoBitmap;
inline int DecodingScale = 1; // 1, 2, 4 or 8: that of the last JPEG loaded

// The picture on the screen, as the last ShowPhotograph left it: everything
// the assisted fit needs to map its full-size pixels onto the screen's and to
// know the file is still the one shown. Empty (no Path) after a failed load.
enum class Format { Bitmap, Jpeg };
struct ShownPicture {
    // Looked up before the file was read: a file replaced meanwhile then
    // counts as changed, never the other way round.
    Files::FileIdentity Identity;
    std::string Path;
    Format Kind = Format::Bitmap;
    int Scale = 1; // the JPEG's decoding scale; 1 for a bitmap
    int X = 0, Y = 0; // canvas position of the top-left corner
    int FullWidth = 0, FullHeight = 0; // of the file, before the scale
    friend bool operator==(const ShownPicture&, const ShownPicture&) = default;
};
const ShownPicture& Shown();
// The kept pixels of the picture shown (PhotoJpeg or PhotoBitmap); empty
// when none is.
const Bitmap::Picture& ShownPixels();

// Empty pictures, none shown, full size, as at the start of the program. For tests.
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
// A picture that could not be decoded: the message in Settings::Language,
// and why, with the work the decoding had done.
struct JpegError : std::runtime_error {
    JpegError(const JpegGuard::Refusal& refused, const std::string& message)
        : std::runtime_error(message)
        , Refused(refused)
    {
    }
    JpegGuard::Refusal Refused;
};

// Decodes a baseline, progressive, greyscale, RGB, CMYK or YCCK JPEG file at
// 1/scale of its size in each direction (scale 1, 2, 4 or 8; each side
// rounded up) into picture, reusing its buffer, within JpegGuard's limits.
// Returns the file's full width and height.
// Throws JpegError (missing, not a regular file, not a JPEG, damaged,
// truncated or without all its scans, larger than JpegGuard::MaxPixels at
// that scale, needing more than JpegGuard::MaxDecoderMemory, with too little
// data for JpegGuard::MaxBlocksPerByte); picture is then empty.
struct FullSize {
    int Width = 0, Height = 0;
};
FullSize DecodeJpegFile(const std::string& path, int scale, Bitmap::Picture& picture);

// Why the JPEG file at path was refused, in Settings::Language. A picture
// too large at its scale is told to choose a larger reduction only where
// offerReduction: the grey plane is always decoded at full size.
std::string JpegFailureText(
    const JpegGuard::Refusal& refused, const std::string& path, bool offerReduction = true);

} // namespace Photograph
