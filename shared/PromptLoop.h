// SPDX-License-Identifier: GPL-3.0-or-later
// The prompted readers common to both programs. A binding says where a line of
// input comes from and where the bell goes: standard input and output for
// Quenmark (KernDos), the input dialog and the window for Helidor (Modul).
// Everything else (defaults, commas, the repeat with the bell, the last
// character of ReadChar, the end after an unreadable angle) lives here once.
#pragma once

#include <cstdint>
#include <string>

namespace PromptLoop {

struct Binding {
    // Shows the prompt with text as default; text becomes the answer.
    void (*ReadText)(const std::string& prompt, std::string& text) = nullptr;
    // Writes the bell (code 7) where the user sees it.
    void (*WriteBell)() = nullptr;
    // Ends the program at once; must not return.
    void (*EndProgram)() = nullptr;
};

// The binding of the running program, used by AbortWithBell. The program's
// entry installs it before anything is asked.
void Install(const Binding& binding);
const Binding& Installed();

// Asks until the answer (commas read as points) converts; every failed answer
// rings the bell and becomes the default of the next question. text keeps the
// answer as typed.
void ReadReal(const Binding& io, const std::string& prompt, std::string& text, double& value);
// The real number of an answer as ReadReal reads it (a comma for the point);
// false when it is none.
bool RealAnswer(const std::string& text, double& value);

// As ReadReal with the whole-number syntax of NumberText::TextToInteger and no
// comma step.
void ReadInteger(
    const Binding& io, const std::string& prompt, std::string& text, std::int32_t& value);

// Asks with the one-character default ch; ch becomes the last character of the
// answer. An emptied answer keeps the default.
void ReadChar(const Binding& io, const std::string& prompt, std::string& ch);

// The bell, then the end of the program, through the installed binding.
[[noreturn]] void AbortWithBell();

} // namespace PromptLoop
