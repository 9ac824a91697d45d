#include "Photograph.h"

#include "Settings.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// jerror.h numbers its messages by the configuration that jpeglib.h brings.
#include <jerror.h>

namespace Photograph {

namespace {

// libjpeg reports errors through callbacks of C code, which a C++ exception
// must not cross: they jump back to a setjmp in a frame that holds no object
// with a destructor, and the C++ side turns the recorded failure into an
// exception. The error manager must stay the struct's first member, because
// libjpeg hands back only a pointer to it.
struct JpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Escape;
    int Code; // libjpeg's message code of the failure
    char Text[JMSG_LENGTH_MAX];
};

// One decoding: everything the guarded steps touch lives here, in the
// caller's frame.
struct JpegJob {
    jpeg_decompress_struct Info;
    JpegErrors Errors;
    std::FILE* File;
    int Scale;
    std::uint32_t* Pixels; // Info.output_width x output_height words
    int OpenError; // errno of a failed open, else 0
    bool Failed;
};

// A job's file and decompressor, released however the job ends.
struct JpegResources {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> File { nullptr, &std::fclose };
    // jpeg_destroy_decompress is safe on a zeroed struct, should creating it fail.
    std::unique_ptr<jpeg_decompress_struct, void (*)(jpeg_decompress_struct*)> Decoder { nullptr,
        &jpeg_destroy_decompress };
};

enum class Failure { Missing, Unopenable, NotJpeg, Truncated, Damaged };

[[noreturn]] void FailJpeg(j_common_ptr info);
void ReportJpegMessage(j_common_ptr info, int level);
bool RunGuarded(JpegJob& job, void (*step)(JpegJob&));
void OpenJpeg(const std::string& path, JpegJob& job, JpegResources& resources);
void ReadJpegHeader(JpegJob& job);
void DecodeJpegRows(JpegJob& job);
void AdviseLargePages(std::uint32_t* pixels, std::size_t count);
[[noreturn]] void ThrowJobFailure(const JpegJob& job, const std::string& path);
void ConvertCmykRows(std::uint32_t* pixels, std::size_t count, bool inverted);
Failure ClassifyJpegFailure(int code);
[[noreturn]] void ThrowLoadError(
    Failure failure, const std::string& path, const std::string& detail);
[[noreturn]] void ThrowOpenError(const std::string& path, int error);
[[noreturn]] void ThrowTooLarge(
    const std::string& path, int scale, std::int64_t width, std::int64_t height, bool outOfMemory);
void EmptyPicture(FensterGraf::Picture& picture);
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
        FensterGraf::ReadBitmapFile(path, PhotoBitmap);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(Settings::InLanguage("Das Bild „", "The picture \"") + path
            + Settings::InLanguage(
                "“ ist zu groß für den Speicher.", "\" is too large to hold in memory."));
    } catch (const std::exception& error) {
        // The reader left the picture empty. Its own message is in English; it goes in as the
        // detail.
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr)
            ThrowOpenError(path, errno);
        std::fclose(file);
        throw std::runtime_error(Settings::InLanguage("Das Bild „", "The picture \"") + path
            + Settings::InLanguage(
                "“ ist keine lesbare BMP-Datei (", "\" is not a readable BMP picture (")
            + error.what() + ").");
    }
    FensterGraf::DrawPicture(PhotoBitmap, x, y);
}

void RedrawPhotograph()
{
    FensterGraf::DrawPicture(
        Settings::IsJpeg ? PhotoJpeg : PhotoBitmap, Settings::PictureX, Settings::PictureY);
}

// [SECTION] Decoding

