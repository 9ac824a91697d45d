// SPDX-License-Identifier: GPL-3.0-or-later
// make_series: one site's synthetic series as an audit file.
//   make_series DATE venus|mercury LAT,LON,HEIGHT FIRST(hh:mm:ss) SPACING(s)
//               COUNT SIGMA(solar radii) SEED OUTPUT
#include "SeriesGenerator.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 10) {
        std::cerr << "usage: make_series YYYY-MM-DD venus|mercury LAT,LON,HEIGHT hh:mm:ss SPACING "
                     "COUNT SIGMA SEED OUTPUT\n";
        return 2;
    }
    int year = 0, month = 0, day = 0, h = 0, m = 0, s = 0;
    SeriesGenerator::Site site;
    SeriesGenerator::SeriesPlan plan;
    const std::string planet = argv[2];
    if (std::sscanf(argv[1], "%d-%d-%d", &year, &month, &day) != 3
        || std::sscanf(argv[3], "%lf,%lf,%lf", &site.Latitude, &site.Longitude, &site.Height) != 3
        || std::sscanf(argv[4], "%d:%d:%d", &h, &m, &s) != 3
        || (planet != "venus" && planet != "mercury")) {
        std::cerr << "make_series: unreadable arguments\n";
        return 2;
    }
    plan.FirstSeconds = h * 3600 + m * 60 + s;
    plan.Spacing = std::stod(argv[5]);
    plan.Count = std::stoi(argv[6]);
    plan.Sigma = std::stod(argv[7]);
    plan.Seed = std::stoull(argv[8]);
    const auto pictures = SeriesGenerator::MakeSeries(
        year, month, day, planet == "venus", site, SeriesGenerator::World {}, plan);
    std::ofstream out(argv[9], std::ios::binary);
    out << SeriesGenerator::AuditText(pictures, "site");
    out.close();
    if (!out) {
        std::cerr << "make_series: cannot write " << argv[9] << "\n";
        return 1;
    }
    return 0;
}
