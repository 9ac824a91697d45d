// SPDX-License-Identifier: GPL-3.0-or-later
#include "GreyPlane.h"

#include "JpegGuard.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// jerror.h numbers its messages by the configuration that jpeglib.h brings.
#include <jerror.h>

namespace GreyPlane {

namespace {

using Table = std::array<std::uint16_t, 256>;

// libjpeg reports errors through callbacks of C code, which a C++ exception
// must not cross: they jump back to a setjmp in a frame that holds no object
// with a destructor. The manager stays the first member: libjpeg hands back
// only a pointer to it.
struct JpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Escape;
    int Code;
    char Text[JMSG_LENGTH_MAX];
};

// One decoding: everything the guarded steps touch lives here.
struct JpegJob {
    jpeg_decompress_struct Info;
    JpegErrors Errors;
    std::FILE* File;
    unsigned Channels; // the channels to add; all on the first pass
    // The plane's storage with a spare row: the decoder's rows go into its
    // part not yet converted (see ScratchOffset).
    unsigned char* Bytes;
    std::size_t ByteCount;
    std::uint16_t* Samples;
    std::array<std::int64_t, 3> Clipped;
    bool Undecided; // stop as soon as a channel is certain to be dropped
    bool Stopped;
    int OpenError;
    bool Failed;
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
std::size_t RowsThatFit(const JpegJob& job, std::size_t row, int pixelBytes);
[[noreturn]] void FailJpeg(j_common_ptr info);
bool DecodeOnce(const std::string& path, unsigned channels, bool undecided, Plane& plane,
    std::array<std::int64_t, 3>& clipped, std::int64_t& pixels);
void OpenJpeg(const std::string& path, JpegJob& job, JpegGuard::Resources& resources);
void ReadJpegHeader(JpegJob& job);
void DecodeJpegRows(JpegJob& job);
[[noreturn]] void ThrowJobFailure(const JpegJob& job, const std::string& path);
[[noreturn]] void ThrowTooLarge(
    const std::string& path, std::int64_t width, std::int64_t height, bool outOfMemory);

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

bool LosesPictureData(int messageCode)
{
    switch (messageCode) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    default:
        return false;
    }
}

void ConvertCmykRows(std::uint32_t* pixels, std::size_t count, bool inverted)
{
    auto* bytes = reinterpret_cast<unsigned char*>(pixels);
    for (std::size_t i = 0; i < count; ++i, bytes += 4) {
        unsigned c = bytes[0], m = bytes[1], yellow = bytes[2], k = bytes[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            yellow = 255 - yellow;
            k = 255 - k;
        }
        bytes[0] = static_cast<unsigned char>((yellow * k + 127) / 255);
        bytes[1] = static_cast<unsigned char>((m * k + 127) / 255);
        bytes[2] = static_cast<unsigned char>((c * k + 127) / 255);
        bytes[3] = 0xff;
    }
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
            samples[i]
                = static_cast<std::uint16_t>(std::min<PixelSum>(sum & 0xffffffffu, Saturated));
            counts += sum >> 32;
        }
        for (unsigned c = 0; c < 3; ++c)
            clippedCounts[c]
                += static_cast<std::int64_t>((counts >> (CountBitsPerField * c)) & field);
    }
}

// One decoded row: grey bytes, R G B bytes, or B G R X bytes (a CMYK file
// after ConvertCmykRows).
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
// fast as they are read. Aligned to 16 bytes: CMYK rows are handled as words.
std::size_t ScratchOffset(std::size_t width, std::size_t row, std::size_t rows, int pixelBytes)
{
    const std::size_t offset = 2 * width * row + (pixelBytes == 1 ? width * rows : 0);
    return (offset + 15) & ~std::size_t { 15 };
}

