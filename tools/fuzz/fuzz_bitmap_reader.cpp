// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmap::ReadBitmapFile on arbitrary bytes, given as a file in memory:
// a picture of Width x Height opaque pixels, or a BitmapFailure that leaves
// the picture empty. Anything else (a crash, another exception, a sanitizer
// report) is a find.
#include "FensterGraf.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int MemoryFile = -1;
std::string MemoryFileName;
Bitmap::Picture Picture; // reused, as the programs do

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_bitmap_reader: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    MemoryFile = memfd_create("bitmap", 0);
    if (MemoryFile < 0)
        Fail("no file in memory");
    MemoryFileName = "/proc/self/fd/" + std::to_string(MemoryFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (ftruncate(MemoryFile, 0) != 0
        || pwrite(MemoryFile, data, size, 0) != static_cast<ssize_t>(size))
        Fail("cannot write the file in memory");
    try {
        Bitmap::ReadBitmapFile(MemoryFileName, Picture);
    } catch (const Bitmap::BitmapFailure&) {
        if (Picture.Width != 0 || Picture.Height != 0 || !Picture.Pixels.empty())
            Fail("a failed read left a picture");
        return 0;
    }
    if (Picture.Width <= 0 || Picture.Height <= 0
        || Picture.Pixels.size()
            != static_cast<std::size_t>(Picture.Width) * static_cast<std::size_t>(Picture.Height))
        Fail("the picture's size does not match its pixels");
    for (const std::uint32_t pixel : Picture.Pixels)
        if (pixel >> 24 != 0xff)
            Fail("a pixel is not opaque");
    return 0;
}
