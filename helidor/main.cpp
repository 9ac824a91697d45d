// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "Setup.h"

int main(int argc, char** argv)
{
    const int status = CommandLine::HandleArguments(argc, argv);
    if (status != CommandLine::OpenWindow)
        return status;
    Setup::RunHelidor(argc, argv);
}
