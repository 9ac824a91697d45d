// SPDX-License-Identifier: GPL-3.0-or-later
#include "Modul.h"

#include "PromptLoop.h"

namespace Modul {

void ReadReal(const std::string& prompt, std::string& text, double& value)
{
    PromptLoop::ReadReal(PromptLoop::Installed(), prompt, text, value);
}

void ReadInteger(const std::string& prompt, std::string& text, std::int32_t& value)
{
    PromptLoop::ReadInteger(PromptLoop::Installed(), prompt, text, value);
}

} // namespace Modul