void DecodeJpegFile(const std::string& path, int scale, FensterGraf::Picture& picture)
{
    assert(IsSupportedScale(scale) && "a JPEG is decoded at scale 1, 2, 4 or 8");
    EmptyPicture(picture);
    JpegJob job {};
    job.Scale = scale;
    JpegResources resources;
    OpenJpeg(path, job, resources);
    if (job.Failed)
        ThrowJobFailure(job, path);

    const std::int64_t width = job.Info.output_width;
    const std::int64_t height = job.Info.output_height;
    if (width * height > MaxPicturePixels)
        ThrowTooLarge(path, scale, width, height, false);
    const auto count = static_cast<std::size_t>(width * height);
    try {
        if (picture.Pixels.capacity() < count) {
            // Growing a vector would copy the old pixels over: drop them first.
            FensterGraf::PixelBuffer().swap(picture.Pixels);
            picture.Pixels.reserve(count);
            AdviseLargePages(picture.Pixels.data(), count);
        }
        picture.Pixels.resize(count);
    } catch (const std::bad_alloc&) {
        EmptyPicture(picture);
        ThrowTooLarge(path, scale, width, height, true);
    }

    job.Pixels = picture.Pixels.data();
    if (!RunGuarded(job, DecodeJpegRows)) {
        EmptyPicture(picture);
        ThrowJobFailure(job, path);
    }
    picture.Width = static_cast<int>(width);
    picture.Height = static_cast<int>(height);
}

namespace {

void EmptyPicture(FensterGraf::Picture& picture)
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
    errors->Code = info->err->msg_code;
    (*info->err->format_message)(info, errors->Text);
    std::longjmp(errors->Escape, 1);
}

// Warnings that mean lost picture data end the decoding: a photograph with a
// grey or smeared part must not be measured. The rest (extra bytes between
// markers, unknown marker versions) leave the picture whole.
void ReportJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // trace messages
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        FailJpeg(info);
    default:
        ++info->err->num_warnings;
    }
}

// The one place that catches libjpeg's jump. Its frame and the steps' frames
// hold only trivially destructible objects, so the jump skips no destructor.
bool RunGuarded(JpegJob& job, void (*step)(JpegJob&))
{
    if (setjmp(job.Errors.Escape) != 0)
        return false;
    step(job);
    return true;
}

// Opens the file and reads the header at job.Scale; a failure sets job.Failed.
void OpenJpeg(const std::string& path, JpegJob& job, JpegResources& resources)
{
    resources.File.reset(std::fopen(path.c_str(), "rb"));
    if (!resources.File) {
        job.OpenError = errno;
        job.Failed = true;
        return;
    }
    job.File = resources.File.get();
    job.Info.err = jpeg_std_error(&job.Errors.Manager);
    job.Errors.Manager.error_exit = FailJpeg;
    job.Errors.Manager.emit_message = ReportJpegMessage;
    resources.Decoder.reset(&job.Info);
    job.Failed = !RunGuarded(job, ReadJpegHeader);
}

void ReadJpegHeader(JpegJob& job)
{
    jpeg_decompress_struct& info = job.Info;
    jpeg_create_decompress(&info);
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
    const std::size_t width = info.output_width;
    JSAMPROW rows[16];
    while (info.output_scanline < info.output_height) {
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION wanted = std::min<JDIMENSION>(16, info.output_height - first);
        for (JDIMENSION i = 0; i < wanted; ++i)
            rows[i] = reinterpret_cast<JSAMPROW>(job.Pixels + (first + i) * width);
        const JDIMENSION got = jpeg_read_scanlines(&info, rows, wanted);
        if (info.out_color_space == JCS_CMYK)
            // Adobe's programs, which write the marker, store CMYK inverted.
            ConvertCmykRows(job.Pixels + first * width, got * width, info.saw_Adobe_marker);
    }
    // The end marker is not waited for: every row is there.
}

// A picture of tens of megabytes in 2 MB pages costs the kernel a few dozen
// page faults instead of thousands: for a first load at full size of 6000 x
// 4000 pixels about 10 ms instead of 30, a third of the decoding time.
void AdviseLargePages([[maybe_unused]] std::uint32_t* pixels, [[maybe_unused]] std::size_t count)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t page = 2 << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(pixels) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(pixels + count)) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // advice only
#endif
}

