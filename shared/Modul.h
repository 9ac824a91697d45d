// SPDX-License-Identifier: GPL-3.0-or-later
// Prompted number input of the window program: the questions go through the
// binding the program installed (the window console installs its input
// dialog and its bell), so this module needs nothing of the console itself.
#pragma once

#include <cstdint>
#include <string>

namespace Modul {

// Asks with text as default until the answer converts (commas read as points);
// a failed answer rings the bell and is offered again. text keeps the answer.
void ReadReal(const std::string& prompt, std::string& text, double& value);

// As ReadReal for a 32-bit whole number (decimal, or hexadecimal after "$",
// "x" or "0x"), without the comma step.
void ReadInteger(const std::string& prompt, std::string& text, std::int32_t& value);

} // namespace Modul
