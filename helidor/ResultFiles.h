// The result files: created once per run with their header line, kept open,
// and closed and reopened for appending after every evaluation so that what
// was written is on the disk. Lines end with CR LF.
#pragma once

#include <string>

namespace ResultFiles {

inline constexpr const char* ResultHeader = "   UT\t   r'\t   theta'";
inline constexpr const char* LineEnd = "\r\n";

inline bool SecondResultFileOpen = false;

// The second file's name: "2" inserted before the first "." of the file name
// (Test.txt -> Test2.txt, res.a.txt -> res2.a.txt, results -> 2results).
// A folder in front of the name is kept as it is.
std::string SecondFileName(const std::string& resultFileName);

// Creates (or replaces) the file under name with its header, on the disk at
// once. Throws std::runtime_error, in the chosen language, when it cannot.
void CreateResultFile(const std::string& name);
void CreateSecondResultFile(const std::string& name); // sets SecondResultFileOpen

// Appends text to a file and puts it on the disk (close and reopen for
// appending). Throws std::runtime_error when it cannot be written.
void AppendToResultFile(const std::string& text);
void AppendToSecondResultFile(const std::string& text);

// Puts whatever is still buffered on the disk; the program's end calls it.
void FlushAll();

// Closes both files and forgets them. For tests.
void Reset();

} // namespace ResultFiles
