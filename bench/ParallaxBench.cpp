// SPDX-License-Identifier: GPL-3.0-or-later
// From generated photographs to a solar parallax. One moment of the transit
// of Venus of 2012-06-06 seen from two distant sites:
//  1. the true positions: Quenmark's own model run backwards. Site 1's planet
//     is put at a chosen x, y; site 2's is shifted along the direction the
//     baseline projects onto the sky, by the amount that makes Quenmark's
//     ComputeParallax give the true solar parallax;
//  2. one twice-exposed photograph per site (JPEG quality 90, Sun radius
//     about 900 px, the planet at that site's x', y' in the first exposure
//     and moved on along its path by 90 s in the second);
//  3. the assisted fit on each photograph's full-resolution grey plane, x',
//     y' as the two-picture evaluation computes them, and the parallax from
//     those values rounded as the audit file writes them.
// Usage:
//   bench_parallax [folder] [Sun radius px, 900]      all three steps
//   bench_parallax --photographs folder size           steps 1 and 2 only,
//       with a truth file per photograph in the screen's pixels of a picture
//       shown at 1/size (1, 2, 4 or 8) with its corner at 0, 0
//   bench_parallax --parallax x1 y1 x2 y2              Quenmark's parallax of
//       these positions to 4 decimals, beside the true one
// Exit status 0 when the true positions give the true parallax with both
// Suns up, and the measured parallax is within 1 % of it.
#include "Adjustment.h"
#include "Ephemeris.h"
#include "GreyPlane.h"
#include "LimbFit.h"
#include "LimbScenes.h"
#include "Mathe.h"
#include "Quenmark.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr double TrueParallax = 8.794; // seconds of arc
constexpr Ephemeris::CalendarDate TransitDate { 2012, 6, 6 };
constexpr double HoursUt = 1 + 29 / 60.0;
constexpr double ArcsecondsPerRadian = 206264.80624709636;
constexpr double VenusRadius = 29.0; // seconds of arc, at inferior conjunction
// Between the exposures, 90 s apart, the planet moves on along its path,
// nearly along the Sun's drift: 4' an hour.
constexpr double ExposureGap = 90.0; // seconds of time
constexpr double PlanetMotion = 240.0 / 3600.0; // seconds of arc per second of time
constexpr double GoalPercent = 1.0;

struct Site {
    const char* Name;
    double Latitude; // degrees
    double Longitude; // degrees, east positive
    double DriftTilt; // degrees: the camera's turn against the Sun's drift
};
// Both with the Sun up at 01:29 UT: a north-east Asian site and an Australian one.
constexpr std::array<Site, 2> Sites { { { "50.0 N 135.0 E", 50.0, 135.0, 4.0 },
    { "30.0 S 153.0 E", -30.0, 153.0, -9.0 } } };

// The planet on the disc, solar radii: x along the Sun's drift, y perpendicular.
struct Position {
    double X = 0;
    double Y = 0;
};
// Site 1's planet, near the middle of the transit, north of the Sun's centre.
constexpr Position Site1Truth { 0.08, 0.58 };

void SetQuenmarkInputs()
{
    const Ephemeris::SunData sun
        = Ephemeris::Compute(TransitDate, HoursUt, Ephemeris::Planet::Venus);
    Quenmark::Inputs& in = Quenmark::Input;
    in.RightAscension = sun.RightAscension;
    in.Declination = sun.Declination;
    in.SunRadius = sun.Radius;
    in.SiderealTime0 = sun.SiderealTime0;
    in.RadiusRatio = sun.RadiusRatio;
    in.Latitude1 = Mathe::Radians(Sites[0].Latitude);
    in.Longitude1 = Mathe::Radians(Sites[0].Longitude);
    in.Latitude2 = Mathe::Radians(Sites[1].Latitude);
    in.Longitude2 = Mathe::Radians(Sites[1].Longitude);
    in.Time = Mathe::Radians(HoursUt * 15);
    Quenmark::ComputeSunVector();
}

double ParallaxOf(const Position& site1, const Position& site2)
{
    Quenmark::Input.X1 = site1.X;
    Quenmark::Input.Y1 = site1.Y;
    Quenmark::Input.X2 = site2.X;
    Quenmark::Input.Y2 = site2.Y;
    Quenmark::ComputeParallax();
    return Quenmark::Result.PiS;
}

