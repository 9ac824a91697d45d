// SPDX-License-Identifier: GPL-3.0-or-later
#include "Photograph.h"

#include "GreyPlane.h"
#include "JpegGuard.h"
#include "Settings.h"
#include "Texts.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <stdexcept>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// jerror.h numbers its messages by the configuration that jpeglib.h brings.
#include <jerror.h>

namespace Photograph {

namespace {

// Why a picture was not loaded; each has its message.
enum class Failure {
    None,
    Missing,
    AccessDenied,
    Unopenable,
    NotRegularFile,
    NotJpeg,
    Truncated,
    ScansMissing,
    TooLittleData,
    Damaged,
    OutOfMemory
};

// libjpeg reports errors through callbacks of C code, which a C++ exception
// must not cross: they jump back to a setjmp in a frame that holds no object
// with a destructor, and the C++ side turns the recorded failure into an
// exception. The error manager must stay the struct's first member, because
// libjpeg hands back only a pointer to it.
struct JpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Escape;
    Failure Why;
};

// libjpeg's progress hook (CheckDataLeft), called after every row of blocks
// it reads and before every call for output rows: how much work the scans
// claim, and where the picture's data runs out too early.
struct JpegProgress {
    jpeg_progress_mgr Manager;
    JpegErrors* Errors;
    // Where the data of a single arithmetic scan ended early: the output rows
    // from here on must be one colour (see CheckDataLeft).
    bool EndedEarly;
    JDIMENSION UniformFrom;
    // The blocks that the scans counted so far may still decode (see
    // ChargeScan), and how many scans were counted.
    std::int64_t BlocksLeft;
    int ScansCounted;
};

// One decoding: everything the guarded steps touch lives here, in the
// caller's frame.
struct JpegJob {
    jpeg_decompress_struct Info;
    JpegErrors Errors;
    JpegProgress Progress;
    std::FILE* File;
    int Scale;
    // Reserved for Info.output_width x output_height words and grown row by
    // row, so that a file refused after its first rows costs no more.
    Bitmap::PixelBuffer* Pixels;
    int OpenError; // errno of a failed open, else 0
    std::int64_t FileBytes;
    bool Failed;
};

[[noreturn]] void FailJpeg(j_common_ptr info);
[[noreturn]] void FailJob(JpegErrors& errors, Failure why);
void CheckDataLeft(j_common_ptr info);
bool ChargeScan(const jpeg_decompress_struct& info, JpegProgress& progress);
void CheckUniformTail(const JpegJob& job, const Bitmap::PixelBuffer& pixels);
std::int64_t CoefficientBytes(const jpeg_decompress_struct& info);
void CheckAllScansThere(const jpeg_decompress_struct& info, JpegErrors& errors);
void OpenJpeg(const std::string& path, JpegJob& job, JpegGuard::Resources& resources);
void ReadJpegHeader(JpegJob& job);
void DecodeJpegRows(JpegJob& job);
[[noreturn]] void ThrowJobFailure(const JpegJob& job, const std::string& path);
Failure ClassifyJpegFailure(int code);
[[noreturn]] void ThrowLoadError(Failure failure, const std::string& path, int error = 0);
[[noreturn]] void ThrowOpenError(const std::string& path, int error);
[[noreturn]] void ThrowBitmapFailure(const Bitmap::BitmapFailure& failure, const std::string& path);
[[noreturn]] void ThrowTooLarge(
    const std::string& path, int scale, std::int64_t width, std::int64_t height, bool outOfMemory);
void EmptyPicture(Bitmap::Picture& picture);
bool IsSupportedScale(int scale);

} // namespace

// [SECTION] State

void Reset()
{
    PhotoJpeg = {};
    PhotoBitmap = {};
    DecodingScale = 1;
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
    DecodeJpegFile(path, scale, PhotoJpeg);
    DecodingScale = scale;
    FensterGraf::DrawPicture(PhotoJpeg, x, y);
}

void ShowBitmapPhotograph(const std::string& path, int x, int y)
{
    try {
        Bitmap::ReadBitmapFile(path, PhotoBitmap);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(Texts::Message(Texts::PictureTooLargeForMemory, { path }));
    } catch (const Bitmap::BitmapFailure& failure) {
        ThrowBitmapFailure(failure, path); // the reader left the picture empty
    }
    FensterGraf::DrawPicture(PhotoBitmap, x, y);
}

void RedrawPhotograph()
{
    FensterGraf::DrawPicture(
        Settings::IsJpeg ? PhotoJpeg : PhotoBitmap, Settings::PictureX, Settings::PictureY);
}

