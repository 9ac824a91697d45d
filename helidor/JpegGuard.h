// SPDX-License-Identifier: GPL-3.0-or-later
// The one front through which Helidor reads JPEG files, for the photograph
// on the screen and the grey plane of the assisted fit alike. It opens the
// file without waiting on a FIFO, reads its header, holds every decoding to
// the same limits and hands out the decoded rows; whatever goes wrong ends in
// one Failure with the figures its message needs. The caller words it.
//
// The steps, in order, each false on failure (then Refused() says why):
//   Open  ReadHeader  CheckLimits  [the caller's buffer]  Start  ReadRows...
// The file and libjpeg's memory are let go by the destructor, whatever step
// the decoding ends at. Other picture formats get a front of the same shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace JpegGuard {

// [SECTION] Limits
// A picture larger than this at its decoding scale is refused: 100 million
// pixels are 400 MB on the screen, 200 MB of grey plane.
inline constexpr std::int64_t MaxPixels = 100'000'000;
// libjpeg's own memory, above all the full-size coefficients of a file of
// several scans (progressive ones), whatever the scale: with the picture it
// stays below 1 GB.
inline constexpr long MaxDecoderMemory = 500'000'000;
// A file may make libjpeg decode this many blocks of 8 x 8 pixels (summed
// over its scans) for each of its bytes: a photograph needs far fewer, while
// a bomb of a hundred bytes claims billions of blocks and seconds of work.
inline constexpr std::int64_t MaxBlocksPerByte = 256;

// [SECTION] Failures
// Why a file was not decoded.
enum class Failure {
    None,
    Missing,
    AccessDenied,
    Unopenable, // SystemError holds errno
    NotRegularFile,
    NotJpeg,
    Truncated,
    ScansMissing, // a progressive file without its later scans
    Damaged,
    TooLittleData, // more blocks than MaxBlocksPerByte for FileBytes
    TooMuchMemory, // CoefficientBytes over MaxDecoderMemory
    TooManyPixels, // OutputWidth x OutputHeight over MaxPixels
    OutOfMemory, // libjpeg's or the caller's memory could not be had
};

// The blocks of 8 x 8 pixels of one decoding: those its scans were allowed
// (charged against MaxBlocksPerByte as each scan starts) and those libjpeg
// has read so far. A count of the work, not of the time.
struct Work {
    std::int64_t BlocksAllowed = 0;
    std::int64_t BlocksRead = 0;
};

// A failure and what its message needs; figures not yet known are 0.
struct Refusal {
    Failure Why = Failure::None;
    int SystemError = 0;
    std::int64_t FileBytes = 0;
    std::int64_t Width = 0, Height = 0; // full size, as the header claims
    int Scale = 1;
    std::int64_t OutputWidth = 0, OutputHeight = 0; // at Scale
    std::int64_t CoefficientBytes = 0;
    Work Done;
    std::string Detail; // a technical detail in English (libjpeg's message)
};

// The failure of an open that set error (errno, or -1 for a name that is no
// regular file, as Files::OpenRegularFile does).
Failure OpenFailure(int error);

// [SECTION] Decoder
// How the rows come: Bgra as the canvas's words (B, G, R, 0xff); Packed in
// as few bytes a pixel as the file's colours need: 1 (grey), 3 (R, G, B) or
// 4 (B, G, R, 0xff: CMYK and YCCK files).
enum class Layout { Bgra, Packed };

class Decoder {
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens path, a regular file, without blocking.
    bool Open(const std::string& path);
    // Reads the header; rows will come at 1/scale of the size in each
    // direction (1, 2, 4 or 8, each side rounded up).
    bool ReadHeader(int scale, Layout layout);
    // Work, coefficient memory and pixel count, before anything large is
    // allocated: the caller allocates its buffer after this.
    bool CheckLimits();
    // Reads what a file of several scans needs before its first row.
    bool Start();
    // Decodes up to wanted (1 to 16) rows into rows; got: how many came.
    bool ReadRows(unsigned char* const* rows, int wanted, int& got);
    // A failure of the caller's own (its buffer): ends the decoding, false.
    bool Fail(Failure why);

    int Width() const; // at the scale; valid after ReadHeader
    int Height() const;
    int PixelBytes() const; // of a row's pixel in the layout
    Refusal Refused() const; // with the work done so far
    Work Done() const;

    struct State;

private:
    std::unique_ptr<State> S;
};

// In place: the bytes C, M, Y, K of each of count pixels as libjpeg gives
// them (inverted where the file has Adobe's marker) become B, G, R, 0xff.
void ConvertCmykPixels(unsigned char* pixels, std::size_t count, bool inverted);

} // namespace JpegGuard
