// SPDX-License-Identifier: GPL-3.0-or-later
// The run with two sites' series: the language (asked unless given), both
// files read, the planet and the sites (asked unless given), both reductions,
// the results on standard output and the plot beside the first series.
#pragma once

#include "CommandLine.h"

namespace SeriesRun {

inline constexpr int Done = 0;
inline constexpr int Failed = 1; // no overlap, a failed fit, a file that cannot be read
inline constexpr int Refused = 2; // a file that is no series

// The exit status.
int Run(const CommandLine::Options& options);

} // namespace SeriesRun