// The unit direction of the planet's apparent shift against the Sun from
// site 1 to site 2: the nearer body moves opposite to the observer, by the
// baseline's part across the line of sight. x is the Sun's diurnal drift
// (west on the sky), y north.
Position ShiftDirection()
{
    ParallaxOf({}, {});
    const Mathe::SpaceVector& b = Quenmark::Result.Baseline;
    const double ra = Quenmark::Input.RightAscension, dec = Quenmark::Input.Declination;
    const double east = -std::sin(ra) * b.X + std::cos(ra) * b.Y;
    const double north = -std::sin(dec) * std::cos(ra) * b.X - std::sin(dec) * std::sin(ra) * b.Y
        + std::cos(dec) * b.Z;
    // West component of -b is east . b; north component of -b is -north . b.
    const double x = east, y = -north, length = std::hypot(x, y);
    return { x / length, y / length };
}

// Site 2's position: bisection on the shift's length until Quenmark gives the
// true parallax (the parallax grows with the length).
Position SolveSite2(const Position& direction)
{
    double low = 0, high = 0.5; // solar radii; the real shift is a few hundredths
    for (int i = 0; i < 200 && high - low > 1e-15; ++i) {
        const double mid = (low + high) / 2;
        const Position p { Site1Truth.X + mid * direction.X, Site1Truth.Y + mid * direction.Y };
        (ParallaxOf(Site1Truth, p) < TrueParallax ? low : high) = mid;
    }
    const double length = (low + high) / 2;
    return { Site1Truth.X + length * direction.X, Site1Truth.Y + length * direction.Y };
}

bool SunIsUp(const Mathe::SpaceVector& site)
{
    return Mathe::DotProduct(site, Quenmark::Result.SunVector) > 0;
}

struct Photograph {
    LimbScenes::Scene Scene;
    FitTypes::Circle Sun1, Sun2, Planet1, Planet2; // true circles, pixels
};

// The planet at x', y' of a Sun whose drift points at phi (radians,
// counter-clockwise with y up) on a picture whose y grows downwards.
FitTypes::Circle PlanetAt(const FitTypes::Circle& sun, double phi, const Position& p, double r)
{
    const double c = std::cos(phi), s = std::sin(phi);
    return { sun.X + sun.R * (p.X * c - p.Y * s), sun.Y - sun.R * (p.X * s + p.Y * c), r };
}

// The planet's position at the second exposure, in solar radii.
Position SecondExposure(const Position& p)
{
    return { p.X + ExposureGap * PlanetMotion / (Quenmark::Input.SunRadius * ArcsecondsPerRadian),
        p.Y };
}

Photograph MakePhotograph(const Site& site, const Position& p, double sunRadius, std::uint32_t seed)
{
    const double scale = sunRadius / 900.0;
    const double drift = 250 * scale;
    const double phi = Mathe::Radians(site.DriftTilt);
    Photograph photo;
    LimbScenes::Scene& scene = photo.Scene;
    scene.Width = static_cast<int>(3200 * scale);
    scene.Height = static_cast<int>(2200 * scale);
    // Off the pixel grid on purpose.
    photo.Sun1 = { 1450.37 * scale, 1100.61 * scale, sunRadius };
    photo.Sun2
        = { photo.Sun1.X + drift * std::cos(phi), photo.Sun1.Y - drift * std::sin(phi), sunRadius };
    const double planetRadius
        = VenusRadius / (Quenmark::Input.SunRadius * ArcsecondsPerRadian) * sunRadius;
    photo.Planet1 = PlanetAt(photo.Sun1, phi, p, planetRadius);
    photo.Planet2 = PlanetAt(photo.Sun2, phi, SecondExposure(p), planetRadius);
    scene.Suns = { photo.Sun1, photo.Sun2 };
    scene.Planets = { photo.Planet1, photo.Planet2 };
    scene.Exposure = 0.42;
    scene.LimbDarkening = 0.6;
    scene.Blur = 1.5 * scale > 0.8 ? 1.5 * scale : 0.8;
    scene.Noise = 0.006;
    scene.Jpeg = false; // the whole picture goes through JPEG below
    scene.Whole = true;
    scene.Seed = seed;
    return photo;
}

