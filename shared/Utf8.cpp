// SPDX-License-Identifier: GPL-3.0-or-later
#include "Utf8.h"

#include <cassert>
#include <istream>
#include <limits>

namespace Utf8 {

namespace {

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Length of the well-formed sequence at text[i], or 0 when it is not one.
std::size_t SequenceLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, code = lead & 0x07;
    else
        return 0;
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if (!IsContinuation(c))
            return 0;
        code = (code << 6) | (c & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF)
        return 0;
    return length;
}

// Bytes at the end of text that begin a sequence which the text cuts short.
std::size_t CutSequenceLength(std::string_view text)
{
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const std::size_t start = text.size() - back;
        const auto c = static_cast<unsigned char>(text[start]);
        if (IsContinuation(c))
            continue;
        const std::size_t needed = c >= 0xF5 ? 1
            : c >= 0xF0                      ? 4
            : c >= 0xE0                      ? 3
            : c >= 0xC2                      ? 2
                                             : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

} // namespace

std::size_t CountCharacters(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const std::size_t length = SequenceLength(text, i);
        i += length == 0 ? 1 : length;
    }
    return count;
}

std::string LastCharacter(std::string_view text)
{
    std::string last;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = SequenceLength(text, i);
        if (length == 0)
            length = 1;
        last = text.substr(i, length);
        i += length;
    }
    return last;
}

bool IsValid(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string FromUtf8OrLatin1(std::string_view text)
{
    if (IsValid(text))
        return std::string(text);
    std::string converted;
    converted.reserve(text.size() * 2);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            converted += ch;
        } else {
            converted += static_cast<char>(0xC0 | (c >> 6));
            converted += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return converted;
}

std::string PadLeft(const std::string& text, std::size_t columns)
{
    const std::size_t length = CountCharacters(text);
    return length < columns ? std::string(columns - length, ' ') + text : text;
}

bool ReadLine(std::istream& stream, std::string& line, std::size_t limit)
{
    assert(limit > 0
        && limit < static_cast<std::size_t>(std::numeric_limits<std::streamsize>::max())
        && "a line limit is a positive size that getline can take");
    line.resize(limit + 1);
    stream.getline(line.data(), static_cast<std::streamsize>(limit + 1));
    auto kept = static_cast<std::size_t>(stream.gcount());
    if (stream.bad() || (kept == 0 && stream.fail()))
        return false;
    const bool overlong = stream.fail();
    if (overlong) {
        stream.clear(stream.rdstate() & ~std::ios::failbit);
        stream.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        if (stream.bad())
            return false;
    } else if (!stream.eof()) {
        --kept; // the line end was counted
    }
    line.resize(kept);
    if (overlong)
        line.resize(kept - CutSequenceLength(line));
    else if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace Utf8
