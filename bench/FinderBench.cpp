// SPDX-License-Identifier: GPL-3.0-or-later
// The finder and the fit on generated photographs of a transit, without a
// seed: per class of picture, the share found and measured, the centre
// errors, the wrong objects, the refusals by reason, the pulls, and the time.
//   bench_finder [pictures, 300] [largest size in megapixels, 24]
#include "Finder.h"
#include "GreyPlane.h"
#include "LimbScenes.h"
#include "TransitScenes.h"
#include "Xorshift.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Random = Xorshift;

struct Truth {
    std::vector<TransitScenes::Disc> Suns, Planets; // planet k on sun k
    std::string Class;
};

// A picture of a random class; the planets lie where the class says.
Truth MakeScene(Random& random, int index, int largestMegapixels, TransitScenes::Scene& scene)
{
    Truth truth;
    const int megapixels
        = index % 20 == 19 && largestMegapixels >= 100 ? 100 : (index % 5 == 4 ? 24 : 6);
    const double side = std::sqrt(megapixels * 1e6 / 6.0);
    scene = {};
    scene.Width = static_cast<int>(3 * side);
    scene.Height = static_cast<int>(2 * side);
    scene.Seed = static_cast<std::uint32_t>(index + 1);
    const int exposures = random.Uniform() < 0.5 ? 1 : 2;
    const bool overlapping = exposures == 2 && random.Uniform() < 0.4;
    const double h = scene.Height;
    const double r = exposures == 1
        ? h * random.Between(0.3, 0.42)
        : h * (overlapping ? random.Between(0.3, 0.38) : random.Between(0.2, 0.24));
    const double cy = h / 2 + random.Between(-0.05, 0.05) * h;
    const bool cut = exposures == 1 && random.Uniform() < 0.1;
    if (exposures == 1) {
        const double cx = cut ? r * random.Between(0.3, 0.6)
                              : scene.Width / 2.0 + random.Between(-0.1, 0.1) * h;
        truth.Suns.push_back({ cx, cy, r });
    } else {
        const double gap
            = overlapping ? random.Between(1.2, 1.7) * r : random.Between(2.15, 2.6) * r;
        const double tilt = random.Between(-0.1, 0.1);
        const double cx = scene.Width / 2.0 - gap / 2;
        truth.Suns.push_back({ cx, cy - gap * tilt / 2, r });
        truth.Suns.push_back({ cx + gap, cy + gap * tilt / 2, r });
    }
    const bool mercury = random.Uniform() < 0.5;
    const double planetR = r * (mercury ? 1.0 / 160 : 1.0 / 32) * random.Between(0.9, 1.1);
    const double where = random.Uniform();
    const double rho = where < 0.6
        ? random.Between(0.05, 0.8)
        : (where < 0.85 ? random.Between(0.8, 0.95) : random.Between(0.95, 0.99));
    const char* place = where < 0.6 ? "inside" : (where < 0.85 ? "near limb" : "at limb");
    const double angle = random.Between(0, 2 * 3.14159265);
    for (const auto& sun : truth.Suns) {
        // The planet moves a little between the exposures.
        const double a = angle + 0.002 * truth.Planets.size();
        truth.Planets.push_back(
            { sun.X + rho * r * std::cos(a), sun.Y + rho * r * std::sin(a), planetR });
    }
    scene.Suns = truth.Suns;
    scene.Planets = truth.Planets;
    const int spots = static_cast<int>(random.Between(0, 5));
    for (int s = 0; s < spots; ++s) {
        TransitScenes::Spot spot;
        const bool beside = s == 0 && random.Uniform() < 0.5;
        const double sr = beside ? random.Between(0.05, 0.8) : random.Between(0, 0.9);
        const double sa = beside ? angle + random.Between(0.05, 0.2) : random.Between(0, 6.283);
        spot.DX = sr * r * std::cos(sa);
        spot.DY = sr * r * std::sin(sa);
        // Some umbrae of a planet's size, some smaller, some larger.
        spot.Umbra = r * random.Between(1.0 / 250, 1.0 / 40);
        spot.PenumbraRatio = random.Between(1.7, 2.6);
        spot.UmbraLevel = random.Between(0.15, 0.4);
        spot.PenumbraLevel = random.Between(0.7, 0.85);
        spot.Phase = random.Between(0, 6.283);
        scene.Spots.push_back(spot);
    }
    const double law = random.Uniform();
    scene.Law = law < 0.34 ? TransitScenes::Darkening::Linear
                           : (law < 0.67 ? TransitScenes::Darkening::Quadratic
                                         : TransitScenes::Darkening::Polynomial550);
    scene.U1 = random.Between(0.4, 0.65);
    scene.U2 = random.Between(0.1, 0.3);
    scene.Psf
        = random.Uniform() < 0.5 ? TransitScenes::Seeing::Gaussian : TransitScenes::Seeing::Moffat;
    scene.Sigma = random.Between(0.7, 2.5) * std::sqrt(megapixels / 6.0);
    scene.MoffatBeta = random.Between(2.5, 4.5);
    scene.Exposure = exposures == 2 ? random.Between(0.3, 0.45) : random.Between(0.5, 0.85);
    scene.Vignetting = random.Between(0, 0.12);
    scene.Cloud = random.Uniform() < 0.15 ? random.Between(0.1, 0.35) : 0;
    scene.Faculae = static_cast<int>(random.Between(0, 6));
    scene.Quality = static_cast<int>(random.Between(75, 96));
    truth.Class = std::to_string(megapixels) + " MP, "
        + (exposures == 1 ? (cut ? "1 cut" : "1") : (overlapping ? "2 overlapping" : "2 apart"))
        + ", " + (mercury ? "Mercury " : "Venus ") + place + (scene.Cloud > 0 ? ", cloud" : "");
    return truth;
}

