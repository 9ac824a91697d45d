// SPDX-License-Identifier: GPL-3.0-or-later
#include "Evaluation.h"

#include "Adjustment.h"
#include "FensterGraf.h"
#include "FitErrors.h"
#include "Kern.h"
#include "Mathe.h"
#include "NumberText.h"
#include "ResultFiles.h"
#include "Settings.h"
#include "Texts.h"
#include "Utf8.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace Evaluation {

namespace {

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

int EvaluationCount = 0; // evaluations of this run

// A confirmed circle as the evaluation takes it: an assisted one with its
// decimals and covariance, one set by keys as its whole pixels, known to
// half a pixel.
struct Taken {
    double X = 0, Y = 0, R = 0;
    bool Assisted = false;
    FitErrors::Covariance Covariance {};
};

Taken Entry(int entry)
{
    const auto i = static_cast<std::size_t>(entry);
    const Adjustment::Refinement& fit = Adjustment::Refinements[i];
    const FitTypes::Circle c = Adjustment::Precise(Adjustment::Circles[i], fit);
    return { c.X, c.Y, c.R, fit.Assisted,
        fit.Assisted ? fit.Covariance : FitErrors::KeyFittedCovariance() };
}

std::string CircleValues(const Taken& c)
{
    const double spec = c.Assisted ? 3.2 : 3;
    return " x:" + Format(c.X, spec) + ", y:" + Format(c.Y, spec) + ", r:" + Format(c.R, spec);
}

constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();

// The largest size a sigma can have and still say something: that of the
// quantity itself. An angle is known to within 180 degrees at worst; x', y'
// and rho' of a planet on the disc are at most one solar radius.
constexpr double LargestAngleSigma = 180;
constexpr double LargestRadiiSigma = 1;

// sigma, or Unknown when it is larger than largest (or Unknown already).
double Defined(double sigma, double largest)
{
    return sigma <= largest ? sigma : Unknown;
}

// The uncertainties of one exposure's result; Unknown where the planet sits
// on the Sun's centre and has no direction, or where one is too large to
// mean anything.
struct Uncertainty {
    double Rho = Unknown;
    double Angle = Unknown; // degrees, the reference direction's share included
    double X = Unknown, Y = Unknown;
};

FitTypes::Circle FitCircle(const Taken& c)
{
    return { c.X, c.Y, c.R };
}

// theta: radians from the reference direction, whose uncertainty is referenceSigma.
Uncertainty ErrorsOf(
    const Taken& sun, const Taken& planet, double rho, double theta, double referenceSigma)
{
    Uncertainty u;
    if (planet.X == sun.X && planet.Y == sun.Y)
        return u;
    const FitErrors::PositionErrors errors = FitErrors::RhoAndAngle(FitCircle(sun),
        FitErrors::WithCentreFloor(sun.Covariance, FitErrors::SunCentreFloor), FitCircle(planet),
        FitErrors::WithCentreFloor(planet.Covariance, FitErrors::PlanetCentreFloor));
    const FitErrors::CartesianErrors xy = FitErrors::XAndY(rho, theta, errors, referenceSigma);
    u.Rho = Defined(errors.SigmaRho, LargestRadiiSigma);
    u.Angle
        = Defined(Mathe::Degrees(std::hypot(errors.SigmaAngle, referenceSigma)), LargestAngleSigma);
    u.X = Defined(xy.SigmaX, LargestRadiiSigma);
    u.Y = Defined(xy.SigmaY, LargestRadiiSigma);
    return u;
}

// Radians; Unknown when the two Sun centres coincide.
double DriftSigma(const Taken& sun1, const Taken& sun2)
{
    if (sun1.X == sun2.X && sun1.Y == sun2.Y)
        return Unknown;
    return FitErrors::DriftDirectionSigma(FitCircle(sun1),
        FitErrors::WithCentreFloor(sun1.Covariance, FitErrors::SunCentreFloor), FitCircle(sun2),
        FitErrors::WithCentreFloor(sun2.Covariance, FitErrors::SunCentreFloor));
}

// [SECTION] Audit lines

std::string FitKind(const std::vector<Taken>& circles)
{
    int assisted = 0;
    for (const Taken& c : circles)
        assisted += c.Assisted ? 1 : 0;
    if (assisted == 0)
        return "keys";
    return assisted == static_cast<int>(circles.size()) ? "assisted" : "mixed";
}

// The exposure's time as the audit file gives it: the time answer plus
// seconds (the time difference, for the second exposure).
std::string ExposureTime(long long seconds)
{
    return ClockTime(Settings::TimeUT, Settings::TimeSecond + seconds);
}

std::string AuditCircle(const std::string& object, const Taken& c, const std::string& ut)
{
    const auto sigma = [&c](std::size_t i) { return std::sqrt(c.Covariance[i]); };
    return ResultFiles::AuditRow(EvaluationCount + 1,
        { object, c.Assisted ? "assisted" : "keys", ut, Settings::PictureName },
        { c.X, c.Y, c.R, sigma(0), sigma(4), sigma(8) }, 3, Unknown, Unknown);
}

// x, y, rho in solar radii, theta in degrees.
std::string AuditResult(const std::string& object, double x, double y, double rho, double theta,
    const Uncertainty& u, const std::string& fit, const std::string& ut)
{
    return ResultFiles::AuditRow(EvaluationCount + 1, { object, fit, ut, Settings::PictureName },
        { x, y, rho, u.X, u.Y, u.Rho }, 6, theta, u.Angle);
}

bool AnyAssisted(const std::vector<Taken>& circles)
{
    return FitKind(circles) != "keys";
}

bool AnyByKeys(const std::vector<Taken>& circles)
{
    return FitKind(circles) != "assisted";
}

// An Unknown sigma says so in words.
std::string Undefined()
{
    return " " + Texts::Text(Texts::SigmaUndefined);
}

std::string SigmaRhoLine(const std::string& name, double sigma)
{
    return Utf8::PadLeft("\u03c3 " + name + "':", 30)
        + (std::isnan(sigma) ? Undefined() : Format(sigma, 1.4));
}

std::string SigmaAngleLine(const std::string& label, double degrees)
{
    return Utf8::PadLeft(label, 30)
        + (std::isnan(degrees) ? Undefined() : Format(degrees, 3.2) + "\u00b0");
}

void AddKeyNote(std::vector<std::string>& lines, const std::vector<Taken>& circles)
{
    if (AnyByKeys(circles))
        lines.push_back("  " + Texts::Text(Texts::KeySigmaNote));
}

Results OnePicture()
{
    const Taken sun = Entry(1);
    const Taken venus = Entry(2);
    const double rotation = Settings::RotationAngle;
    const double dx = venus.X - sun.X;
    const double dy = sun.Y - venus.Y;
    const double x = std::cos(rotation) * dx + std::sin(rotation) * dy;
    const double y = -std::sin(rotation) * dx + std::cos(rotation) * dy;
    const double rho = std::sqrt(x * x + y * y) / sun.R;
    const double theta = Mathe::Degrees(Mathe::PolarAngle(y, x));
    const std::string& sunLabel = Texts::Text(Texts::SunLabel);
    const std::string& angleLabel = Texts::Text(Texts::PositionAngleLabel);
    const std::vector<Taken> circles { sun, venus };
    const Uncertainty errors = ErrorsOf(sun, venus, rho, Mathe::PolarAngle(y, x), 0);

    Results r;
    r.PageLines = {
        Utf8::PadLeft(sunLabel, 29) + ":" + CircleValues(sun),
        Utf8::PadLeft("Venus:", 30) + CircleValues(venus),
        "  rho':" + Format(rho, 1.4),
        Utf8::PadLeft(angleLabel + ":", 30) + Format(theta, 3.2) + "\u00b0",
        Utf8::PadLeft("x':", 30) + Format(x / sun.R, 1.4),
        Utf8::PadLeft("y':", 30) + Format(y / sun.R, 1.4),
    };
    if (AnyAssisted(circles)) {
        r.PageLines.push_back(SigmaRhoLine("rho", errors.Rho));
        r.PageLines.push_back(
            SigmaAngleLine(Texts::Message(Texts::SigmaAngleLabel, { "" }), errors.Angle));
        AddKeyNote(r.PageLines, circles);
    }
    const char* end = ResultFiles::LineEnd;
    // A time answered to the second is written so, else in hh.mm.
    const std::string time = Settings::TimeHasSeconds
        ? ExposureTime(0)
        : NumberText::FormatFixed(Settings::TimeUT, 2, 2);
    r.ResultFileText = time + end + NumberText::FormatFixed(rho, 7, 4) + end
        + NumberText::FormatFixed(theta, 3, 2) + end;
    const std::string ut = ExposureTime(0);
    r.AuditFileText = AuditCircle("sun", sun, ut) + AuditCircle("planet", venus, ut)
        + AuditResult("result", x / sun.R, y / sun.R, rho, theta, errors, FitKind(circles), ut);
    return r;
}

struct Exposure {
    double Rho, Theta, X, Y; // Theta in degrees from the shift's direction
};

Exposure Measure(const Taken& sun, const Taken& venus, double shiftDegrees)
{
    const double dx = venus.X - sun.X;
    const double dy = sun.Y - venus.Y;
    const double d = std::sqrt(dx * dx + dy * dy);
    const double theta = Mathe::Degrees(Mathe::PolarAngle(dy, dx)) - shiftDegrees;
    const double radians = Mathe::Radians(theta);
    return { d / sun.R, theta, std::cos(radians) * d / sun.R, std::sin(radians) * d / sun.R };
}

std::string ResultLine(const std::string& time, const Exposure& e)
{
    return time + "\t" + DecimalComma(Format(e.Rho, 1.4)) + "\t"
        + DecimalComma(Format(e.Theta, 3.2)) + ResultFiles::LineEnd;
}

Results TwoPictures()
{
    const Taken sun1 = Entry(1), sun2 = Entry(2), venus1 = Entry(3), venus2 = Entry(4);
    // The drift from Sun 1 to Sun 2; with keys only the whole-pixel shift.
    const double phi = Mathe::Degrees(Mathe::PolarAngle(-(sun2.Y - sun1.Y), sun2.X - sun1.X));
    const Exposure first = Measure(sun1, venus1, phi);
    const Exposure second = Measure(sun2, venus2, phi);
    const std::string& sunLabel = Texts::Text(Texts::SunLabel);
    const std::string& angleLabel = Texts::Text(Texts::PositionAngleLabel);
    const std::vector<Taken> circles { sun1, sun2, venus1, venus2 };
    const double drift = DriftSigma(sun1, sun2);
    const Uncertainty errors1
        = ErrorsOf(sun1, venus1, first.Rho, Mathe::Radians(first.Theta), drift);
    const Uncertainty errors2
        = ErrorsOf(sun2, venus2, second.Rho, Mathe::Radians(second.Theta), drift);

    Results r;
    r.PageLines = {
        Utf8::PadLeft(sunLabel, 27) + " 1:" + CircleValues(sun1),
        Utf8::PadLeft(sunLabel, 27) + " 2:" + CircleValues(sun2),
        Utf8::PadLeft("Venus 1:", 30) + CircleValues(venus1),
        Utf8::PadLeft("Venus 2:", 30) + CircleValues(venus2),
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
    if (AnyAssisted(circles)) {
        r.PageLines.push_back(SigmaAngleLine(Texts::Text(Texts::SigmaDisplacementLabel),
            Defined(Mathe::Degrees(drift), LargestAngleSigma)));
        r.PageLines.push_back(SigmaRhoLine("rho1", errors1.Rho));
        r.PageLines.push_back(
            SigmaAngleLine(Texts::Message(Texts::SigmaAngleLabel, { " 1" }), errors1.Angle));
        r.PageLines.push_back(SigmaRhoLine("rho2", errors2.Rho));
        r.PageLines.push_back(
            SigmaAngleLine(Texts::Message(Texts::SigmaAngleLabel, { " 2" }), errors2.Angle));
        AddKeyNote(r.PageLines, circles);
    }
    const std::string ut1 = ExposureTime(0), ut2 = ExposureTime(Settings::TimeDifference);
    r.ResultFileText = ResultLine(ut1, first);
    r.SecondResultFileText = ResultLine(ut2, second);
    // Both files hold all four circles, each with its own exposure's time.
    const auto circleLines = [&](const std::string& ut) {
        return AuditCircle("sun1", sun1, ut) + AuditCircle("sun2", sun2, ut)
            + AuditCircle("planet1", venus1, ut) + AuditCircle("planet2", venus2, ut);
    };
    r.AuditFileText = circleLines(ut1)
        + AuditResult("result1", first.X, first.Y, first.Rho, first.Theta, errors1,
            FitKind({ sun1, sun2, venus1 }), ut1);
    r.SecondAuditFileText = circleLines(ut2)
        + AuditResult("result2", second.X, second.Y, second.Rho, second.Theta, errors2,
            FitKind({ sun1, sun2, venus2 }), ut2);
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

void Reset()
{
    EvaluationCount = 0;
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
    using ResultFiles::Exposure, ResultFiles::Kind;
    const bool two = Settings::PictureCount == 2;
    std::string failures[2]; // by kind
    const auto append = [&failures](Exposure exposure, Kind kind, const std::string& text) {
        std::string& to = failures[static_cast<std::size_t>(kind)];
        try {
            ResultFiles::Append(exposure, kind, text);
        } catch (const std::runtime_error& error) {
            to += (to.empty() ? "" : "\n") + std::string(error.what());
        }
    };
    append(Exposure::First, Kind::Result, results.ResultFileText);
    if (two)
        append(Exposure::Second, Kind::Result, results.SecondResultFileText);
    append(Exposure::First, Kind::Audit, results.AuditFileText);
    if (two)
        append(Exposure::Second, Kind::Audit, results.SecondAuditFileText);
    // The audit files fail with their result files on a full disk: the
    // message of the result files says it for both.
    const std::string& shown = failures[0].empty() ? failures[1] : failures[0];
    ++EvaluationCount;
    ShowPage(results);
    if (!shown.empty())
        FensterGraf::ShowErrorMessage(shown);
}

} // namespace Evaluation
