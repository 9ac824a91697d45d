// SPDX-License-Identifier: GPL-3.0-or-later
// The assisted circle fit on generated scenes with known circles, its time
// on a full-size plane, the grey plane's decoding time and memory, and the
// fit on the real photographs. bench/limbfit.sh calls it:
//
//   bench_limbfit scenes [N]          N scenes per case (300), one table per case
//   bench_limbfit time                one assist on a 6000 x 4000 plane (median of 20, ms)
//   bench_limbfit make FILE           a 6000 x 4000 generated Sun photograph, JPEG
//   bench_limbfit plane FILE          decoding into the grey plane: time (ms), peak memory
//   bench_limbfit spawn COMMAND...    wall time of a command (ms), its output dropped
//   bench_limbfit photos DIR          fits on the real photographs at sizes 1, 2, 4 and 8
//
// With scenes, BENCH_CASES=014 runs only the cases of those indices (each
// case draws its own scenes, so a case's figures do not depend on the
// others), BENCH_DUMP=1 prints one line per accepted fit: error x, y and
// sigma x, y (px), the true radius, the blur, and for a planet its gap to the
// limb (for a Sun the exposure), the edge width, the near-limb warning, the
// covariance of x and y (px^2), the radius error, sigma_r and the limb
// darkening u.
#include "GreyPlane.h"
#include "LimbFit.h"
#include "LimbScenes.h"
#include "LimbShift.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double Pi = std::numbers::pi;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Draw {
    std::mt19937 Engine;
    double Uniform(double a, double b) { return a + (b - a) * (Engine() / 4294967296.0); }
    double LogUniform(double a, double b) { return a * std::exp(Uniform(0, std::log(b / a))); }
    bool Chance(double p) { return Uniform(0, 1) < p; }
};

// One generated case: the scene, the circle to find, the seed and how to fit.
struct Trial {
    LimbScenes::Scene Scene;
    FitTypes::Circle Truth;
    FitTypes::Circle Seed;
    bool Planet = false;
    FitTypes::Circle Sun; // for a planet
    bool ShouldRefuse = false; // a spot seeded as a planet, a planet on the limb
    LimbFit::SunHints Hints; // for a Sun
};

struct Tally {
    std::vector<double> Errors, Pulls, RadiusErrors, RadiusPulls;
    std::map<std::string, int> Refusals;
    int Count = 0, Silent = 0, Warned = 0;
};

// A seed as a user leaves it: up to 20 px off in the centre, 10 % in the radius.
FitTypes::Circle SeedNear(Draw& draw, const FitTypes::Circle& truth, double maxOffset)
{
    const double angle = draw.Uniform(0, 2 * Pi), offset = draw.Uniform(0, maxOffset);
    return { truth.X + offset * std::cos(angle), truth.Y + offset * std::sin(angle),
        truth.R * draw.Uniform(0.9, 1.1) };
}

LimbScenes::Scene BaseScene(Draw& draw, double r)
{
    LimbScenes::Scene scene;
    scene.Blur = draw.Uniform(0.5, 3.0);
    scene.Noise = draw.Uniform(0.002, 0.01);
    scene.Exposure = draw.Uniform(0.3, 0.7);
    scene.LimbDarkening = draw.Uniform(0.5, 0.7);
    scene.Seed = draw.Engine();
    const int margin = static_cast<int>(0.3 * r) + 60;
    scene.Width = scene.Height = static_cast<int>(2 * r) + 2 * margin;
    scene.Suns.push_back({ scene.Width / 2.0 + draw.Uniform(-0.5, 0.5),
        scene.Height / 2.0 + draw.Uniform(-0.5, 0.5), r });
    return scene;
}

// A point on the disc at a fraction of the radius from the centre.
LimbScenes::Disc OnDisc(Draw& draw, const LimbScenes::Disc& sun, double distance, double r)
{
    const double angle = draw.Uniform(0, 2 * Pi);
    return { sun.X + distance * std::cos(angle), sun.Y + distance * std::sin(angle), r };
}

