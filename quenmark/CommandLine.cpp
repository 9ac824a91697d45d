// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ProgramOptions.h"

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

Options Refusal(const std::string& english, const std::string& german)
{
    Options options;
    options.What = Action::Refuse;
    options.Error = "quenmark: " + english + "\nquenmark: " + german + "\n";
    return options;
}

std::string WriteFailure(const std::string& reason)
{
    return "quenmark: cannot write standard output" + reason
        + "\nquenmark: die Standardausgabe ist nicht schreibbar" + reason + "\n";
}

} // namespace

Options Parse(const std::vector<std::string>& arguments)
{
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
            return Refusal(argument + " needs a value", argument + " braucht einen Wert");
        if (argument == "--date" && !options.HasDate) {
            const std::string text = ProgramOptions::Shown(arguments[++i]);
            switch (Ephemeris::ReadDate(arguments[i], options.Date)) {
            case Ephemeris::DateReading::NotYyyyMmDd:
                return Refusal("cannot read the date \"" + text + "\" (YYYY-MM-DD)",
                    "das Datum \"" + text + "\" ist nicht lesbar (JJJJ-MM-TT)");
            case Ephemeris::DateReading::NoSuchDay:
                return Refusal(
                    "the date " + text + " does not exist", "das Datum " + text + " gibt es nicht");
            case Ephemeris::DateReading::Read:
                break;
            }
            if (!Ephemeris::InRange(options.Date))
                return Refusal("the date " + text + " lies outside the years "
                        + std::to_string(Ephemeris::FirstYear) + " to "
                        + std::to_string(Ephemeris::LastYear),
                    "das Datum " + text + " liegt ausserhalb der Jahre "
                        + std::to_string(Ephemeris::FirstYear) + " bis "
                        + std::to_string(Ephemeris::LastYear));
            options.HasDate = true;
        } else if (argument == "--time" && !hasTime) {
            options.TimeText = arguments[++i];
            const std::string text = ProgramOptions::Shown(options.TimeText);
            if (!ParseTime(options.TimeText))
                return Refusal("cannot read the time \"" + text + "\" (hh.mm UT)",
                    "die Uhrzeit \"" + text + "\" ist nicht lesbar (hh.mm UT)");
            hasTime = true;
        } else {
            const std::string text = ProgramOptions::Shown(argument);
            return Refusal(
                "unexpected argument \"" + text + "\"", "unerwartetes Argument \"" + text + "\"");
        }
    }
    if (hasTime && !options.HasDate)
        return Refusal("--time needs --date", "--time braucht --date");
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