// [SECTION] Decoding

void DecodeJpegFile(const std::string& path, int scale, Bitmap::Picture& picture)
{
    assert(IsSupportedScale(scale) && "a JPEG is decoded at scale 1, 2, 4 or 8");
    EmptyPicture(picture);
    JpegJob job {};
    job.Scale = scale;
    JpegGuard::Resources resources;
    OpenJpeg(path, job, resources);
    if (job.Failed)
        ThrowJobFailure(job, path);
    // The first scan's blocks, before anything is allocated; later scans as
    // they start.
    if (!ChargeScan(job.Info, job.Progress)) {
        job.Errors.Why = Failure::TooLittleData;
        ThrowJobFailure(job, path);
    }

    // A file of several scans keeps all its coefficients at full size
    // whatever the scale: refused before libjpeg allocates them.
    const std::int64_t coefficients = CoefficientBytes(job.Info);
    if (coefficients > MaxDecoderMemory)
        throw std::runtime_error(Texts::Message(Texts::JpegTooMuchBuffer,
            { path, std::to_string(job.Info.image_width), std::to_string(job.Info.image_height),
                std::to_string(coefficients / 1'000'000),
                std::to_string(MaxDecoderMemory / 1'000'000) }));
    const std::int64_t width = job.Info.output_width;
    const std::int64_t height = job.Info.output_height;
    if (width * height > MaxPicturePixels)
        ThrowTooLarge(path, scale, width, height, false);
    const auto count = static_cast<std::size_t>(width * height);
    try {
        if (picture.Pixels.capacity() < count) {
            // Growing a vector would copy the old pixels over: drop them first.
            Bitmap::PixelBuffer().swap(picture.Pixels);
            picture.Pixels.reserve(count);
            UnsetBuffer::AdviseLargePages(picture.Pixels.data(), count * sizeof(std::uint32_t));
        }
    } catch (const std::bad_alloc&) {
        EmptyPicture(picture);
        ThrowTooLarge(path, scale, width, height, true);
    }

    job.Pixels = &picture.Pixels;
    if (!JpegGuard::RunGuarded(job, DecodeJpegRows)) {
        EmptyPicture(picture);
        ThrowJobFailure(job, path);
    }
    picture.Width = static_cast<int>(width);
    picture.Height = static_cast<int>(height);
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

void FailJpeg(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    FailJob(*errors, ClassifyJpegFailure(info->err->msg_code));
}

void FailJob(JpegErrors& errors, Failure why)
{
    errors.Why = why;
    std::longjmp(errors.Escape, 1);
}

// Called after every row of blocks that libjpeg reads and before every call
// for output rows. A scan whose data is missing decodes to an invented
// picture: Huffman scans warn by themselves, but the arithmetic decoder meets
// the marker after the data and then supplies zeros without a warning. Its
// data may end early rightly too: the encoder drops the zero bytes at the
// end, which a uniform last part (a black sky) gives. So a single arithmetic
// scan that ends before its last row of blocks is refused: at once when more
// than half of the rows are left (zeros decode to one colour too), else after
// decoding unless the rows after the end are of one colour
// (CheckUniformTail). A restart marker between intervals is no end. In a
// progressive file, missing scans are caught after all are read.
void CheckDataLeft(j_common_ptr common)
{
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    auto& progress = *reinterpret_cast<JpegProgress*>(info->progress);
    if (!ChargeScan(*info, progress))
        FailJob(*progress.Errors, Failure::TooLittleData);
    const int marker = info->unread_marker;
    const bool end = marker != 0 && (marker < 0xd0 || marker > 0xd7);
    const bool endedEarly = info->arith_code && !info->progressive_mode && end
        && info->input_iMCU_row < info->total_iMCU_rows;
    if (endedEarly && 2 * info->input_iMCU_row < info->total_iMCU_rows)
        FailJob(*progress.Errors, Failure::Truncated);
    if (endedEarly && !progress.EndedEarly) {
        // Every row of blocks from input_iMCU_row on is decoded from zeros; the
        // one after it is free of smoothing across the end.
        progress.EndedEarly = true;
        progress.UniformFrom = (info->input_iMCU_row + 1)
            * static_cast<JDIMENSION>(info->max_v_samp_factor * info->min_DCT_scaled_size);
    }
}

// Every block of every scan costs decoding time, however few bytes the file
// holds: a photograph has at least a few bits per block, a bomb of a hundred
// bytes claims billions of blocks, or hundreds of scans over millions. A
// scan is counted when it starts; false when the blocks of the scans so far
// exceed MaxBlocksPerByte for each byte of the file.
bool ChargeScan(const jpeg_decompress_struct& info, JpegProgress& progress)
{
    if (info.input_scan_number <= progress.ScansCounted)
        return true;
    progress.ScansCounted = info.input_scan_number;
    for (int i = 0; i < info.comps_in_scan; ++i)
        progress.BlocksLeft -= static_cast<std::int64_t>(info.cur_comp_info[i]->width_in_blocks)
            * info.cur_comp_info[i]->height_in_blocks;
    return progress.BlocksLeft >= 0;
}

void CheckUniformTail(const JpegJob& job, const Bitmap::PixelBuffer& pixels)
{
    const JpegProgress& progress = job.Progress;
    const std::size_t from = std::min<std::size_t>(progress.UniformFrom, job.Info.output_height)
        * job.Info.output_width;
    if (progress.EndedEarly && from < pixels.size()
        && std::any_of(pixels.begin() + static_cast<std::ptrdiff_t>(from), pixels.end(),
            [&](std::uint32_t pixel) { return pixel != pixels[from]; }))
        FailJob(*progress.Errors, Failure::Truncated);
}

// The bytes of libjpeg's full-size coefficient buffer: 64 coefficients of 2
// bytes for every block of every component, whole sampling units; 0 for a
// file of one scan, which is decoded row by row.
std::int64_t CoefficientBytes(const jpeg_decompress_struct& info)
{
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info)))
        return 0;
    std::int64_t bytes = 0;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info& component = info.comp_info[i];
        const std::int64_t across = component.h_samp_factor;
        const std::int64_t down = component.v_samp_factor;
        const std::int64_t wide = (component.width_in_blocks + across - 1) / across * across;
        const std::int64_t high = (component.height_in_blocks + down - 1) / down * down;
        bytes += wide * high * DCTSIZE2 * static_cast<std::int64_t>(sizeof(JCOEF));
    }
    return bytes;
}

