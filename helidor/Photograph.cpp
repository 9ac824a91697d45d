#include "Photograph.h"

#include "Settings.h"

#include <algorithm>
#include <cctype>

namespace Photograph {

bool IsJpegName(const std::string& name)
{
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
        [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find(".JPG") != std::string::npos || upper.find(".JPEG") != std::string::npos;
}

} // namespace Photograph
