// Prompted number input in the window: the questions go through the console's
// input dialog, the bell is written at the window's text cursor.
#pragma once

#include "PromptLoop.h"

#include <cstdint>
#include <string>

namespace Modul {

// Asks with text as default until the answer converts (commas read as points);
// a failed answer rings the bell and is offered again. text keeps the answer.
void ReadReal(const std::string& prompt, std::string& text, double& value);

// As ReadReal for a 32-bit whole number (decimal, or hexadecimal after "$",
// "x" or "0x"), without the comma step.
void ReadInteger(const std::string& prompt, std::string& text, std::int32_t& value);

// The window binding: the input dialog, the bell at the text cursor, the
// console's immediate end (after its exit hook).
const PromptLoop::Binding& Binding();

// Makes the window binding the one AbortWithBell uses. The console's
// OpenConsole already does this; the program may call it again.
void Install();

} // namespace Modul
