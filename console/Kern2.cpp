// SPDX-License-Identifier: GPL-3.0-or-later
#include "Kern2.h"

#include "FensterGraf.h"
#include "Files.h"
#include "Kern.h"
#include "Mathe.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <stdexcept>
#include <system_error>

namespace Kern2 {

namespace {

// Pixels of an ellipse around the origin: row dy (|dy| <= ry) holds the
// columns |dx| <= HalfWidth(dy). Depends on |dy| only, so every shape built
// from it is symmetric about its centre. 64 bits: dy +- 1 and the offsets of
// far centres stay in range.
long long HalfWidth(long long dy, long long rx, long long ry)
{
    if (dy < -ry || dy > ry)
        return -1;
    const double t = static_cast<double>(dy) / (static_cast<double>(ry) + 0.5);
    return static_cast<long long>(
        std::floor((static_cast<double>(rx) + 0.5) * std::sqrt(1.0 - t * t)));
}

// The offsets from a centre (x, y) that lie on the canvas.
struct CanvasOffsets {
    long long Left, Right, Top, Bottom; // dx in Left..Right, dy in Top..Bottom
};

CanvasOffsets OffsetsOnCanvas(int x, int y)
{
    const QImage& canvas = FensterGraf::Canvas();
    return { -static_cast<long long>(x), canvas.width() - 1LL - x, -static_cast<long long>(y),
        canvas.height() - 1LL - y };
}

// Calls plot(dx, dy) for every pixel of the ellipse around (x, y) that has a
// 4-neighbour outside it (a closed 8-connected outline) and lies on the
// canvas. Only rows and columns on the canvas are visited, so any radius
// costs time by the canvas size. Radii must not be negative.
template <typename Plot> void ForEachOutlinePixel(int x, int y, int rx, int ry, Plot plot)
{
    const CanvasOffsets on = OffsetsOnCanvas(x, y);
    const long long top = std::max<long long>(-ry, on.Top);
    const long long bottom = std::min<long long>(ry, on.Bottom);
    for (long long dy = top; dy <= bottom; ++dy) {
        const long long half = HalfWidth(dy, rx, ry);
        const long long inner
            = std::min({ HalfWidth(dy - 1, rx, ry), HalfWidth(dy + 1, rx, ry), half - 1 });
        // The outline of the row: the columns inner < |dx| <= half.
        const long long nearest = inner + 1;
        for (long long dx = std::max(nearest, on.Left); dx <= std::min(half, on.Right); ++dx)
            plot(dx, dy);
        const long long leftEnd = std::min(-std::max(nearest, 1LL), on.Right); // dx 0 is done
        for (long long dx = std::max(-half, on.Left); dx <= leftEnd; ++dx)
            plot(dx, dy);
    }
}

void PlotPixel(long long x, long long y, QRgb color)
{
    QImage& canvas = FensterGraf::Canvas();
    assert(x >= 0 && y >= 0 && x < canvas.width() && y < canvas.height() && "clipped before");
    reinterpret_cast<QRgb*>(canvas.scanLine(static_cast<int>(y)))[x] = color;
}

QRgb ToQRgb(FensterGraf::Rgb color)
{
    return qRgb(color.R, color.G, color.B);
}

// Screen angle in degrees, 0..360: 0 right, 90 up.
double ScreenAngle(long long dx, long long dy)
{
    const double degrees
        = Mathe::Degrees(std::atan2(-static_cast<double>(dy), static_cast<double>(dx)));
    return degrees < 0 ? degrees + 360.0 : degrees;
}

struct DirectionPoint {
    int X, Y;
    bool operator==(const DirectionPoint&) const = default;
};

DirectionPoint DirectionOf(double degrees)
{
    // Reduced first: a huge angle must not become an infinite one.
    degrees = std::isfinite(degrees) ? std::fmod(degrees, 360.0) : 0.0;
    const double radians = Mathe::Radians(degrees);
    return { static_cast<int>(std::nearbyint(100 * std::cos(radians))),
        -static_cast<int>(std::nearbyint(100 * std::sin(radians))) };
}

// Writes the bytes to a new file beside name and renames it over name, so
// that name holds the old file or the new one whole, never a part. Throws
// std::system_error with errno; the new file is then gone again.
void ReplaceFile(const std::string& name, const char* data, std::size_t size)
{
    const std::size_t slash = name.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    std::string temporary = folder + "." + name.substr(folder.size()) + ".XXXXXX";
    // A file over a full disk reports it when written, not when created.
    std::signal(SIGXFSZ, SIG_IGN);
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "Cannot write the picture " + name);
    bool stillOpen = true;
    const auto fail = [&](int error) {
        if (stillOpen)
            ::close(fd);
        ::unlink(temporary.c_str());
        throw std::system_error(error, std::generic_category(), "Cannot write the picture " + name);
    };
    // The permissions a plain new file gets, not mkstemp's private ones.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
        fail(errno);
    if (const int error = Files::WriteAll(fd, data, size); error != 0)
        fail(error);
    if (::fsync(fd) != 0)
        fail(errno);
    stillOpen = false;
    if (::close(fd) != 0 || ::rename(temporary.c_str(), name.c_str()) != 0)
        fail(errno);
}

QImage Thresholded(const QImage& picture)
{
    QImage mono(picture.size(), QImage::Format_Mono);
    mono.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            mono.setPixel(x, y, qGray(picture.pixel(x, y)) >= 128 ? 1 : 0);
    mono.setDotsPerMeterX(picture.dotsPerMeterX());
    mono.setDotsPerMeterY(picture.dotsPerMeterY());
    return mono;
}

} // namespace