Trial MakeTrial(const std::string& kind, Draw& draw)
{
    Trial trial;
    const double r = draw.LogUniform(120, 1500);
    LimbScenes::Scene scene = BaseScene(draw, r);
    const LimbScenes::Disc sun = scene.Suns[0];
    if (kind == "sun single" || kind == "sun seed far off") {
        if (draw.Chance(0.2))
            scene.Gains = { 0.6, 1.0, 1.9 }; // red burnt out over the disc
        const int spots = static_cast<int>(draw.Uniform(0, 4));
        for (int i = 0; i < spots; ++i) {
            const double umbra = draw.Uniform(3, 15);
            const LimbScenes::Disc at = OnDisc(draw, sun, draw.Uniform(0, 0.97) * r, 0);
            scene.Spots.push_back({ at.X, at.Y, umbra, umbra * draw.Uniform(1.8, 2.5) });
        }
    } else if (kind == "sun double" || kind == "sun 2 on sun 1") {
        // The second exposure beside the first; a bright pair clips the overlap.
        scene.Exposure = draw.Chance(0.5) ? draw.Uniform(0.55, 0.75) : draw.Uniform(0.3, 0.45);
        const double separation = draw.Uniform(1.5, 2.05) * r;
        const double angle = draw.Uniform(-0.35, 0.35);
        const int margin = static_cast<int>(0.3 * r) + 60;
        const double dx = separation * std::cos(angle), dy = separation * std::sin(angle);
        scene.Width = static_cast<int>(2 * r + std::abs(dx)) + 2 * margin;
        scene.Height = static_cast<int>(2 * r + std::abs(dy)) + 2 * margin;
        const double x1 = margin + r + draw.Uniform(0, 1);
        const double y1 = margin + r + (dy < 0 ? -dy : 0) + draw.Uniform(0, 1);
        scene.Suns = { { x1, y1, r }, { x1 + dx, y1 + dy, r } };
    } else if (kind == "sun spots+notch") {
        const int spots = 3 + static_cast<int>(draw.Uniform(0, 4));
        for (int i = 0; i < spots; ++i) {
            const double umbra = draw.Uniform(4, 20);
            const LimbScenes::Disc at = OnDisc(draw, sun, draw.Uniform(0.85, 0.98) * r, 0);
            scene.Spots.push_back({ at.X, at.Y, umbra, umbra * draw.Uniform(1.8, 2.5) });
        }
        const double pr = draw.Uniform(5, 40);
        scene.Planets.push_back(OnDisc(draw, sun, r + draw.Uniform(-0.8, 0.5) * pr, pr));
    } else {
        trial.Planet = true;
        const double pr = draw.Uniform(5, 40);
        LimbScenes::Disc planet;
        const double limbReach = 10 + 3 * scene.Blur;
        if (kind == "planet inside")
            planet = OnDisc(draw, sun, draw.Uniform(0, 1) * (r - pr - limbReach - 20), pr);
        else if (kind == "planet near limb")
            planet = OnDisc(draw, sun, r - pr - draw.Uniform(0, limbReach + 10), pr);
        else if (kind == "planet on limb") {
            // Straddling the limb: mostly refused, and what is fitted must be right.
            planet = OnDisc(draw, sun, r + draw.Uniform(-0.5, 0.5) * pr, pr);
        }
        if (kind == "spot as planet") {
            const double umbra = draw.Uniform(5, 15);
            const LimbScenes::Disc at
                = OnDisc(draw, sun, draw.Uniform(0, 1) * (r - 2.5 * umbra - 40), umbra);
            scene.Spots.push_back({ at.X, at.Y, umbra, umbra * draw.Uniform(1.8, 2.5) });
            planet = at;
            trial.ShouldRefuse = true;
        } else {
            scene.Planets.push_back(planet);
        }
        trial.Truth = { planet.X, planet.Y, planet.R };
        trial.Seed = SeedNear(draw, trial.Truth, std::min(20.0, 2 * planet.R));
        trial.Sun = { sun.X, sun.Y, sun.R };
        trial.Scene = scene;
        return trial;
    }
    trial.Truth = { scene.Suns[0].X, scene.Suns[0].Y, r };
    trial.Seed = SeedNear(draw, trial.Truth, 20);
    if (kind == "sun seed far off") {
        // The farthest a seed may be: its centre off by 10 % of the radius
        // or 20 screen pixels, whichever is more, on a picture shown at a
        // size that leaves the Sun at least 60 px on the screen, and its
        // radius 10 % off.
        int scale = 1 << static_cast<int>(draw.Uniform(0, 4));
        while (scale > 1 && r / scale < 60)
            scale /= 2;
        trial.Hints.CentreSlack = 20.0 * scale;
        const double angle = draw.Uniform(0, 2 * Pi), offset = std::max(0.1 * r, 20.0 * scale);
        trial.Seed = { trial.Truth.X + offset * std::cos(angle),
            trial.Truth.Y + offset * std::sin(angle), r * (draw.Chance(0.5) ? 0.9 : 1.1) };
    } else if (kind == "sun 2 on sun 1") {
        // Sun 2's circle starts on the confirmed Sun 1; the whole picture
        // drawn, as the search beyond Sun 1 crosses the other disc.
        scene.Whole = true;
        trial.Seed = { scene.Suns[0].X + draw.Uniform(-1, 1), scene.Suns[0].Y + draw.Uniform(-1, 1),
            r + draw.Uniform(-1, 1) };
        trial.Hints.Avoid = trial.Seed;
        trial.Truth = { scene.Suns[1].X, scene.Suns[1].Y, r };
    }
    trial.Scene = scene;
    return trial;
}

double Quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * (values.size() - 1) + 0.5)];
}

double StandardDeviation(const std::vector<double>& values)
{
    if (values.size() < 2)
        return std::nan("");
    double mean = 0, squares = 0;
    for (double v : values)
        mean += v;
    mean /= values.size();
    for (double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / (values.size() - 1));
}

void Record(
    const Trial& trial, const FitTypes::GreyView& view, const FitTypes::Fit& fit, Tally& tally)
{
    ++tally.Count;
    if (fit.Result != FitTypes::Outcome::Fitted) {
        ++tally.Refusals[LimbFit::OutcomeName(fit.Result)];
        return;
    }
    tally.Warned += fit.NearLimb;
    const double ex = fit.Fitted.X - trial.Truth.X, ey = fit.Fitted.Y - trial.Truth.Y;
    const double error = std::hypot(ex, ey);
    if (trial.ShouldRefuse || error > 0.5) {
        ++tally.Silent;
        if (std::getenv("BENCH_VERBOSE") != nullptr)
            std::printf(
                "  silent: truth %.2f %.2f %.2f fit %.2f %.2f %.2f seed %.1f %.1f %.1f blur %.2f\n",
                trial.Truth.X, trial.Truth.Y, trial.Truth.R, fit.Fitted.X, fit.Fitted.Y,
                fit.Fitted.R, trial.Seed.X, trial.Seed.Y, trial.Seed.R, trial.Scene.Blur);
    }
    if (trial.ShouldRefuse)
        return;
    if (std::getenv("BENCH_DUMP") != nullptr)
        std::printf("dump %.4f %.4f %.4f %.4f %.2f %.2f %.2f %.2f %.3f %.3e %.4f %.4f %.3f\n", ex,
            ey, std::sqrt(fit.Covariance[0]), std::sqrt(fit.Covariance[4]), trial.Truth.R,
            trial.Scene.Blur,
            trial.Planet
                ? trial.Sun.R - std::hypot(trial.Truth.X - trial.Sun.X, trial.Truth.Y - trial.Sun.Y)
                    - trial.Truth.R
                : trial.Scene.Exposure,
            fit.EdgeWidth, static_cast<double>(fit.NearLimb), fit.Covariance[1],
            fit.Fitted.R - trial.Truth.R, std::sqrt(fit.Covariance[8]), trial.Scene.LimbDarkening);
    if (std::getenv("BENCH_DUMP") != nullptr && !trial.Planet) {
        const LimbShift::Estimate e = LimbShift::Measure(view, fit.Fitted, fit.Used);
        std::printf("shift %d %.3f %.3f %.4f %.4f %d %.4f\n", e.Ok, e.Blur, e.Sigma,
            e.Ratio * std::sqrt(fit.Fitted.R / 2), e.Shift, e.Rays, e.Offset);
    }
    tally.Errors.push_back(error);
    tally.RadiusErrors.push_back(fit.Fitted.R - trial.Truth.R);
    if (fit.Covariance[8] > 0)
        tally.RadiusPulls.push_back((fit.Fitted.R - trial.Truth.R) / std::sqrt(fit.Covariance[8]));
    if (fit.Covariance[0] > 0 && fit.Covariance[4] > 0) {
        tally.Pulls.push_back(ex / std::sqrt(fit.Covariance[0]));
        tally.Pulls.push_back(ey / std::sqrt(fit.Covariance[4]));
    }
}

