// SPDX-License-Identifier: GPL-3.0-or-later
// Index: helpers, construction, key actions, tick.
#include "Adjustment.h"

#include "Assist.h"
#include "Evaluation.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "Kern2.h"
#include "Mathe.h"
#include "Photograph.h"
#include "PromptLoop.h"
#include "ResultFiles.h"
#include "Screens.h"
#include "Settings.h"
#include "Setup.h"
#include "Texts.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <system_error>

#include <sys/stat.h>

namespace Adjustment {

namespace {

void Step(int& value, int by);
int ToPixel(double value);
int Nearest(double value);
void DrawOutline(const Circle& circle);
void DrawDot(const Circle& circle, int radius);
void DrawArcFromTo(const Circle& centre, double from, double to);
double Direction(const Circle& a, const Circle& b);
int ReachX(const Circle& c, double angle, int sign);
int ReachY(const Circle& c, double angle, int sign);
void DrawConstruction();
void SaveScreen(const char* name);
void RedrawCircles(bool withCurrent);
void MoveCircle(int key);
void WriteReadout();
void RingBell();
bool Sun2OnSun1();
void ConfirmCircle();
void PrepareNextCircle();
void CompleteMeasurement();
Assist::Circle ForTheFit(const FitTypes::Circle& c);
Assist::Circle Seed();
Assist::Circle ConfirmedCircle(int entry);
void SnapCircle(bool find);

// One pixel per key, stopping at the ends of the int range.
void Step(int& value, int by)
{
    if ((by > 0 && value < INT_MAX) || (by < 0 && value > INT_MIN))
        value += by;
}

// A computed canvas coordinate, kept within the int range.
int ToPixel(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, double { INT_MIN }, double { INT_MAX }));
}

int Nearest(double value)
{
    return ToPixel(std::nearbyint(value)); // halves to the even neighbour
}

void DrawOutline(const Circle& circle)
{
    Kern2::DrawArc(circle.X, circle.Y, circle.Radius, 0, 360);
}

void DrawDot(const Circle& circle, int radius)
{
    Kern2::DrawEllipse(circle.X, circle.Y, radius, radius);
}

// [SECTION] Construction
// Angles counter-clockwise from +x with y upwards; arcs of radius 50 at each
// Sun centre from the reference direction to the planet.

void DrawArcFromTo(const Circle& centre, double from, double to)
{
    if (to < from)
        to += 2 * std::numbers::pi;
    Kern2::DrawArc(centre.X, centre.Y, 50, Mathe::Degrees(from), Mathe::Degrees(to));
}

// Direction from a to b on the screen.
double Direction(const Circle& a, const Circle& b)
{
    return Mathe::PolarAngle(static_cast<double>(a.Y) - b.Y, static_cast<double>(b.X) - a.X);
}

// A point 1.1 radii from the centre of c in direction angle (sign -1: opposite).
int ReachX(const Circle& c, double angle, int sign)
{
    return ToPixel(c.X + sign * static_cast<double>(Nearest(std::cos(angle) * (c.Radius * 1.1))));
}

int ReachY(const Circle& c, double angle, int sign)
{
    return ToPixel(c.Y - sign * static_cast<double>(Nearest(std::sin(angle) * (c.Radius * 1.1))));
}

void DrawConstruction()
{
    Kern::SetFillStyle(255, Kern::LightRed, Kern::LightRed);
    if (Settings::PictureCount == 2) {
        const Circle &sun1 = Circles[1], &sun2 = Circles[2], &venus1 = Circles[3],
                     &venus2 = Circles[4];
        DrawDot(sun1, 3);
        DrawDot(sun2, 3);
        DrawDot(venus1, 2);
        DrawDot(venus2, 2);
        Kern::DrawLine(sun1.X, sun1.Y, venus1.X, venus1.Y, Kern::LightRed);
        Kern::DrawLine(sun2.X, sun2.Y, venus2.X, venus2.Y, Kern::LightRed);
        const double shift = Direction(sun1, sun2);
        DrawArcFromTo(sun1, shift, Direction(sun1, venus1));
        DrawArcFromTo(sun2, shift, Direction(sun2, venus2));
        Kern::DrawLine(ReachX(sun1, shift, -1), ReachY(sun1, shift, -1), ReachX(sun2, shift, 1),
            ReachY(sun2, shift, 1), Kern::LightRed);
    } else {
        const Circle &sun = Circles[1], &venus = Circles[2];
        const double rotation = Settings::RotationAngle;
        DrawDot(sun, 3);
        DrawDot(venus, 2);
        Kern::DrawLine(sun.X, sun.Y, venus.X, venus.Y, Kern::LightRed);
        DrawArcFromTo(sun, rotation, Direction(sun, venus));
        Kern::DrawLine(ReachX(sun, rotation, -1), ReachY(sun, rotation, -1),
            ReachX(sun, rotation, 1), ReachY(sun, rotation, 1), Kern::LightRed);
    }
}

