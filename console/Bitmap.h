// SPDX-License-Identifier: GPL-3.0-or-later
// BMP files read into pictures in the canvas's own pixel format. Pure C++:
// the window draws the pictures, this module only reads them.
#pragma once

#include "UnsetBuffer.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Bitmap {
// Pixel words that a resize leaves unset: a reader writes every pixel.
using PixelBuffer = UnsetBuffer::Buffer<std::uint32_t>;

// A picture in the canvas's own pixel format, so that drawing it is a copy of
// rows: one 0xffRRGGBB word per pixel (bytes B, G, R, 0xff in memory), rows
// top-down without padding. Programs keep one and reuse its buffer.
struct Picture {
    int Width = 0;
    int Height = 0;
    PixelBuffer Pixels; // Width * Height words
};

// Reads an uncompressed BMP into picture, reusing its buffer: headers of 12,
// 40, 52, 56, 108 or 124 bytes; 1, 4 and 8 bits with a colour table, 16, 24
// and 32 bits (32 and 16 also with colour masks); bottom-up or top-down. At
// most 2^27 pixels. A missing, truncated or malformed file (one shorter than
// its rows, a colour index beyond the table) throws std::runtime_error naming
// the file (a BitmapFailure); picture is then left empty. Anything but a
// regular file (a folder, a FIFO, a device) is refused without blocking.
void ReadBitmapFile(const std::string& name, Picture& picture);

// Why a BMP could not be read, so that a program can say it in its own
// language; what() holds the same in English.
enum class BitmapProblem {
    Unopenable, // First: errno
    NotRegularFile,
    HeaderUnreadable,
    NotBmp,
    HeaderSize, // First: the size
    HeaderCut,
    Planes,
    Depth, // First: bits per pixel
    Compression, // First: the compression code
    DepthNeedsNewerHeader, // First: bits per pixel
    Dimensions,
    TooManyPixels, // First: the most pixels
    MasksCut,
    MaskShape,
    MasksOverlap,
    TooManyColours, // First: bits per pixel
    TableOverlap,
    PixelsInHeader,
    CutShort, // First: the file's bytes, Second: those needed
    PixelsUnreadable,
    IndexBeyondTable,
};
struct BitmapFailure : std::runtime_error {
    BitmapFailure(const std::string& text, BitmapProblem problem, long long first, long long second)
        : std::runtime_error(text)
        , Problem(problem)
        , First(first)
        , Second(second)
    {
    }
    BitmapProblem Problem;
    long long First; // the numbers the text names
    long long Second;
};

} // namespace Bitmap
