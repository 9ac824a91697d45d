// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bitmap.h"

#include "Files.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace Bitmap {

namespace {

// A picture of more pixels is refused before anything is allocated: 2^27
// pixels (512 MiB in memory) hold any photograph of today's cameras.
constexpr long long MaxBitmapPixels = 1LL << 27;
constexpr std::uint32_t Opaque = 0xff000000u;
constexpr std::size_t FileHeaderSize = 14;
// The longest header, its three colour masks and a full colour table.
constexpr std::size_t BitmapHeadSize = FileHeaderSize + 124 + 12 + 256 * 4;

// A colour given by a bit mask of a 16- or 32-bit pixel, scaled to 0..255.
struct MaskChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint32_t Max = 0; // Mask >> Shift
};

// What the headers say, checked against the file.
struct BitmapLayout {
    long long Width = 0;
    long long Height = 0; // rows, positive
    bool TopDown = false;
    int Bits = 0;
    std::uint64_t PixelOffset = 0;
    std::uint64_t RowBytes = 0; // padded to 4 bytes
    // Colour table in the picture format; 0 (no alpha) marks an index beyond it.
    std::array<std::uint32_t, 256> Colors {};
    std::array<MaskChannel, 3> Channels {}; // red, green, blue
};

[[noreturn]] void BitmapError(const std::string& name, BitmapProblem problem,
    const std::string& reason, long long first = 0, long long second = 0)
{
    throw BitmapFailure("Cannot read the picture " + name + ": " + reason, problem, first, second);
}

