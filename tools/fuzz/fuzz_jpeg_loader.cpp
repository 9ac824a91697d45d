// SPDX-License-Identifier: GPL-3.0-or-later
// Both decoders of JPEG files on arbitrary bytes, given as a file in memory:
// Photograph::DecodeJpegFile at each of the sizes 8, 4, 2 and 1 (a picture
// of Width x Height opaque pixels within JpegGuard::MaxPixels, or a
// std::runtime_error with a message that names the file and leaves the
// picture empty), and the assisted fit's GreyPlane::DecodeJpegFile at full
// size (a plane of Width x Height samples within the same limit, or a
// PlaneError whose reason the display words and that leaves the plane
// empty). Both keep the same buffers from input to input, as the program
// does. Run under a memory limit (tools/run-fuzzers.sh): whatever a file
// claims, memory stays bounded.
#include "GreyPlane.h"
#include "Photograph.h"
#include "Settings.h"
#include "Texts.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

int MemoryFile = -1;
std::string MemoryFileName;
Bitmap::Picture Picture; // reused, as the program does
GreyPlane::Plane Plane;

[[noreturn]] void Fail(const char* what, int scale)
{
    std::fprintf(stderr, "fuzz_jpeg_loader: %s at size %d\n", what, scale);
    std::abort();
}

// The grey plane of the same file, as "a" decodes it.
void DecodePlane()
{
    try {
        GreyPlane::DecodeJpegFile(MemoryFileName, Plane);
    } catch (const GreyPlane::PlaneError& error) {
        if (error.Refused.Why == JpegGuard::Failure::None)
            Fail("the plane was refused without a reason", 1);
        if (Photograph::JpegFailureText(error.Refused, MemoryFileName, false).find(MemoryFileName)
            == std::string::npos)
            Fail("the plane's refusal is worded without the file's name", 1);
        if (Plane.Width != 0 || Plane.Height != 0 || !Plane.Samples.empty())
            Fail("a refused plane was left", 1);
        return;
    }
    const auto pixels
        = static_cast<std::int64_t>(Plane.Width) * static_cast<std::int64_t>(Plane.Height);
    if (Plane.Width <= 0 || Plane.Height <= 0 || pixels > JpegGuard::MaxPixels
        || Plane.Samples.size() != static_cast<std::size_t>(pixels))
        Fail("the plane's size does not match its samples", 1);
    if ((Plane.KeptChannels & GreyPlane::AllChannels) == 0)
        Fail("the plane keeps no channel", 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Texts::SetUpMessageTexts();
    Settings::Language = 2;
    MemoryFile = memfd_create("photograph", 0);
    if (MemoryFile < 0)
        Fail("no file in memory", 0);
    MemoryFileName = "/proc/self/fd/" + std::to_string(MemoryFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (ftruncate(MemoryFile, 0) != 0
        || pwrite(MemoryFile, data, size, 0) != static_cast<ssize_t>(size))
        Fail("cannot write the file in memory", 0);
    for (const int scale : { 8, 4, 2, 1 }) {
        try {
            Photograph::DecodeJpegFile(MemoryFileName, scale, Picture);
        } catch (const std::runtime_error& error) {
            if (std::string(error.what()).find(MemoryFileName) == std::string::npos)
                Fail("a message without the file's name", scale);
            if (Picture.Width != 0 || Picture.Height != 0 || !Picture.Pixels.empty())
                Fail("a failed load left a picture", scale);
            continue;
        }
        const auto pixels
            = static_cast<std::int64_t>(Picture.Width) * static_cast<std::int64_t>(Picture.Height);
        if (Picture.Width <= 0 || Picture.Height <= 0 || pixels > JpegGuard::MaxPixels
            || Picture.Pixels.size() != static_cast<std::size_t>(pixels))
            Fail("the picture's size does not match its pixels", scale);
        for (const std::uint32_t pixel : Picture.Pixels)
            if (pixel >> 24 != 0xff)
                Fail("a pixel is not opaque", scale);
    }
    DecodePlane();
    return 0;
}
