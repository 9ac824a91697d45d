// SPDX-License-Identifier: GPL-3.0-or-later
#include "AstrRout.h"

#include "NumberText.h"
#include "PromptLoop.h"

#include <algorithm>
#include <cmath>

namespace AstrRout {

namespace {

// The number before position `marker` (0-based), or the end of the program.
// The text up to and including the marker is removed.
long double TakeNumberBefore(std::string& text, std::size_t marker)
{
    if (marker == std::string::npos) // the empty part that does not convert
        AbortWithBell();
    double value = 0;
    int errorPos = 0;
    NumberText::TextToReal(std::string_view(text).substr(0, marker), value, errorPos);
    if (errorPos != 0)
        AbortWithBell();
    text.erase(0, marker + 1);
    return value;
}

// minutes / 60 + seconds / 3600 of the rest behind the degrees or hours.
long double MinutesAndSeconds(std::string& text, std::size_t minutesMarker)
{
    long double value = TakeNumberBefore(text, minutesMarker) / 60.0L;
    if (!text.empty()) {
        double seconds = 0;
        int errorPos = 0;
        NumberText::TextToReal(text, seconds, errorPos);
        if (errorPos != 0)
            AbortWithBell();
        value += seconds / 3600.0L;
    }
    return value;
}

} // namespace

double ParseAngle(std::string text)
{
    text.erase(0, text.find_first_not_of(' '));
    if (text.empty())
        return 0;
    std::replace(text.begin(), text.end(), ',', '.');
    long double sign = 1;
    if (text.front() == '-') {
        sign = -1;
        text.erase(0, 1);
    }
    std::size_t degreeMarker = text.find('d');
    if (degreeMarker == std::string::npos)
        degreeMarker = text.find('g');
    const std::size_t hourMarker = text.find('h');

    long double value = 0;
    if (degreeMarker != std::string::npos) {
        value = TakeNumberBefore(text, degreeMarker);
        std::size_t minutesMarker = text.find('m');
        if (minutesMarker == std::string::npos)
            minutesMarker = text.find('\'');
        value += MinutesAndSeconds(text, minutesMarker);
    } else if (hourMarker != std::string::npos) {
        value = TakeNumberBefore(text, hourMarker);
        value += MinutesAndSeconds(text, text.find('m'));
        value *= 15;
    } else {
        double plain = 0;
        int errorPos = 0;
        NumberText::TextToReal(text, plain, errorPos);
        if (errorPos != 0)
            AbortWithBell();
        value = plain;
    }
    return static_cast<double>(sign * value * DegreesToRadians);
}

double HhMmToHours(double hhmm)
{
    const long double hours = std::trunc(static_cast<long double>(hhmm));
    return static_cast<double>(hours + (hhmm - hours) / 0.6L);
}

void AbortWithBell()
{
    PromptLoop::AbortWithBell();
}

} // namespace AstrRout
