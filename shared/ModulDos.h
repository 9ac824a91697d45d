// SPDX-License-Identifier: GPL-3.0-or-later
// Prompted number input on the console (standard input and output).
#pragma once

#include <string>

namespace ModulDos {

// Asks with text as default until the answer converts (commas read as points);
// a failed answer rings the bell and is offered again. text keeps the answer.
void ReadReal(const std::string& prompt, std::string& text, double& value);

} // namespace ModulDos
