// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <cstdio>
#include <string_view>

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

// Written and flushed; 1 when standard output cannot take it (a full disk).
int Print(std::string_view text, std::string_view more = {})
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (!more.empty()) // an empty view may hold no pointer at all
        std::fwrite(more.data(), 1, more.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("helidor: cannot write to standard output\n", stderr);
        return 1;
    }
    return 0;
}

int Refuse(std::string_view argument)
{
    const char* what = argument.starts_with('-') ? "unknown option" : "unexpected argument";
    std::fprintf(
        stderr, "helidor: %s '%.*s'\n", what, static_cast<int>(argument.size()), argument.data());
    std::fwrite(ShortUsage.data(), 1, ShortUsage.size(), stderr);
    return 2;
}

} // namespace

int HandleArguments(int argc, const char* const* argv)
{
    if (argc <= 1)
        return OpenWindow;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help")
            help = true;
        else if (argument != "--version")
            return Refuse(argument);
    }
    return help ? Print(ShortUsage, Help) : Print(Version);
}

} // namespace CommandLine
