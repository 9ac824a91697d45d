// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers to text and back, the same for both programs and independent of the
// user's locale: a decimal point is always ".".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace NumberText {

// Number syntax of TextToReal; the text must match to its last character:
//   blanks*  [+|-]  mantissa  [exponent]
//   blanks   : code 32 only (a tab is no blank)
//   mantissa : digits ["." digits]; the digits may be missing on either side
//              of the point (".5", "5." and a lone "." are numbers, "." is 0)
//   exponent : ("E" | "e") [+|-] digit+
// The comma is no decimal separator here (the readers turn commas into points
// first). A value beyond the range of a double (overflow, or underflow of a
// nonzero mantissa) does not convert.
// errorPos: 0 on success, else the 1-based index of the first character that
// does not fit (text length + 1 when the text ends too early; 1 for "").
// value is only meaningful when errorPos is 0.
void TextToReal(std::string_view text, double& value, int& errorPos);

// Whole numbers: blanks* [+|-] then decimal digits, or a hexadecimal number
// after "$", "x", "X", "0x" or "0X". The value must lie in the 32-bit signed
// range. errorPos as for TextToReal.
void TextToInteger(std::string_view text, std::int32_t& value, int& errorPos);

// A width.decimals specification w.d: w = integer part, d = first decimal
// digit. d >= 1: fixed point with d decimals right-aligned in w + d + 2
// characters; d = 0: the value rounded (halves to even) right-aligned in w
// characters. A wider result is never cut.
std::string FormatReal(double value, double spec);

// Fixed point with the given decimals, right-aligned in width characters.
std::string FormatFixed(double value, int width, int decimals);

// Seconds after 0h (>= 0) as "hh:mm:ss", rounded to the whole second; a day
// and more gives hours from 24 on.
std::string FormatClock(double seconds);

// A time of day "h:mm", "h:mm:ss" or "h:mm:ss.s...", the hours in one or
// two digits (0 to 23), minutes and seconds in two (below 60), into seconds
// since midnight; false, and seconds untouched, when the text is not one.
// hasSeconds (when given) tells whether the text named its seconds.
bool TextToClock(std::string_view text, double& seconds, bool* hasSeconds = nullptr);

} // namespace NumberText