struct Tally {
    int Pictures = 0, Measured = 0, Wrong = 0;
    std::map<std::string, int> Refusals;
    std::vector<double> SunErrors, PlanetErrors, Pulls, RadiusPulls;
    double Seconds = 0;
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

double Rms(const std::vector<double>& v)
{
    double sum = 0;
    for (double x : v)
        sum += x * x;
    return v.empty() ? NAN : std::sqrt(sum / static_cast<double>(v.size()));
}

const char* ReasonName(Finder::Outcome outcome)
{
    // In the order of Finder::Outcome.
    constexpr std::array<const char*, 7> names { "found", "no sun", "too many discs",
        "at frame edge", "sun not fitted", "no planet", "several planets" };
    return names[static_cast<std::size_t>(outcome)];
}

// Adds the circle's errors against the truth; false when it is a wrong object.
bool Compare(const FitTypes::Fit& fit, const TransitScenes::Disc& truth,
    std::vector<double>& errors, Tally& tally)
{
    const double dx = fit.Fitted.X - truth.X, dy = fit.Fitted.Y - truth.Y;
    const double error = std::hypot(dx, dy);
    const double sx = std::sqrt(fit.Covariance[0]), sy = std::sqrt(fit.Covariance[4]);
    const double sr = std::sqrt(fit.Covariance[8]);
    errors.push_back(error);
    tally.Pulls.push_back(dx / sx);
    tally.Pulls.push_back(dy / sy);
    tally.RadiusPulls.push_back((fit.Fitted.R - truth.R) / sr);
    return error < std::max(4 * std::max(sx, sy), 0.5 * truth.R);
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    const int largest = argc > 2 ? std::atoi(argv[2]) : 24;
    char folder[] = "/tmp/bench_finder_XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string path = std::string(folder) + "/scene.jpg";
    Random random { 0x2545F4914F6CDD1Dull };
    std::map<std::string, Tally> tallies;
    Tally all;
    for (int index = 0; index < count; ++index) {
        TransitScenes::Scene scene;
        const Truth truth = MakeScene(random, index, largest, scene);
        std::vector<std::uint32_t> words;
        TransitScenes::Render(scene, words);
        std::vector<unsigned char> jpeg;
        if (!LimbScenes::EncodeJpeg(words, scene.Width, scene.Height, scene.Quality, jpeg)
            || !LimbScenes::WriteFile(path, jpeg))
            return 1;
        words = {};
        GreyPlane::Plane plane;
        GreyPlane::DecodeJpegFile(path, plane);
        const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
        const auto start = std::chrono::steady_clock::now();
        const Finder::Survey survey = Finder::Measure(view);
        const double seconds
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (std::getenv("BENCH_VERBOSE") != nullptr && survey.Result == Finder::Outcome::NoPlanet) {
            const auto& sun = survey.Exposures[static_cast<std::size_t>(survey.Disc)].Sun.Fitted;
            const auto& planet = truth.Planets[static_cast<std::size_t>(survey.Disc)];
            std::printf("%d %s: planet %.1f %.1f %.2f (sun r %.0f, blur %.2f)\n", index,
                truth.Class.c_str(), planet.X, planet.Y, planet.R, sun.R, scene.Sigma);
            for (const auto& dot : Finder::FindDots(view, sun)) {
                const FitTypes::Fit fit = LimbFit::FitPlanet(view, dot, sun);
                std::printf("   dot %.1f %.1f %.1f -> %s\n", dot.X, dot.Y, dot.R,
                    LimbFit::OutcomeName(fit.Result));
            }
        }
        for (Tally* tally : { &tallies[truth.Class], &all }) {
            ++tally->Pictures;
            tally->Seconds += seconds;
            if (survey.Result != Finder::Outcome::Found) {
                ++tally->Refusals[ReasonName(survey.Result)];
                continue;
            }
            bool wrong = survey.Exposures.size() != truth.Suns.size();
            for (std::size_t k = 0; k < survey.Exposures.size() && !wrong; ++k) {
                wrong |= !Compare(survey.Exposures[k].Sun, truth.Suns[k], tally->SunErrors, *tally);
                wrong |= !Compare(
                    survey.Exposures[k].Planet, truth.Planets[k], tally->PlanetErrors, *tally);
            }
            ++(wrong ? tally->Wrong : tally->Measured);
        }
    }
    std::printf("%-40s %5s %8s %6s %9s %9s %9s %9s %6s %6s %7s  %s\n", "class", "pics", "measured",
        "wrong", "sun p50", "sun p95", "pl p50", "pl p95", "pull", "pull_r", "s/pic", "refusals");
    tallies["all"] = all;
    for (const auto& [name, t] : tallies) {
        std::string refusals;
        for (const auto& [reason, n] : t.Refusals)
            refusals += reason + " " + std::to_string(n) + "; ";
        std::printf("%-40s %5d %7.1f%% %6d %9.3f %9.3f %9.3f %9.3f %6.2f %6.2f %7.3f  %s\n",
            name.c_str(), t.Pictures, 100.0 * t.Measured / t.Pictures, t.Wrong,
            Percentile(t.SunErrors, 0.5), Percentile(t.SunErrors, 0.95),
            Percentile(t.PlanetErrors, 0.5), Percentile(t.PlanetErrors, 0.95), Rms(t.Pulls),
            Rms(t.RadiusPulls), t.Seconds / t.Pictures, refusals.c_str());
    }
    std::remove(path.c_str());
    rmdir(folder);
    return 0;
}
