// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ProgramOptions.h"

#include <algorithm>
#include <string>
#include <vector>

namespace CommandLine {

namespace {

constexpr std::string_view ShortUsage = "Usage: helidor [--help | --version]\n";

constexpr std::string_view Help
    = "Measures the positions of the Sun and of Venus or Mercury on a photograph\n"
      "of a transit, by fitting circles to their images with the cursor and page\n"
      "keys, and appends the results to text files in the working folder.\n"
      "\n"
      "Without options Helidor opens its window and asks for the language, the\n"
      "result file, the picture and the measurement's data; Return keeps a default.\n"
      "\n"
      "  --help     show this help and end\n"
      "  --version  show the version and end\n"
      "\n"
      "See helidor(1).\n";

constexpr std::string_view Version = "helidor " TRANSIT_VERSION "\n";

std::string WriteFailure(const std::string&)
{
    return "helidor: cannot write to standard output\n";
}

} // namespace

int HandleArguments(int argc, const char* const* argv, std::FILE* out, std::FILE* errors)
{
    if (argc <= 1)
        return OpenWindow;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    using ProgramOptions::Request;
    const Request request = ProgramOptions::HelpOrVersion(arguments);
    if (request != Request::Other)
        return ProgramOptions::Print(request == Request::Help
                ? std::string(ShortUsage) + std::string(Help)
                : std::string(Version),
            WriteFailure, out, errors);
    const std::string_view argument = *std::find_if(arguments.begin(), arguments.end(),
        [](std::string_view a) { return a != "--help" && a != "--version"; });
    return ProgramOptions::Refuse(std::string("helidor: ")
            + (argument.starts_with('-') ? "unknown option '" : "unexpected argument '")
            + ProgramOptions::Shown(argument) + "'\n" + std::string(ShortUsage),
        errors);
}

} // namespace CommandLine
