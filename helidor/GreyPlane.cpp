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
    std::uint32_t* Rows; // 16 rows of decoder output
    std::uint16_t* Samples;
    std::array<std::int64_t, 3> Clipped;
    bool Undecided; // stop as soon as a channel is certain to be dropped
    bool Stopped;
    int OpenError;
    bool Failed;
};

using WideTable = std::array<std::uint32_t, 256>;
const Table& LinearTable(int channelCount);
const WideTable& WideLinearTable(unsigned channels, unsigned channel);
[[noreturn]] void FailJpeg(j_common_ptr info);
bool DecodeOnce(const std::string& path, unsigned channels, bool undecided, Plane& plane,
    std::array<std::int64_t, 3>& clipped, std::int64_t& pixels);
void OpenJpeg(const std::string& path, JpegJob& job, JpegGuard::Resources& resources);
void ReadJpegHeader(JpegJob& job);
void DecodeJpegRows(JpegJob& job);
[[noreturn]] void ThrowJobFailure(const JpegJob& job, const std::string& path);
[[noreturn]] void ThrowTooLarge(
    const std::string& path, std::int64_t width, std::int64_t height, bool outOfMemory);
int CountBits(unsigned mask);

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

void CountClipped(
    const std::uint32_t* words, std::size_t count, std::array<std::int64_t, 3>& clippedCounts)
{
    std::int64_t blue = 0, green = 0, red = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t w = words[i];
        blue += (w & 0xff) >= ClippedByte;
        green += ((w >> 8) & 0xff) >= ClippedByte;
        red += ((w >> 16) & 0xff) >= ClippedByte;
    }
    clippedCounts[0] += blue;
    clippedCounts[1] += green;
    clippedCounts[2] += red;
}

void ConvertWords(
    const std::uint32_t* words, std::size_t count, unsigned channels, std::uint16_t* samples)
{
    std::array<std::int64_t, 3> unused {};
    ConvertAndCount(words, count, channels, samples, unused);
}

// The samples and the clipped counts of the decoder's rows. A kept channel's
// table holds 65536 from the clipped bytes up, so that a saturated pixel's
// sum exceeds 65535 and the sample needs no test of its own.
void ConvertAndCount(const std::uint32_t* words, std::size_t count, unsigned channels,
    std::uint16_t* samples, std::array<std::int64_t, 3>& clippedCounts)
{
    assert((channels & AllChannels) != 0 && "at least one channel is kept");
    const WideTable& blue = WideLinearTable(channels, Blue);
    const WideTable& green = WideLinearTable(channels, Green);
    const WideTable& red = WideLinearTable(channels, Red);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t w = words[i];
        const std::uint32_t sum = blue[w & 0xff] + green[(w >> 8) & 0xff] + red[(w >> 16) & 0xff];
        samples[i] = static_cast<std::uint16_t>(std::min<std::uint32_t>(sum, Saturated));
    }
    CountClipped(words, count, clippedCounts);
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
    std::array<std::int64_t, 3> clipped {};
    CountClipped(words, count, clipped);
    plane.KeptChannels = ChooseChannels(clipped, static_cast<std::int64_t>(count));
    plane.Samples.resize(count);
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

// A plane of tens of megabytes in 2 MB pages costs the kernel a few dozen
// page faults instead of thousands.
// The table of one channel for ConvertAndCount: zeros when it is dropped.
const WideTable& WideLinearTable(unsigned channels, unsigned channel)
{
    static const std::array<WideTable, 4> tables = [] {
        std::array<WideTable, 4> made {}; // by channel count; 0: a dropped channel
        for (int k = 1; k <= 3; ++k)
            for (int v = 0; v < 256; ++v)
                made[static_cast<std::size_t>(k)][static_cast<std::size_t>(v)]
                    = v >= ClippedByte ? 65536u : LinearTable(k)[static_cast<std::size_t>(v)];
        return made;
    }();
    return tables[(channels & channel) ? static_cast<std::size_t>(CountBits(channels & AllChannels))
                                       : 0];
}

int CountBits(unsigned mask)
{
    return static_cast<int>((mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1));
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
    std::vector<std::uint32_t> rows;
    try {
        const auto count = static_cast<std::size_t>(width * height);
        if (plane.Samples.capacity() < count) {
            SampleBuffer().swap(plane.Samples); // no copy of the old samples
            plane.Samples.reserve(count);
            UnsetBuffer::AdviseLargePages(plane.Samples.data(), count * sizeof(std::uint16_t));
        }
        plane.Samples.resize(count);
        rows.resize(static_cast<std::size_t>(width) * 16);
    } catch (const std::bad_alloc&) {
        Release(plane);
        ThrowTooLarge(path, width, height, true);
    }
    job.Rows = rows.data();
    job.Samples = plane.Samples.data();
    if (!JpegGuard::RunGuarded(job, DecodeJpegRows)) {
        plane.Samples.clear();
        ThrowJobFailure(job, path);
    }
    clipped = job.Clipped;
    if (job.Stopped)
        return false;
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
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_calc_output_dimensions(&info);
}

void DecodeJpegRows(JpegJob& job)
{
    jpeg_decompress_struct& info = job.Info;
    jpeg_start_decompress(&info);
    const std::size_t width = info.output_width;
    JSAMPROW rows[16];
    for (int i = 0; i < 16; ++i)
        rows[i] = reinterpret_cast<JSAMPROW>(job.Rows + i * width);
    while (info.output_scanline < info.output_height) {
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION wanted = std::min<JDIMENSION>(16, info.output_height - first);
        const JDIMENSION got = jpeg_read_scanlines(&info, rows, wanted);
        const std::size_t count = got * width;
        if (info.out_color_space == JCS_CMYK)
            ConvertCmykRows(job.Rows, count, info.saw_Adobe_marker);
        ConvertAndCount(job.Rows, count, job.Channels, job.Samples + first * width, job.Clipped);
        const auto pixels = static_cast<std::int64_t>(width) * info.output_height;
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
