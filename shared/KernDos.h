// Console binding of the prompted readers: questions on standard output,
// answers from standard input, one line each.
#pragma once

#include "PromptLoop.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace KernDos {

// The streams and the end routine; tests and the fuzzer point them elsewhere.
// EndProgram (default: exit status 0) must not return; it may throw.
struct Console {
    std::istream* Input = nullptr; // default std::cin
    std::ostream* Output = nullptr; // default std::cout
    void (*EndProgram)() = nullptr;
};
void SetConsole(const Console& console);
void ResetConsole();

// Shows prompt + " (" + text + ") " (the bare prompt when text is empty),
// flushes, reads one line (a trailing CR is dropped). A non-empty line replaces
// text as typed; an empty line keeps it. At the end of the input the program
// ends (a line end first, so the shell starts on a new line).
void ReadText(const std::string& prompt, std::string& text);

// ch becomes the last character of the answer; Return alone keeps it.
void ReadChar(const std::string& prompt, std::string& ch);

// The number syntax shared by both programs (NumberText::TextToReal).
void TextToReal(std::string_view text, double& value, int& errorPos);

// True when name is an existing file (not a folder) that can be opened for reading.
bool FileExists(const std::string& name);

void Write(std::string_view text);
void WriteLine(std::string_view text = {});
void WriteBell(); // code 7, flushed, no line end
[[noreturn]] void EndProgram(); // flushes standard output, then the end routine

// ReadText, WriteBell and EndProgram of this console, for PromptLoop.
const PromptLoop::Binding& Binding();

} // namespace KernDos
