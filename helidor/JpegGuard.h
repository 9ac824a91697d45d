// What both JPEG decoders of Helidor (the photograph and the grey plane) do
// around libjpeg's C callbacks: a C++ exception must not cross them, so an
// error jumps back to one guarded frame, and warnings that mean lost picture
// data end the decoding like errors.
#pragma once

#include "GreyPlane.h"

#include <csetjmp>
#include <cstdio>

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

// Hands job's error manager (job.Errors.Manager, the first member of
// job.Errors) to its decompressor, failing through fail.
template <void (*fail)(j_common_ptr), class Job> void InstallErrors(Job& job)
{
    job.Info.err = jpeg_std_error(&job.Errors.Manager);
    job.Errors.Manager.error_exit = fail;
    job.Errors.Manager.emit_message = ReportMessage<fail>;
}

} // namespace JpegGuard
