// SPDX-License-Identifier: GPL-3.0-or-later
// Timings and memory of the photograph display, one measurement per process
// so that a first load is a first load. bench/run.sh calls it:
//
//   bench_photograph make FILE WIDTH HEIGHT   a synthetic Sun photograph, JPEG
//   bench_photograph load FILE SCALE [N]      first decoding, then the median of N more
//   bench_photograph spawn COMMAND...         wall time of a command, its output dropped
//   bench_photograph redraw FILE [N]          RedrawPhotograph against a plain row copy
//   bench_photograph memory FILE              peak memory around a full-size load
//   bench_photograph keys FILE [N]            the work of one cursor key in the adjustment,
//                                             from taking its code to the repainted screen
//
// Times in milliseconds, memory in MB (10^6 bytes).
#include "Adjustment.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "Photograph.h"
#include "Screens.h"
#include "Settings.h"
#include "Setup.h"
#include "Texts.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <jpeglib.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A disc with limb darkening, a few spots and sensor noise: compresses
// like a camera's photograph, not like a flat test card.
int MakeJpeg(const std::string& path, int width, int height)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        return 1;
    }
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 3);
    const double cx = width / 2.0, cy = height / 2.0, radius = 0.42 * std::min(width, height);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double r = std::hypot(x - cx, y - cy) / radius;
            double level = 12;
            if (r < 1) {
                level = 230 * (0.4 + 0.6 * std::sqrt(1 - r * r));
                if (std::hypot(x - cx * 1.3, y - cy * 0.8) < radius * 0.03)
                    level *= 0.3; // a spot
            }
            level += noise(random);
            const double tint[3] = { 1.0, 0.86, 0.6 };
            for (int c = 0; c < 3; ++c)
                row[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)]
                    = static_cast<unsigned char>(std::clamp(level * tint[c], 0.0, 255.0));
        }
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return 0;
}

int Load(const std::string& path, int scale, int repeats)
{
    Bitmap::Picture picture;
    const Clock::time_point start = Clock::now();
    Photograph::DecodeJpegFile(path, scale, picture);
    const double first = MillisecondsSince(start);
    std::vector<double> warm;
    for (int i = 0; i < repeats; ++i) {
        const Clock::time_point again = Clock::now();
        Photograph::DecodeJpegFile(path, scale, picture);
        warm.push_back(MillisecondsSince(again));
    }
    std::printf(
        "first %.2f warm %.2f size %d x %d\n", first, Median(warm), picture.Width, picture.Height);
    return 0;
}

int Spawn(char** command)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, command[0], &actions, nullptr, command, environ) != 0) {
        std::perror(command[0]);
        return 1;
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double elapsed = MillisecondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", command[0]);
        return 1;
    }
    std::printf("wall %.2f\n", elapsed);
    return 0;
}

void OpenScreen(int& argc, char** argv, std::unique_ptr<QApplication>& app)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" BENCH_SCREEN);
    app = std::make_unique<QApplication>(argc, argv);
    FensterGraf::OpenConsole(QCoreApplication::applicationFilePath().toStdString());
}

// The screen's whole area from the middle of the picture, both ways.
int Redraw(const std::string& path, int repeats)
{
    Settings::IsJpeg = true;
    Settings::JpegScale = 1;
    Photograph::ShowJpegPhotograph(path, 0, 0);
    const Bitmap::Picture& picture = Photograph::PhotoJpeg;
    const int width = Kern::ScreenWidth(), height = Kern::ScreenHeight();
    Settings::PictureX = -(picture.Width - width) / 2;
    Settings::PictureY = -(picture.Height - height) / 2;
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(width) * std::size_t(height));
    std::vector<double> redraw, copy;
    for (int i = 0; i < repeats; ++i) {
        Clock::time_point start = Clock::now();
        Photograph::RedrawPhotograph();
        redraw.push_back(MillisecondsSince(start));
        start = Clock::now();
        for (int row = 0; row < height; ++row)
            std::memcpy(screen.data() + std::size_t(row) * std::size_t(width),
                picture.Pixels.data()
                    + std::size_t(row - Settings::PictureY) * std::size_t(picture.Width)
                    + std::size_t(-Settings::PictureX),
                std::size_t(width) * sizeof(std::uint32_t));
        copy.push_back(MillisecondsSince(start));
    }
    std::printf("screen %d x %d redraw %.3f copy %.3f ratio %.2f\n", width, height, Median(redraw),
        Median(copy), Median(redraw) / Median(copy));
    return 0;
}

