// SPDX-License-Identifier: GPL-3.0-or-later
// Texts are UTF-8; where the programs count characters they count code points.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace Utf8 {

// Number of characters (code points); a byte of an invalid sequence counts as one.
std::size_t CountCharacters(std::string_view text);

// Blanks in front of the text until it is columns characters long; a longer
// text stays as it is. Right-aligns labels and prompts.
std::string PadLeft(const std::string& text, std::size_t columns);

// The last character of the text as its own text; "" for the empty text.
std::string LastCharacter(std::string_view text);

bool IsValid(std::string_view text);

// A line of a file that may be UTF-8 or Latin-1: valid UTF-8 is kept as it is,
// anything else is read as Latin-1.
std::string FromUtf8OrLatin1(std::string_view text);

// Longest line that ReadLine keeps, in bytes. No answer or title line comes
// near it; a stream that never ends its line must not fill the memory.
inline constexpr std::size_t LineLimit = 4096;

// One line of a text stream without its line end (LF, or CR LF as written on
// other systems); false at the end of the stream or when it cannot be read
// (stream.bad() tells which). No conversion. A line longer than limit bytes
// is cut to at most limit bytes, at a character boundary, and the rest of it
// is read and dropped.
bool ReadLine(std::istream& stream, std::string& line, std::size_t limit = LineLimit);

} // namespace Utf8
