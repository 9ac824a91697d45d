#include "Files.h"

#include <filesystem>
#include <fstream>

namespace Files {

bool FileExists(const std::string& name)
{
    if (name.empty())
        return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return false;
    std::ifstream file(name, std::ios::binary);
    return file.is_open();
}

} // namespace Files
