// SPDX-License-Identifier: GPL-3.0-or-later
// What both programs' command lines do alike: --help and --version alone,
// together or repeated (the help wins); help and version written to standard
// output with a report when they cannot be; a refused argument shown with its
// control characters as escapes, on standard error, with status 2.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace ProgramOptions {

inline constexpr int WriteFailedStatus = 1;
inline constexpr int RefusalStatus = 2;

enum class Request { Other, Help, Version };

// Help when every argument is --help or --version and one is --help; Version
// when all are --version; Other for no argument or any other argument.
Request HelpOrVersion(const std::vector<std::string_view>& arguments);

// The text as it can be shown on a terminal: control characters (C0, DEL,
// C1) and bytes that are not UTF-8 as escapes (\x1b, \u009b), so that an
// argument cannot move the cursor or change the terminal's colours.
std::string Shown(std::string_view text);

// Writes text to out and flushes it: 0, or WriteFailedStatus after writing
// report(reason) to errors, reason being ": " and the system's reason, or
// empty when there is none.
using FailureReport = std::string (*)(const std::string& reason);
int Print(std::string_view text, FailureReport report, std::FILE* out = stdout,
    std::FILE* errors = stderr);

// Writes the refusal (its lines and the usage) to errors: RefusalStatus.
int Refuse(std::string_view refusal, std::FILE* errors = stderr);

} // namespace ProgramOptions
