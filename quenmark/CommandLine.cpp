// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ProgramOptions.h"
#include "Quenmark.h"

#include <charconv>
#include <cmath>

namespace CommandLine {

namespace {

bool ParseTime(const std::string& text)
{
    const std::size_t point = text.find_first_of(".,"); // a comma as the time question takes it
    const std::string hours = text.substr(0, point);
    const std::string minutes = point == std::string::npos ? "" : text.substr(point + 1);
    auto digits = [](const std::string& part, std::size_t most) {
        if (part.empty() || part.size() > most)
            return false;
        for (char c : part)
            if (c < '0' || c > '9')
                return false;
        return true;
    };
    if (!digits(hours, 2) || (point != std::string::npos && !digits(minutes, 2)))
        return false;
    // One digit of minutes is tens: 9.5 is 9h50m, as the time question reads it.
    const int minuteValue
        = minutes.empty() ? 0 : std::stoi(minutes) * (minutes.size() == 1 ? 10 : 1);
    return std::stoi(hours) < 24 && minuteValue < 60;
}

// The entry in English, then in German, each line after the program's name.
std::string BothLanguages(Quenmark::TextEntry entry, const std::vector<std::string>& values)
{
    return "quenmark: " + Quenmark::FilledText(Quenmark::English, entry, values)
        + "\nquenmark: " + Quenmark::FilledText(Quenmark::German, entry, values) + "\n";
}

Options Refusal(Quenmark::TextEntry entry, const std::vector<std::string>& values = {})
{
    Options options;
    options.What = Action::Refuse;
    options.Error = BothLanguages(entry, values);
    return options;
}

std::string WriteFailure(const std::string& reason)
{
    Quenmark::SetUpMessageTexts(); // also when Act runs without Parse
    return BothLanguages(Quenmark::OutputWriteFailure, { reason });
}

bool ParseDegrees(const std::string& text, double& value)
{
    if (text.empty() || text[0] == '+')
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && std::isfinite(value);
}

} // namespace

bool ParseSite(const std::string& text, SiteOption& site)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    double latitude = 0, longitude = 0;
    if (!ParseDegrees(text.substr(0, comma), latitude)
        || !ParseDegrees(text.substr(comma + 1), longitude) || std::fabs(latitude) > 90
        || longitude < -180 || longitude > 360)
        return false;
    site = { true, latitude, longitude, text };
    return true;
}

Options Parse(const std::vector<std::string>& arguments)
{
    Quenmark::SetUpMessageTexts(); // the refusals come before the dialogue
    Options options;
    using ProgramOptions::Request;
    const Request request = ProgramOptions::HelpOrVersion({ arguments.begin(), arguments.end() });
    if (request != Request::Other) {
        options.What = request == Request::Help ? Action::ShowHelp : Action::ShowVersion;
        return options;
    }
    bool hasTime = false;
    std::vector<std::string> seriesOnly; // options that need the series, as given
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool takesValue = argument == "--date" || argument == "--time"
            || argument == "--series1" || argument == "--series2" || argument == "--site1"
            || argument == "--site2" || argument == "--planet" || argument == "--language";
        if (takesValue && i + 1 == arguments.size())
            return Refusal(Quenmark::NeedsValueRefusal, { argument });
        const int number = !argument.empty() && argument.back() == '2' ? 1 : 0;
        if ((argument == "--series1" || argument == "--series2")
            && options.Series[number].empty()) {
            options.Series[number] = arguments[++i];
            if (options.Series[number].empty())
                return Refusal(Quenmark::NeedsValueRefusal, { argument });
        } else if ((argument == "--site1" || argument == "--site2")
            && !options.Sites[number].Given) {
            if (!ParseSite(arguments[++i], options.Sites[number]))
                return Refusal(
                    Quenmark::SiteUnreadableRefusal, { ProgramOptions::Shown(arguments[i]) });
            seriesOnly.push_back(argument);
        } else if (argument == "--planet" && !options.HasPlanet) {
            const std::string& name = arguments[++i];
            if (name != "venus" && name != "mercury")
                return Refusal(Quenmark::PlanetUnreadableRefusal, { ProgramOptions::Shown(name) });
            options.HasPlanet = true;
            options.Planet
                = name == "venus" ? Ephemeris::Planet::Venus : Ephemeris::Planet::Mercury;
            seriesOnly.push_back(argument);
        } else if (argument == "--language" && options.Language < 0) {
            const std::string& name = arguments[++i];
            if (name != "e" && name != "g")
                return Refusal(
                    Quenmark::LanguageUnreadableRefusal, { ProgramOptions::Shown(name) });
            options.Language = name == "g" ? Quenmark::German : Quenmark::English;
            seriesOnly.push_back(argument);
        } else if (argument == "--date" && !options.HasDate) {
            const std::string text = ProgramOptions::Shown(arguments[++i]);
            switch (Ephemeris::ReadDate(arguments[i], options.Date)) {
            case Ephemeris::DateReading::NotYyyyMmDd:
                return Refusal(Quenmark::DateUnreadableRefusal, { text });
            case Ephemeris::DateReading::NoSuchDay:
                return Refusal(Quenmark::NoSuchDateRefusal, { text });
            case Ephemeris::DateReading::Read:
                break;
            }
            if (!Ephemeris::InRange(options.Date))
                return Refusal(Quenmark::DateOutOfRangeRefusal,
                    { text, std::to_string(Ephemeris::FirstYear),
                        std::to_string(Ephemeris::LastYear) });
            options.HasDate = true;
        } else if (argument == "--time" && !hasTime) {
            options.TimeText = arguments[++i];
            if (!ParseTime(options.TimeText))
                return Refusal(
                    Quenmark::TimeUnreadableRefusal, { ProgramOptions::Shown(options.TimeText) });
            hasTime = true;
        } else {
            return Refusal(
                Quenmark::UnexpectedArgumentRefusal, { ProgramOptions::Shown(argument) });
        }
    }
    if (hasTime && !options.HasDate)
        return Refusal(Quenmark::TimeWithoutDateRefusal);
    const bool series1 = !options.Series[0].empty(), series2 = !options.Series[1].empty();
    if (series1 != series2)
        return Refusal(Quenmark::SeriesNeedBothRefusal);
    if (!series1 && !seriesOnly.empty())
        return Refusal(Quenmark::OptionNeedsSeriesRefusal, { seriesOnly.front() });
    if (series1 && !options.HasDate)
        return Refusal(Quenmark::SeriesNeedDateRefusal);
    if (series1 && hasTime)
        return Refusal(Quenmark::UnexpectedArgumentRefusal, { "--time" });
    if (series1)
        options.What = Action::ReduceSeries;
    return options;
}

