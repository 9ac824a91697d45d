// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "KernDos.h"
#include "PromptLoop.h"
#include "Quenmark.h"
#include "SeriesRun.h"

int main(int argc, char** argv)
{
    const CommandLine::Options options
        = CommandLine::Parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (const int status = CommandLine::Act(options); status >= 0)
        return status;
    if (options.What == CommandLine::Action::ReduceSeries) {
        PromptLoop::Install(KernDos::Binding());
        return SeriesRun::Run(options);
    }
    if (options.HasDate)
        Quenmark::UseDateForDefaults(options.Date, options.TimeText);
    KernDos::SetProgramName("quenmark");
    PromptLoop::Install(KernDos::Binding());
    Quenmark::Run();
}
