// SPDX-License-Identifier: GPL-3.0-or-later
// bench_series [SERIES_PER_TRANSIT]: for the transits of Venus of 2004 and
// 2012 and of Mercury of 2016 and 2019, each seen from two well separated
// sites, many pairs of synthetic series (other starts, spacings, counts and
// offsets for each site, the generator's world varied too) reduced both
// ways; with noise the pictures are also taken up to half a second off the
// whole second their file gives. Prints the rigorous reduction's bias without noise, its pull
// (error over stated sigma) with noise, and the formula reduction against the formula applied to
// the true positions at its moments.
#include "Ephemeris.h"
#include "SeriesGenerator.h"
#include "SeriesReduction.h"
#include "TransitModel.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr double TrueParallax = 8.794143;

struct Transit {
    const char* Name;
    Ephemeris::CalendarDate Date;
    bool Venus;
    SeriesGenerator::Site Sites[2];
    double From, To; // UTC seconds of the window both sites see
    double Sigma; // noise, solar radii
};

struct Figures {
    std::vector<double> Values;
    void Add(double v) { Values.push_back(v); }
    double Mean() const
    {
        double s = 0;
        for (double v : Values)
            s += v;
        return Values.empty() ? NAN : s / static_cast<double>(Values.size());
    }
    double Spread() const
    {
        const double m = Mean();
        double s = 0;
        for (double v : Values)
            s += (v - m) * (v - m);
        return Values.size() < 2 ? NAN : std::sqrt(s / static_cast<double>(Values.size() - 1));
    }
    double Rms() const
    {
        double s = 0;
        for (double v : Values)
            s += v * v;
        return Values.empty() ? NAN : std::sqrt(s / static_cast<double>(Values.size()));
    }
};