void ThrowJobFailure(const JpegJob& job, const std::string& path)
{
    if (job.OpenError != 0)
        ThrowOpenError(path, job.OpenError);
    ThrowLoadError(ClassifyJpegFailure(job.Errors.Code), path, job.Errors.Text);
}

// In place: the bytes C, M, Y, K of a pixel become B, G, R, 0xff.
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
        // Each ink times black, rounded: (v * k + 127) / 255.
        bytes[0] = static_cast<unsigned char>((yellow * k + 127) / 255);
        bytes[1] = static_cast<unsigned char>((m * k + 127) / 255);
        bytes[2] = static_cast<unsigned char>((c * k + 127) / 255);
        bytes[3] = 0xff;
    }
}

Failure ClassifyJpegFailure(int code)
{
    switch (code) {
    case JERR_NO_SOI:
    case JERR_INPUT_EMPTY:
        return Failure::NotJpeg;
    case JERR_INPUT_EOF:
    case JWRN_JPEG_EOF:
        return Failure::Truncated;
    default:
        return Failure::Damaged;
    }
}

void ThrowLoadError(Failure failure, const std::string& path, const std::string& detail)
{
    const std::string picture = Settings::InLanguage("Das Bild „", "The picture \"") + path
        + Settings::InLanguage("“", "\"");
    switch (failure) {
    case Failure::Missing:
        throw std::runtime_error(
            picture + Settings::InLanguage(" gibt es nicht.", " does not exist."));
    case Failure::Unopenable:
        throw std::runtime_error(picture
            + Settings::InLanguage(" lässt sich nicht öffnen: ", " cannot be opened: ") + detail
            + ".");
    case Failure::NotJpeg:
        throw std::runtime_error(Settings::InLanguage("Die Datei „", "The file \"") + path
            + Settings::InLanguage("“ ist kein JPEG-Bild (", "\" is not a JPEG picture (") + detail
            + ").");
    case Failure::Truncated:
        throw std::runtime_error(picture
            + Settings::InLanguage(" ist abgeschnitten: die Datei endet vor dem Bild (",
                " is truncated: the file ends before the picture does (")
            + detail + ").");
    case Failure::Damaged:
        break;
    }
    throw std::runtime_error(picture
        + Settings::InLanguage(
            " ist beschädigt und nicht lesbar (", " is damaged and cannot be decoded (")
        + detail + ").");
}

void ThrowOpenError(const std::string& path, int error)
{
    ThrowLoadError(error == ENOENT ? Failure::Missing : Failure::Unopenable, path,
        std::generic_category().message(error));
}

void ThrowTooLarge(
    const std::string& path, int scale, std::int64_t width, std::int64_t height, bool outOfMemory)
{
    std::string larger; // the reductions beyond scale: "2, 4 or 8"
    for (int s = scale * 2; s <= 8; s *= 2)
        larger += (larger.empty()  ? ""
                          : s == 8 ? Settings::InLanguage(" oder ", " or ")
                                   : ", ")
            + std::to_string(s);
    std::string text = Settings::InLanguage("Das Bild „", "The picture \"") + path
        + Settings::InLanguage("“ ist in Größe ", "\" is too large to hold at size ")
        + std::to_string(scale) + Settings::InLanguage(" zu groß: ", ": ") + std::to_string(width)
        + " x " + std::to_string(height) + Settings::InLanguage(" Bildpunkte (", " pixels (");
    if (outOfMemory)
        text += Settings::InLanguage("zu wenig Speicher).", "not enough memory).");
    else
        text += Settings::InLanguage("höchstens ", "at most ")
            + std::to_string(MaxPicturePixels / 1'000'000)
            + Settings::InLanguage(" Millionen).", " million).");
    if (!larger.empty())
        text += Settings::InLanguage(" Bitte eine stärkere Verkleinerung wählen: Größe ",
                    " Please choose a larger reduction: size ")
            + larger + ".";
    throw std::runtime_error(text);
}

} // namespace

} // namespace Photograph