void PrintTally(const std::string& kind, const Tally& t, double seconds)
{
    double bias = 0;
    for (double e : t.RadiusErrors)
        bias += e;
    bias = t.RadiusErrors.empty() ? 0 : bias / t.RadiusErrors.size();
    int refused = 0;
    std::string reasons;
    for (const auto& [reason, count] : t.Refusals) {
        refused += count;
        reasons += (reasons.empty() ? "" : ", ") + reason + " " + std::to_string(count);
    }
    std::printf("%-17s %5d %8.4f %8.4f %8.3f %7.2f %8d %6d (%5.2f%%) %6.2f %5d %6.1f  %s\n",
        kind.c_str(), t.Count, Quantile(t.Errors, 0.5), Quantile(t.Errors, 0.95), bias,
        StandardDeviation(t.RadiusPulls), refused, t.Silent,
        100.0 * t.Silent / std::max(1, t.Count), StandardDeviation(t.Pulls), t.Warned, seconds,
        reasons.c_str());
    std::fflush(stdout);
}

int Scenes(int perCase)
{
    const char* kinds[]
        = { "sun single", "sun double", "sun spots+notch", "planet inside", "planet near limb",
              "planet on limb", "spot as planet", "sun seed far off", "sun 2 on sun 1" };
    std::printf("%d scenes per case. Errors of the centre in px (median, p95), radius bias in px\n"
                "(mean fitted - true), radius pull (error / predicted sigma_r, its standard\n"
                "deviation), refusals, silent failures (accepted with an error over 0.5 px,\n"
                "or accepted where a refusal is due), pull (error / predicted sigma per "
                "coordinate, its standard deviation),\n"
                "near-limb warnings, seconds.\n\n",
        perCase);
    std::printf("%-17s %5s %8s %8s %8s %7s %8s %16s %6s %5s %6s  %s\n", "case", "n", "median",
        "p95", "r bias", "r pull", "refused", "silent", "pull", "warn", "s", "reasons");
    std::vector<std::uint32_t> words;
    GreyPlane::Plane plane;
    const char* only = std::getenv("BENCH_CASES"); // e.g. "01" for the first two cases
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        if (only != nullptr && std::strchr(only, static_cast<char>('0' + k)) == nullptr)
            continue;
        Draw draw { std::mt19937(static_cast<std::uint32_t>(1000 + k)) };
        Tally tally;
        const auto start = Clock::now();
        for (int i = 0; i < perCase; ++i) {
            const Trial trial = MakeTrial(kinds[k], draw);
            LimbScenes::Render(trial.Scene, words);
            GreyPlane::FromWords(words.data(), trial.Scene.Width, trial.Scene.Height, plane);
            const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
            const FitTypes::Fit fit = trial.Planet
                ? LimbFit::FitPlanet(view, trial.Seed, trial.Sun)
                : LimbFit::FitSunLimb(view, trial.Seed, trial.Hints);
            Record(trial, view, fit, tally);
        }
        PrintTally(kinds[k], tally, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return 0;
}

// [SECTION] Timing

LimbScenes::Scene LargeScene()
{
    LimbScenes::Scene scene;
    scene.Width = 6000;
    scene.Height = 4000;
    scene.Suns = { { 3000.3, 2000.6, 1800 } };
    scene.Planets = { { 2400.2, 1700.7, 20 } };
    scene.Blur = 1.5;
    return scene;
}

int TimeAssist()
{
    std::vector<std::uint32_t> words;
    const LimbScenes::Scene scene = LargeScene();
    LimbScenes::Render(scene, words);
    GreyPlane::Plane plane;
    GreyPlane::FromWords(words.data(), scene.Width, scene.Height, plane);
    const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
    std::vector<double> sunTimes, planetTimes, shiftTimes;
    for (int i = 0; i < 20; ++i) {
        auto start = Clock::now();
        const FitTypes::Fit sun = LimbFit::FitSunLimb(view, { 3012, 1990, 1900 });
        sunTimes.push_back(MillisecondsSince(start));
        start = Clock::now();
        LimbShift::Measure(view, sun.Fitted, sun.Used); // its share of the Sun's time
        shiftTimes.push_back(MillisecondsSince(start));
        start = Clock::now();
        const FitTypes::Fit planet = LimbFit::FitPlanet(view, { 2390, 1710, 18 }, sun.Fitted);
        planetTimes.push_back(MillisecondsSince(start));
        if (sun.Result != FitTypes::Outcome::Fitted || planet.Result != FitTypes::Outcome::Fitted)
            std::printf("unexpected refusal: %s, %s\n", LimbFit::OutcomeName(sun.Result),
                LimbFit::OutcomeName(planet.Result));
    }
    std::printf("Sun r 1800: %.2f ms (of which the radius's shift %.2f)   planet r 20: %.2f ms   "
                "(target <= 20)\n",
        Quantile(sunTimes, 0.5), Quantile(shiftTimes, 0.5), Quantile(planetTimes, 0.5));
    return 0;
}

int MakeJpeg(const std::string& path)
{
    LimbScenes::Scene scene = LargeScene();
    scene.Whole = true;
    scene.Jpeg = false;
    std::vector<std::uint32_t> words;
    LimbScenes::Render(scene, words);
    std::vector<unsigned char> jpeg;
    if (!LimbScenes::EncodeJpeg(words, scene.Width, scene.Height, 90, jpeg)
        || !LimbScenes::WriteFile(path, jpeg)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

// The process's peak resident memory in bytes (getrusage gives KiB).
long PeakBytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}

double CpuMilliseconds(const rusage& usage)
{
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Decodes a small JPEG of the same kind first, as Helidor has decoded the
// photograph for the screen before the first assist: libjpeg's code is then
// resident and does not count as the plane's memory.
void WarmUpDecoder(const std::string& path)
{
    std::vector<std::uint32_t> words(64 * 64);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = 0xff000000u | static_cast<std::uint32_t>((i * 37) & 0xffffff);
    std::vector<unsigned char> jpeg;
    const std::string warm = path + ".warm.jpg";
    if (!LimbScenes::EncodeJpeg(words, 64, 64, 90, jpeg) || !LimbScenes::WriteFile(warm, jpeg))
        throw std::runtime_error("cannot write " + warm);
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(warm, plane);
    std::remove(warm.c_str());
}

int DecodePlane(const std::string& path)
{
    WarmUpDecoder(path);
    const long before = PeakBytes();
    GreyPlane::Plane plane;
    rusage cpuBefore {}, cpuAfter {};
    getrusage(RUSAGE_SELF, &cpuBefore);
    const auto start = Clock::now();
    GreyPlane::DecodeJpegFile(path, plane);
    const double first = MillisecondsSince(start);
    getrusage(RUSAGE_SELF, &cpuAfter);
    // Read before anything is printed: formatting the first number maps
    // more of the C library's code, which must not count as the plane's.
    const double peak = static_cast<double>(cpuAfter.ru_maxrss * 1024L - before);
    std::printf("cpu %.1f ", CpuMilliseconds(cpuAfter) - CpuMilliseconds(cpuBefore));
    const double pixels = static_cast<double>(plane.Width) * plane.Height;
    std::printf("first %.1f peak %.1f plane %.1f bytes_per_pixel %.4f beyond_kib %.0f\n", first,
        peak / 1e6, pixels * 2 / 1e6, peak / pixels, (peak - pixels * 2) / 1024);
    return 0;
}

int Spawn(char** command)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const auto start = Clock::now();
    if (posix_spawnp(&child, command[0], &actions, nullptr, command, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", command[0]);
        return 1;
    }
    int status = 0;
    rusage usage {};
    wait4(child, &status, 0, &usage);
    std::printf("wall %.2f cpu %.2f\n", MillisecondsSince(start), CpuMilliseconds(usage));
    posix_spawn_file_actions_destroy(&actions);
    return 0;
}

int Photos(const std::string& folder);

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "scenes")
            return Scenes(argc > 2 ? std::stoi(argv[2]) : 300);
        if (mode == "time")
            return TimeAssist();
        if (mode == "make" && argc == 3)
            return MakeJpeg(argv[2]);
        if (mode == "plane" && argc == 3)
            return DecodePlane(argv[2]);
        if (mode == "spawn" && argc > 2)
            return Spawn(argv + 2);
        if (mode == "photos" && argc == 3)
            return Photos(argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr,
        "usage: bench_limbfit scenes [N] | time | make FILE | plane FILE | spawn "
        "COMMAND... | photos DIR\n");
    return 2;
}

namespace {

struct Blob {
    double X = 0, Y = 0, Area = 0;
};

// The Sun as a user would first place it: the disc above 15 % of the bright level.
FitTypes::Circle FindSun(const GreyPlane::Plane& plane)
{
    std::vector<std::uint16_t> sorted(plane.Samples.begin(), plane.Samples.end());
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() * 95 / 100, sorted.end());
    const double threshold = 0.15 * sorted[sorted.size() * 95 / 100];
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < plane.Height; ++y)
        for (int x = 0; x < plane.Width; ++x)
            if (plane.Samples[static_cast<std::size_t>(y) * plane.Width + x] > threshold) {
                sx += x;
                sy += y;
                n += 1;
            }
    return { sx / n, sy / n, std::sqrt(n / Pi) };
}

