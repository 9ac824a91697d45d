#include "ResultFiles.h"

#include "Settings.h"

#include <fstream>
#include <stdexcept>

namespace ResultFiles {

namespace {

struct ResultFile {
    std::string Name;
    std::ofstream Stream;
};
ResultFile First;
ResultFile Second;

[[noreturn]] void ThrowNotWritten(const std::string& name)
{
    throw std::runtime_error(Settings::InLanguage("Die Ergebnisdatei \"", "The result file \"")
        + name
        + Settings::InLanguage("\" kann nicht geschrieben werden.", "\" cannot be written."));
}

void Create(ResultFile& file, const std::string& name)
{
    std::ofstream stream(name, std::ios::binary | std::ios::trunc);
    stream << ResultHeader << LineEnd << std::flush;
    if (!stream)
        ThrowNotWritten(name);
    file.Name = name;
    file.Stream = std::move(stream);
}

void Append(ResultFile& file, const std::string& text)
{
    file.Stream << text;
    file.Stream.close();
    if (!file.Stream)
        ThrowNotWritten(file.Name);
    file.Stream.open(file.Name, std::ios::binary | std::ios::app);
    if (!file.Stream)
        ThrowNotWritten(file.Name);
}

} // namespace

std::string SecondFileName(const std::string& resultFileName)
{
    const std::size_t slash = resultFileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = resultFileName.find('.', nameStart);
    const std::size_t at = dot == std::string::npos ? nameStart : dot;
    return resultFileName.substr(0, at) + "2" + resultFileName.substr(at);
}

void CreateResultFile(const std::string& name)
{
    Create(First, name);
}

void CreateSecondResultFile(const std::string& name)
{
    Create(Second, name);
    SecondResultFileOpen = true;
}

void AppendToResultFile(const std::string& text)
{
    Append(First, text);
}

void AppendToSecondResultFile(const std::string& text)
{
    Append(Second, text);
}

void FlushAll()
{
    First.Stream.flush();
    Second.Stream.flush();
}

void Reset()
{
    First = {};
    Second = {};
    SecondResultFileOpen = false;
}

} // namespace ResultFiles