// [SECTION] Key actions

// The width a multiple of 32, the height one row more than the screen. The
// picture is a by-product of the measurement: when it cannot be written the
// user is told, and the work goes on.
void SaveScreen(const char* name)
{
    const int width = (Kern::ScreenWidth() + 1) / 32 * 32;
    std::string reason;
    struct stat status { };
    if (::stat(name, &status) == 0 && !S_ISREG(status.st_mode)) {
        reason = Texts::Text(Texts::NoRegularFileReason);
    } else if (ResultFiles::IsResultFile(name)) {
        reason = Texts::Text(Texts::ResultFileReason);
    } else {
        try {
            Kern2::SaveScreenRect(name, 0, 0, width - 1, Kern::ScreenHeight());
            return;
        } catch (const std::system_error& error) {
            reason = ResultFiles::WriteFailureReason(error.code().value());
        } catch (const std::runtime_error&) {
            reason = Texts::Text(Texts::WriteError);
        }
    }
    FensterGraf::ShowErrorMessage(Texts::Message(Texts::ScreenPictureNotSaved, { name, reason }));
}

void RedrawCircles(bool withCurrent)
{
    Kern2::SetPenColor(Kern::LightRed);
    for (int i = 1; i <= ConfirmedCount; ++i)
        DrawOutline(Circles[static_cast<std::size_t>(i)]);
    if (withCurrent)
        DrawOutline({ CircleX, CircleY, CircleRadius });
}

void MoveCircle(int key)
{
    CircleRefinement = {}; // back to whole pixels, from the rounded values
    Kern2::SetPenColor(Kern::Black);
    DrawOutline({ CircleX, CircleY, CircleRadius });
    Kern2::SetPenColor(Kern::LightRed);
    // One pixel per key: the change of x, y and radius.
    struct Move {
        int Key, DX, DY, DR;
    };
    static constexpr Move Moves[]
        = { { KeyLeft, -1, 0, 0 }, { KeyRight, 1, 0, 0 }, { KeyUp, 0, -1, 0 }, { KeyDown, 0, 1, 0 },
              { KeyPageUp, 0, 0, 1 }, { KeyPageDown, 0, 0, -1 } };
    for (const Move& move : Moves) {
        if (move.Key != key)
            continue;
        Step(CircleX, move.DX);
        Step(CircleY, move.DY);
        Step(CircleRadius, move.DR);
    }
    Photograph::RedrawPhotograph();
    Screens::DrawLegend();
    RedrawCircles(true);
    Screens::ShowCirclePosition();
}

void WriteReadout()
{
    const int x = Kern::ScreenWidth() - 150;
    const int line = Kern::CharHeight;
    Kern::WriteTextAt(
        x, ResultColumnY, " Radius = " + Kern::FormatReal(CircleRadius, 3), Kern::LightRed);
    Kern::WriteTextAt(
        x, ResultColumnY + line + 2, " xKm = " + Kern::FormatReal(CircleX, 3), Kern::LightRed);
    Kern::WriteTextAt(
        x, ResultColumnY + 2 * line + 4, " yKm = " + Kern::FormatReal(CircleY, 3), Kern::LightRed);
    ResultColumnY += 3 * line + 6;
}

// The window's bell is a character written at the console's running text
// cursor, which lies on the readout and moves on with every bell: it is
// written above the canvas, and the cursor is left where it was.
void RingBell()
{
    const int x = Kern::TextCursorX, y = Kern::TextCursorY;
    Kern::MoveTextCursor(0, -Kern::ScreenHeight()); // at x 0 no wrap onto the canvas
    PromptLoop::Installed().WriteBell();
    Kern::MoveTextCursor(x, y);
}

