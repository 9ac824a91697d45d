// SPDX-License-Identifier: GPL-3.0-or-later
// The result files: created once per run with their header line, and every
// evaluation's lines appended whole or not at all. Lines that cannot be
// written are kept and written before the next evaluation's, so nothing
// measured is lost while the program runs. Lines end with CR LF.
#pragma once

#include <array>
#include <string>

namespace ResultFiles {

inline constexpr const char* ResultHeader = "   UT\t   r'\t   theta'";
inline constexpr const char* LineEnd = "\r\n";

// The audit file beside each result file: every circle and result of an
// evaluation in full precision with its uncertainty, tab-separated, for
// programs rather than eyes; hence plain LF line ends, whatever the result
// files use, so that no CR sticks to the last column.
inline constexpr const char* AuditHeader = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r"
                                           "\tpa\tsigma_pa\tfit\tut\tpicture";
inline constexpr const char* AuditLineEnd = "\n";

// What an audit row says beside its numbers.
struct AuditLabels {
    std::string Object, Fit;
    std::string Ut; // the exposure's time, hh:mm:ss
    std::string Picture; // the picture's name as given; a control character becomes "?"
};

// One audit row, line end included: values are x, y, r and their sigmas with
// decimals digits, pa and sigmaPa (degrees) with 4; an unknown (NaN) value
// leaves its column empty.
std::string AuditRow(int measurement, const AuditLabels& labels,
    const std::array<double, 6>& values, int decimals, double pa, double sigmaPa);

// The screen pictures, written to the working folder; no result file may
// take their names.
inline constexpr const char* ConstructionPicture = "Ergebnis.bmp";
inline constexpr const char* ScreenPicture = "Mond.bmp";

// Each exposure of a measurement has a pair of files: its result file and
// the audit file beside it.
enum class Exposure { First, Second };
enum class Kind { Result, Audit };

// The second file's name: "2" inserted before the first "." of the file name
// (Test.txt -> Test2.txt, res.a.txt -> res2.a.txt, results -> 2results).
// A folder in front of the name is kept as it is.
std::string SecondFileName(const std::string& resultFileName);

// The audit file's name: the result file's last extension replaced by
// ".fit.tsv" (Test.txt -> Test.fit.tsv, results -> results.fit.tsv).
std::string AuditFileName(const std::string& resultFileName);

// Creates (or replaces) the file under name with its header, on the disk at
// once. Only a file of ours is replaced: one that is empty or begins with the
// header line. Refuses any other existing file, a name that is not a regular
// file (without waiting on a FIFO), that is one of the screen pictures or
// the same file as another of the run's files (a link, by inode); and the
// name whose audit file would be refused so, before anything is cut.
// Throws std::runtime_error, in the chosen language. A new first file has
// the second created anew at the next measurement of two pictures.
void CreateResultFile(const std::string& name);
void CreateSecondResultFile(const std::string& name);
bool SecondResultFileOpen();

// Appends the lines kept from failed writes and then text to the exposure's
// file of kind, all or nothing: a write that fails part-way is cut back.
// Throws std::runtime_error, in the chosen language, when they cannot be
// written; they are then kept. An audit file is created with its header by
// its first lines, replacing only an audit file (empty, or beginning with its
// header) and refusing as CreateResultFile does; nothing without a result file.
void Append(Exposure exposure, Kind kind, const std::string& text);

// True when name is the same file as one of the result or audit files.
bool IsResultFile(const std::string& name);

// The program's end: a last try for kept lines; what still cannot be
// written goes to standard error.
void FlushAll();

// Why a write failed with errno error, in the chosen language: the disk is
// full, no permission, or a write error.
std::string WriteFailureReason(int error);

// Forgets both files and the kept lines. For tests.
void Reset();

} // namespace ResultFiles
