// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace NumberText {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string PadLeft(std::string text, int width)
{
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

// Moves i past leading blanks and an optional sign; true for "-".
bool SkipBlanksAndSign(std::string_view text, std::size_t& i)
{
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return text[i++] == '-';
    return false;
}

// 1-based position of index i.
int Position(std::size_t i)
{
    return static_cast<int>(i) + 1;
}

} // namespace

void TextToReal(std::string_view text, double& value, int& errorPos)
{
    value = 0;
    std::size_t i = 0;
    const bool negative = SkipBlanksAndSign(text, i);

    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    bool point = false;
    if (i < text.size() && text[i] == '.') {
        point = true;
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0 && !point) {
        errorPos = Position(i);
        return;
    }
    const std::size_t mantissaEnd = i;

    std::size_t exponentStart = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (i >= text.size() || !IsDigit(text[i])) {
            errorPos = Position(i);
            return;
        }
        while (i < text.size() && IsDigit(text[i]))
            ++i;
    }
    if (i < text.size()) {
        errorPos = Position(i);
        return;
    }

    if (digits == 0) { // a lone point, with or without exponent
        value = negative ? -0.0 : 0.0;
        errorPos = 0;
        return;
    }
    // from_chars takes "5.", ".5" and an exponent, but neither a sign nor blanks.
    std::string number(text.substr(mantissaStart, mantissaEnd - mantissaStart));
    number += text.substr(exponentStart);
    double magnitude = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), magnitude);
    if (result.ec != std::errc() || result.ptr != number.data() + number.size()) {
        errorPos = Position(exponentStart < text.size() ? exponentStart : mantissaStart);
        return;
    }
    value = negative ? -magnitude : magnitude;
    errorPos = 0;
}

void TextToInteger(std::string_view text, std::int32_t& value, int& errorPos)
{
    value = 0;
    std::size_t i = 0;
    const bool negative = SkipBlanksAndSign(text, i);

    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0'
        && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }

    // Accumulate the magnitude; the negative range reaches one further.
    const std::int64_t limit = negative
        ? std::int64_t { std::numeric_limits<std::int32_t>::max() } + 1
        : std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    const std::size_t digitsStart = i;
    for (; i < text.size(); ++i) {
        const int digit
            = base == 16 ? HexDigitValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
        if (digit < 0)
            break;
        magnitude = magnitude * base + digit;
        if (magnitude > limit) {
            errorPos = Position(i);
            return;
        }
    }
    if (i == digitsStart || i < text.size()) {
        errorPos = Position(i);
        return;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    errorPos = 0;
}

std::string FormatFixed(double value, int width, int decimals)
{
    char buffer[400];
    const auto result
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text
        = result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("?");
    return PadLeft(std::move(text), width);
}

std::string FormatReal(double value, double spec)
{
    const int width = static_cast<int>(std::trunc(spec));
    const int decimals = static_cast<int>(std::nearbyint((spec - width) * 10));
    if (decimals >= 1)
        return FormatFixed(value, width + decimals + 2, decimals);
    return FormatFixed(std::nearbyint(value) + 0.0, width, 0); // + 0.0: no "-0"
}

std::string FormatClock(double seconds)
{
    const long whole = std::lround(seconds);
    char text[64];
    std::snprintf(
        text, sizeof text, "%02ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

bool TextToClock(std::string_view text, double& seconds, bool* hasSeconds)
{
    const auto digits = [](std::string_view part, std::size_t least, std::size_t most) {
        return part.size() >= least && part.size() <= most
            && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const auto value = [](std::string_view part) {
        int v = 0;
        for (char c : part)
            v = 10 * v + (c - '0');
        return v;
    };
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos || !digits(text.substr(0, first), 1, 2))
        return false;
    const std::string_view rest = text.substr(first + 1);
    const std::string_view minutes = rest.substr(0, 2);
    if (!digits(minutes, 2, 2) || (rest.size() > 2 && rest[2] != ':'))
        return false;
    double s = 0;
    const bool named = rest.size() > 2;
    if (named) {
        const std::string_view secondsText = rest.substr(3);
        const std::size_t point = secondsText.find('.');
        if (!digits(secondsText.substr(0, point), 2, 2)
            || (point != std::string_view::npos && !digits(secondsText.substr(point + 1), 1, 9)))
            return false;
        s = value(secondsText.substr(0, 2));
        if (point != std::string_view::npos) {
            const std::string_view fraction = secondsText.substr(point + 1);
            s += value(fraction) / std::pow(10.0, static_cast<double>(fraction.size()));
        }
    }
    const int h = value(text.substr(0, first)), m = value(minutes);
    if (h > 23 || m > 59 || s >= 60)
        return false;
    seconds = h * 3600.0 + m * 60.0 + s;
    if (hasSeconds != nullptr)
        *hasSeconds = named;
    return true;
}

} // namespace NumberText