// A progressive file without its later scans decodes to 8 x 8 blotches: every
// coefficient of every component must have come to its full precision.
void CheckAllScansThere(const jpeg_decompress_struct& info, JpegErrors& errors)
{
    if (!info.progressive_mode)
        return;
    for (int i = 0; i < info.num_components; ++i)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (info.coef_bits[i][k] != 0)
                FailJob(errors, Failure::ScansMissing);
}

// Opens the file and reads the header at job.Scale; a failure sets job.Failed.
void OpenJpeg(const std::string& path, JpegJob& job, JpegGuard::Resources& resources)
{
    job.File = JpegGuard::OpenFile(path, resources, job.OpenError, job.FileBytes);
    if (!job.File) {
        job.Failed = true;
        return;
    }
    JpegGuard::InstallErrors<FailJpeg>(job);
    job.Progress.Manager.progress_monitor = CheckDataLeft;
    job.Progress.Errors = &job.Errors;
    job.Progress.BlocksLeft = job.FileBytes * MaxBlocksPerByte;
    resources.Decoder.reset(&job.Info);
    job.Failed = !JpegGuard::RunGuarded(job, ReadJpegHeader);
}

void ReadJpegHeader(JpegJob& job)
{
    jpeg_decompress_struct& info = job.Info;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = MaxDecoderMemory;
    info.progress = &job.Progress.Manager;
    jpeg_stdio_src(&info, job.File);
    jpeg_read_header(&info, TRUE);
    // libjpeg converts grey, YCbCr and RGB straight into the canvas's bytes
    // (BGRA sets the fourth byte to 0xff, BGRX would leave it undefined);
    // CMYK and YCCK arrive as CMYK and are converted here.
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned int>(job.Scale);
    jpeg_calc_output_dimensions(&info);
}

void DecodeJpegRows(JpegJob& job)
{
    jpeg_decompress_struct& info = job.Info;
    jpeg_start_decompress(&info);
    CheckAllScansThere(info, job.Errors);
    const std::size_t width = info.output_width;
    Bitmap::PixelBuffer& pixels = *job.Pixels;
    JSAMPROW rows[16];
    while (info.output_scanline < info.output_height) {
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION wanted = std::min<JDIMENSION>(16, info.output_height - first);
        pixels.resize((first + wanted) * width); // within the reserve: no copy, no throw
        for (JDIMENSION i = 0; i < wanted; ++i)
            rows[i] = reinterpret_cast<JSAMPROW>(pixels.data() + (first + i) * width);
        const JDIMENSION got = jpeg_read_scanlines(&info, rows, wanted);
        if (info.out_color_space == JCS_CMYK)
            // Adobe's programs, which write the marker, store CMYK inverted.
            GreyPlane::ConvertCmykRows(
                pixels.data() + first * width, got * width, info.saw_Adobe_marker);
    }
    CheckUniformTail(job, pixels);
    // The end marker is not waited for: every row is there.
}