void SetFontSize(int pointSize)
{
    Kern::SelectFont(Kern::Tools.FontName, pointSize, Kern::Tools.FontBold ? 1 : 0);
}

void SetPenColor(int c)
{
    assert(c >= 0 && c < 256 && "colour numbers are 0..255");
    Kern::Tools.PenColor = FensterGraf::Palette[static_cast<std::size_t>(c)];
}

void DrawArc(int x, int y, int r, double startDegrees, double endDegrees)
{
    if (r < 0)
        return;
    const DirectionPoint from = DirectionOf(startDegrees);
    const DirectionPoint to = DirectionOf(endDegrees);
    const bool full = from == to;
    const double start = ScreenAngle(from.X, from.Y);
    const double span = std::fmod(ScreenAngle(to.X, to.Y) - start + 360.0, 360.0);
    constexpr double Slack = 1e-9; // pixels exactly on a ray belong to the arc
    const QRgb pen = ToQRgb(Kern::Tools.PenColor);
    ForEachOutlinePixel(x, y, r, r, [&](long long dx, long long dy) {
        if (!full) {
            const double along = std::fmod(ScreenAngle(dx, dy) - start + 360.0, 360.0);
            if (along > span + Slack && along < 360.0 - Slack)
                return;
        }
        PlotPixel(x + dx, y + dy, pen);
    });
    FensterGraf::RequestRepaint();
}

void DrawEllipse(int x, int y, int rx, int ry)
{
    if (rx < 0 || ry < 0)
        return;
    QImage& canvas = FensterGraf::Canvas();
    const QRgb brush = ToQRgb(Kern::Tools.BrushColor);
    const CanvasOffsets on = OffsetsOnCanvas(x, y);
    const long long top = std::max<long long>(-ry, on.Top);
    const long long bottom = std::min<long long>(ry, on.Bottom);
    for (long long dy = top; dy <= bottom; ++dy) {
        const long long half = HalfWidth(dy, rx, ry);
        const long long left = std::max(-half, on.Left);
        const long long right = std::min(half, on.Right);
        if (left > right)
            continue;
        QRgb* row = reinterpret_cast<QRgb*>(canvas.scanLine(static_cast<int>(y + dy)));
        std::fill(row + (x + left), row + (x + right + 1), brush);
    }
    assert(Kern::FillBorder >= 0 && Kern::FillBorder < 256 && "colour numbers are 0..255");
    const QRgb outline = ToQRgb(FensterGraf::Palette[static_cast<std::size_t>(Kern::FillBorder)]);
    ForEachOutlinePixel(
        x, y, rx, ry, [&](long long dx, long long dy) { PlotPixel(x + dx, y + dy, outline); });
    FensterGraf::RequestRepaint();
}

void SaveScreenRect(const std::string& name, int x1, int y1, int x2, int y2)
{
    if (x2 < x1 || y2 < y1)
        throw std::runtime_error("SaveScreenRect needs x1 <= x2 and y1 <= y2");
    // Writing to a FIFO or a device would wait for ever or write nowhere.
    std::error_code error;
    const auto type = std::filesystem::status(name, error).type();
    if (type != std::filesystem::file_type::not_found
        && type != std::filesystem::file_type::regular)
        throw std::runtime_error("Cannot write the picture " + name + ": not a regular file");
    const int width = x2 - x1 + 1;
    const int height = y2 - y1 + 1;
    // The area excludes column x2 and row y2 and is stretched by one pixel.
    const QImage area
        = FensterGraf::Canvas().copy(x1, y1, std::max(x2 - x1, 1), std::max(y2 - y1, 1));
    QImage picture = area.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                         .convertToFormat(QImage::Format_RGB888);
    if (!Kern::ColorMode)
        picture = Thresholded(picture);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "BMP"))
        throw std::runtime_error("Cannot write the picture " + name);
    ReplaceFile(name, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace Kern2
