// SPDX-License-Identifier: GPL-3.0-or-later
// Test support for every test program: rows of number texts for the readers
// that name the offending character (errorPos 1-based, 0 when read whole).
#pragma once

#include <gtest/gtest.h>

#include <string_view>
#include <type_traits>

namespace TestSupport {

template <typename Number> struct ParseRow {
    const char* name;
    const char* text;
    int errorPos;
    Number value; // checked only when errorPos is 0
};

// Runs one row through parse, starting from values no row expects.
template <typename Number>
void ExpectParsed(const ParseRow<Number>& row, void (*parse)(std::string_view, Number&, int&))
{
    Number value = -99;
    int errorPos = -1;
    parse(row.text, value, errorPos);
    EXPECT_EQ(errorPos, row.errorPos);
    if (row.errorPos == 0) {
        if constexpr (std::is_floating_point_v<Number>)
            EXPECT_DOUBLE_EQ(value, row.value);
        else
            EXPECT_EQ(value, row.value);
    }
}

} // namespace TestSupport
