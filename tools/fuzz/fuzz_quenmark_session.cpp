// SPDX-License-Identifier: GPL-3.0-or-later
// A whole Quenmark session with the bytes as standard input. The session ends
// when the input is used up; the console's end routine throws to get back here.
// Besides the sanitizers: every result line shows a number or says in words why
// there is none, and no number is a negative zero.
#include "KernDos.h"
#include "PromptLoop.h"
#include "Quenmark.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct EndOfInput { };

[[noreturn]] void ThrowEnd()
{
    throw EndOfInput {};
}

[[noreturn]] void Fail(const char* what, std::string_view detail)
{
    std::fprintf(stderr, "fuzz_quenmark_session: %s: \"", what);
    std::fwrite(detail.data(), 1, detail.size(), stderr);
    std::fprintf(stderr, "\"\n");
    std::abort();
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

bool HasGarbageWord(std::string_view text)
{
    const std::string lower = Lower(text);
    return lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos;
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

// " 12.3\"", "  0.05", "-3.4\"" or a reason in words; not "-0.0".
bool IsResultValue(std::string_view value)
{
    if (value.starts_with("  undefined: ") || value.starts_with("  nicht definiert: "))
        return true;
    value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
    if (value.ends_with('"'))
        value.remove_suffix(1);
    if (value.starts_with('-')) {
        value.remove_prefix(1);
        if (value.find_first_of("123456789") == std::string_view::npos)
            return false;
    }
    const std::size_t point = value.find('.');
    if (point == 0 || point == std::string_view::npos || point + 1 == value.size())
        return false;
    for (std::size_t i = 0; i < value.size(); ++i)
        if (i != point && (value[i] < '0' || value[i] > '9'))
            return false;
    return true;
}

// The four lines after each results heading: label, colon, value.
void CheckResults(std::string_view output)
{
    const std::vector<std::string_view> lines = Lines(output);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if ((lines[i] != "Results:" && lines[i] != "Ergebnisse:") || !lines[i + 1].starts_with('='))
            continue;
        if (i + 6 > lines.size())
            Fail("a results block is cut short", lines[i]);
        for (std::size_t k = i + 2; k < i + 6; ++k) {
            const std::size_t colon = lines[k].find(':');
            if (colon == std::string_view::npos || !IsResultValue(lines[k].substr(colon + 1)))
                Fail("a result line without a number or a reason", lines[k]);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::istringstream in { std::string(input) };
    std::ostringstream out;
    Quenmark::ResetState();
    KernDos::SetConsole({ &in, &out, &ThrowEnd });
    PromptLoop::Install(KernDos::Binding());
    try {
        Quenmark::Run();
    } catch (const EndOfInput&) {
    }
    KernDos::ResetConsole();

    const std::string output = out.str();
    CheckResults(output);
    // The answers come back as defaults in the prompts: only when they cannot
    // bring the words along does the whole output have to be free of them.
    if (!HasGarbageWord(input) && HasGarbageWord(output))
        Fail("\"nan\" or \"inf\" in the output", output);
    return 0;
}
