// SPDX-License-Identifier: GPL-3.0-or-later
// The grey plane the assisted circle fit works on: a photograph at its full
// resolution in linear light, 16 bits a sample, row-major. Built from a JPEG
// file decoded row by row, or from a picture already in memory (BMP).
//
// Samples: the sRGB curve is undone with a table, and the colour channels
// that are not clipped are added. A channel counts as clipped in a pixel at
// 250 or above (JPEG's rounding leaves a clipped area between 250 and 255).
// Over the whole picture, a channel is dropped when it is clipped in at least
// 0.1 % of the pixels more than the least clipped channel: a red channel
// burnt out over the disc goes, a few hot pixels or the overlap of a double
// exposure (clipped in every channel) do not. The least clipped channel is
// always kept. A pixel where a kept channel is clipped holds
// FitTypes::SaturatedSample.
//
// Memory: the plane is 2 bytes a pixel. libjpeg writes its rows into the
// part of the plane not yet converted, and each row is converted in place;
// beyond the plane there is one spare row of samples (the last decoded row
// needs more bytes than its samples) and libjpeg's own working memory, which
// grows with the width only. Per-channel planes would need 6 bytes a pixel,
// so the choice of channels is made for the whole picture: a JPEG is decoded
// once, and a second time only when a channel turns out to be clipped.
#pragma once

#include "FitTypes.h"
#include "JpegGuard.h"
#include "UnsetBuffer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace GreyPlane {

// Unsaturated samples lie in 0 .. MaxLinear; white in all kept channels is MaxLinear.
inline constexpr std::uint16_t MaxLinear = 65534;
inline constexpr int ClippedByte = 250;

// Leaves new samples unset: the decoder writes every one, and zeroing 50 MB
// first would cost a tenth of the decoding.
using SampleBuffer = UnsetBuffer::Buffer<std::uint16_t>;

struct Plane {
    int Width = 0;
    int Height = 0;
    SampleBuffer Samples; // Width x Height, row-major
    unsigned KeptChannels = 0; // bit 0 blue, 1 green, 2 red
};

// Bit masks of KeptChannels.
inline constexpr unsigned Blue = 1, Green = 2, Red = 4, AllChannels = 7;

// The channels to keep, given how many pixels each has clipped (blue, green,
// red) among pixelCount; see above.
unsigned ChooseChannels(const std::array<std::int64_t, 3>& clippedCounts, std::int64_t pixelCount);

// Converts count 0xAARRGGBB words into samples, adding the channels in
// `channels` (a non-empty mask) in linear light, scaled so that white is MaxLinear.
void ConvertWords(
    const std::uint32_t* words, std::size_t count, unsigned channels, std::uint16_t* samples);

// ConvertWords, and adds to clippedCounts the pixels clipped in each channel.
void ConvertAndCount(const std::uint32_t* words, std::size_t count, unsigned channels,
    std::uint16_t* samples, std::array<std::int64_t, 3>& clippedCounts);

// The plane of a picture held as 0xAARRGGBB words (as the console holds a BMP).
void FromWords(const std::uint32_t* words, int width, int height, Plane& plane);

// Why a JPEG file gave no plane: JpegGuard's reason and figures, which the
// caller words for the user; what() is a technical detail in English.
struct PlaneError : std::runtime_error {
    PlaneError(const JpegGuard::Refusal& refused, const std::string& detail)
        : std::runtime_error(detail)
        , Refused(refused)
    {
    }
    JpegGuard::Refusal Refused;
};

// Decodes a JPEG file at full size into plane, reusing its buffer, through
// JpegGuard and within its limits. Throws PlaneError; plane is then empty.
void DecodeJpegFile(const std::string& path, Plane& plane);

// Empties the plane and frees its memory, as when another picture is loaded.
void Release(Plane& plane);

} // namespace GreyPlane
