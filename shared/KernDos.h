// SPDX-License-Identifier: GPL-3.0-or-later
// Console binding of the prompted readers: questions on standard output,
// answers from standard input, one line each.
#pragma once

#include "PromptLoop.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace KernDos {

// The streams and the end routines; tests and the fuzzer point them elsewhere.
// Neither end routine may return; they may throw. EndProgram is the normal end
// (default: exit status 0); EndWithError gets a one-line report (default: the
// report on standard error, exit status 1).
struct Console {
    std::istream* Input = nullptr; // default std::cin
    std::ostream* Output = nullptr; // default std::cout
    void (*EndProgram)() = nullptr;
    void (*EndWithError)(const std::string& report) = nullptr;
};
void SetConsole(const Console& console);
// The name in front of the error reports ("quenmark: ..."); none by default.
void SetProgramName(const std::string& name);
void ResetConsole();

// Shows prompt + " (" + text + ") " (the bare prompt when text is empty),
// flushes, reads one line (a trailing CR is dropped; at most Utf8::LineLimit
// bytes are kept). A non-empty line replaces text as typed; an empty line keeps
// it. At the end of the input the program ends (a line end first, so the shell
// starts on a new line); input that cannot be read, or output that cannot be
// written, ends it through EndWithError.
void ReadText(const std::string& prompt, std::string& text);

// ch becomes the last character of the answer; Return alone keeps it.
void ReadChar(const std::string& prompt, std::string& ch);

// Files::FileExists, for the title file.
bool FileExists(const std::string& name);

void Write(std::string_view text);
void WriteLine(std::string_view text = {});
void WriteBell(); // code 7, flushed, no line end
// Flushes standard output, then the end routine; EndWithError instead when the
// output could not be written.
[[noreturn]] void EndProgram();
// The program's name + ": " + what + ": " + the system's reason (errno, when it names one),
// through the console's EndWithError routine.
[[noreturn]] void EndWithError(const std::string& what);

// ReadText, WriteBell and EndProgram of this console, for PromptLoop.
const PromptLoop::Binding& Binding();

} // namespace KernDos
