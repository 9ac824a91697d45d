// SPDX-License-Identifier: GPL-3.0-or-later
// Test support for every test program: what a routine wrote to a stream.
#pragma once

#include <cstdio>
#include <string>

namespace TestSupport {

// All that was written to a temporary stream (std::tmpfile) so far.
inline std::string Contents(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

} // namespace TestSupport