// Dark, compact blobs on the disc: below a fifth of the disc's median.
std::vector<Blob> FindDarkBlobs(const GreyPlane::Plane& plane, const FitTypes::Circle& sun)
{
    std::vector<double> inside;
    for (int y = 0; y < plane.Height; y += 7)
        for (int x = 0; x < plane.Width; x += 7)
            if (std::hypot(x - sun.X, y - sun.Y) < 0.9 * sun.R)
                inside.push_back(plane.Samples[static_cast<std::size_t>(y) * plane.Width + x]);
    std::nth_element(inside.begin(), inside.begin() + inside.size() / 2, inside.end());
    const double threshold = 0.2 * inside[inside.size() / 2];
    std::vector<char> seen(plane.Samples.size(), 0);
    std::vector<Blob> blobs;
    std::vector<std::size_t> stack;
    for (int y = 0; y < plane.Height; ++y)
        for (int x = 0; x < plane.Width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * plane.Width + x;
            if (seen[at] || plane.Samples[at] >= threshold
                || std::hypot(x - sun.X, y - sun.Y) > 0.97 * sun.R)
                continue;
            Blob blob;
            stack = { at };
            seen[at] = 1;
            while (!stack.empty()) {
                const std::size_t p = stack.back();
                stack.pop_back();
                const int px = static_cast<int>(p % plane.Width),
                          py = static_cast<int>(p / plane.Width);
                blob.X += px;
                blob.Y += py;
                blob.Area += 1;
                const int dx[4] = { 1, -1, 0, 0 }, dy[4] = { 0, 0, 1, -1 };
                for (int k = 0; k < 4; ++k) {
                    const int qx = px + dx[k], qy = py + dy[k];
                    if (qx < 0 || qy < 0 || qx >= plane.Width || qy >= plane.Height)
                        continue;
                    const std::size_t q = static_cast<std::size_t>(qy) * plane.Width + qx;
                    if (!seen[q] && plane.Samples[q] < threshold) {
                        seen[q] = 1;
                        stack.push_back(q);
                    }
                }
            }
            if (blob.Area >= 12) {
                blob.X /= blob.Area;
                blob.Y /= blob.Area;
                blobs.push_back(blob);
            }
        }
    return blobs;
}