// The adjustment screen of a two-picture measurement on the picture, as the
// setup leaves it, then N cursor keys one after the other, each from its
// code to the repainted window, against a plain copy of the visible area.
int KeyWork(const std::string& path, int keys)
{
    Texts::SetUpMessageTexts();
    Kern::LoadStandardPalette();
    Kern::SetTextBackground(Kern::Black);
    Settings::Language = 2;
    Settings::PictureName = path;
    Settings::IsJpeg = true;
    Settings::JpegScale = 1;
    Settings::PictureCount = 2;
    Settings::StartRadius = 1500;
    Adjustment::Circles[1] = { 960, 540, 0 };
    Kern::SetFillStyle(255, Kern::Black, Kern::Black);
    Kern::SelectFont("Courier", 10, 0);
    Screens::DrawAdjustmentScreen(path);
    FensterGraf::SetupDone = true;
    const int width = Kern::ScreenWidth(), height = Kern::ScreenHeight();
    const Bitmap::Picture& picture = Photograph::PhotoJpeg;
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(width) * std::size_t(height));
    std::vector<double> work, copy;
    for (int i = 0; i < keys; ++i) {
        FensterGraf::StoreKeyCode(i % 2 == 0 ? Adjustment::KeyRight : Adjustment::KeyLeft);
        Clock::time_point start = Clock::now();
        Adjustment::HandleTick();
        FensterGraf::RepaintNow();
        work.push_back(MillisecondsSince(start));
        start = Clock::now();
        for (int row = 0; row < height; ++row)
            std::memcpy(screen.data() + std::size_t(row) * std::size_t(width),
                picture.Pixels.data() + std::size_t(row) * std::size_t(picture.Width),
                std::size_t(width) * sizeof(std::uint32_t));
        copy.push_back(MillisecondsSince(start));
    }
    std::printf("screen %d x %d keys %d median %.3f worst %.3f copy %.3f ratio %.2f\n", width,
        height, keys, Median(work), *std::max_element(work.begin(), work.end()), Median(copy),
        Median(work) / Median(copy));
    return 0;
}

double ResidentMegabytes()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

int Memory(const std::string& path)
{
    Settings::IsJpeg = true;
    Settings::JpegScale = 1;
    const double before = ResidentMegabytes();
    Photograph::ShowJpegPhotograph(path, 0, 0);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double peak = double(usage.ru_maxrss) * 1024 / 1e6;
    const double picture = double(Photograph::PhotoJpeg.Pixels.size()) * 4 / 1e6;
    std::printf("picture %.1f before %.1f peak %.1f overhead %.1f\n", picture, before, peak,
        peak - picture);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "make" && argc == 5)
            return MakeJpeg(argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
        if (mode == "load" && argc >= 4)
            return Load(argv[2], std::stoi(argv[3]), argc > 4 ? std::stoi(argv[4]) : 5);
        if (mode == "spawn" && argc >= 3)
            return Spawn(argv + 2);
        if ((mode == "redraw" || mode == "keys") && argc >= 3) {
            std::unique_ptr<QApplication> app;
            OpenScreen(argc, argv, app);
            const int count = argc > 3 ? std::stoi(argv[3]) : 50;
            return mode == "redraw" ? Redraw(argv[2], count) : KeyWork(argv[2], count);
        }
        if (mode == "memory" && argc == 3) {
            std::unique_ptr<QApplication> app;
            OpenScreen(argc, argv, app);
            return Memory(argv[2]);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_photograph: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: see the head of PhotographBench.cpp\n");
    return 2;
}
