// SPDX-License-Identifier: GPL-3.0-or-later
// Helidor's command line: --help and --version answer and end the program;
// without arguments the window starts. Anything else is refused, Qt's own
// options too (the environment sets the platform where one is needed).
#pragma once

#include <cstdio>

namespace CommandLine {

inline constexpr int OpenWindow = -1; // no arguments: the program starts as always

// Looks at the arguments after the program name. --help writes the usage and
// --version the version line to standard output (status 0; 1 when that output
// cannot be written); any other argument gets a short usage on standard
// error (status 2), its control characters as escapes. Returns OpenWindow
// when there are no arguments.
int HandleArguments(
    int argc, const char* const* argv, std::FILE* out = stdout, std::FILE* errors = stderr);

} // namespace CommandLine
