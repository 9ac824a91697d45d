// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramOptions.h"

#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ProgramOptions {

Request HelpOrVersion(const std::vector<std::string_view>& arguments)
{
    const auto helpOrVersion = [](std::string_view a) { return a == "--help" || a == "--version"; };
    if (arguments.empty() || !std::all_of(arguments.begin(), arguments.end(), helpOrVersion))
        return Request::Other;
    const bool help = std::find(arguments.begin(), arguments.end(), "--help") != arguments.end();
    return help ? Request::Help : Request::Version;
}

std::string Shown(std::string_view text)
{
    std::string shown;
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7f) {
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
            ++i;
            continue;
        }
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : 2;
        const std::string_view sequence = text.substr(i, length);
        if (sequence.size() < length || !Utf8::IsValid(sequence)) {
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
            ++i;
        } else if (byte == 0xc2 && static_cast<unsigned char>(sequence[1]) < 0xa0) {
            std::snprintf(
                escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(sequence[1]));
            shown += escape;
            i += length;
        } else {
            shown += sequence;
            i += length;
        }
    }
    return shown;
}

int Print(std::string_view text, FailureReport report, std::FILE* out, std::FILE* errors)
{
    errno = 0;
    if (!text.empty()) // an empty view may hold no pointer at all
        std::fwrite(text.data(), 1, text.size(), out);
    if (std::fflush(out) == 0 && !std::ferror(out))
        return 0;
    const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
    std::fputs(report(reason).c_str(), errors);
    return WriteFailedStatus;
}

int Refuse(std::string_view refusal, std::FILE* errors)
{
    std::fwrite(refusal.data(), 1, refusal.size(), errors);
    std::fflush(errors);
    return RefusalStatus;
}

} // namespace ProgramOptions
