// SPDX-License-Identifier: GPL-3.0-or-later
#include "Assist.h"

#include "Files.h"
#include "Finder.h"
#include "GreyPlane.h"
#include "LimbFit.h"
#include "Photograph.h"
#include "Texts.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

namespace Assist {

namespace {

// The module's state: the picture the plane is of, the plane, the last fit's points.
struct State {
    Photograph::ShownPicture Picture;
    GreyPlane::Plane Plane;
    bool PlaneBuilt = false;
    EdgePoints Points; // screen pixels
};
State S;

// The same file read the same way: its plane serves, wherever it is drawn.
bool SamePlane(const Photograph::ShownPicture& a, const Photograph::ShownPicture& b)
{
    return std::tie(a.Path, a.Kind, a.Scale, a.Identity)
        == std::tie(b.Path, b.Kind, b.Scale, b.Identity);
}

// Follows the picture on the screen: another file (or one written anew under
// the same name) frees the plane; this one's is built at its first fit.
void FollowShownPicture()
{
    const Photograph::ShownPicture& shown = Photograph::Shown();
    if (!SamePlane(shown, S.Picture)) {
        GreyPlane::Release(S.Plane);
        S.PlaneBuilt = false;
    }
    S.Picture = shown;
}

int Scale()
{
    return S.Picture.Scale;
}

FitTypes::Circle ToPlaneCircle(const Circle& c)
{
    const int scale = Scale();
    return { ToPlane(c.X, scale, S.Picture.X), ToPlane(c.Y, scale, S.Picture.Y), c.R * scale };
}

FitTypes::Point ToScreenPoint(const FitTypes::Point& p)
{
    const int scale = Scale();
    return { ToScreen(p.X, scale, S.Picture.X), ToScreen(p.Y, scale, S.Picture.Y) };
}

// The plane of the picture shown; the reason in the current language when
// it cannot be had.
void BuildPlane()
{
    if (S.PlaneBuilt)
        return;
    if (S.Picture.Kind == Photograph::Format::Jpeg) {
        GreyPlane::DecodeJpegFile(S.Picture.Path, S.Plane);
    } else {
        const Bitmap::Picture& bitmap = Photograph::ShownPixels();
        GreyPlane::FromWords(bitmap.Pixels.data(), bitmap.Width, bitmap.Height, S.Plane);
    }
    S.PlaneBuilt = true;
}

// Why the photograph gives no plane, in the words of the picture messages;
// the plane is always decoded at full size, so no reduction is offered.
std::string PlaneProblemText(const JpegGuard::Refusal& refused)
{
    return Photograph::JpegFailureText(refused, S.Picture.Path, false);
}

Texts::Entry RefusalText(FitTypes::Outcome outcome)
{
    // In the order of FitTypes::Outcome; "fitted" has no refusal text.
    static constexpr Texts::Entry Entries[] = { Texts::AssistNoEdge, Texts::AssistNoEdge,
        Texts::AssistShortArc, Texts::AssistNotCircle, Texts::AssistMovedTooFar,
        Texts::AssistSunspot, Texts::AssistTooCloseToLimb, Texts::AssistSaturated };
    const auto index = static_cast<std::size_t>(outcome);
    return index < std::size(Entries) ? Entries[index] : Texts::AssistNoEdge;
}

// A seed the fit can work from: a circle of some size near the picture.
// Anything else (a radius of zero, a circle far off) would find no edge
// anyway, and a huge one would cast rays for nothing.
bool Plausible(const FitTypes::Circle& seed)
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

// What a fit gives, or the search before it when it finds nothing.
struct Answer {
    explicit Answer(FitTypes::Fit fit)
        : Fit(std::move(fit))
    {
    }
    explicit Answer(Texts::Entry notFound)
        : NotFound(notFound)
    {
    }
    FitTypes::Fit Fit;
    std::optional<Texts::Entry> NotFound;
};

// The fit's refusal as said for the key that asked ("a" or "f").
std::string RefusalFor(char key, FitTypes::Outcome outcome)
{
    std::string text = Texts::Text(RefusalText(outcome));
    if (text.starts_with("\"a\""))
        text[1] = key;
    return text;
}

// Of candidates, the one whose circle's centre is nearest to (x, y).
template <class Item, class CircleOf>
const Item& Nearest(const std::vector<Item>& candidates, double x, double y, CircleOf circleOf)
{
    return *std::min_element(
        candidates.begin(), candidates.end(), [&](const Item& a, const Item& b) {
            const FitTypes::Circle &ca = circleOf(a), &cb = circleOf(b);
            return std::hypot(ca.X - x, ca.Y - y) < std::hypot(cb.X - x, cb.Y - y);
        });
}

// Runs fit on the plane and maps its answer to the screen.
template <class Fitting> Result Run(const Circle& seed, char key, const Fitting& fit)
{
    S.Points = {};
    FollowShownPicture();
    // The plane must be of the picture on the screen: a file written anew
    // since would be fitted beside what the user sees.
    if (!S.PlaneBuilt && Files::IdentityOf(S.Picture.Path) != S.Picture.Identity)
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
    const FitTypes::Circle planeSeed = ToPlaneCircle(seed);
    if (!Plausible(planeSeed))
        return Refusal(Texts::Text(Texts::AssistNoEdge));
    const FitTypes::GreyView view { S.Plane.Width, S.Plane.Height, S.Plane.Samples.data() };
    const Answer found = fit(view, planeSeed);
    if (found.NotFound)
        return Refusal(Texts::Text(*found.NotFound));
    const FitTypes::Fit& answer = found.Fit;
    if (answer.Result != FitTypes::Outcome::Fitted)
        return Refusal(RefusalFor(key, answer.Result));
    const int scale = Scale();
    Result result;
    result.Taken = true;
    result.Fitted = { ToScreen(answer.Fitted.X, scale, S.Picture.X),
        ToScreen(answer.Fitted.Y, scale, S.Picture.Y), answer.Fitted.R / scale };
    for (std::size_t i = 0; i < 9; ++i)
        result.Covariance[i] = answer.Covariance[i] / (scale * scale);
    if (answer.NearLimb)
        result.Message = Texts::Text(Texts::AssistNearLimb);
    for (const FitTypes::Point& p : answer.Used)
        S.Points.Used.push_back(ToScreenPoint(p));
    for (const FitTypes::Point& p : answer.Rejected)
        S.Points.Rejected.push_back(ToScreenPoint(p));
    return result;
}

} // namespace

double ToScreen(double u, int scale, int origin)
{
    return (u + 0.5) / scale - 0.5 + origin;
}

double ToPlane(double x, int scale, int origin)
{
    return (x - origin + 0.5) * scale - 0.5;
}

namespace {

// A seed is set to a few screen pixels: more of the plane's on a reduced
// picture. avoid: the other exposure's limb, fitted already.
LimbFit::SunHints SunHints(const std::optional<Circle>& avoid)
{
    LimbFit::SunHints hints;
    hints.CentreSlack = 20.0 * Scale();
    if (avoid)
        hints.Avoid = ToPlaneCircle(*avoid);
    return hints;
}

Texts::Entry DiscsNotFound(Finder::Outcome outcome)
{
    switch (outcome) {
    case Finder::Outcome::TooManyDiscs:
        return Texts::FindTooManyDiscs;
    case Finder::Outcome::AtFrameEdge:
        return Texts::FindAtFrameEdge;
    default:
        return Texts::FindNoSun;
    }
}

const FitTypes::Circle& Itself(const FitTypes::Circle& circle)
{
    return circle;
}

} // namespace

Result FitSun(const Circle& seed, const std::optional<Circle>& avoid)
{
    return Run(seed, 'a', [&](const FitTypes::GreyView& view, const FitTypes::Circle& planeSeed) {
        return Answer(LimbFit::FitSunLimb(view, planeSeed, SunHints(avoid)));
    });
}

Result FitPlanet(const Circle& seed, const Circle& sun)
{
    return Run(seed, 'a', [&](const FitTypes::GreyView& view, const FitTypes::Circle& planeSeed) {
        return Answer(LimbFit::FitPlanet(view, planeSeed, ToPlaneCircle(sun)));
    });
}

Result FindSun(const Circle& circle, const std::optional<Circle>& first)
{
    return Run(circle, 'f', [&](const FitTypes::GreyView& view, const FitTypes::Circle& planeSeed) {
        const Finder::Discs discs = Finder::FindDiscs(view);
        if (discs.Result != Finder::Outcome::Found)
            return Answer(DiscsNotFound(discs.Result));
        // Sun 2 is a disc that is not Sun 1.
        std::vector<FitTypes::Circle> candidates;
        const std::optional<FitTypes::Circle> sun1
            = first ? std::optional(ToPlaneCircle(*first)) : std::nullopt;
        for (const FitTypes::Circle& disc : discs.Suns)
            if (!sun1 || std::hypot(disc.X - sun1->X, disc.Y - sun1->Y) > sun1->R / 10)
                candidates.push_back(disc);
        if (candidates.empty())
            return Answer(Texts::FindNoSecondSun);
        const FitTypes::Circle& disc = Nearest(candidates, planeSeed.X, planeSeed.Y, Itself);
        return Answer(LimbFit::FitSunLimb(view, disc, SunHints(first)));
    });
}

Result FindPlanet(const Circle& circle, const Circle& sun, const std::optional<Circle>& otherSun)
{
    return Run(circle, 'f', [&](const FitTypes::GreyView& view, const FitTypes::Circle& planeSeed) {
        const std::vector<FitTypes::Fit> planets = Finder::PlanetsOn(
            view, ToPlaneCircle(sun), otherSun ? ToPlaneCircle(*otherSun) : FitTypes::Circle {});
        if (planets.empty())
            return Answer(Texts::FindNoPlanet);
        const auto circleOf
            = [](const FitTypes::Fit& fit) -> const FitTypes::Circle& { return fit.Fitted; };
        return Answer(Nearest(planets, planeSeed.X, planeSeed.Y, circleOf));
    });
}

const EdgePoints& LastFitPoints()
{
    return S.Points;
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
