// SPDX-License-Identifier: GPL-3.0-or-later
// A site's series of planet positions from an audit file of the measuring
// program: tab-separated, one header line naming the columns, LF or CR LF
// line ends. Only the result rows (object result, result1, result2) are
// positions; circle rows are skipped. Columns are found by name, so that
// columns added later do not matter. Pure: text in, positions or a refusal out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace SeriesFile {

// Bigger files are refused before they are read: a campaign has some
// thousand pictures per site, each a few lines of some 100 bytes.
inline constexpr std::int64_t LargestFile = 16 * 1024 * 1024;
inline constexpr std::size_t FewestPositions = 3;

struct Position {
    double Seconds = 0; // UT, seconds after 0h of the date
    double X = 0, Y = 0; // solar radii
    double SigmaX = 0, SigmaY = 0; // solar radii, > 0
    std::string Picture; // empty when the file has no such column
    int Measurement = 0;
    int Line = 0; // in the file, from 1
};

enum class Fault {
    None,
    NoHeader, // empty file
    MissingColumn, // Detail: the column's name
    UnreadableValue, // Detail: the column's name
    NoUncertainty, // a sigma empty or not above zero; Detail: the column's name
    TimesOutOfOrder, // a result row earlier than the one before of its measurement
    TooFewPositions,
    TooLarge,
    NotReadable, // no regular file, or a read error; Detail: the system's reason
};

struct Series {
    std::vector<Position> Positions; // in the file's order
    Fault What = Fault::None;
    int Line = 0; // where the fault is; 0 for the file as a whole
    std::string Detail;
};

Series Parse(std::string_view content);

// The file read whole (at most LargestFile bytes) and parsed.
Series Read(const std::string& name);

// "hh:mm:ss" (hours 0..23 in one or two digits, then two digits each, seconds
// with an optional decimal part) into seconds; false when it is not.
bool ParseTime(std::string_view text, double& seconds);

} // namespace SeriesFile