bool WritePhotograph(const Photograph& photo, const std::string& path)
{
    std::vector<std::uint32_t> words;
    LimbScenes::Render(photo.Scene, words);
    std::vector<unsigned char> jpeg;
    if (!LimbScenes::EncodeJpeg(words, photo.Scene.Width, photo.Scene.Height, 90, jpeg)
        || !LimbScenes::WriteFile(path, jpeg)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool Decode(const std::string& path, GreyPlane::Plane& plane)
{
    try {
        GreyPlane::DecodeJpegFile(path, plane);
    } catch (const GreyPlane::PlaneError& error) {
        std::fprintf(stderr, "cannot decode %s: %s\n", path.c_str(), error.what());
        return false;
    }
    return true;
}

// A full-resolution circle as the screen shows it at 1/size, the picture's
// corner at 0, 0: a pixel centre u lands on (u + 0.5) / size - 0.5.
FitTypes::Circle OnScreen(const FitTypes::Circle& c, int size)
{
    return { (c.X + 0.5) / size - 0.5, (c.Y + 0.5) / size - 0.5, c.R / size };
}

// Where the window starts the first planet circle after Suns confirmed at
// these circles: on Sun 1, its radius by the program's rule from Sun 2's in
// whole pixels.
std::array<double, 3> PlanetStart(const FitTypes::Circle& sun1, const FitTypes::Circle& sun2)
{
    const int sunRadius = static_cast<int>(std::nearbyint(sun2.R));
    return { std::nearbyint(sun1.X), std::nearbyint(sun1.Y),
        static_cast<double>(Adjustment::PlanetStartRadius(sunRadius)) };
}

// The true circles in the screen's pixels, in the shape of the sample
// photographs' truth files, and the true x', y' of the site.
bool WriteTruth(const Photograph& photo, const Position& p, int size, const std::string& path)
{
    const FitTypes::Circle sun1 = OnScreen(photo.Sun1, size), sun2 = OnScreen(photo.Sun2, size);
    const std::array<FitTypes::Circle, 4> circles { sun1, sun2, OnScreen(photo.Planet1, size),
        OnScreen(photo.Planet2, size) };
    const std::array<const char*, 4> names { "sun1", "sun2", "venus1", "venus2" };
    std::ofstream out(path);
    out << "# " << photo.Scene.Width / size << " x " << photo.Scene.Height / size
        << " screen pixels (the photograph at 1/" << size
        << ", its corner at 0, 0): the true circles\n"
        << "# name x y radius: x to the right, y downwards, (0, 0) the centre of the top-left "
           "pixel\n";
    char line[128];
    for (std::size_t i = 0; i < circles.size(); ++i) {
        std::snprintf(line, sizeof line, "%s %.3f %.3f %.3f\n", names[i], circles[i].X,
            circles[i].Y, circles[i].R);
        out << line;
    }
    const std::array<double, 3> start = PlanetStart(sun1, sun2);
    const Position second = SecondExposure(p);
    std::snprintf(line, sizeof line,
        "# planetstart %.0f %.0f %.0f\n# position %.6f %.6f\n# position2 %.6f %.6f\n", start[0],
        start[1], start[2], p.X, p.Y, second.X, second.Y);
    out << line;
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// A seed as a user sets it by keys: a few whole pixels off.
FitTypes::Circle SeedNear(const FitTypes::Circle& truth, double dx, double dy, double dr)
{
    return { std::round(truth.X + dx), std::round(truth.Y + dy), std::round(truth.R + dr) };
}

struct Measured {
    bool Ok = false;
    FitTypes::Circle Sun1, Sun2, Planet1, Planet2;
    Position Exposure1; // x', y' against Sun 1
};

bool Fitted(const FitTypes::Fit& fit, const char* what)
{
    if (fit.Result == FitTypes::Outcome::Fitted)
        return true;
    std::fprintf(stderr, "%s refused: %s\n", what, LimbFit::OutcomeName(fit.Result));
    return false;
}

// x', y' of the planet against its Sun, with the drift from Sun 1 to Sun 2 as
// the reference direction, as the two-picture evaluation computes them.
Position Evaluate(const FitTypes::Circle& sun, const FitTypes::Circle& planet,
    const FitTypes::Circle& sun1, const FitTypes::Circle& sun2)
{
    const double phi = Mathe::Degrees(Mathe::PolarAngle(-(sun2.Y - sun1.Y), sun2.X - sun1.X));
    const double dx = planet.X - sun.X, dy = sun.Y - planet.Y;
    const double d = std::sqrt(dx * dx + dy * dy);
    const double theta = Mathe::Degrees(Mathe::PolarAngle(dy, dx)) - phi;
    return { std::cos(Mathe::Radians(theta)) * d / sun.R,
        std::sin(Mathe::Radians(theta)) * d / sun.R };
}

Measured Measure(const Photograph& photo, const GreyPlane::Plane& plane)
{
    const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
    Measured m;
    const FitTypes::Fit sun1 = LimbFit::FitSunLimb(view, SeedNear(photo.Sun1, 4, -3, 6));
    const FitTypes::Fit sun2 = LimbFit::FitSunLimb(view, SeedNear(photo.Sun2, -3, 5, -7));
    if (!Fitted(sun1, "Sun 1") || !Fitted(sun2, "Sun 2"))
        return m;
    const FitTypes::Fit planet1
        = LimbFit::FitPlanet(view, SeedNear(photo.Planet1, 2, 3, -2), sun1.Fitted);
    const FitTypes::Fit planet2
        = LimbFit::FitPlanet(view, SeedNear(photo.Planet2, -3, 2, 2), sun2.Fitted);
    if (!Fitted(planet1, "planet 1") || !Fitted(planet2, "planet 2"))
        return m;
    m.Ok = true;
    m.Sun1 = sun1.Fitted;
    m.Sun2 = sun2.Fitted;
    m.Planet1 = planet1.Fitted;
    m.Planet2 = planet2.Fitted;
    m.Exposure1 = Evaluate(m.Sun1, m.Planet1, m.Sun1, m.Sun2);
    return m;
}

// As the audit file writes them and a user types them: 6 decimals.
double AsTyped(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return std::strtod(text, nullptr);
}

void PrintCircleErrors(const char* what, const FitTypes::Circle& fit, const FitTypes::Circle& truth)
{
    std::printf("  %-9s dx %+7.3f  dy %+7.3f  dr %+7.3f px\n", what, fit.X - truth.X,
        fit.Y - truth.Y, fit.R - truth.R);
}

// The true positions of both sites; false when they do not give the true
// parallax with the Sun up at both sites.
bool SolveTruth(std::array<Position, 2>& truth, double& trueParallax, bool report)
{
    SetQuenmarkInputs();
    const Position direction = ShiftDirection();
    truth = { Site1Truth, SolveSite2(direction) };
    trueParallax = ParallaxOf(truth[0], truth[1]);
    const Quenmark::Results geometry = Quenmark::Result;
    if (report) {
        std::printf("Transit of Venus 2012-06-06 01:29 UT; Sun radius %.2f\", r = %.4f\n",
            Quenmark::Input.SunRadius * ArcsecondsPerRadian, Quenmark::Input.RadiusRatio);
        for (std::size_t i = 0; i < Sites.size(); ++i)
            std::printf("site %zu: %s, Sun %s\n", i + 1, Sites[i].Name,
                SunIsUp(i == 0 ? geometry.SiteVector1 : geometry.SiteVector2) ? "up" : "DOWN");
        std::printf("baseline %.4f Earth radii, projected %.4f; shift %.3f\" = %.6f solar radii\n",
            geometry.Baseline.Length, geometry.Baseline.Length * std::sin(geometry.W),
            geometry.Beta, std::hypot(truth[1].X - truth[0].X, truth[1].Y - truth[0].Y));
    }
    // The inversion must hold before the photographs mean anything.
    if (std::fabs(trueParallax - TrueParallax) > 1e-9 || !SunIsUp(geometry.SiteVector1)
        || !SunIsUp(geometry.SiteVector2)) {
        std::fprintf(stderr, "the true positions do not give the true parallax\n");
        return false;
    }
    return true;
}

std::string PhotographPath(const std::string& folder, std::size_t site)
{
    return folder + "/venus2012-site" + std::to_string(site + 1) + ".jpg";
}

Photograph PhotographOf(std::size_t site, const Position& p, double sunRadius)
{
    return MakePhotograph(Sites[site], p, sunRadius, static_cast<std::uint32_t>(7 + site));
}

// The photographs for the window, Sun radius 900 px, and their truth files
// (venus2012-site1.truth beside venus2012-site1.jpg) for a picture shown at
// 1/size with its corner at 0, 0.
int WritePhotographs(const std::string& folder, int size)
{
    std::array<Position, 2> truth {};
    double trueParallax = 0;
    if (!SolveTruth(truth, trueParallax, false))
        return 1;
    for (std::size_t i = 0; i < Sites.size(); ++i) {
        const Photograph photo = PhotographOf(i, truth[i], 900.0);
        const std::string path = PhotographPath(folder, i);
        if (!WritePhotograph(photo, path)
            || !WriteTruth(photo, truth[i], size, path.substr(0, path.size() - 4) + ".truth"))
            return 1;
        std::printf("%s\n", path.c_str());
    }
    return 0;
}

// Quenmark's computation of the parallax from typed positions: the parallax,
// the true one and the error in per cent.
int PrintParallax(const std::array<Position, 2>& typed)
{
    std::array<Position, 2> truth {};
    double trueParallax = 0;
    if (!SolveTruth(truth, trueParallax, false))
        return 1;
    const double measured = ParallaxOf(typed[0], typed[1]);
    std::printf("%.4f %.4f %+.3f\n", measured, trueParallax,
        (measured - trueParallax) / trueParallax * 100);
    return 0;
}

bool ReadNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

// The three steps on photographs of the given Sun radius.
int MeasureFromPhotographs(const std::string& folder, double sunRadius)
{
    std::array<Position, 2> truth {};
    double trueParallax = 0;
    if (!SolveTruth(truth, trueParallax, true))
        return 1;

    std::array<Position, 2> typed {};
    bool ok = true;
    for (std::size_t i = 0; i < Sites.size(); ++i) {
        const Photograph photo = PhotographOf(i, truth[i], sunRadius);
        const std::string path = PhotographPath(folder, i);
        GreyPlane::Plane plane;
        if (!WritePhotograph(photo, path) || !Decode(path, plane))
            return 1;
        const Measured m = Measure(photo, plane);
        if (!m.Ok) {
            ok = false;
            continue;
        }
        typed[i] = { AsTyped(m.Exposure1.X), AsTyped(m.Exposure1.Y) };
        std::printf("site %zu: %s, %d x %d, Sun r %.1f px, planet r %.2f px\n", i + 1, path.c_str(),
            photo.Scene.Width, photo.Scene.Height, photo.Sun1.R, photo.Planet1.R);
        PrintCircleErrors("Sun 1", m.Sun1, photo.Sun1);
        PrintCircleErrors("Sun 2", m.Sun2, photo.Sun2);
        PrintCircleErrors("Venus 1", m.Planet1, photo.Planet1);
        PrintCircleErrors("Venus 2", m.Planet2, photo.Planet2);
        std::printf("  x' %.6f (true %.6f, %+.6f)  y' %.6f (true %.6f, %+.6f)\n", typed[i].X,
            truth[i].X, typed[i].X - truth[i].X, typed[i].Y, truth[i].Y, typed[i].Y - truth[i].Y);
        std::printf("  audit: result1\t%.6f\t%.6f\n", typed[i].X, typed[i].Y);
    }
    if (!ok)
        return 1;

    const double measured = ParallaxOf(typed[0], typed[1]);
    const double error = (measured - trueParallax) / trueParallax * 100;
    std::printf("Quenmark's input: x1 %.6f  y1 %.6f  x2 %.6f  y2 %.6f\n", typed[0].X, typed[0].Y,
        typed[1].X, typed[1].Y);
    std::printf("solar parallax: true %.4f\" (from the true positions, set %.3f\")  measured "
                "%.4f\"  error %+.3f %% (goal within %.0f %%)\n",
        trueParallax, TrueParallax, measured, error, GoalPercent);
    return std::fabs(error) <= GoalPercent ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--photographs") {
        const int size = argc == 4 ? std::atoi(argv[3]) : 0;
        if (size != 1 && size != 2 && size != 4 && size != 8) {
            std::fprintf(stderr, "usage: bench_parallax --photographs FOLDER SIZE (1, 2, 4, 8)\n");
            return 2;
        }
        return WritePhotographs(argv[2], size);
    }
    if (command == "--parallax") {
        std::array<double, 4> v {};
        for (std::size_t i = 0; i < v.size(); ++i)
            if (argc != 6 || !ReadNumber(argv[i + 2], v[i])) {
                std::fprintf(stderr, "usage: bench_parallax --parallax X1 Y1 X2 Y2\n");
                return 2;
            }
        return PrintParallax({ { { v[0], v[1] }, { v[2], v[3] } } });
    }
    const std::string folder = argc > 1 ? argv[1] : ".";
    const double sunRadius = argc > 2 ? std::atof(argv[2]) : 900.0;
    if (sunRadius < 100 || sunRadius > 2000) {
        std::fprintf(stderr, "Sun radius must lie between 100 and 2000 px\n");
        return 2;
    }
    return MeasureFromPhotographs(folder, sunRadius);
}