// The circle to confirm as Sun 2 is Sun 1 again: the two exposures' Suns
// would give no direction of displacement.
bool Sun2OnSun1()
{
    if (Settings::PictureCount != 2 || ConfirmedCount != 1)
        return false;
    constexpr double Within = 2; // px, for the centres and for the radii
    const FitTypes::Circle sun1 = Precise(Circles[1], Refinements[1]);
    const FitTypes::Circle sun2 = Precise({ CircleX, CircleY, CircleRadius }, CircleRefinement);
    return std::hypot(sun2.X - sun1.X, sun2.Y - sun1.Y) <= Within
        && std::abs(sun2.R - sun1.R) <= Within;
}

void ConfirmCircle()
{
    if (ConfirmedCount >= 2 * Settings::PictureCount)
        return; // the measurement is complete: nothing beyond the last entry
    if (CircleRadius <= 0) {
        RingBell(); // no circle of no size
        return;
    }
    if (Sun2OnSun1()) {
        RingBell();
        Screens::ShowMessage(Texts::Text(Texts::Sun2OnSun1));
        return;
    }
    ++ConfirmedCount;
    Circles[static_cast<std::size_t>(ConfirmedCount)] = { CircleX, CircleY, CircleRadius };
    Refinements[static_cast<std::size_t>(ConfirmedCount)] = CircleRefinement;
    CircleRefinement = {};
    WriteReadout();
    Photograph::RedrawPhotograph();
    Screens::DrawLegend();
    RedrawCircles(false);
    PrepareNextCircle();
    if (ConfirmedCount == 2 * Settings::PictureCount)
        CompleteMeasurement();
}

// The next circle starts where it will most likely fit.
void PrepareNextCircle()
{
    const int planetRadius = PlanetStartRadius(CircleRadius);
    if (ConfirmedCount == 1 && Settings::PictureCount == 1 && Circles[2].Radius == 0)
        Circles[2] = { Circles[1].X, Circles[1].Y, planetRadius };
    if (ConfirmedCount == 2 && Settings::PictureCount == 2 && Circles[3].Radius == 0)
        Circles[3] = { Circles[1].X, Circles[1].Y, planetRadius };
    bool drawn = false;
    if (Settings::PictureCount == 1) {
        CircleX = Circles[2].X;
        CircleY = Circles[2].Y;
        CircleRadius = Circles[2].Radius;
        drawn = ConfirmedCount < 2;
    } else if (ConfirmedCount == 2) {
        SunShift = { Circles[2].X - Circles[1].X, Circles[2].Y - Circles[1].Y };
        CircleRadius = planetRadius;
        CircleX = Circles[3].X;
        CircleY = Circles[3].Y;
        drawn = true;
    } else {
        Step(CircleX, SunShift.DX);
        Step(CircleY, SunShift.DY);
        drawn = ConfirmedCount < 4;
    }
    if (drawn)
        DrawOutline({ CircleX, CircleY, CircleRadius });
}

Assist::Circle ForTheFit(const FitTypes::Circle& c)
{
    return { c.X, c.Y, c.R };
}

// The movable circle as the fit's seed: precise when it was assisted.
Assist::Circle Seed()
{
    return ForTheFit(Precise({ CircleX, CircleY, CircleRadius }, CircleRefinement));
}

Assist::Circle ConfirmedCircle(int entry)
{
    const auto i = static_cast<std::size_t>(entry);
    return ForTheFit(Precise(Circles[i], Refinements[i]));
}

// The fit of the circle being moved: "a" snaps it to the nearest edge, "f"
// (find) to its object found anywhere on the picture.
Assist::Result FitMovableCircle(bool find)
{
    const int pictures = Settings::PictureCount;
    const bool sun = ConfirmedCount < pictures;
    const int sunEntry = pictures == 2 && ConfirmedCount == 3 ? 2 : 1;
    // Sun 2 starts on Sun 1: its limb is not the one to snap to.
    const std::optional<Assist::Circle> sun1 = sun && ConfirmedCount == 1
        ? std::optional<Assist::Circle>(ConfirmedCircle(1))
        : std::nullopt;
    if (sun)
        return find ? Assist::FindSun(Seed(), sun1) : Assist::FitSun(Seed(), sun1);
    if (!find)
        return Assist::FitPlanet(Seed(), ConfirmedCircle(sunEntry));
    const std::optional<Assist::Circle> otherSun = pictures == 2
        ? std::optional<Assist::Circle>(ConfirmedCircle(3 - sunEntry))
        : std::nullopt;
    return Assist::FindPlanet(Seed(), ConfirmedCircle(sunEntry), otherSun);
}

