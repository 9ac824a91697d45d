// SPDX-License-Identifier: GPL-3.0-or-later
#include "KernDos.h"

#include "Files.h"
#include "Utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace KernDos {

namespace {

void ExitNormally()
{
    std::exit(0);
}

void ReportAndExit(const std::string& report)
{
    std::cerr << report << std::endl;
    std::exit(1);
}

Console Current { &std::cin, &std::cout, &ExitNormally, &ReportAndExit };
std::string ProgramName; // in front of error reports

// Standard input as std::cin shares its state with C's stdin: a read error
// shows only there, std::cin sees an end of file.
bool InputFailed()
{
    return Current.Input->bad() || (Current.Input == &std::cin && std::ferror(stdin));
}

void FlushOutput()
{
    errno = 0;
    Current.Output->flush();
    if (!Current.Output->good())
        EndWithError("cannot write standard output");
}

const PromptLoop::Binding ConsoleBinding { &ReadText, &WriteBell, &EndProgram };

} // namespace

void SetConsole(const Console& console)
{
    Current.Input = console.Input ? console.Input : &std::cin;
    Current.Output = console.Output ? console.Output : &std::cout;
    Current.EndProgram = console.EndProgram ? console.EndProgram : &ExitNormally;
    Current.EndWithError = console.EndWithError ? console.EndWithError : &ReportAndExit;
}

void SetProgramName(const std::string& name)
{
    ProgramName = name;
}

void ResetConsole()
{
    SetConsole({});
}

void ReadText(const std::string& prompt, std::string& text)
{
    if (text.empty())
        Write(prompt);
    else
        Write(prompt + " (" + text + ") ");
    FlushOutput();
    std::string line;
    errno = 0;
    if (!Utf8::ReadLine(*Current.Input, line)) {
        if (InputFailed()) {
            const int error = errno;
            WriteLine();
            FlushOutput();
            errno = error;
            EndWithError("cannot read standard input");
        }
        WriteLine();
        EndProgram();
    }
    if (!line.empty())
        text = line;
}

void ReadChar(const std::string& prompt, std::string& ch)
{
    PromptLoop::ReadChar(ConsoleBinding, prompt, ch);
}

bool FileExists(const std::string& name)
{
    return Files::FileExists(name);
}

void Write(std::string_view text)
{
    Current.Output->write(text.data(), static_cast<std::streamsize>(text.size()));
}

void WriteLine(std::string_view text)
{
    Write(text);
    Write("\n");
}

void WriteBell()
{
    Write("\a");
    FlushOutput();
}

void EndProgram()
{
    FlushOutput();
    Current.EndProgram();
    std::abort(); // the end routine does not return
}

void EndWithError(const std::string& what)
{
    const int error = errno;
    std::string report = ProgramName.empty() ? what : ProgramName + ": " + what;
    if (error != 0)
        report += std::string(": ") + std::strerror(error);
    Current.EndWithError(report);
    std::abort(); // the end routine does not return
}

const PromptLoop::Binding& Binding()
{
    return ConsoleBinding;
}

} // namespace KernDos