// The circle a user sets with keys at a reduced size, in full-size pixels:
// whole reduced pixels, mapped back with u = (u' + 0.5) s - 0.5.
FitTypes::Circle ReducedSeed(const FitTypes::Circle& c, int scale, double dx, double dy)
{
    const double u = std::round((c.X + dx + 0.5) / scale - 0.5);
    const double v = std::round((c.Y + dy + 0.5) / scale - 0.5);
    const double r = std::max(1.0, std::round(c.R / scale));
    return { (u + 0.5) * scale - 0.5, (v + 0.5) * scale - 0.5, r * scale };
}

// Fits from seeds at every size, 0 and 20 px off in eight directions; prints
// the largest distance from the fit at size 1 from the unmoved seed.
void CompareSizes(const std::string& name, const GreyPlane::Plane& plane,
    const FitTypes::Circle& start, const FitTypes::Circle* sun)
{
    const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
    auto fit = [&](const FitTypes::Circle& seed) {
        return sun == nullptr ? LimbFit::FitSunLimb(view, seed)
                              : LimbFit::FitPlanet(view, seed, *sun);
    };
    const FitTypes::Fit reference = fit(start);
    if (reference.Result != FitTypes::Outcome::Fitted) {
        std::printf("%-28s refused: %s\n", name.c_str(), LimbFit::OutcomeName(reference.Result));
        return;
    }
    std::printf("%-28s x %9.3f y %9.3f r %8.3f  sigma %.3f", name.c_str(), reference.Fitted.X,
        reference.Fitted.Y, reference.Fitted.R, std::sqrt(reference.Covariance[0]));
    const double offset = sun == nullptr ? 20 : std::min(20.0, 1.5 * start.R);
    for (int scale : { 1, 2, 4, 8 }) {
        double worst = 0;
        int refused = 0;
        for (int k = 0; k <= 8; ++k) {
            const double angle = k * Pi / 4;
            const double d = k == 8 ? 0 : offset;
            const FitTypes::Fit f
                = fit(ReducedSeed(start, scale, d * std::cos(angle), d * std::sin(angle)));
            if (f.Result != FitTypes::Outcome::Fitted) {
                ++refused;
                continue;
            }
            worst = std::max(worst,
                std::hypot(f.Fitted.X - reference.Fitted.X, f.Fitted.Y - reference.Fitted.Y));
        }
        std::printf("  size %d: %.4f%s", scale, worst,
            refused ? (" (" + std::to_string(refused) + " refused)").c_str() : "");
    }
    std::printf("\n");
}