// "a" and "f": the Suns first, then each planet with the Sun of its
// exposure. A refusal changes nothing but the line that says why.
void SnapCircle(bool find)
{
    if (ConfirmedCount >= 2 * Settings::PictureCount)
        return;
    const Assist::Result result = FitMovableCircle(find);
    if (!result.Taken) {
        RingBell();
        Screens::ShowMessage(result.Message);
        return;
    }
    Kern2::SetPenColor(Kern::Black);
    DrawOutline({ CircleX, CircleY, CircleRadius });
    CircleX = Nearest(result.Fitted.X);
    CircleY = Nearest(result.Fitted.Y);
    CircleRadius = Nearest(result.Fitted.R);
    CircleRefinement
        = { true, result.Fitted.X, result.Fitted.Y, result.Fitted.R, result.Covariance };
    Photograph::RedrawPhotograph();
    Screens::DrawLegend();
    RedrawCircles(true);
    Screens::DrawFitPoints();
    Screens::ShowCirclePosition();
    if (!result.Message.empty())
        Screens::ShowMessage(result.Message);
}

void CompleteMeasurement()
{
    DrawConstruction();
    SaveScreen(ResultFiles::ConstructionPicture);
    Kern::Delay(2000);
    Evaluation::EvaluatePositions();
    AdjustmentDone = true;
}

} // namespace

int PlanetStartRadius(int sunRadius)
{
    return Nearest(sunRadius / 15.7 * 0.9628333333333333) + 2;
}

// [SECTION] Tick

void HandleTick()
{
    if (!FensterGraf::SetupDone)
        FensterGraf::SetupRoutine();
    if (Setup::SetupRunning || !FensterGraf::SetupDone)
        return;
    if (Kern::KeyAvailable() && Screens::Paused) {
        Screens::EndPause();
        Kern::ReadKeyCode(); // the key that ends a pause does nothing else
    }
    if (Screens::Paused)
        return;
    const int lastKey = Kern::ReadKeyCode();
    if (lastKey != 0)
        Screens::ClearMessage();
    switch (lastKey) {
    case KeyLeft:
    case KeyRight:
    case KeyUp:
    case KeyDown:
    case KeyPageUp:
    case KeyPageDown:
        if (!AdjustmentDone)
            MoveCircle(lastKey);
        break;
    case KeyReturn:
        if (!AdjustmentDone)
            ConfirmCircle();
        break;
    case KeyAssist:
    case KeyFind:
        if (!AdjustmentDone)
            SnapCircle(lastKey == KeyFind);
        break;
    case KeyEsc:
        Setup::NewMeasurement();
        break;
    case KeyPause:
        Screens::BeginPause();
        break;
    case KeySave:
        SaveScreen(ResultFiles::ScreenPicture);
        break;
    default:
        break;
    }
}

FitTypes::Circle Precise(const Circle& circle, const Refinement& fit)
{
    if (fit.Assisted)
        return { fit.X, fit.Y, fit.R };
    return { static_cast<double>(circle.X), static_cast<double>(circle.Y),
        static_cast<double>(circle.Radius) };
}

void BeginRun()
{
    Circles[1] = { 250, 500, Circles[1].Radius };
    Circles[2].Radius = 0;
    Circles[3].Radius = 0;
}

void BeginMeasurement(int startRadius)
{
    CircleX = Circles[1].X;
    CircleY = Circles[1].Y;
    CircleRadius = startRadius;
    ResultColumnY = 100;
    AdjustmentDone = false;
    ConfirmedCount = 0;
    CircleRefinement = {};
    Refinements = {};
}

void Reset()
{
    Circles = {};
    BeginRun();
    SunShift = {};
    BeginMeasurement(0);
    CircleX = CircleY = 0; // no circle before the first measurement
}

} // namespace Adjustment
