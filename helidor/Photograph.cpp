// SPDX-License-Identifier: GPL-3.0-or-later
#include "Photograph.h"

#include "Settings.h"
#include "Texts.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <new>
#include <stdexcept>

namespace Photograph {

namespace {

using JpegGuard::Failure;

bool DecodeJpegRows(JpegGuard::Decoder& decoder, Bitmap::PixelBuffer& pixels);
[[noreturn]] void ThrowJpegFailure(const JpegGuard::Decoder& decoder, const std::string& path);
[[noreturn]] void ThrowOpenError(const std::string& path, int error);
[[noreturn]] void ThrowBitmapFailure(const Bitmap::BitmapFailure& failure, const std::string& path);
std::string TooLargeText(const JpegGuard::Refusal& refused, const std::string& path,
    bool outOfMemory, bool offerReduction);
void EmptyPicture(Bitmap::Picture& picture);
bool IsSupportedScale(int scale);

ShownPicture ShownNow;

} // namespace

// [SECTION] State

const ShownPicture& Shown()
{
    return ShownNow;
}

const Bitmap::Picture& ShownPixels()
{
    static const Bitmap::Picture None;
    if (ShownNow.Path.empty())
        return None; // a failed load keeps the buffer of the other kind
    return ShownNow.Kind == Format::Jpeg ? PhotoJpeg : PhotoBitmap;
}

void Reset()
{
    PhotoJpeg = {};
    PhotoBitmap = {};
    DecodingScale = 1;
    ShownNow = {};
}

// [SECTION] Display

bool IsJpegName(const std::string& name)
{
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
        [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find(".JPG") != std::string::npos || upper.find(".JPEG") != std::string::npos;
}

void ShowPhotograph(const std::string& path, int x, int y)
{
    if (Settings::IsJpeg)
        ShowJpegPhotograph(path, x, y);
    else
        ShowBitmapPhotograph(path, x, y);
}

void ShowJpegPhotograph(const std::string& path, int x, int y)
{
    const int scale = IsSupportedScale(Settings::JpegScale) ? Settings::JpegScale : DecodingScale;
    ShownNow = {};
    const Files::FileIdentity identity = Files::IdentityOf(path);
    const FullSize full = DecodeJpegFile(path, scale, PhotoJpeg);
    DecodingScale = scale;
    ShownNow = { identity, path, Format::Jpeg, scale, x, y, full.Width, full.Height };
    FensterGraf::DrawPicture(PhotoJpeg, x, y);
}

void ShowBitmapPhotograph(const std::string& path, int x, int y)
{
    ShownNow = {};
    const Files::FileIdentity identity = Files::IdentityOf(path);
    try {
        Bitmap::ReadBitmapFile(path, PhotoBitmap);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(Texts::Message(Texts::PictureTooLargeForMemory, { path }));
    } catch (const Bitmap::BitmapFailure& failure) {
        ThrowBitmapFailure(failure, path); // the reader left the picture empty
    }
    ShownNow = { identity, path, Format::Bitmap, 1, x, y, PhotoBitmap.Width, PhotoBitmap.Height };
    FensterGraf::DrawPicture(PhotoBitmap, x, y);
}

void RedrawPhotograph()
{
    FensterGraf::DrawPicture(
        Settings::IsJpeg ? PhotoJpeg : PhotoBitmap, Settings::PictureX, Settings::PictureY);
}

// [SECTION] Decoding

FullSize DecodeJpegFile(const std::string& path, int scale, Bitmap::Picture& picture)
{
    assert(IsSupportedScale(scale) && "a JPEG is decoded at scale 1, 2, 4 or 8");
    EmptyPicture(picture);
    JpegGuard::Decoder decoder;
    if (!decoder.Open(path) || !decoder.ReadHeader(scale, JpegGuard::Layout::Bgra)
        || !decoder.CheckLimits())
        ThrowJpegFailure(decoder, path);
    const std::int64_t width = decoder.Width();
    const std::int64_t height = decoder.Height();
    const auto count = static_cast<std::size_t>(width * height);
    try {
        if (picture.Pixels.capacity() < count) {
            // Growing a vector would copy the old pixels over: drop them first.
            Bitmap::PixelBuffer().swap(picture.Pixels);
            picture.Pixels.reserve(count);
            // A picture of tens of megabytes in 2 MB pages costs the kernel a
            // few dozen page faults instead of thousands: for a first load at
            // full size of 6000 x 4000 pixels about 10 ms instead of 30, a
            // third of the decoding time.
            UnsetBuffer::AdviseLargePages(picture.Pixels.data(), count * sizeof(std::uint32_t));
        }
    } catch (const std::bad_alloc&) {
        EmptyPicture(picture);
        decoder.Fail(Failure::OutOfMemory);
        ThrowJpegFailure(decoder, path);
    }
    if (!decoder.Start() || !DecodeJpegRows(decoder, picture.Pixels)) {
        EmptyPicture(picture);
        ThrowJpegFailure(decoder, path);
    }
    picture.Width = static_cast<int>(width);
    picture.Height = static_cast<int>(height);
    const JpegGuard::Refusal header = decoder.Refused(); // its figures, not a failure
    return { static_cast<int>(header.Width), static_cast<int>(header.Height) };
}

std::string JpegFailureText(
    const JpegGuard::Refusal& refused, const std::string& path, bool offerReduction)
{
    switch (refused.Why) {
    case Failure::Missing:
        return Texts::Message(Texts::PictureMissing, { path });
    case Failure::AccessDenied:
        return Texts::Message(Texts::PictureAccessDenied, { path });
    case Failure::Unopenable:
        return Texts::Message(
            Texts::PictureUnopenable, { path, std::to_string(refused.SystemError) });
    case Failure::NotRegularFile:
        return Texts::Message(Texts::PictureNotRegularFile, { path });
    case Failure::NotJpeg:
        return Texts::Message(Texts::JpegNotJpeg, { path });
    case Failure::Truncated:
        return Texts::Message(Texts::JpegTruncated, { path });
    case Failure::ScansMissing:
        return Texts::Message(Texts::JpegScansMissing, { path });
    case Failure::TooLittleData:
        return Texts::Message(Texts::JpegTooLittleData,
            { path, std::to_string(refused.FileBytes), std::to_string(refused.Width),
                std::to_string(refused.Height) });
    case Failure::TooMuchMemory:
        return Texts::Message(Texts::JpegTooMuchBuffer,
            { path, std::to_string(refused.Width), std::to_string(refused.Height),
                std::to_string(refused.CoefficientBytes / 1'000'000),
                std::to_string(JpegGuard::MaxDecoderMemory / 1'000'000) });
    case Failure::TooManyPixels:
        return TooLargeText(refused, path, false, offerReduction);
    case Failure::OutOfMemory:
        if (refused.OutputWidth * refused.OutputHeight == 0)
            return Texts::Message(Texts::PictureTooLargeForMemory, { path });
        return TooLargeText(refused, path, true, offerReduction);
    case Failure::None:
    case Failure::Damaged:
        break;
    }
    return Texts::Message(Texts::JpegDamaged, { path });
}

namespace {

void EmptyPicture(Bitmap::Picture& picture)
{
    picture.Width = 0;
    picture.Height = 0;
    picture.Pixels.clear(); // keeps the buffer for the next picture
}

bool IsSupportedScale(int scale)
{
    return scale == 1 || scale == 2 || scale == 4 || scale == 8;
}

// The rows into pixels, reserved for all of them and grown row by row, so
// that a file refused after its first rows costs no more.
bool DecodeJpegRows(JpegGuard::Decoder& decoder, Bitmap::PixelBuffer& pixels)
{
    const auto width = static_cast<std::size_t>(decoder.Width());
    const int height = decoder.Height();
    unsigned char* rows[16];
    for (int first = 0; first < height;) {
        const int wanted = std::min(16, height - first);
        const auto from = static_cast<std::size_t>(first);
        pixels.resize((from + static_cast<std::size_t>(wanted)) * width); // no copy, no throw
        for (int i = 0; i < wanted; ++i)
            rows[i] = reinterpret_cast<unsigned char*>(
                pixels.data() + (from + static_cast<std::size_t>(i)) * width);
        int got = 0;
        if (!decoder.ReadRows(rows, wanted, got))
            return false;
        first += got;
    }
    // The end marker is not waited for: every row is there.
    return true;
}

void ThrowJpegFailure(const JpegGuard::Decoder& decoder, const std::string& path)
{
    const JpegGuard::Refusal refused = decoder.Refused();
    throw JpegError(refused, JpegFailureText(refused, path));
}

void ThrowOpenError(const std::string& path, int error)
{
    JpegGuard::Refusal refused;
    refused.Why = JpegGuard::OpenFailure(error);
    refused.SystemError = error;
    throw std::runtime_error(JpegFailureText(refused, path));
}

void ThrowBitmapFailure(const Bitmap::BitmapFailure& failure, const std::string& path)
{
    using Bitmap::BitmapProblem;
    Texts::Entry reason = Texts::BitmapNotBmp;
    switch (failure.Problem) {
    case BitmapProblem::Unopenable:
        ThrowOpenError(path, static_cast<int>(failure.First));
        break;
    case BitmapProblem::NotRegularFile:
        ThrowOpenError(path, -1);
        break;
    case BitmapProblem::HeaderUnreadable:
        reason = Texts::BitmapHeaderUnreadable;
        break;
    case BitmapProblem::NotBmp:
        reason = Texts::BitmapNotBmp;
        break;
    case BitmapProblem::HeaderSize:
        reason = Texts::BitmapHeaderSize;
        break;
    case BitmapProblem::HeaderCut:
        reason = Texts::BitmapHeaderCut;
        break;
    case BitmapProblem::Planes:
        reason = Texts::BitmapPlanes;
        break;
    case BitmapProblem::Depth:
        reason = Texts::BitmapDepth;
        break;
    case BitmapProblem::Compression:
        reason = Texts::BitmapCompression;
        break;
    case BitmapProblem::DepthNeedsNewerHeader:
        reason = Texts::BitmapDepthNeedsNewerHeader;
        break;
    case BitmapProblem::Dimensions:
        reason = Texts::BitmapDimensions;
        break;
    case BitmapProblem::TooManyPixels:
        reason = Texts::BitmapTooManyPixels;
        break;
    case BitmapProblem::MasksCut:
        reason = Texts::BitmapMasksCut;
        break;
    case BitmapProblem::MaskShape:
        reason = Texts::BitmapMaskShape;
        break;
    case BitmapProblem::MasksOverlap:
        reason = Texts::BitmapMasksOverlap;
        break;
    case BitmapProblem::TooManyColours:
        reason = Texts::BitmapTooManyColours;
        break;
    case BitmapProblem::TableOverlap:
        reason = Texts::BitmapTableOverlap;
        break;
    case BitmapProblem::PixelsInHeader:
        reason = Texts::BitmapPixelsInHeader;
        break;
    case BitmapProblem::CutShort:
        reason = Texts::BitmapCutShort;
        break;
    case BitmapProblem::PixelsUnreadable:
        reason = Texts::BitmapPixelsUnreadable;
        break;
    case BitmapProblem::IndexBeyondTable:
        reason = Texts::BitmapIndexBeyondTable;
        break;
    }
    const std::string detail
        = Texts::Message(reason, { std::to_string(failure.First), std::to_string(failure.Second) });
    throw std::runtime_error(Texts::Message(Texts::BitmapUnreadable, { path, detail }));
}

std::string TooLargeText(const JpegGuard::Refusal& refused, const std::string& path,
    bool outOfMemory, bool offerReduction)
{
    const int scale = refused.Scale;
    std::string larger; // the reductions beyond scale: "2, 4 or 8"
    for (int s = scale * 2; offerReduction && s <= 8; s *= 2)
        larger += (larger.empty()  ? ""
                          : s == 8 ? Texts::Text(Texts::JpegOr)
                                   : ", ")
            + std::to_string(s);
    std::string text = Texts::Message(Texts::JpegTooLargeAtSize,
        { path, std::to_string(scale), std::to_string(refused.OutputWidth),
            std::to_string(refused.OutputHeight) });
    if (outOfMemory)
        text += Texts::Text(Texts::JpegNotEnoughMemory);
    else
        text += Texts::Message(
            Texts::JpegAtMostMillion, { std::to_string(JpegGuard::MaxPixels / 1'000'000) });
    if (!larger.empty())
        text += Texts::Message(Texts::JpegLargerReduction, { larger });
    return text;
}

// The entry's text with %1 to %9 replaced by the values, in one pass: a
// value that holds "%2" stays as it is.

} // namespace

} // namespace Photograph
