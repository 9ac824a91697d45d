// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest main of the window tests: one QApplication and one console
// window for the whole run, as in a program.
#include "TestSupport.h"

int main(int argc, char** argv)
{
    return ConsoleTesting::RunAllTests(argc, argv);
}
