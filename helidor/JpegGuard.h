// SPDX-License-Identifier: GPL-3.0-or-later
// What both JPEG decoders of Helidor (the photograph and the grey plane) do
// around libjpeg's C callbacks: a C++ exception must not cross them, so an
// error jumps back to one guarded frame, and warnings that mean lost picture
// data end the decoding like errors.
#pragma once

#include "Files.h"
#include "GreyPlane.h"

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include <unistd.h>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace JpegGuard {

// The one place that catches libjpeg's jump (job.Errors.Escape). Its frame and
// the steps' frames hold only trivially destructible objects, so the jump
// skips no destructor.
template <class Job> bool RunGuarded(Job& job, void (*step)(Job&))
{
    if (setjmp(job.Errors.Escape) != 0)
        return false;
    step(job);
    return true;
}

// libjpeg's message hook: a warning that loses picture data fails through
// fail; other warnings are counted, trace messages ignored.
template <void (*fail)(j_common_ptr)> void ReportMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    if (GreyPlane::LosesPictureData(info->err->msg_code))
        fail(info);
    ++info->err->num_warnings;
}

// The file and the decompressor of one decoding, closed and destroyed
// whatever way the decoding ends. jpeg_destroy_decompress is safe on a zeroed
// struct, should creating it fail.
struct Resources {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> File { nullptr, &std::fclose };
    std::unique_ptr<jpeg_decompress_struct, void (*)(jpeg_decompress_struct*)> Decoder { nullptr,
        &jpeg_destroy_decompress };
};

// Opens path as a stdio file without waiting on a FIFO (Files::OpenRegularFile);
// nullptr with error set (-1: no regular file) when it cannot. bytes: its size.
inline std::FILE* OpenFile(
    const std::string& path, Resources& resources, int& error, std::int64_t& bytes)
{
    const int fd = Files::OpenRegularFile(path, error, bytes);
    if (fd < 0)
        return nullptr;
    resources.File.reset(::fdopen(fd, "rb"));
    if (!resources.File) {
        error = errno;
        ::close(fd);
    }
    return resources.File.get();
}

// Hands job's error manager (job.Errors.Manager, the first member of
// job.Errors) to its decompressor, failing through fail.
template <void (*fail)(j_common_ptr), class Job> void InstallErrors(Job& job)
{
    job.Info.err = jpeg_std_error(&job.Errors.Manager);
    job.Errors.Manager.error_exit = fail;
    job.Errors.Manager.emit_message = ReportMessage<fail>;
}

} // namespace JpegGuard
