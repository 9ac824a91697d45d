// SPDX-License-Identifier: GPL-3.0-or-later
#include "PromptLoop.h"

#include "NumberText.h"
#include "Utf8.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

namespace PromptLoop {

namespace {
Binding InstalledBinding;
}

void Install(const Binding& binding)
{
    assert(binding.ReadText && binding.WriteBell && binding.EndProgram
        && "a binding needs all three routines");
    InstalledBinding = binding;
}

const Binding& Installed()
{
    return InstalledBinding;
}

void ReadReal(const Binding& io, const std::string& prompt, std::string& text, double& value)
{
    for (;;) {
        io.ReadText(prompt, text);
        if (RealAnswer(text, value))
            return;
        io.WriteBell();
    }
}

bool RealAnswer(const std::string& text, double& value)
{
    std::string number = text;
    std::replace(number.begin(), number.end(), ',', '.');
    int errorPos = 0;
    NumberText::TextToReal(number, value, errorPos);
    return errorPos == 0;
}

void ReadInteger(
    const Binding& io, const std::string& prompt, std::string& text, std::int32_t& value)
{
    for (;;) {
        io.ReadText(prompt, text);
        int errorPos = 0;
        NumberText::TextToInteger(text, value, errorPos);
        if (errorPos == 0)
            return;
        io.WriteBell();
    }
}

void ReadChar(const Binding& io, const std::string& prompt, std::string& ch)
{
    std::string text = ch;
    io.ReadText(prompt, text);
    if (!text.empty())
        ch = Utf8::LastCharacter(text);
}

void AbortWithBell()
{
    assert(InstalledBinding.EndProgram && "the program's entry must install its binding");
    InstalledBinding.WriteBell();
    InstalledBinding.EndProgram();
    std::abort(); // EndProgram does not return
}

} // namespace PromptLoop
