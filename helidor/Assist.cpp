// SPDX-License-Identifier: GPL-3.0-or-later
#include "Assist.h"

#include "Files.h"
#include "GreyPlane.h"
#include "Kern.h"
#include "LimbFit.h"
#include "Photograph.h"
#include "Screens.h"
#include "Settings.h"
#include "Texts.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace Assist {

namespace {

struct PictureKey {
    std::string Path;
    bool IsJpeg = false;
    int Scale = 1;
    Files::FileIdentity Identity;
    friend bool operator==(const PictureKey&, const PictureKey&) = default;
};

// The module's state: the picture shown, its plane, the last fit's points.
struct State {
    PictureKey Shown;
    GreyPlane::Plane Plane;
    bool PlaneBuilt = false;
    std::vector<LimbFit::Point> Used; // screen pixels
    std::vector<LimbFit::Point> Rejected;
    bool MessageShown = false;
};
State S;

int Scale()
{
    return S.Shown.IsJpeg ? S.Shown.Scale : 1;
}

LimbFit::Circle ToPlaneCircle(const Circle& c)
{
    const int scale = Scale();
    return { ToPlane(c.X, scale, Settings::PictureX), ToPlane(c.Y, scale, Settings::PictureY),
        c.R * scale };
}

LimbFit::Point ToScreenPoint(const LimbFit::Point& p)
{
    const int scale = Scale();
    return { ToScreen(p.X, scale, Settings::PictureX), ToScreen(p.Y, scale, Settings::PictureY) };
}

// The plane of the picture shown; the reason in the current language when
// it cannot be had.
void BuildPlane()
{
    if (S.PlaneBuilt)
        return;
    if (S.Shown.IsJpeg) {
        GreyPlane::DecodeJpegFile(S.Shown.Path, S.Plane);
    } else {
        const Bitmap::Picture& bitmap = Photograph::PhotoBitmap;
        GreyPlane::FromWords(bitmap.Pixels.data(), bitmap.Width, bitmap.Height, S.Plane);
    }
    S.PlaneBuilt = true;
}

// Why the photograph gives no plane, in the words of the picture messages;
// the plane is always decoded at full size, so no reduction is offered.
std::string PlaneProblemText(const JpegGuard::Refusal& refused)
{
    return Photograph::JpegFailureText(refused, S.Shown.Path, false);
}

Texts::Entry RefusalText(LimbFit::Outcome outcome)
{
    // In the order of LimbFit::Outcome; "fitted" has no refusal text.
    static constexpr Texts::Entry Entries[] = { Texts::AssistNoEdge, Texts::AssistNoEdge,
        Texts::AssistShortArc, Texts::AssistNotCircle, Texts::AssistMovedTooFar,
        Texts::AssistSunspot, Texts::AssistTooCloseToLimb, Texts::AssistSaturated };
    const auto index = static_cast<std::size_t>(outcome);
    return index < std::size(Entries) ? Entries[index] : Texts::AssistNoEdge;
}

// A seed the fit can work from: a circle of some size near the picture.
// Anything else (a radius of zero, a circle far off) would find no edge
// anyway, and a huge one would cast rays for nothing.
bool Plausible(const LimbFit::Circle& seed)
{
    const double size = std::max(S.Plane.Width, S.Plane.Height);
    return seed.R >= 1 && seed.R <= 2 * size && seed.X > -seed.R - size
        && seed.X < S.Plane.Width + seed.R + size && seed.Y > -seed.R - size
        && seed.Y < S.Plane.Height + seed.R + size;
}

Result Refusal(const std::string& message)
{
    Result result;
    result.Message = message;
    return result;
}

// Runs fit on the plane and maps its answer to the screen.
template <class Fitting> Result Run(const Circle& seed, const Fitting& fit)
{
    S.Used.clear();
    S.Rejected.clear();
    // The plane must be of the picture on the screen: a file written anew
    // since would be fitted beside what the user sees.
    if (!S.PlaneBuilt && Files::IdentityOf(S.Shown.Path) != S.Shown.Identity)
        return Refusal(Texts::Text(Texts::AssistPictureChanged));
    try {
        BuildPlane();
    } catch (const GreyPlane::PlaneError& error) {
        return Refusal(Texts::Message(Texts::AssistNoPlane, { PlaneProblemText(error.Refused) }));
    } catch (const std::bad_alloc&) {
        JpegGuard::Refusal outOfMemory;
        outOfMemory.Why = JpegGuard::Failure::OutOfMemory;
        return Refusal(Texts::Message(Texts::AssistNoPlane, { PlaneProblemText(outOfMemory) }));
    }
    const LimbFit::Circle planeSeed = ToPlaneCircle(seed);
    if (!Plausible(planeSeed))
        return Refusal(Texts::Text(Texts::AssistNoEdge));
    const LimbFit::GreyView view { S.Plane.Width, S.Plane.Height, S.Plane.Samples.data() };
    const LimbFit::Fit answer = fit(view, planeSeed);
    if (answer.Result != LimbFit::Outcome::Fitted)
        return Refusal(Texts::Text(RefusalText(answer.Result)));
    const int scale = Scale();
    Result result;
    result.Taken = true;
    result.Fitted = { ToScreen(answer.Fitted.X, scale, Settings::PictureX),
        ToScreen(answer.Fitted.Y, scale, Settings::PictureY), answer.Fitted.R / scale };
    for (std::size_t i = 0; i < 9; ++i)
        result.Covariance[i] = answer.Covariance[i] / (scale * scale);
    if (answer.NearLimb)
        result.Message = Texts::Text(Texts::AssistNearLimb);
    for (const LimbFit::Point& p : answer.Used)
        S.Used.push_back(ToScreenPoint(p));
    for (const LimbFit::Point& p : answer.Rejected)
        S.Rejected.push_back(ToScreenPoint(p));
    return result;
}

// The line's band: just above the legend, as high as a 12-point line.
int MessageBottom()
{
    Kern::SelectFont("Courier", 16, 1);
    const int legendHeight = Kern::TextHeight("");
    Kern::SelectFont("Courier", 12, 1);
    return Kern::ScreenHeight() - legendHeight;
}

void ClearLine(int bottom)
{
    Screens::ClearBand(0, bottom, Kern::ScreenWidth(), Kern::TextHeight(""));
}

void DrawPoint(const LimbFit::Point& p, int colour)
{
    const double x = std::nearbyint(p.X), y = std::nearbyint(p.Y);
    if (std::abs(x) > 1e9 || std::abs(y) > 1e9)
        return;
    // A line leaves out its end pixel: one to the right sets exactly (x, y).
    Kern::DrawLine(static_cast<int>(x), static_cast<int>(y), static_cast<int>(x) + 1,
        static_cast<int>(y), colour);
}

} // namespace

