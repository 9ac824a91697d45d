// SPDX-License-Identifier: GPL-3.0-or-later
#include "JpegGuard.h"

#include "Files.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <unistd.h>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// jerror.h numbers its messages by the configuration that jpeglib.h brings.
#include <jerror.h>

namespace JpegGuard {

// libjpeg reports errors through callbacks of C code, which a C++ exception
// must not cross: they jump back to the setjmp of the step that called into
// libjpeg, whose frame holds no object with a destructor. The callbacks find
// the state through Info.client_data, which libjpeg keeps.
struct Decoder::State {
    jpeg_decompress_struct Info {};
    jpeg_error_mgr Errors {};
    jpeg_progress_mgr Progress {};
    std::jmp_buf Escape {};
    std::FILE* File = nullptr;
    Refusal Why;
    char Message[JMSG_LENGTH_MAX] {}; // libjpeg's own words for its error
    // The work: blocks the scans counted so far may still decode, how many
    // scans were counted, and the blocks read in the scans before this one.
    std::int64_t BlocksLeft = 0;
    int ScansCounted = 0;
    int ScanSeen = 0;
    std::int64_t RowsSeen = 0; // rows of blocks of scan ScanSeen read
    std::int64_t BlocksPerRow = 0;
    std::int64_t BlocksBefore = 0;
    // Where the data of a single arithmetic scan ended early: the output rows
    // from here on must be one colour (see CheckProgress), that of Reference.
    bool EndedEarly = false;
    JDIMENSION UniformFrom = 0;
    bool HaveReference = false;
    unsigned char Reference[4] {};
};

namespace {

using State = Decoder::State;

State& Owner(j_common_ptr info)
{
    return *static_cast<State*>(info->client_data);
}

[[noreturn]] void Jump(State& s, Failure why)
{
    s.Why.Why = why;
    std::longjmp(s.Escape, 1);
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

[[noreturn]] void FailJpeg(j_common_ptr info)
{
    State& s = Owner(info);
    (*info->err->format_message)(info, s.Message);
    Jump(s, ClassifyJpegFailure(info->err->msg_code));
}

// A warning that means lost picture data: the decoding must stop there
// rather than show or fit a smeared part.
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

// Warnings that lose picture data fail like errors; other warnings are
// counted, trace messages ignored.
void ReportMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    if (LosesPictureData(info->err->msg_code))
        FailJpeg(info);
    ++info->err->num_warnings;
}

// Every block of every scan costs decoding time, however few bytes the file
// holds: a photograph has at least a few bits per block, a bomb of a hundred
// bytes claims billions of blocks, or hundreds of scans over millions. A
// scan is counted when it starts; false when the blocks of the scans so far
// exceed MaxBlocksPerByte for each byte of the file.
bool ChargeScan(State& s)
{
    const jpeg_decompress_struct& info = s.Info;
    if (info.input_scan_number <= s.ScansCounted)
        return true;
    s.ScansCounted = info.input_scan_number;
    std::int64_t blocks = 0;
    for (int i = 0; i < info.comps_in_scan; ++i)
        blocks += static_cast<std::int64_t>(info.cur_comp_info[i]->width_in_blocks)
            * info.cur_comp_info[i]->height_in_blocks;
    s.BlocksLeft -= blocks;
    if (s.BlocksLeft < 0)
        return false;
    s.Why.Done.BlocksAllowed += blocks;
    return true;
}

// The blocks read so far, from the scan and row libjpeg is at: a scan of one
// component reads v_samp_factor rows of its blocks per row of MCUs, one of
// several components blocks_in_MCU per MCU.
void TallyRows(State& s)
{
    const jpeg_decompress_struct& info = s.Info;
    if (info.input_scan_number != s.ScanSeen) {
        s.BlocksBefore += s.RowsSeen * s.BlocksPerRow;
        s.ScanSeen = info.input_scan_number;
        s.RowsSeen = 0;
        const std::int64_t perMcu = info.comps_in_scan == 1
            ? info.cur_comp_info[0]->v_samp_factor
            : static_cast<std::int64_t>(info.blocks_in_MCU);
        s.BlocksPerRow = static_cast<std::int64_t>(info.MCUs_per_row) * perMcu;
    }
    s.RowsSeen = std::max<std::int64_t>(s.RowsSeen, info.input_iMCU_row);
}

// libjpeg's progress hook, called after every row of blocks it reads and
// before every call for output rows: the work, and where the picture's data
// runs out too early. A scan whose data is missing decodes to an invented
// picture: Huffman scans warn by themselves, but the arithmetic decoder meets
// the marker after the data and then supplies zeros without a warning. Its
// data may end early rightly too: the encoder drops the zero bytes at the
// end, which a uniform last part (a black sky) gives. So a single arithmetic
// scan that ends before its last row of blocks is refused: at once when more
// than half of the rows are left (zeros decode to one colour too), else
// unless the rows after the end are of one colour (see ReadRows). A restart
// marker between intervals is no end. In a progressive file, missing scans
// are caught after all are read (Start).
void CheckProgress(j_common_ptr common)
{
    State& s = Owner(common);
    const jpeg_decompress_struct& info = s.Info;
    TallyRows(s);
    if (!ChargeScan(s))
        Jump(s, Failure::TooLittleData);
    const int marker = info.unread_marker;
    const bool end = marker != 0 && (marker < 0xd0 || marker > 0xd7);
    const bool endedEarly = info.arith_code && !info.progressive_mode && end
        && info.input_iMCU_row < info.total_iMCU_rows;
    if (endedEarly && 2 * info.input_iMCU_row < info.total_iMCU_rows)
        Jump(s, Failure::Truncated);
    if (endedEarly && !s.EndedEarly) {
        // Every row of blocks from input_iMCU_row on is decoded from zeros; the
        // one after it is free of smoothing across the end.
        s.EndedEarly = true;
        s.UniformFrom = (info.input_iMCU_row + 1)
            * static_cast<JDIMENSION>(info.max_v_samp_factor * info.min_DCT_scaled_size);
    }
}

// The bytes of libjpeg's full-size coefficient buffer: 64 coefficients of 2
// bytes for every block of every component, whole sampling units; 0 for a
// file of one scan, which is decoded row by row.
std::int64_t CoefficientBytes(jpeg_decompress_struct& info)
{
    if (!jpeg_has_multiple_scans(&info))
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
bool AllScansThere(const jpeg_decompress_struct& info)
{
    if (!info.progressive_mode)
        return true;
    for (int i = 0; i < info.num_components; ++i)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (info.coef_bits[i][k] != 0)
                return false;
    return true;
}

std::string Pixels(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// The failure recorded, with its detail; always false.
bool Refuse(State& s, Failure why)
{
    Refusal& r = s.Why;
    r.Why = why;
    if (s.Message[0] != '\0') {
        r.Detail = s.Message;
        return false;
    }
    switch (why) {
    case Failure::TooLittleData:
        r.Detail = std::to_string(r.FileBytes) + " bytes cannot hold " + Pixels(r.Width, r.Height);
        break;
    case Failure::TooMuchMemory:
        r.Detail = "its coefficients need " + std::to_string(r.CoefficientBytes) + " bytes";
        break;
    case Failure::TooManyPixels:
    case Failure::OutOfMemory:
        r.Detail = Pixels(r.OutputWidth, r.OutputHeight);
        break;
    case Failure::ScansMissing:
        r.Detail = "scans are missing";
        break;
    case Failure::Truncated:
        r.Detail = "its data ends before the picture";
        break;
    default:
        r.Detail = "damaged";
        break;
    }
    return false;
}

bool OpenFailed(State& s, int error)
{
    Refusal& r = s.Why;
    r.SystemError = error;
    r.Why = OpenFailure(error);
    r.Detail = error == -1 ? "not a regular file" : std::generic_category().message(error);
    return false;
}

} // namespace

// [SECTION] Decoder

Decoder::Decoder()
    : S(std::make_unique<State>())
{
    // libjpeg's calls are made only after ReadHeader has set these up;
    // destroying a zeroed decompressor is safe.
    S->Info.err = jpeg_std_error(&S->Errors);
    S->Errors.error_exit = FailJpeg;
    S->Errors.emit_message = ReportMessage;
    S->Info.client_data = S.get();
    S->Progress.progress_monitor = CheckProgress;
}

Decoder::~Decoder()
{
    jpeg_destroy_decompress(&S->Info);
    if (S->File)
        std::fclose(S->File);
}

bool Decoder::Open(const std::string& path)
{
    State& s = *S;
    int error = 0;
    const int fd = Files::OpenRegularFile(path, error, s.Why.FileBytes);
    if (fd < 0)
        return OpenFailed(s, error);
    s.File = ::fdopen(fd, "rb");
    if (!s.File) {
        error = errno;
        ::close(fd);
        return OpenFailed(s, error);
    }
    s.BlocksLeft = s.Why.FileBytes * MaxBlocksPerByte;
    return true;
}

bool Decoder::ReadHeader(int scale, Layout layout)
{
    State& s = *S;
    jpeg_decompress_struct& info = s.Info;
    s.Why.Scale = scale;
    if (setjmp(s.Escape) != 0)
        return Refuse(s, s.Why.Why);
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = MaxDecoderMemory;
    info.progress = &s.Progress;
    jpeg_stdio_src(&info, s.File);
    jpeg_read_header(&info, TRUE);
    // libjpeg converts grey, YCbCr and RGB straight into the layout's bytes
    // (BGRA sets the fourth byte to 0xff, BGRX would leave it undefined);
    // CMYK and YCCK arrive as CMYK and are converted by ReadRows.
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    info.out_color_space = cmyk  ? JCS_CMYK
        : layout == Layout::Bgra ? JCS_EXT_BGRA
        : grey                   ? JCS_GRAYSCALE
                                 : JCS_EXT_RGB;
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned int>(scale);
    jpeg_calc_output_dimensions(&info);
    s.Why.Width = info.image_width;
    s.Why.Height = info.image_height;
    s.Why.OutputWidth = info.output_width;
    s.Why.OutputHeight = info.output_height;
    return true;
}

bool Decoder::CheckLimits()
{
    State& s = *S;
    // The first scan's blocks now; later scans as they start.
    if (!ChargeScan(s))
        return Refuse(s, Failure::TooLittleData);
    // A file of several scans keeps all its coefficients at full size
    // whatever the scale: refused before libjpeg allocates them.
    s.Why.CoefficientBytes = CoefficientBytes(s.Info);
    if (s.Why.CoefficientBytes > MaxDecoderMemory)
        return Refuse(s, Failure::TooMuchMemory);
    if (s.Why.OutputWidth * s.Why.OutputHeight > MaxPixels)
        return Refuse(s, Failure::TooManyPixels);
    return true;
}

bool Decoder::Start()
{
    State& s = *S;
    if (setjmp(s.Escape) != 0)
        return Refuse(s, s.Why.Why);
    jpeg_start_decompress(&s.Info);
    if (!AllScansThere(s.Info))
        return Refuse(s, Failure::ScansMissing);
    return true;
}

bool Decoder::ReadRows(unsigned char* const* rows, int wanted, int& got)
{
    State& s = *S;
    jpeg_decompress_struct& info = s.Info;
    const JDIMENSION first = info.output_scanline;
    got = 0;
    if (setjmp(s.Escape) != 0)
        return Refuse(s, s.Why.Why);
    const JDIMENSION read = jpeg_read_scanlines(
        &info, const_cast<JSAMPARRAY>(rows), static_cast<JDIMENSION>(std::clamp(wanted, 0, 16)));
    got = static_cast<int>(read);
    if (read == 0) // a source that cannot suspend always gives rows: no endless loop
        return Refuse(s, Failure::Damaged);
    const std::size_t width = info.output_width;
    const auto pixelBytes = static_cast<std::size_t>(info.output_components);
    for (JDIMENSION i = 0; i < read; ++i) {
        if (info.out_color_space == JCS_CMYK)
            // Adobe's programs, which write the marker, store CMYK inverted.
            ConvertCmykPixels(rows[i], width, info.saw_Adobe_marker);
        if (!s.EndedEarly || first + i < s.UniformFrom)
            continue;
        const unsigned char* row = rows[i];
        if (!s.HaveReference) {
            std::memcpy(s.Reference, row, pixelBytes);
            s.HaveReference = true;
        }
        for (std::size_t x = 0; x < width; ++x)
            if (std::memcmp(row + x * pixelBytes, s.Reference, pixelBytes) != 0)
                return Refuse(s, Failure::Truncated);
    }
    return true;
}

bool Decoder::Fail(Failure why)
{
    return Refuse(*S, why);
}

int Decoder::Width() const
{
    return static_cast<int>(S->Info.output_width);
}

int Decoder::Height() const
{
    return static_cast<int>(S->Info.output_height);
}

int Decoder::PixelBytes() const
{
    return S->Info.output_components;
}

Work Decoder::Done() const
{
    Work work = S->Why.Done;
    const State& s = *S;
    std::int64_t rows = s.RowsSeen;
    if (s.Info.input_scan_number == s.ScanSeen)
        rows = std::max<std::int64_t>(rows, s.Info.input_iMCU_row);
    work.BlocksRead = s.BlocksBefore + rows * s.BlocksPerRow;
    return work;
}

Refusal Decoder::Refused() const
{
    Refusal refusal = S->Why;
    refusal.Done = Done();
    return refusal;
}

Failure OpenFailure(int error)
{
    if (error == -1)
        return Failure::NotRegularFile;
    if (error == ENOENT || error == ENOTDIR)
        return Failure::Missing;
    if (error == EACCES || error == EPERM)
        return Failure::AccessDenied;
    return Failure::Unopenable;
}

// [SECTION] Colours

void ConvertCmykPixels(unsigned char* bytes, std::size_t count, bool inverted)
{
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

} // namespace JpegGuard