// A picture of tens of megabytes in 2 MB pages costs the kernel a few dozen
// page faults instead of thousands: for a first load at full size of 6000 x
// 4000 pixels about 10 ms instead of 30, a third of the decoding time.
void ThrowJobFailure(const JpegJob& job, const std::string& path)
{
    if (job.OpenError != 0)
        ThrowOpenError(path, job.OpenError);
    if (job.Errors.Why == Failure::OutOfMemory)
        ThrowTooLarge(path, job.Scale, job.Info.output_width, job.Info.output_height, true);
    if (job.Errors.Why == Failure::TooLittleData)
        throw std::runtime_error(Texts::Message(Texts::JpegTooLittleData,
            { path, std::to_string(job.FileBytes), std::to_string(job.Info.image_width),
                std::to_string(job.Info.image_height) }));
    ThrowLoadError(job.Errors.Why, path);
}

Failure ClassifyJpegFailure(int code)
{
    switch (code) {
    case JERR_NO_SOI:
    case JERR_INPUT_EMPTY:
        return Failure::NotJpeg;
    case JERR_INPUT_EOF:
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
        return Failure::Truncated;
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
    case JERR_TFILE_CREATE:
        return Failure::OutOfMemory;
    default:
        return Failure::Damaged;
    }
}

void ThrowLoadError(Failure failure, const std::string& path, int error)
{
    switch (failure) {
    case Failure::Missing:
        throw std::runtime_error(Texts::Message(Texts::PictureMissing, { path }));
    case Failure::AccessDenied:
        throw std::runtime_error(Texts::Message(Texts::PictureAccessDenied, { path }));
    case Failure::Unopenable:
        throw std::runtime_error(
            Texts::Message(Texts::PictureUnopenable, { path, std::to_string(error) }));
    case Failure::NotRegularFile:
        throw std::runtime_error(Texts::Message(Texts::PictureNotRegularFile, { path }));
    case Failure::NotJpeg:
        throw std::runtime_error(Texts::Message(Texts::JpegNotJpeg, { path }));
    case Failure::Truncated:
        throw std::runtime_error(Texts::Message(Texts::JpegTruncated, { path }));
    case Failure::ScansMissing:
        throw std::runtime_error(Texts::Message(Texts::JpegScansMissing, { path }));
    case Failure::None:
    case Failure::Damaged:
    case Failure::TooLittleData: // with its sizes, by ThrowJobFailure
    case Failure::OutOfMemory: // with its size, by ThrowTooLarge
        break;
    }
    throw std::runtime_error(Texts::Message(Texts::JpegDamaged, { path }));
}

void ThrowOpenError(const std::string& path, int error)
{
    if (error == -1)
        ThrowLoadError(Failure::NotRegularFile, path);
    if (error == ENOENT || error == ENOTDIR)
        ThrowLoadError(Failure::Missing, path);
    if (error == EACCES || error == EPERM)
        ThrowLoadError(Failure::AccessDenied, path);
    ThrowLoadError(Failure::Unopenable, path, error);
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
        ThrowLoadError(Failure::NotRegularFile, path);
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

void ThrowTooLarge(
    const std::string& path, int scale, std::int64_t width, std::int64_t height, bool outOfMemory)
{
    std::string larger; // the reductions beyond scale: "2, 4 or 8"
    for (int s = scale * 2; s <= 8; s *= 2)
        larger += (larger.empty()  ? ""
                          : s == 8 ? Texts::Text(Texts::JpegOr)
                                   : ", ")
            + std::to_string(s);
    std::string text = Texts::Message(Texts::JpegTooLargeAtSize,
        { path, std::to_string(scale), std::to_string(width), std::to_string(height) });
    if (outOfMemory)
        text += Texts::Text(Texts::JpegNotEnoughMemory);
    else
        text += Texts::Message(
            Texts::JpegAtMostMillion, { std::to_string(MaxPicturePixels / 1'000'000) });
    if (!larger.empty())
        text += Texts::Message(Texts::JpegLargerReduction, { larger });
    throw std::runtime_error(text);
}

// The entry's text with %1 to %9 replaced by the values, in one pass: a
// value that holds "%2" stays as it is.

} // namespace

} // namespace Photograph
