// SPDX-License-Identifier: GPL-3.0-or-later
// NumberText::TextToReal on arbitrary bytes, checked against the syntax in
// NumberText.h (an automaton of its own) and against strtod for the value.
#include "NumberText.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what, std::string_view text)
{
    std::fprintf(stderr, "fuzz_text_to_real: %s for the text \"", what);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fprintf(stderr, "\" (%zu bytes)\n", text.size());
    std::abort();
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Where a text stops fitting the syntax: 0 when it fits, else the 1-based
// position of the first character that no number can continue with (length + 1
// when the text ends too early).
int SyntaxErrorPosition(std::string_view text)
{
    enum State { Blanks, Sign, Integer, Point, Fraction, Exponent, ExponentSign, ExponentDigits };
    State state = Blanks;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digit = IsDigit(c);
        const bool sign = c == '+' || c == '-';
        const bool e = c == 'e' || c == 'E';
        int next = -1;
        switch (state) {
        case Blanks:
            next = c == ' ' ? Blanks : sign ? Sign : digit ? Integer : c == '.' ? Point : -1;
            break;
        case Sign:
            next = digit ? Integer : c == '.' ? Point : -1;
            break;
        case Integer:
            next = digit ? Integer : c == '.' ? Point : e ? Exponent : -1;
            break;
        case Point:
        case Fraction:
            next = digit ? Fraction : e ? Exponent : -1;
            break;
        case Exponent:
            next = sign ? ExponentSign : digit ? ExponentDigits : -1;
            break;
        case ExponentSign:
        case ExponentDigits:
            next = digit ? ExponentDigits : -1;
            break;
        }
        if (next < 0)
            return static_cast<int>(i) + 1;
        state = static_cast<State>(next);
    }
    const bool complete
        = state == Integer || state == Point || state == Fraction || state == ExponentDigits;
    return complete ? 0 : static_cast<int>(text.size()) + 1;
}

// Bit for bit: 0 and -0 differ.
bool SameDouble(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

struct Conversion {
    bool Converted = false;
    double Value = 0;
};

// One call with the checks that hold for every text.
Conversion Check(std::string_view text)
{
    double value = 0;
    int errorPos = -1;
    NumberText::TextToReal(text, value, errorPos);
    if (errorPos < 0 || static_cast<std::size_t>(errorPos) > text.size() + 1)
        Fail("errorPos out of 0..length+1", text);

    const int syntaxError = SyntaxErrorPosition(text);
    if (syntaxError != 0) {
        if (errorPos != syntaxError)
            Fail("wrong errorPos for a syntax error", text);
        return {};
    }

    // The syntax fits: only the range may refuse the text now.
    const std::size_t start = text.find_first_not_of(' ');
    const std::string number(text.substr(start));
    const std::size_t mantissaEnd = number.find_first_of("eE");
    const std::string_view mantissa = std::string_view(number).substr(0, mantissaEnd);
    const bool anyDigit = mantissa.find_first_of("0123456789") != std::string_view::npos;
    const bool nonzero = mantissa.find_first_of("123456789") != std::string_view::npos;
    if (!anyDigit || !nonzero) { // ".", "0e99999": zero whatever the exponent
        if (errorPos != 0)
            Fail("a zero mantissa did not convert", text);
        if (value != 0)
            Fail("a zero mantissa gave a nonzero value", text);
        return { true, value };
    }
    const double expected = std::strtod(number.c_str(), nullptr);
    const bool overflow = std::isinf(expected);
    const bool underflow = expected == 0;
    const bool subnormal = !underflow && std::fabs(expected) < DBL_MIN;
    if (overflow || underflow) {
        if (errorPos == 0)
            Fail("a value beyond the range of a double converted", text);
        return {};
    }
    if (errorPos != 0) {
        if (subnormal) // at the edge of the range: either way is acceptable
            return {};
        Fail("a number within the range did not convert", text);
    }
    if (!std::isfinite(value))
        Fail("a converted value is not finite", text);
    if (!SameDouble(value, expected))
        Fail("the value differs from strtod", text);
    return { true, value };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Conversion plain = Check(text);

    const Conversion blanks = Check("  " + text);
    if (blanks.Converted != plain.Converted
        || (plain.Converted && !SameDouble(blanks.Value, plain.Value)))
        Fail("leading blanks changed the result", text);

    if (Check(text + "x").Converted)
        Fail("a text ending in \"x\" converted", text);

    if (!text.empty() && text[0] != ' ' && text[0] != '+' && text[0] != '-') {
        const Conversion negated = Check("-" + text);
        if (negated.Converted != plain.Converted
            || (plain.Converted && !SameDouble(negated.Value, -plain.Value)))
            Fail("a leading \"-\" did not just negate", text);
    }
    return 0;
}
