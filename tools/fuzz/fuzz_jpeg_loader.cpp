// SPDX-License-Identifier: GPL-3.0-or-later
// Photograph::DecodeJpegFile on arbitrary bytes, given as a file in memory,
// at each of the sizes 8, 4, 2 and 1: a picture of Width x Height opaque
// pixels within MaxPicturePixels, or a std::runtime_error with a message
// that names the file and leaves the picture empty. Run under a memory
// limit (tools/run-fuzzers.sh): whatever a file claims, memory stays bounded.
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

[[noreturn]] void Fail(const char* what, int scale)
{
    std::fprintf(stderr, "fuzz_jpeg_loader: %s at size %d\n", what, scale);
    std::abort();
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
        if (Picture.Width <= 0 || Picture.Height <= 0 || pixels > Photograph::MaxPicturePixels
            || Picture.Pixels.size() != static_cast<std::size_t>(pixels))
            Fail("the picture's size does not match its pixels", scale);
        for (const std::uint32_t pixel : Picture.Pixels)
            if (pixel >> 24 != 0xff)
                Fail("a pixel is not opaque", scale);
    }
    return 0;
}