std::uint32_t Le16(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::uint32_t Le32(const unsigned char* p)
{
    return Le16(p) | Le16(p + 2) << 16;
}

bool MakeChannel(std::uint32_t mask, int bits, MaskChannel& channel)
{
    if (mask == 0 || (bits == 16 && mask > 0xffffu))
        return false;
    int shift = 0;
    while ((mask >> shift & 1u) == 0)
        ++shift;
    const std::uint32_t max = mask >> shift;
    if ((max & (max + 1)) != 0) // the bits of a channel lie together
        return false;
    channel = { mask, shift, max };
    return true;
}

std::uint32_t ChannelValue(const MaskChannel& channel, std::uint32_t pixel)
{
    const std::uint64_t value = (pixel & channel.Mask) >> channel.Shift;
    return static_cast<std::uint32_t>((value * 255 + channel.Max / 2) / channel.Max);
}

// The fields of the info header a reader needs beside the layout.
struct InfoHeader {
    std::uint32_t Size = 0; // 12 for the old core header
    std::uint32_t Compression = 0;
    std::uint32_t ColorsUsed = 0;
};
constexpr std::uint32_t NoCompression = 0, BitFields = 3;

void CheckDepthAndSize(
    const std::string& name, const InfoHeader& header, const BitmapLayout& layout)
{
    const int bits = layout.Bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        BitmapError(name, BitmapProblem::Depth,
            std::to_string(bits) + " bits per pixel are not supported", bits);
    const std::uint32_t compression = header.Compression;
    if (compression != NoCompression && !(compression == BitFields && (bits == 16 || bits == 32)))
        BitmapError(name, BitmapProblem::Compression,
            "compression " + std::to_string(compression) + " is not supported", compression);
    if (header.Size == 12 && (bits == 16 || bits == 32))
        BitmapError(name, BitmapProblem::DepthNeedsNewerHeader,
            std::to_string(bits) + " bits per pixel need a newer header", bits);
    if (layout.Width <= 0 || layout.Height == 0)
        BitmapError(
            name, BitmapProblem::Dimensions, "the width must be positive and the height not 0");
    if (layout.Width * layout.Height > MaxBitmapPixels)
        BitmapError(name, BitmapProblem::TooManyPixels,
            "more than " + std::to_string(MaxBitmapPixels) + " pixels", MaxBitmapPixels);
}

// The file header and the info header: size, depth and compression checked.
InfoHeader ReadInfoHeader(
    const std::string& name, const std::vector<unsigned char>& head, BitmapLayout& layout)
{
    const unsigned char* h = head.data();
    if (head.size() < FileHeaderSize + 4 || h[0] != 'B' || h[1] != 'M')
        BitmapError(name, BitmapProblem::NotBmp, "not a BMP file");
    layout.PixelOffset = Le32(h + 10);
    InfoHeader header;
    header.Size = Le32(h + 14);
    const bool core = header.Size == 12;
    if (!core && header.Size != 40 && header.Size != 52 && header.Size != 56 && header.Size != 108
        && header.Size != 124)
        BitmapError(name, BitmapProblem::HeaderSize,
            "unknown header size " + std::to_string(header.Size), header.Size);
    if (head.size() < FileHeaderSize + header.Size)
        BitmapError(name, BitmapProblem::HeaderCut, "the file ends inside its header");
    const unsigned char* info = h + FileHeaderSize;
    std::uint32_t planes = 0;
    if (core) {
        layout.Width = Le16(info + 4);
        layout.Height = Le16(info + 6);
        planes = Le16(info + 8);
        layout.Bits = static_cast<int>(Le16(info + 10));
    } else {
        layout.Width = static_cast<std::int32_t>(Le32(info + 4));
        layout.Height = static_cast<std::int32_t>(Le32(info + 8));
        planes = Le16(info + 12);
        layout.Bits = static_cast<int>(Le16(info + 14));
        header.Compression = Le32(info + 16);
        header.ColorsUsed = Le32(info + 32);
    }
    layout.TopDown = layout.Height < 0;
    layout.Height = layout.TopDown ? -layout.Height : layout.Height;
    if (planes != 1)
        BitmapError(name, BitmapProblem::Planes, "planes must be 1");
    CheckDepthAndSize(name, header, layout);
    return header;
}

// The colour masks of 16 and 32 bits; the offset where a colour table would
// start. Masks lie behind the plain 40-byte header, inside the longer ones.
std::size_t ReadMasks(const std::string& name, const std::vector<unsigned char>& head,
    const InfoHeader& header, BitmapLayout& layout)
{
    std::size_t tableStart = FileHeaderSize + header.Size;
    const int bits = layout.Bits;
    if (bits != 16 && bits != 32)
        return tableStart;
    std::array<std::uint32_t, 3> masks { 0x00ff0000u, 0x0000ff00u, 0x000000ffu };
    if (bits == 16)
        masks = { 0x7c00u, 0x03e0u, 0x001fu };
    if (header.Compression == BitFields) {
        const std::size_t maskStart = FileHeaderSize + 40;
        if (header.Size == 40)
            tableStart += 12;
        if (head.size() < maskStart + 12)
            BitmapError(name, BitmapProblem::MasksCut, "the file ends inside its colour masks");
        for (std::size_t i = 0; i < 3; ++i)
            masks[i] = Le32(head.data() + maskStart + 4 * i);
    }
    for (std::size_t i = 0; i < 3; ++i)
        if (!MakeChannel(masks[i], bits, layout.Channels[i]))
            BitmapError(
                name, BitmapProblem::MaskShape, "a colour mask is empty, split or too wide");
    if ((masks[0] & masks[1]) != 0 || (masks[0] & masks[2]) != 0 || (masks[1] & masks[2]) != 0)
        BitmapError(name, BitmapProblem::MasksOverlap, "colour masks overlap");
    return tableStart;
}

// The colour table of 1, 4 and 8 bits from tableStart; where it ends.
std::size_t ReadColourTable(const std::string& name, const std::vector<unsigned char>& head,
    const InfoHeader& header, std::size_t tableStart, BitmapLayout& layout)
{
    const int bits = layout.Bits;
    if (bits > 8)
        return tableStart;
    const std::uint32_t capacity = 1u << bits;
    const std::uint32_t count = header.ColorsUsed == 0 ? capacity : header.ColorsUsed;
    if (count > capacity)
        BitmapError(name, BitmapProblem::TooManyColours,
            "more colours than " + std::to_string(bits) + " bits can index", bits);
    const std::size_t entrySize = header.Size == 12 ? 3 : 4; // blue, green, red (, unused)
    const std::size_t tableEnd = tableStart + count * entrySize;
    if (tableEnd > layout.PixelOffset || tableEnd > head.size())
        BitmapError(name, BitmapProblem::TableOverlap,
            "the colour table runs into the pixels or past the end");
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* entry = head.data() + tableStart + i * entrySize;
        layout.Colors[i] = Opaque | static_cast<std::uint32_t>(entry[2]) << 16
            | static_cast<std::uint32_t>(entry[1]) << 8 | entry[0];
    }
    return tableEnd;
}

// Reads and checks the headers and the colour table; the file must hold every row.
BitmapLayout ReadBitmapLayout(
    const std::string& name, const std::vector<unsigned char>& head, std::uint64_t fileSize)
{
    BitmapLayout layout;
    const InfoHeader header = ReadInfoHeader(name, head, layout);
    const std::size_t tableStart = ReadMasks(name, head, header, layout);
    const std::size_t tableEnd = ReadColourTable(name, head, header, tableStart, layout);
    if (layout.PixelOffset < tableEnd)
        BitmapError(name, BitmapProblem::PixelsInHeader, "the pixels start inside the header");

    layout.RowBytes
        = (static_cast<std::uint64_t>(layout.Width) * static_cast<std::uint64_t>(layout.Bits) + 31)
        / 32 * 4;
    const std::uint64_t needed
        = layout.PixelOffset + layout.RowBytes * static_cast<std::uint64_t>(layout.Height);
    if (fileSize < needed)
        BitmapError(name, BitmapProblem::CutShort,
            "the file is cut short: " + std::to_string(fileSize) + " bytes of "
                + std::to_string(needed),
            static_cast<long long>(fileSize), static_cast<long long>(needed));
    return layout;
}

