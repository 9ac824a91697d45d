// SPDX-License-Identifier: GPL-3.0-or-later
#include "SeriesRun.h"

#include "KernDos.h"
#include "Mathe.h"
#include "NumberText.h"
#include "ParallaxPlot.h"
#include "ProgramOptions.h"
#include "Quenmark.h"
#include "SeriesFile.h"
#include "SeriesReduction.h"

#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace SeriesRun {

namespace {

using Quenmark::TextEntry;

std::string Filled(TextEntry entry, const std::vector<std::string>& values = {})
{
    return Quenmark::FilledText(Quenmark::Language, entry, values);
}

void Report(const std::string& message)
{
    std::cerr << "quenmark: " << message << "\n" << std::flush;
}

// Each fault of a series file with its message and the exit status: a file
// too large or unreadable fails, one whose content is no series is refused.
struct Refusal {
    SeriesFile::Fault What;
    TextEntry Message;
    int Status;
};
constexpr Refusal Refusals[] = {
    { SeriesFile::Fault::NoHeader, Quenmark::SeriesNoHeader, Refused },
    { SeriesFile::Fault::MissingColumn, Quenmark::SeriesMissingColumn, Refused },
    { SeriesFile::Fault::UnreadableValue, Quenmark::SeriesUnreadableValue, Refused },
    { SeriesFile::Fault::NoUncertainty, Quenmark::SeriesNoUncertainty, Refused },
    { SeriesFile::Fault::TimesOutOfOrder, Quenmark::SeriesTimesOutOfOrder, Refused },
    { SeriesFile::Fault::TooFewPositions, Quenmark::SeriesTooFew, Refused },
    { SeriesFile::Fault::TooLarge, Quenmark::SeriesTooLarge, Failed },
    { SeriesFile::Fault::NotReadable, Quenmark::SeriesNotReadable, Failed },
};

// The refusal of a file: its message and the exit status.
int RefuseSeries(const std::string& name, const SeriesFile::Series& series)
{
    for (const Refusal& refusal : Refusals) {
        if (refusal.What != series.What)
            continue;
        // No reason: the name is no regular file.
        const bool notRegular
            = series.What == SeriesFile::Fault::NotReadable && series.Detail.empty();
        Report(Filled(notRegular ? Quenmark::SeriesNotRegular : refusal.Message,
            { ProgramOptions::Shown(name), std::to_string(series.Line),
                ProgramOptions::Shown(series.Detail) }));
        return refusal.Status;
    }
    assert(series.What == SeriesFile::Fault::None && "each fault needs its row in Refusals");
    return Refused;
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Padded(const std::string& text, std::size_t width)
{
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

// To the nearest 1000 km: the uncertainty is some 10,000 km at best.
std::string Kilometres(double km)
{
    return Fixed(std::round(km / 1000) * 1000, 0);
}

std::string UnitLine(TextEntry name, const SeriesReduction::Result& r)
{
    const double au = SeriesReduction::AstronomicalUnitKm(r.Parallax);
    const double sigma = au * r.Sigma / r.Parallax; // d(1/sin p) ~ -dp/p
    return Filled(
        Quenmark::UnitLine, { Filled(name), Kilometres(au), Kilometres(std::fabs(sigma)) });
}

std::string ParallaxLine(TextEntry label, const SeriesReduction::Result& r)
{
    std::string text = Filled(label);
    text += Fixed(r.Parallax, 3);
    text += "\" ± ";
    text += Fixed(r.Sigma, 3);
    text += '"';
    return text;
}

} // namespace

int Run(const CommandLine::Options& options)
{
    KernDos::SetProgramName("quenmark");
    if (options.Language >= 0) {
        Quenmark::Language = options.Language;
    } else {
        std::string answer = "e";
        KernDos::ReadChar("english/german (e/g) ? ", answer);
        Quenmark::Language = answer == "G" || answer == "g" ? Quenmark::German : Quenmark::English;
    }

    std::vector<SeriesReduction::Observation> observations;
    int counts[2] = { 0, 0 };
    for (int site = 0; site < 2; ++site) {
        const SeriesFile::Series series = SeriesFile::Read(options.Series[site]);
        if (series.What != SeriesFile::Fault::None)
            return RefuseSeries(options.Series[site], series);
        for (const SeriesFile::Position& p : series.Positions)
            observations.push_back({ site, p.Seconds, p.X, p.Y, p.SigmaX, p.SigmaY, p.Line });
        counts[site] = static_cast<int>(series.Positions.size());
    }

    SeriesReduction::Setup setup;
    setup.Date = options.Date;
    if (options.HasPlanet) {
        setup.Planet = options.Planet;
    } else {
        const bool mercury = Ephemeris::PlanetInTransit(options.Date) == Ephemeris::Planet::Mercury;
        setup.Planet = Quenmark::AskPlanet(mercury ? "m" : "v") ? Ephemeris::Planet::Venus
                                                                : Ephemeris::Planet::Mercury;
    }
    for (int site = 0; site < 2; ++site) {
        if (options.Sites[site].Given)
            setup.Sites[site] = { options.Sites[site].Latitude * Mathe::RadiansPerDegree,
                options.Sites[site].Longitude * Mathe::RadiansPerDegree };
        else
            Quenmark::AskSite(site + 1, setup.Sites[site].Latitude, setup.Sites[site].Longitude);
    }

    const SeriesReduction::FormulaResult formula
        = SeriesReduction::ReduceByFormula(setup, observations);
    if (!formula.Overlap) {
        Report(Filled(Quenmark::SeriesNoOverlap));
        return Failed;
    }
    const SeriesReduction::Result rigorous = SeriesReduction::ReduceRigorously(setup, observations);
    if (!formula.Summary.Done || !rigorous.Done || !std::isfinite(rigorous.Parallax)
        || !(formula.Summary.Parallax > 0) || !(rigorous.Parallax > 0)) {
        Report(Filled(Quenmark::SeriesFitFailed));
        return Failed;
    }

    // Appended piece by piece: "literal" + string trips a false -Wrestrict of GCC 12.
    std::string out;
    auto line = [&out](const std::string& text) {
        out += text;
        out += '\n';
    };
    line("");
    line(Filled(Quenmark::SeriesCounts, { std::to_string(counts[0]), std::to_string(counts[1]) }));
    line(Filled(Quenmark::TrackDegrees,
        { std::to_string(formula.Degree[0]), std::to_string(formula.Degree[1]) }));
    line("");
    line(Filled(Quenmark::MomentsHeading));
    line(Filled(Quenmark::MomentsColumns));
    for (const SeriesReduction::Moment& m : formula.Moments) {
        std::string row(1, ' ');
        row += NumberText::FormatClock(m.Seconds);
        for (const double value : { m.X1, m.Y1, m.X2, m.Y2 })
            row += Padded(Fixed(value, 6), 11);
        row += Padded(Fixed(m.Shift, 3), 9);
        row += '"';
        row += Padded(Fixed(m.Parallax, 3), 8);
        row += '"';
        line(row);
    }
    line("");
    line(ParallaxLine(Quenmark::FormulaParallaxLabel, formula.Summary));
    line(ParallaxLine(Quenmark::RigorousParallaxLabel, rigorous));
    line(UnitLine(Quenmark::FormulaName, formula.Summary));
    line(UnitLine(Quenmark::RigorousName, rigorous));
    line(Filled(Quenmark::PositionsUsed,
        { std::to_string(formula.Summary.Used), std::to_string(rigorous.Used),
            std::to_string(formula.Summary.Dropped.size()),
            std::to_string(rigorous.Dropped.size()) }));
    for (const auto& [name, dropped] :
        { std::pair { Quenmark::FormulaName, &formula.Summary.Dropped },
            std::pair { Quenmark::RigorousName, &rigorous.Dropped } })
        for (const int i : *dropped) {
            const auto& o = observations[static_cast<std::size_t>(i)];
            line(Filled(Quenmark::PositionDropped,
                { Filled(name), ProgramOptions::Shown(options.Series[o.Site]),
                    std::to_string(o.Line) }));
        }

    const std::string plotName = ParallaxPlot::NameBeside(options.Series[0]);
    // The file names as labels: escapes for control characters and bytes that
    // are not UTF-8 keep the document well formed.
    const ParallaxPlot::Labels labels { Filled(Quenmark::PlotTitle),
        Filled(Quenmark::PlotAcrossTrack), Filled(Quenmark::PlotResiduals),
        ProgramOptions::Shown(options.Series[0]), ProgramOptions::Shown(options.Series[1]) };
    std::string reason;
    int status = Done;
    switch (
        ParallaxPlot::Write(plotName, ParallaxPlot::Svg(observations, formula, labels), reason)) {
    case ParallaxPlot::Writing::Written:
        line(Filled(Quenmark::PlotWritten, { ProgramOptions::Shown(plotName) }));
        break;
    case ParallaxPlot::Writing::Foreign:
        Report(Filled(Quenmark::PlotForeignFile, { ProgramOptions::Shown(plotName) }));
        status = Failed;
        break;
    case ParallaxPlot::Writing::Failed:
        Report(
            Filled(Quenmark::PlotNotWritten, { ProgramOptions::Shown(plotName), ": " + reason }));
        status = Failed;
        break;
    }
    errno = 0;
    KernDos::Write(out);
    std::cout.flush();
    if (!std::cout) {
        const int error = errno;
        Report(Filled(Quenmark::OutputWriteFailure,
            { error != 0 ? ": " + std::string(std::strerror(error)) : "" }));
        return Failed;
    }
    return status;
}

} // namespace SeriesRun
