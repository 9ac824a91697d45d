// SPDX-License-Identifier: GPL-3.0-or-later
// SeriesFile::Parse on arbitrary bytes: a refusal names a line of the text,
// or the positions are at least three, each finite, with sigma above zero and
// a time of the day, their lines in order.
#include "SeriesFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_series_file: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SeriesFile::Series series = SeriesFile::Parse(text);
    long lines = 1;
    for (const char c : text)
        lines += c == '\n';
    if (series.What != SeriesFile::Fault::None) {
        if (series.Line < 0 || series.Line > lines)
            Fail("a refusal names a line beyond the text");
        return 0;
    }
    if (series.Positions.size() < SeriesFile::FewestPositions)
        Fail("fewer positions than needed, not refused");
    int previous = 0;
    for (const SeriesFile::Position& p : series.Positions) {
        if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !(p.SigmaX > 0) || !(p.SigmaY > 0)
            || !std::isfinite(p.SigmaX) || !std::isfinite(p.SigmaY))
            Fail("a position not finite or without sigma");
        if (!(p.Seconds >= 0 && p.Seconds < 86400))
            Fail("a time outside the day");
        if (p.Line <= previous || p.Line > lines)
            Fail("lines out of order");
        previous = p.Line;
    }
    return 0;
}
