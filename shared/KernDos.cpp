#include "KernDos.h"

#include "NumberText.h"
#include "Utf8.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace KernDos {

namespace {

void ExitNormally()
{
    std::exit(0);
}

Console Current { &std::cin, &std::cout, &ExitNormally };

const PromptLoop::Binding ConsoleBinding { &ReadText, &WriteBell, &EndProgram };

} // namespace

void SetConsole(const Console& console)
{
    Current.Input = console.Input ? console.Input : &std::cin;
    Current.Output = console.Output ? console.Output : &std::cout;
    Current.EndProgram = console.EndProgram ? console.EndProgram : &ExitNormally;
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
    Current.Output->flush();
    std::string line;
    if (!Utf8::ReadLine(*Current.Input, line)) {
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

void TextToReal(std::string_view text, double& value, int& errorPos)
{
    NumberText::TextToReal(text, value, errorPos);
}

bool FileExists(const std::string& name)
{
    if (name.empty())
        return false;
    std::error_code error;
    if (std::filesystem::is_directory(name, error))
        return false;
    std::ifstream file(name, std::ios::binary);
    return file.is_open();
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
    Current.Output->flush();
}

void EndProgram()
{
    Current.Output->flush();
    Current.EndProgram();
    std::abort(); // the end routine does not return
}

const PromptLoop::Binding& Binding()
{
    return ConsoleBinding;
}

} // namespace KernDos