std::vector<SeriesReduction::Observation> Observations(
    const std::vector<SeriesGenerator::Picture>& pictures, int site)
{
    std::vector<SeriesReduction::Observation> out;
    for (const auto& p : pictures)
        out.push_back({ site, p.Seconds, p.Measured.X, p.Measured.Y, p.Sigma, p.Sigma, 0 });
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    const std::vector<Transit> transits {
        { "Venus 2004-06-08", { 2004, 6, 8 }, true,
            { { 59.91, 10.75, 30 }, { -33.93, 18.42, 320 } }, 7 * 3600.0, 11 * 3600.0, 0.0008 },
        { "Venus 2012-06-06", { 2012, 6, 6 }, true,
            { { 43.06, 141.35, 20 }, { -42.88, 147.33, 540 } }, 0.3 * 3600.0, 4.5 * 3600.0,
            0.0008 },
        { "Mercury 2016-05-09", { 2016, 5, 9 }, false,
            { { 59.91, 10.75, 30 }, { -22.90, -43.20, 10 } }, 11.8 * 3600.0, 17.0 * 3600.0,
            0.0008 },
        { "Mercury 2019-11-11", { 2019, 11, 11 }, false,
            { { 45.42, -75.70, 70 }, { -33.45, -70.67, 1500 } }, 13.0 * 3600.0, 17.5 * 3600.0,
            0.0008 },
    };
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> unit(0, 1);
    std::printf("solar parallax of the generator's world: %.6f\"\n", TrueParallax);
    std::printf("%-20s %10s %10s %10s %8s %8s %10s %8s\n", "transit", "bias%", "rig.pull",
        "rig.sig\"", "form.off", "form.pl", "form.sig\"", "dropped");
    for (const Transit& t : transits) {
        Figures bias, pull, sigmas, formulaOffset, formulaPull, formulaSigmas;
        int dropped = 0;
        for (int run = 0; run < runs; ++run) {
            SeriesGenerator::World world;
            world.Ut1MinusUtc = -0.8 + 1.6 * unit(random);
            world.PolarX = -0.3 + 0.6 * unit(random);
            world.PolarY = -0.3 + 0.6 * unit(random);
            world.SolarRadiusKm = 695700 + 400 * unit(random);
            for (int k = 0; k < 3; ++k) {
                world.PlanetOffsetKm[k] = -500 + 1000 * unit(random);
                world.PlanetDriftKmPerDay[k] = -200 + 400 * unit(random);
            }
            SeriesGenerator::SeriesPlan plans[2];
            const double span = t.To - t.From;
            for (int s = 0; s < 2; ++s) {
                plans[s].Count = 8 + static_cast<int>(30 * unit(random));
                plans[s].FirstSeconds
                    = t.From + (s == 0 ? 0 : 10 + 80 * unit(random)) + 600 * unit(random);
                plans[s].Spacing = (span - 1200) / plans[s].Count * (0.8 + 0.2 * unit(random));
                plans[s].Seed = random();
            }
            SeriesReduction::Setup setup;
            setup.Date = t.Date;
            setup.Planet = t.Venus ? Ephemeris::Planet::Venus : Ephemeris::Planet::Mercury;
            for (int s = 0; s < 2; ++s)
                setup.Sites[s]
                    = { t.Sites[s].Latitude * M_PI / 180, t.Sites[s].Longitude * M_PI / 180 };
            for (const bool noisy : { false, true }) {
                std::vector<SeriesReduction::Observation> all;
                std::vector<std::vector<SeriesGenerator::Picture>> series(2);
                for (int s = 0; s < 2; ++s) {
                    plans[s].Sigma = noisy ? t.Sigma : 0;
                    plans[s].FractionalMoments = noisy;
                    series[s] = SeriesGenerator::MakeSeries(t.Date.Year, t.Date.Month, t.Date.Day,
                        t.Venus, t.Sites[s], world, plans[s]);
                    const auto o = Observations(series[s], s);
                    all.insert(all.end(), o.begin(), o.end());
                }
                const SeriesReduction::Result r = SeriesReduction::ReduceRigorously(setup, all);
                if (!r.Done)
                    continue;
                dropped += static_cast<int>(r.Dropped.size());
                if (!noisy) {
                    bias.Add((r.Parallax - TrueParallax) / TrueParallax * 100);
                    continue;
                }
                pull.Add((r.Parallax - TrueParallax) / r.Sigma);
                sigmas.Add(r.Sigma);
                // The formula on the true positions at the reduction's moments.
                const SeriesReduction::FormulaResult f
                    = SeriesReduction::ReduceByFormula(setup, all);
                if (!f.Summary.Done)
                    continue;
                double sum = 0;
                for (const auto& m : f.Moments) {
                    const auto p1 = SeriesGenerator::Topocentric(t.Date.Year, t.Date.Month,
                        t.Date.Day, m.Seconds, t.Venus, t.Sites[0], world);
                    const auto p2 = SeriesGenerator::Topocentric(t.Date.Year, t.Date.Month,
                        t.Date.Day, m.Seconds, t.Venus, t.Sites[1], world);
                    sum += SeriesReduction::ApplyFormula(setup, m.Seconds, p1.X, p1.Y, p2.X, p2.Y)
                               .Parallax;
                }
                const double exact = sum / static_cast<double>(f.Moments.size());
                formulaOffset.Add(f.Summary.Parallax - exact);
                formulaPull.Add((f.Summary.Parallax - exact) / f.Summary.Sigma);
                formulaSigmas.Add(f.Summary.Sigma);
            }
        }
        std::printf("%-20s %+10.4f %10.3f %10.4f %+8.4f %8.3f %10.4f %8d\n", t.Name, bias.Mean(),
            pull.Spread(), sigmas.Mean(), formulaOffset.Mean(), formulaPull.Rms(),
            formulaSigmas.Mean(), dropped);
        std::printf(
            "%-20s bias spread %.4f%%, worst %.4f%%; pull mean %+.3f over %zu series\n", "",
            bias.Spread(),
            [&] {
                double w = 0;
                for (double v : bias.Values)
                    w = std::max(w, std::fabs(v));
                return w;
            }(),
            pull.Mean(), pull.Values.size());
    }
}
