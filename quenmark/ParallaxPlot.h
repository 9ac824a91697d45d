// SPDX-License-Identifier: GPL-3.0-or-later
// The plot of a series reduction as an SVG document: both sites' positions
// with their error bars and fitted tracks along the part of the disc they
// cross, the direction across the track stretched so that the shift between
// the sites can be seen; below, the residuals from the tracks against time.
#pragma once

#include "SeriesReduction.h"

#include <string>
#include <vector>

namespace ParallaxPlot {

// The comment that marks the program's own plots: only they are replaced.
inline constexpr const char* Marker = "<!-- quenmark parallax plot -->";

struct Labels {
    std::string Title, AcrossTrack /* %1: the stretch */, Residuals, Site1, Site2;
};

std::string Svg(const std::vector<SeriesReduction::Observation>& observations,
    const SeriesReduction::FormulaResult& tracks, const Labels& labels);

// "<series1 without its last extension>.parallax.svg".
std::string NameBeside(const std::string& series1);

enum class Writing { Written, Foreign, Failed };

// Writes text under name through a temporary file renamed over it, so that
// no half-written plot is left; a file there that is not one of our plots is
// left alone. reason: the system's reason on Failed.
Writing Write(const std::string& name, const std::string& text, std::string& reason);

} // namespace ParallaxPlot
