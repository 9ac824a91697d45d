// SPDX-License-Identifier: GPL-3.0-or-later
// AstrRout::ParseAngle on arbitrary bytes: a finite angle, or the bell and the
// end of the program, which the binding here turns into an exception.
#include "AstrRout.h"
#include "PromptLoop.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct ProgramEnded { };

int Bells = 0;

void NoReading(const std::string&, std::string&)
{
    std::fprintf(stderr, "fuzz_parse_angle: ParseAngle asked for input\n");
    std::abort();
}

void CountBell()
{
    ++Bells;
}

[[noreturn]] void ThrowEnd()
{
    throw ProgramEnded {};
}

[[noreturn]] void Fail(const char* what, const std::string& text)
{
    std::fprintf(stderr, "fuzz_parse_angle: %s for the text \"", what);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fprintf(stderr, "\" (%zu bytes)\n", text.size());
    std::abort();
}

struct Outcome {
    bool Ended = false;
    double Angle = 0;
};

Outcome Parse(const std::string& text)
{
    Bells = 0;
    Outcome outcome;
    try {
        outcome.Angle = AstrRout::ParseAngle(text);
    } catch (const ProgramEnded&) {
        outcome.Ended = true;
    }
    if (Bells != (outcome.Ended ? 1 : 0))
        Fail(outcome.Ended ? "the end came without one bell" : "a bell without the end", text);
    if (!outcome.Ended && !std::isfinite(outcome.Angle))
        Fail("the angle is not finite", text);
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    PromptLoop::Install({ &NoReading, &CountBell, &ThrowEnd });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Outcome plain = Parse(text);

    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) {
        if (plain.Ended || plain.Angle != 0)
            Fail("blanks only did not give 0", text);
        return 0;
    }
    // A leading "-" negates whatever follows, in every notation.
    if (text[start] != '-') {
        const Outcome negated = Parse("-" + text.substr(start));
        if (negated.Ended != plain.Ended || (!plain.Ended && negated.Angle != -plain.Angle))
            Fail("a leading \"-\" did not just negate", text);
    }
    return 0;
}
