// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ProgramOptions.h"
#include "Quenmark.h"

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

} // namespace

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
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool takesValue = argument == "--date" || argument == "--time";
        if (takesValue && i + 1 == arguments.size())
            return Refusal(Quenmark::NeedsValueRefusal, { argument });
        if (argument == "--date" && !options.HasDate) {
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
    return options;
}

std::string UsageText()
{
    return "usage: quenmark [--date YYYY-MM-DD [--time hh.mm]] | --help | --version\n";
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
        break;
    }
    return -1;
}

} // namespace CommandLine
