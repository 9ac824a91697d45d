// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModulDos.h"

#include "KernDos.h"
#include "PromptLoop.h"

namespace ModulDos {

void ReadReal(const std::string& prompt, std::string& text, double& value)
{
    PromptLoop::ReadReal(KernDos::Binding(), prompt, text, value);
}

} // namespace ModulDos
