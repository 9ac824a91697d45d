#include "Kern2.h"

#include "FensterGraf.h"
#include "Kern.h"

#include <QImage>
#include <QString>

#include <cassert>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace Kern2 {

namespace {

// Pixels of an ellipse around the origin: row dy (|dy| <= ry) holds the
// columns |dx| <= HalfWidth(dy). Depends on |dy| only, so every shape built
// from it is symmetric about its centre.
int HalfWidth(int dy, int rx, int ry)
{
    if (dy < -ry || dy > ry)
        return -1;
    const double t = dy / (ry + 0.5);
    return static_cast<int>(std::floor((rx + 0.5) * std::sqrt(1.0 - t * t)));
}

// Calls plot(dx, dy) for every pixel of the ellipse with a 4-neighbour
// outside it: a closed 8-connected outline.
template <typename Plot> void ForEachOutlinePixel(int rx, int ry, Plot plot)
{
    for (int dy = -ry; dy <= ry; ++dy) {
        const int half = HalfWidth(dy, rx, ry);
        const int inner
            = std::min({ HalfWidth(dy - 1, rx, ry), HalfWidth(dy + 1, rx, ry), half - 1 });
        for (int dx = inner + 1; dx <= half; ++dx) {
            plot(dx, dy);
            if (dx != 0)
                plot(-dx, dy);
        }
    }
}

void PlotPixel(int x, int y, FensterGraf::Rgb color)
{
    QImage& canvas = FensterGraf::Canvas();
    if (x >= 0 && y >= 0 && x < canvas.width() && y < canvas.height())
        canvas.setPixel(x, y, qRgb(color.R, color.G, color.B));
}

// Screen angle in degrees, 0..360: 0 right, 90 up.
double ScreenAngle(int dx, int dy)
{
    const double degrees = std::atan2(-dy, dx) * 180.0 / std::numbers::pi;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

struct DirectionPoint {
    int X, Y;
    bool operator==(const DirectionPoint&) const = default;
};

DirectionPoint DirectionOf(double degrees)
{
    const double radians = degrees * std::numbers::pi / 180.0;
    return { static_cast<int>(std::nearbyint(100 * std::cos(radians))),
        -static_cast<int>(std::nearbyint(100 * std::sin(radians))) };
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
    const DirectionPoint from = DirectionOf(startDegrees);
    const DirectionPoint to = DirectionOf(endDegrees);
    const bool full = from == to;
    const double start = ScreenAngle(from.X, from.Y);
    const double span = std::fmod(ScreenAngle(to.X, to.Y) - start + 360.0, 360.0);
    constexpr double Slack = 1e-9; // pixels exactly on a ray belong to the arc
    const FensterGraf::Rgb pen = Kern::Tools.PenColor;
    ForEachOutlinePixel(r, r, [&](int dx, int dy) {
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
    const FensterGraf::Rgb brush = Kern::Tools.BrushColor;
    for (int dy = -ry; dy <= ry; ++dy) {
        const int half = HalfWidth(dy, rx, ry);
        for (int dx = -half; dx <= half; ++dx)
            PlotPixel(x + dx, y + dy, brush);
    }
    assert(Kern::FillBorder >= 0 && Kern::FillBorder < 256 && "colour numbers are 0..255");
    const FensterGraf::Rgb outline
        = FensterGraf::Palette[static_cast<std::size_t>(Kern::FillBorder)];
    ForEachOutlinePixel(rx, ry, [&](int dx, int dy) { PlotPixel(x + dx, y + dy, outline); });
    FensterGraf::RequestRepaint();
}

void SaveScreenRect(const std::string& name, int x1, int y1, int x2, int y2)
{
    if (x2 < x1 || y2 < y1)
        throw std::runtime_error("SaveScreenRect needs x1 <= x2 and y1 <= y2");
    const int width = x2 - x1 + 1;
    const int height = y2 - y1 + 1;
    // The area excludes column x2 and row y2 and is stretched by one pixel.
    const QImage area
        = FensterGraf::Canvas().copy(x1, y1, std::max(x2 - x1, 1), std::max(y2 - y1, 1));
    QImage picture = area.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                         .convertToFormat(QImage::Format_RGB888);
    if (!Kern::ColorMode)
        picture = Thresholded(picture);
    if (!picture.save(QString::fromStdString(name), "BMP"))
        throw std::runtime_error("Cannot write the picture " + name);
}

} // namespace Kern2