void ShowingPicture(
    const std::string& path, bool isJpeg, int scale, const Files::FileIdentity& identity)
{
    // A file written anew under the same name is another picture.
    const PictureKey key { path, isJpeg, isJpeg ? scale : 1, identity };
    if (key == S.Shown)
        return;
    GreyPlane::Release(S.Plane);
    S.PlaneBuilt = false;
    S.Shown = key;
    S.Used.clear();
    S.Rejected.clear();
}

double ToScreen(double u, int scale, int origin)
{
    return (u + 0.5) / scale - 0.5 + origin;
}

double ToPlane(double x, int scale, int origin)
{
    return (x - origin + 0.5) * scale - 0.5;
}

Result FitSun(const Circle& seed, const std::optional<Circle>& avoid)
{
    return Run(seed, [&avoid](const LimbFit::GreyView& view, const LimbFit::Circle& planeSeed) {
        // A seed is set to a few screen pixels: more of the plane's on a reduced picture.
        LimbFit::SunHints hints;
        hints.CentreSlack = 20.0 * Scale();
        if (avoid)
            hints.Avoid = ToPlaneCircle(*avoid);
        return LimbFit::FitSunLimb(view, planeSeed, hints);
    });
}

Result FitPlanet(const Circle& seed, const Circle& sun)
{
    return Run(seed, [&sun](const LimbFit::GreyView& view, const LimbFit::Circle& planeSeed) {
        return LimbFit::FitPlanet(view, planeSeed, ToPlaneCircle(sun));
    });
}

void DrawFitPoints()
{
    for (const LimbFit::Point& p : S.Rejected)
        DrawPoint(p, Kern::Yellow);
    for (const LimbFit::Point& p : S.Used)
        DrawPoint(p, Kern::LightGreen);
}

void ShowMessage(const std::string& text)
{
    const int bottom = MessageBottom();
    ClearLine(bottom);
    Kern::SetTextJustify(0, 0);
    Kern::WriteTextAt(0, bottom, text, Kern::White);
    S.MessageShown = true;
    Kern::SelectFont("Courier", 10, 1); // as the legend leaves it
}

void ClearMessage()
{
    if (!S.MessageShown)
        return;
    ClearLine(MessageBottom());
    S.MessageShown = false;
    Kern::SelectFont("Courier", 10, 1);
}

void Reset()
{
    GreyPlane::Release(S.Plane);
    S = {};
}

int PlaneWidth()
{
    return S.PlaneBuilt ? S.Plane.Width : 0;
}

int PlaneHeight()
{
    return S.PlaneBuilt ? S.Plane.Height : 0;
}

} // namespace Assist
