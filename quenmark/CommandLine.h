// SPDX-License-Identifier: GPL-3.0-or-later
// Quenmark's options. Grammar (each option at most once, no other argument):
//   quenmark [--date YYYY-MM-DD [--time hh.mm]] | --help | --version
//   quenmark --series1 FILE --series2 FILE --date YYYY-MM-DD [--site1 LAT,LON]
//            [--site2 LAT,LON] [--planet venus|mercury] [--language e|g]
// --help and --version may also come together and repeated; the help wins.
// --time is hh.mm as the time question reads it: hours 0..23, then optionally
// "." or "," and one or two digits of minutes (0..59); it needs --date.
// Refusals show control characters of an argument as escapes (\x1b).
#pragma once

#include "Ephemeris.h"

#include <string>
#include <vector>

namespace CommandLine {

enum class Action { RunDialogue, ReduceSeries, ShowHelp, ShowVersion, Refuse };

// A site given as LAT,LON: degrees, east positive.
struct SiteOption {
    bool Given = false;
    double Latitude = 0, Longitude = 0;
    std::string Text; // as typed
};

struct Options {
    Action What = Action::RunDialogue;
    bool HasDate = false;
    Ephemeris::CalendarDate Date;
    std::string TimeText = "12.00"; // as typed; the default of the time question
    std::string Error; // with Refuse: why, one line in English and one in German
    // With ReduceSeries:
    std::string Series[2];
    SiteOption Sites[2];
    bool HasPlanet = false;
    Ephemeris::Planet Planet = Ephemeris::Planet::Venus;
    int Language = -1; // Quenmark's language row, -1 when it is to be asked
};

// "LAT,LON" in degrees (a point as decimal mark), latitude within -90..90,
// longitude within -180..360; false when it is not.
bool ParseSite(const std::string& text, SiteOption& site);

// The arguments after the program name.
Options Parse(const std::vector<std::string>& arguments);

// Full help for --help; a short usage for standard error.
std::string HelpText();
std::string UsageText();

// What main does with the options: help or version on standard output
// (status 0; 1 with a report on standard error when it cannot be written),
// refusal on standard error (status 2). Returns -1 when the dialogue is to run.
int Act(const Options& options);

} // namespace CommandLine