// Converts one row of file pixels into the picture format; false when a
// colour index lies beyond the colour table.
bool ConvertRow(const BitmapLayout& layout, const unsigned char* from, std::uint32_t* to)
{
    const std::size_t width = static_cast<std::size_t>(layout.Width);
    const auto& colors = layout.Colors;
    std::uint32_t known = Opaque; // loses its alpha with an entry beyond the table
    switch (layout.Bits) {
    case 1:
        for (std::size_t i = 0; i < width; ++i) {
            to[i] = colors[from[i >> 3] >> (7 - (i & 7)) & 1u];
            known &= to[i];
        }
        return known == Opaque;
    case 4:
        for (std::size_t i = 0; i < width; ++i) {
            to[i] = colors[(i & 1) != 0 ? from[i >> 1] & 15u : from[i >> 1] >> 4];
            known &= to[i];
        }
        return known == Opaque;
    case 8:
        for (std::size_t i = 0; i < width; ++i) {
            to[i] = colors[from[i]];
            known &= to[i];
        }
        return known == Opaque;
    case 24:
        for (std::size_t i = 0; i < width; ++i, from += 3)
            to[i] = Opaque | static_cast<std::uint32_t>(from[2]) << 16
                | static_cast<std::uint32_t>(from[1]) << 8 | from[0];
        return true;
    default:
        break;
    }
    const auto& [red, green, blue] = layout.Channels;
    if (layout.Bits == 32 && red.Mask == 0x00ff0000u && green.Mask == 0x0000ff00u
        && blue.Mask == 0x000000ffu) {
        for (std::size_t i = 0; i < width; ++i, from += 4)
            to[i] = Opaque | (Le32(from) & 0x00ffffffu);
        return true;
    }
    const std::size_t step = static_cast<std::size_t>(layout.Bits) / 8;
    for (std::size_t i = 0; i < width; ++i, from += step) {
        const std::uint32_t pixel = step == 2 ? Le16(from) : Le32(from);
        to[i] = Opaque | ChannelValue(red, pixel) << 16 | ChannelValue(green, pixel) << 8
            | ChannelValue(blue, pixel);
    }
    return true;
}

// Opens name for reading without blocking on a FIFO or a device, and refuses
// anything but a regular file.
int OpenBitmap(const std::string& name, std::uint64_t& fileSize)
{
    int error = 0;
    std::int64_t bytes = 0;
    const int fd = Files::OpenRegularFile(name, error, bytes);
    if (fd < 0 && error == -1)
        BitmapError(name, BitmapProblem::NotRegularFile, "it is not a regular file");
    if (fd < 0)
        BitmapError(name, BitmapProblem::Unopenable, "cannot open it", error);
    fileSize = static_cast<std::uint64_t>(bytes);
    return fd;
}

// True when all of bytes came from offset on.
bool ReadAt(int fd, std::uint64_t offset, std::vector<unsigned char>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(
            fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

struct FileCloser {
    int Fd;
    ~FileCloser() { ::close(Fd); }
};

void ReadBitmap(const std::string& name, Picture& picture)
{
    std::uint64_t fileSize = 0;
    const FileCloser file { OpenBitmap(name, fileSize) };
    std::vector<unsigned char> bytes(std::min<std::uint64_t>(fileSize, BitmapHeadSize));
    if (!ReadAt(file.Fd, 0, bytes))
        BitmapError(name, BitmapProblem::HeaderUnreadable, "cannot read its header");
    const BitmapLayout layout = ReadBitmapLayout(name, bytes, fileSize);

    // All rows in one read; the checks above bound their size by the file's.
    bytes.resize(layout.RowBytes * static_cast<std::uint64_t>(layout.Height));
    if (!ReadAt(file.Fd, layout.PixelOffset, bytes))
        BitmapError(name, BitmapProblem::PixelsUnreadable, "cannot read its pixels");

    const auto width = static_cast<std::size_t>(layout.Width);
    const auto height = static_cast<std::size_t>(layout.Height);
    picture.Pixels.resize(width * height);
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t fileRow = layout.TopDown ? row : height - 1 - row;
        if (!ConvertRow(layout, bytes.data() + fileRow * layout.RowBytes,
                picture.Pixels.data() + row * width))
            BitmapError(name, BitmapProblem::IndexBeyondTable,
                "a colour index lies beyond the colour table");
    }
    picture.Width = static_cast<int>(layout.Width);
    picture.Height = static_cast<int>(layout.Height);
}

} // namespace

void ReadBitmapFile(const std::string& name, Picture& picture)
{
    try {
        ReadBitmap(name, picture);
    } catch (...) {
        // Empty, but the buffer stays for the next picture.
        picture.Width = 0;
        picture.Height = 0;
        picture.Pixels.clear();
        throw;
    }
}

} // namespace Bitmap