std::string UsageText()
{
    return "usage: quenmark [--date YYYY-MM-DD [--time hh.mm]] | --help | --version\n"
           "       quenmark --series1 FILE --series2 FILE --date YYYY-MM-DD [--site1 LAT,LON]\n"
           "                [--site2 LAT,LON] [--planet venus|mercury] [--language e|g]\n";
}

std::string HelpText()
{
    const std::string years
        = std::to_string(Ephemeris::FirstYear) + " to " + std::to_string(Ephemeris::LastYear);
    return UsageText()
        + "\n"
          "Computes the solar parallax from the positions of Mercury or Venus on the\n"
          "Sun's disc measured at the same moment from two sites. Without options the\n"
          "Sun's data are asked with the built-in defaults.\n"
          "\n"
          "  --date YYYY-MM-DD  compute the defaults of the Sun's right ascension,\n"
          "                     declination and angular radius, the sidereal time at\n"
          "                     Greenwich at 0h UT and rPlanet/rEarth for this date\n"
          "                     (years "
        + years
        + "); on the date of a transit of Mercury\n"
          "                     the planet question offers m\n"
          "  --time hh.mm       the time UT for them (hh,mm too), also the default of\n"
          "                     the time question (default 12.00)\n"
          "  --series1 FILE, --series2 FILE\n"
          "                     the two sites' audit files of the measuring program\n"
          "                     (result rows with x, y, sigma_x, sigma_y and ut): the\n"
          "                     solar parallax from both series, by the formula at\n"
          "                     common moments and by a rigorous fit, with their\n"
          "                     uncertainties and a plot <series1 base>.parallax.svg;\n"
          "                     needs --date, the day of the ut column\n"
          "  --site1 LAT,LON, --site2 LAT,LON\n"
          "                     the sites in degrees, east positive (else asked)\n"
          "  --planet venus|mercury  (else asked, default from the date)\n"
          "  --language e|g     English or German (else asked)\n"
          "  --help             this text\n"
          "  --version          the program's version\n"
          "\n"
          "Precision: the values come from the IAU's standard routines (ERFA) and are\n"
          "good to a fraction of an arcsecond, UT1 taken equal to UTC; the defaults\n"
          "are rounded to whole seconds of time and of arc, 0.01' and 0.001.\n";
}

int Act(const Options& options)
{
    switch (options.What) {
    case Action::ShowHelp:
        return ProgramOptions::Print(HelpText(), WriteFailure);
    case Action::ShowVersion:
        return ProgramOptions::Print("quenmark " TRANSIT_VERSION "\n", WriteFailure);
    case Action::Refuse:
        return ProgramOptions::Refuse(options.Error + UsageText());
    case Action::RunDialogue:
    case Action::ReduceSeries:
        break;
    }
    return -1;
}

} // namespace CommandLine
