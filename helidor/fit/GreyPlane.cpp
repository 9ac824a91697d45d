// SPDX-License-Identifier: GPL-3.0-or-later
#include "GreyPlane.h"

#include "JpegGuard.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>

namespace GreyPlane {

namespace {

using Table = std::array<std::uint16_t, 256>;

// One decoding into the plane's storage.
struct PlaneJob {
    std::size_t Width, Height;
    unsigned Channels; // the channels to add; all on the first pass
    // The plane's storage with a spare row: the decoder's rows go into its
    // part not yet converted (see ScratchOffset).
    unsigned char* Bytes;
    std::size_t ByteCount;
    std::uint16_t* Samples;
    std::array<std::int64_t, 3> Clipped;
    bool Undecided; // stop as soon as a channel is certain to be dropped
    bool Stopped;
};

// A pixel's table entries summed: bits 0..31 its sample before saturation,
// bits 32 + 10 c one count for each clipped channel c (0 blue, 1 green, 2 red).
using PixelSum = std::uint64_t;
using SumTable = std::array<PixelSum, 256>;
struct PixelTables {
    SumTable Blue, Green, Red;
    SumTable Grey; // the three summed, for a grey file
};
constexpr int CountBitsPerField = 10;
// Pixels whose counts fit in the fields of one sum of PixelSums.
constexpr std::size_t PixelsPerCountRun = (1u << CountBitsPerField) - 1;
// Scanlines asked of libjpeg at a time; it hands over one row group (one or
// two rows) a call, so more would only reserve more of the plane.
constexpr std::size_t RowsPerRead = 4;

const Table& LinearTable(int channelCount);
PixelTables MakeTables(unsigned channels);
template <class SumOf>
void ConvertPixels(std::size_t count, std::uint16_t* samples,
    std::array<std::int64_t, 3>& clippedCounts, SumOf sumOf);
void ConvertRow(const unsigned char* pixels, int pixelBytes, std::size_t width,
    const PixelTables& tables, std::uint16_t* samples, std::array<std::int64_t, 3>& clipped);
std::size_t ScratchOffset(std::size_t width, std::size_t row, std::size_t rows, int pixelBytes);
std::size_t RowsThatFit(const PlaneJob& job, std::size_t row, int pixelBytes);
bool DecodeOnce(const std::string& path, unsigned channels, bool undecided, Plane& plane,
    std::array<std::int64_t, 3>& clipped, std::int64_t& pixels);
bool DecodeJpegRows(JpegGuard::Decoder& decoder, PlaneJob& job);
[[noreturn]] void ThrowRefusal(const JpegGuard::Decoder& decoder, const std::string& path);

} // namespace

// [SECTION] Samples

unsigned ChooseChannels(const std::array<std::int64_t, 3>& clippedCounts, std::int64_t pixelCount)
{
    const std::int64_t least = *std::min_element(clippedCounts.begin(), clippedCounts.end());
    const std::int64_t margin = pixelCount / 1000;
    unsigned kept = 0;
    for (int c = 0; c < 3; ++c)
        if (clippedCounts[c] - least <= margin)
            kept |= 1u << c;
    return kept;
}

void ConvertWords(
    const std::uint32_t* words, std::size_t count, unsigned channels, std::uint16_t* samples)
{
    std::array<std::int64_t, 3> unused {};
    ConvertAndCount(words, count, channels, samples, unused);
}

void ConvertAndCount(const std::uint32_t* words, std::size_t count, unsigned channels,
    std::uint16_t* samples, std::array<std::int64_t, 3>& clippedCounts)
{
    const PixelTables tables = MakeTables(channels);
    ConvertPixels(count, samples, clippedCounts, [&](std::size_t i) {
        const std::uint32_t w = words[i];
        return tables.Blue[w & 0xff] + tables.Green[(w >> 8) & 0xff] + tables.Red[(w >> 16) & 0xff];
    });
}

void FromWords(const std::uint32_t* words, int width, int height, Plane& plane)
{
    assert(width >= 0 && height >= 0 && "a picture has no negative size");
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // All channels first, as a JPEG's first pass: a second pass only where one is clipped.
    std::array<std::int64_t, 3> clipped {};
    plane.Samples.resize(count);
    ConvertAndCount(words, count, AllChannels, plane.Samples.data(), clipped);
    plane.KeptChannels = ChooseChannels(clipped, static_cast<std::int64_t>(count));
    if (plane.KeptChannels != AllChannels)
        ConvertWords(words, count, plane.KeptChannels, plane.Samples.data());
    plane.Width = width;
    plane.Height = height;
}

void Release(Plane& plane)
{
    plane.Width = 0;
    plane.Height = 0;
    plane.KeptChannels = 0;
    SampleBuffer().swap(plane.Samples);
}

// [SECTION] JPEG

// The first pass adds all channels and stops as soon as the rows so far
// show a channel clipped beyond the margin: for a Sun with a burnt-out
// channel that is near its top limb, so the picture is decoded a little more
// than once. A later pass that ends with another choice decodes once more.
void DecodeJpegFile(const std::string& path, Plane& plane)
{
    unsigned channels = AllChannels;
    bool undecided = true;
    for (;;) {
        std::array<std::int64_t, 3> clipped {};
        std::int64_t pixels = 0;
        const bool whole = DecodeOnce(path, channels, undecided, plane, clipped, pixels);
        const unsigned kept = ChooseChannels(clipped, pixels);
        if (whole && kept == channels) {
            plane.KeptChannels = kept;
            return;
        }
        channels = kept;
        undecided = false; // every later pass runs to the end
    }
}

namespace {

// Entry count k: a sample of k channels at full scale sums to MaxLinear.
const Table& LinearTable(int channelCount)
{
    static const std::array<Table, 3> tables = [] {
        std::array<Table, 3> made {};
        for (int k = 1; k <= 3; ++k)
            for (int v = 0; v < 256; ++v) {
                const double s = v / 255.0;
                const double linear = s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
                made[k - 1][v] = static_cast<std::uint16_t>(std::lround(linear * MaxLinear / k));
            }
        return made;
    }();
    assert(channelCount >= 1 && channelCount <= 3);
    return tables[channelCount - 1];
}

// A kept channel's entries hold 65536 from the clipped bytes up, so that a
// saturated pixel's sum exceeds 65535 and the sample needs no test of its
// own; a dropped channel's add nothing to the sample. Every channel counts
// its clipped bytes.
PixelTables MakeTables(unsigned channels)
{
    assert((channels & AllChannels) != 0 && "at least one channel is kept");
    const unsigned kept = (channels & 1) + ((channels >> 1) & 1) + ((channels >> 2) & 1);
    const Table& linear = LinearTable(static_cast<int>(kept));
    PixelTables tables {};
    SumTable* byChannel[3] = { &tables.Blue, &tables.Green, &tables.Red };
    for (unsigned c = 0; c < 3; ++c)
        for (std::size_t v = 0; v < 256; ++v) {
            const bool clipped = v >= ClippedByte;
            PixelSum entry = 0;
            if (channels & (1u << c))
                entry = clipped ? 65536u : linear[v];
            if (clipped)
                entry |= PixelSum { 1 } << (32 + CountBitsPerField * c);
            (*byChannel[c])[v] = entry;
        }
    for (std::size_t v = 0; v < 256; ++v)
        tables.Grey[v] = tables.Blue[v] + tables.Green[v] + tables.Red[v];
    return tables;
}

// sumOf(i): pixel i's PixelSum. Pixel i is read before sample i is written,
// so the samples may overwrite the bytes of the pixels already read.
template <class SumOf>
void ConvertPixels(std::size_t count, std::uint16_t* samples,
    std::array<std::int64_t, 3>& clippedCounts, SumOf sumOf)
{
    constexpr PixelSum field = (1u << CountBitsPerField) - 1;
    for (std::size_t i = 0; i < count;) {
        const std::size_t end = std::min(count, i + PixelsPerCountRun);
        PixelSum counts = 0;
        for (; i < end; ++i) {
            const PixelSum sum = sumOf(i);
            samples[i] = static_cast<std::uint16_t>(
                std::min<PixelSum>(sum & 0xffffffffu, FitTypes::SaturatedSample));
            counts += sum >> 32;
        }
        for (unsigned c = 0; c < 3; ++c)
            clippedCounts[c]
                += static_cast<std::int64_t>((counts >> (CountBitsPerField * c)) & field);
    }
}

// One decoded row: grey bytes, R G B bytes, or B G R X bytes (a CMYK file
// as JpegGuard gives it).
void ConvertRow(const unsigned char* pixels, int pixelBytes, std::size_t width,
    const PixelTables& tables, std::uint16_t* samples, std::array<std::int64_t, 3>& clipped)
{
    switch (pixelBytes) {
    case 1:
        ConvertPixels(
            width, samples, clipped, [&](std::size_t i) { return tables.Grey[pixels[i]]; });
        break;
    case 3:
        ConvertPixels(width, samples, clipped, [&](std::size_t i) {
            const unsigned char* p = pixels + 3 * i;
            return tables.Red[p[0]] + tables.Green[p[1]] + tables.Blue[p[2]];
        });
        break;
    default:
        ConvertPixels(width, samples, clipped, [&](std::size_t i) {
            const unsigned char* p = pixels + 4 * i;
            return tables.Blue[p[0]] + tables.Green[p[1]] + tables.Red[p[2]];
        });
        break;
    }
}

// Where in the plane's bytes the decoder writes `rows` rows from `row` on:
// in the part not yet converted, and never before the samples of the same
// row, so that each row converts in place front to back. Rows of 3 or 4
// bytes a pixel start at their first row's samples (2 bytes a pixel). Grey
// rows (1 byte a pixel) take the second half of their samples' bytes: each
// then lies at least a row's width behind its samples, which grow twice as
// fast as they are read. Aligned to 16 bytes, as rows of words like.
std::size_t ScratchOffset(std::size_t width, std::size_t row, std::size_t rows, int pixelBytes)
{
    const std::size_t offset = 2 * width * row + (pixelBytes == 1 ? width * rows : 0);
    return (offset + 15) & ~std::size_t { 15 };
}

// The scanlines to ask for at `row`: as many as fit before the end of the
// plane's bytes; the spare row leaves room for at least one.
std::size_t RowsThatFit(const PlaneJob& job, std::size_t row, int pixelBytes)
{
    const std::size_t width = job.Width;
    std::size_t rows = std::min<std::size_t>(RowsPerRead, job.Height - row);
    if (pixelBytes == 1)
        return rows;
    const std::size_t offset = ScratchOffset(width, row, rows, pixelBytes);
    rows
        = std::min(rows, (job.ByteCount - offset) / (static_cast<std::size_t>(pixelBytes) * width));
    assert(rows >= 1 && "the spare row holds the last row's bytes");
    return rows;
}

// One decoding into plane; false when it stopped early to drop a channel.
// pixels: the picture's size.
bool DecodeOnce(const std::string& path, unsigned channels, bool undecided, Plane& plane,
    std::array<std::int64_t, 3>& clipped, std::int64_t& pixels)
{
    plane.Width = 0;
    plane.Height = 0;
    plane.Samples.clear();
    JpegGuard::Decoder decoder;
    if (!decoder.Open(path) || !decoder.ReadHeader(1, JpegGuard::Layout::Packed)
        || !decoder.CheckLimits())
        ThrowRefusal(decoder, path);

    const std::int64_t width = decoder.Width();
    const std::int64_t height = decoder.Height();
    pixels = width * height;
    const auto count = static_cast<std::size_t>(width * height);
    // The spare row and the alignment of the decoder's rows (see ScratchOffset).
    const std::size_t withSpare = count + static_cast<std::size_t>(width) + 8;
    try {
        if (plane.Samples.capacity() < withSpare) {
            SampleBuffer().swap(plane.Samples); // no copy of the old samples
            plane.Samples.reserve(withSpare);
            UnsetBuffer::AdviseLargePages(plane.Samples.data(), count * sizeof(std::uint16_t));
        }
        plane.Samples.resize(withSpare);
    } catch (const std::bad_alloc&) {
        Release(plane);
        decoder.Fail(JpegGuard::Failure::OutOfMemory);
        ThrowRefusal(decoder, path);
    }
    PlaneJob job {};
    job.Width = static_cast<std::size_t>(width);
    job.Height = static_cast<std::size_t>(height);
    job.Channels = channels;
    job.Undecided = undecided;
    job.Bytes = reinterpret_cast<unsigned char*>(plane.Samples.data());
    job.ByteCount = withSpare * sizeof(std::uint16_t);
    job.Samples = plane.Samples.data();
    if (!decoder.Start() || !DecodeJpegRows(decoder, job)) {
        plane.Samples.clear();
        ThrowRefusal(decoder, path);
    }
    clipped = job.Clipped;
    if (job.Stopped) {
        plane.Samples.clear();
        return false;
    }
    plane.Samples.resize(count);
    plane.Width = static_cast<int>(width);
    plane.Height = static_cast<int>(height);
    return true;
}

// False when the decoder failed; job.Stopped when a channel is certain to be
// dropped (the decoder is then let go unfinished).
bool DecodeJpegRows(JpegGuard::Decoder& decoder, PlaneJob& job)
{
    const std::size_t width = job.Width;
    const int pixelBytes = decoder.PixelBytes();
    const std::size_t rowBytes = width * static_cast<std::size_t>(pixelBytes);
    const auto pixels = static_cast<std::int64_t>(width * job.Height);
    const PixelTables tables = MakeTables(job.Channels);
    unsigned char* rows[RowsPerRead];
    for (std::size_t first = 0; first < job.Height;) {
        const std::size_t wanted = RowsThatFit(job, first, pixelBytes);
        unsigned char* scratch = job.Bytes + ScratchOffset(width, first, wanted, pixelBytes);
        for (std::size_t i = 0; i < wanted; ++i)
            rows[i] = scratch + i * rowBytes;
        int got = 0;
        if (!decoder.ReadRows(rows, static_cast<int>(wanted), got))
            return false;
        for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i)
            ConvertRow(
                rows[i], pixelBytes, width, tables, job.Samples + (first + i) * width, job.Clipped);
        first += static_cast<std::size_t>(got);
        if (job.Undecided && ChooseChannels(job.Clipped, pixels) != job.Channels) {
            job.Stopped = true;
            return true;
        }
    }
    return true;
}

void ThrowRefusal(const JpegGuard::Decoder& decoder, const std::string& path)
{
    const JpegGuard::Refusal refused = decoder.Refused();
    throw PlaneError(refused, path + ": " + refused.Detail);
}

} // namespace

} // namespace GreyPlane