// The scanlines to ask for at `row`: as many as fit before the end of the
// plane's bytes; the spare row leaves room for at least one.
std::size_t RowsThatFit(const JpegJob& job, std::size_t row, int pixelBytes)
{
    const std::size_t width = job.Info.output_width;
    std::size_t rows = std::min<std::size_t>(RowsPerRead, job.Info.output_height - row);
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
    JpegJob job {};
    job.Channels = channels;
    job.Undecided = undecided;
    JpegGuard::Resources resources;
    OpenJpeg(path, job, resources);
    if (job.Failed)
        ThrowJobFailure(job, path);

    const std::int64_t width = job.Info.output_width;
    const std::int64_t height = job.Info.output_height;
    pixels = width * height;
    if (width * height > MaxPixels)
        ThrowTooLarge(path, width, height, false);
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
        ThrowTooLarge(path, width, height, true);
    }
    job.Bytes = reinterpret_cast<unsigned char*>(plane.Samples.data());
    job.ByteCount = withSpare * sizeof(std::uint16_t);
    job.Samples = plane.Samples.data();
    if (!JpegGuard::RunGuarded(job, DecodeJpegRows)) {
        plane.Samples.clear();
        ThrowJobFailure(job, path);
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

void FailJpeg(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->Code = info->err->msg_code;
    (*info->err->format_message)(info, errors->Text);
    std::longjmp(errors->Escape, 1);
}

void OpenJpeg(const std::string& path, JpegJob& job, JpegGuard::Resources& resources)
{
    std::int64_t bytes = 0;
    job.File = JpegGuard::OpenFile(path, resources, job.OpenError, bytes);
    if (!job.File) {
        job.Failed = true;
        return;
    }
    JpegGuard::InstallErrors<FailJpeg>(job);
    resources.Decoder.reset(&job.Info);
    job.Failed = !JpegGuard::RunGuarded(job, ReadJpegHeader);
}

void ReadJpegHeader(JpegJob& job)
{
    jpeg_decompress_struct& info = job.Info;
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, job.File);
    jpeg_read_header(&info, TRUE);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    info.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_RGB;
    jpeg_calc_output_dimensions(&info);
}

void DecodeJpegRows(JpegJob& job)
{
    jpeg_decompress_struct& info = job.Info;
    jpeg_start_decompress(&info);
    const std::size_t width = info.output_width;
    const int pixelBytes = info.output_components;
    const std::size_t rowBytes = width * static_cast<std::size_t>(pixelBytes);
    const auto pixels = static_cast<std::int64_t>(width) * info.output_height;
    const PixelTables tables = MakeTables(job.Channels);
    JSAMPROW rows[RowsPerRead];
    while (info.output_scanline < info.output_height) {
        const std::size_t first = info.output_scanline;
        const std::size_t wanted = RowsThatFit(job, first, pixelBytes);
        unsigned char* scratch = job.Bytes + ScratchOffset(width, first, wanted, pixelBytes);
        for (std::size_t i = 0; i < wanted; ++i)
            rows[i] = scratch + i * rowBytes;
        const JDIMENSION got = jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(wanted));
        for (std::size_t i = 0; i < got; ++i) {
            if (info.out_color_space == JCS_CMYK)
                ConvertCmykRows(
                    reinterpret_cast<std::uint32_t*>(rows[i]), width, info.saw_Adobe_marker);
            ConvertRow(
                rows[i], pixelBytes, width, tables, job.Samples + (first + i) * width, job.Clipped);
        }
        if (job.Undecided && ChooseChannels(job.Clipped, pixels) != job.Channels) {
            job.Stopped = true; // the decompressor is destroyed unfinished
            return;
        }
    }
}

void ThrowJobFailure(const JpegJob& job, const std::string& path)
{
    if (job.OpenError == -1)
        throw PlaneError(Problem::NotRegularFile, path);
    if (job.OpenError != 0)
        throw PlaneError(job.OpenError == ENOENT ? Problem::Missing : Problem::Unopenable,
            path + ": " + std::generic_category().message(job.OpenError));
    Problem problem = Problem::Damaged;
    if (job.Errors.Code == JERR_NO_SOI || job.Errors.Code == JERR_INPUT_EMPTY)
        problem = Problem::NotJpeg;
    else if (job.Errors.Code == JERR_INPUT_EOF || job.Errors.Code == JWRN_JPEG_EOF)
        problem = Problem::Truncated;
    throw PlaneError(problem, path + ": " + job.Errors.Text);
}

void ThrowTooLarge(
    const std::string& path, std::int64_t width, std::int64_t height, bool outOfMemory)
{
    throw PlaneError(outOfMemory ? Problem::OutOfMemory : Problem::TooLarge,
        path + ": " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
}

} // namespace

} // namespace GreyPlane
