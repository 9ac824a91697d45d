#include "Evaluation.h"

#include "Adjustment.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "Mathe.h"
#include "NumberText.h"
#include "ResultFiles.h"
#include "Settings.h"
#include "Texts.h"
#include "Utf8.h"

#include <cmath>
#include <stdexcept>

namespace Evaluation {

namespace {

using Adjustment::Circle;

std::string Format(double value, double spec)
{
    return Kern::FormatReal(value, spec);
}

std::string DecimalComma(std::string text)
{
    const std::size_t point = text.find('.');
    if (point != std::string::npos)
        text[point] = ',';
    return text;
}

// Two digits, the leading blank of a one-digit number made a "0".
std::string TwoDigits(double value)
{
    std::string text = Format(value, 2);
    if (!text.empty() && text[0] == ' ')
        text[0] = '0';
    return text;
}

std::string CircleValues(const Circle& c)
{
    return " x:" + Format(c.X, 3) + ", y:" + Format(c.Y, 3) + ", r:" + Format(c.Radius, 3);
}

Results OnePicture()
{
    const Circle& sun = Adjustment::Circles[1];
    const Circle& venus = Adjustment::Circles[2];
    const double rotation = Settings::RotationAngle;
    const double dx = static_cast<double>(venus.X) - sun.X;
    const double dy = static_cast<double>(sun.Y) - venus.Y;
    const double x = std::cos(rotation) * dx + std::sin(rotation) * dy;
    const double y = -std::sin(rotation) * dx + std::cos(rotation) * dy;
    const double rho = std::sqrt(x * x + y * y) / sun.Radius;
    const double theta = Mathe::Degrees(Mathe::PolarAngle(y, x));
    const std::string& sunLabel = Texts::Text(Texts::SunLabel);
    const std::string& angleLabel = Texts::Text(Texts::PositionAngleLabel);

    Results r;
    r.PageLines = {
        Utf8::PadLeft(sunLabel, 29) + ":" + CircleValues(sun),
        Utf8::PadLeft("Venus:", 30) + CircleValues(venus),
        "  rho':" + Format(rho, 1.4),
        Utf8::PadLeft(angleLabel + ":", 30) + Format(theta, 3.2) + "\u00b0",
        Utf8::PadLeft("x':", 30) + Format(x / sun.Radius, 1.4),
        Utf8::PadLeft("y':", 30) + Format(y / sun.Radius, 1.4),
    };
    const char* end = ResultFiles::LineEnd;
    r.ResultFileText = NumberText::FormatFixed(Settings::TimeUT, 2, 2) + end
        + NumberText::FormatFixed(rho, 7, 4) + end + NumberText::FormatFixed(theta, 3, 2) + end;
    return r;
}

struct Exposure {
    double Rho, Theta, X, Y; // Theta in degrees from the shift's direction
};

Exposure Measure(const Circle& sun, const Circle& venus, double shiftDegrees)
{
    const double dx = static_cast<double>(venus.X) - sun.X;
    const double dy = static_cast<double>(sun.Y) - venus.Y;
    const double d = std::sqrt(dx * dx + dy * dy);
    const double theta = Mathe::Degrees(Mathe::PolarAngle(dy, dx)) - shiftDegrees;
    const double radians = Mathe::Radians(theta);
    return { d / sun.Radius, theta, std::cos(radians) * d / sun.Radius,
        std::sin(radians) * d / sun.Radius };
}

std::string ResultLine(const std::string& time, const Exposure& e)
{
    return time + "\t" + DecimalComma(Format(e.Rho, 1.4)) + "\t"
        + DecimalComma(Format(e.Theta, 3.2)) + ResultFiles::LineEnd;
}

Results TwoPictures()
{
    const auto& c = Adjustment::Circles;
    const Adjustment::Shift shift = Adjustment::SunShift;
    const double phi = Mathe::Degrees(Mathe::PolarAngle(-static_cast<double>(shift.DY), shift.DX));
    const Exposure first = Measure(c[1], c[3], phi);
    const Exposure second = Measure(c[2], c[4], phi);
    const std::string& sunLabel = Texts::Text(Texts::SunLabel);
    const std::string& angleLabel = Texts::Text(Texts::PositionAngleLabel);

    Results r;
    r.PageLines = {
        Utf8::PadLeft(sunLabel, 27) + " 1:" + CircleValues(c[1]),
        Utf8::PadLeft(sunLabel, 27) + " 2:" + CircleValues(c[2]),
        Utf8::PadLeft("Venus 1:", 30) + CircleValues(c[3]),
        Utf8::PadLeft("Venus 2:", 30) + CircleValues(c[4]),
        Utf8::PadLeft(Texts::Text(Texts::DisplacementLabel), 30) + Format(phi, 3.1) + "\u00b0",
        Utf8::PadLeft("rho1", 28) + "':" + Format(first.Rho, 1.4),
        Utf8::PadLeft(angleLabel, 27) + " 1:" + Format(first.Theta, 3.2) + "\u00b0",
        Utf8::PadLeft("x1':", 30) + Format(first.X, 1.4),
        Utf8::PadLeft("y1':", 30) + Format(first.Y, 1.4),
        Utf8::PadLeft("rho2':", 30) + Format(second.Rho, 1.4),
        Utf8::PadLeft(angleLabel + " 2:", 30) + Format(second.Theta, 3.2) + "\u00b0",
        Utf8::PadLeft("x2':", 30) + Format(second.X, 1.4),
        Utf8::PadLeft("y2':", 30) + Format(second.Y, 1.4),
    };
    r.ResultFileText = ResultLine(ClockTime(Settings::TimeUT, 0), first);
    r.SecondResultFileText
        = ResultLine(ClockTime(Settings::TimeUT, Settings::TimeDifference), second);
    return r;
}

void ShowPage(const Results& results)
{
    Kern::SetFillStyle(255, Kern::Black, Kern::Black);
    Kern::FillBar(0, 0, Kern::ScreenWidth(), Kern::ScreenHeight());
    Kern::WriteTextAt(20, 50, Texts::Text(Texts::ResultLabel), Kern::White);
    int k = 0;
    for (const std::string& line : results.PageLines)
        Kern::WriteTextAt(20, 50 + ++k * (Kern::CharHeight + 2), line, Kern::White);
    Kern::WriteTextAt(10, Kern::ScreenHeight() - 5, "\"Esc\": neue Eingabe !", Kern::LightRed);
}

} // namespace

std::string ClockTime(double timeUT, long long seconds)
{
    const double hours = std::trunc(timeUT);
    const double minutes = std::nearbyint((timeUT - hours) * 100);
    const long long wholeMinutes = seconds / 60;
    if (hours >= 0 && hours < 24 && minutes >= 0 && seconds >= 0
        && minutes + static_cast<double>(wholeMinutes) < 60) {
        // The digits as written: hundredths of the hh.mm value per minute.
        const double later = timeUT + static_cast<double>(wholeMinutes) * 0.01;
        const double laterHours = std::trunc(later);
        return TwoDigits(laterHours) + ":" + TwoDigits((later - laterHours) * 100) + ":"
            + TwoDigits(static_cast<double>(seconds % 60));
    }
    // Otherwise a real clock: carried hours, earlier times, midnight wrapped.
    constexpr long long Day = 24 * 3600;
    const double total = hours * 3600 + minutes * 60 + static_cast<double>(seconds);
    long long ofDay = static_cast<long long>(std::fmod(total, static_cast<double>(Day)));
    if (ofDay < 0)
        ofDay += Day;
    return TwoDigits(static_cast<double>(ofDay / 3600)) + ":"
        + TwoDigits(static_cast<double>(ofDay / 60 % 60)) + ":"
        + TwoDigits(static_cast<double>(ofDay % 60));
}

Results ComputeResults()
{
    return Settings::PictureCount == 2 ? TwoPictures() : OnePicture();
}

void EvaluatePositions()
{
    const Results results = ComputeResults();
    // On the disk before the page shows them; a file that cannot take them
    // keeps them for the next evaluation, and the user reads the page first.
    std::string failures;
    const auto append = [&failures](void (*to)(const std::string&), const std::string& text) {
        try {
            to(text);
        } catch (const std::runtime_error& error) {
            failures += (failures.empty() ? "" : "\n") + std::string(error.what());
        }
    };
    append(ResultFiles::AppendToResultFile, results.ResultFileText);
    if (Settings::PictureCount == 2)
        append(ResultFiles::AppendToSecondResultFile, results.SecondResultFileText);
    ShowPage(results);
    if (!failures.empty())
        FensterGraf::ShowErrorMessage(failures);
}

} // namespace Evaluation