int Photos(const std::string& folder)
{
    std::printf("Fits at full size from seeds set at sizes 1, 2, 4, 8 (mapped to full size) and\n"
                "20 px off in 8 directions: the largest distance of the centre from the fit at\n"
                "size 1 (full-size px; goal <= 0.1)\n");
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(folder + "/mercury2016_sdo_hmi_composite.jpg", plane);
    std::printf(
        "composite: %d x %d, channels kept %u\n", plane.Width, plane.Height, plane.KeptChannels);
    FitTypes::Circle sun = FindSun(plane);
    const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
    CompareSizes("composite Sun", plane, sun, nullptr);
    const FitTypes::Fit sunFit = LimbFit::FitSunLimb(view, sun);
    sun = sunFit.Fitted;
    // Mercury's dots: the compact dark blobs along the row, second from each
    // end and the one nearest the middle.
    std::vector<Blob> dots; // of Mercury's size, below the spots
    for (const Blob& b : FindDarkBlobs(plane, sun))
        if (b.Area > 300 && b.Area < 700 && b.Y > sun.Y + 0.2 * sun.R)
            dots.push_back(b);
    std::sort(dots.begin(), dots.end(), [](const Blob& a, const Blob& b) { return a.X < b.X; });
    if (dots.size() >= 3) {
        const std::size_t picks[3] = { 1, dots.size() / 2, dots.size() - 2 };
        for (std::size_t pick : picks) {
            const Blob& b = dots[pick];
            char name[64];
            std::snprintf(name, sizeof name, "composite dot %zu of %zu", pick + 1, dots.size());
            CompareSizes(name, plane, { b.X, b.Y, std::sqrt(b.Area / Pi) }, &sun);
        }
    }

    GreyPlane::DecodeJpegFile(folder + "/sdo_hmi_intensitygram_2022-04_1024.jpg", plane);
    const FitTypes::GreyView hmi { plane.Width, plane.Height, plane.Samples.data() };
    std::printf("intensitygram: %d x %d, channels kept %u\n", plane.Width, plane.Height,
        plane.KeptChannels);
    FitTypes::Circle hmiSun = FindSun(plane);
    CompareSizes("intensitygram Sun", plane, hmiSun, nullptr);
    hmiSun = LimbFit::FitSunLimb(hmi, hmiSun).Fitted;
    // The round spot: the compact dark blob nearest the disc's upper middle.
    std::vector<Blob> spots = FindDarkBlobs(plane, hmiSun);
    std::sort(spots.begin(), spots.end(), [&](const Blob& a, const Blob& b) {
        return std::hypot(a.X - 600, a.Y - 360) < std::hypot(b.X - 600, b.Y - 360);
    });
    for (std::size_t i = 0; i < std::min<std::size_t>(1, spots.size()); ++i) {
        const Blob& b = spots[i];
        const FitTypes::Circle seed { b.X, b.Y, std::sqrt(b.Area / Pi) };
        for (int scale : { 1, 2, 4, 8 }) {
            const FitTypes::Fit f = LimbFit::FitPlanet(hmi, ReducedSeed(seed, scale, 0, 0), hmiSun);
            std::printf("round spot at %.1f %.1f, seeded at size %d: %s\n", b.X, b.Y, scale,
                LimbFit::OutcomeName(f.Result));
        }
    }
    return 0;
}

} // namespace
