#include "Utf8.h"

#include <istream>

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

bool ReadLine(std::istream& stream, std::string& line)
{
    if (!std::getline(stream, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace Utf8
