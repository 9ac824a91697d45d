// SPDX-License-Identifier: GPL-3.0-or-later
// Pixels on the canvas: bars, fill colours, lines, arcs, ellipses, clipping
// at the canvas edge, text, the running cursor, the palette and the fonts.
#include "TestSupport.h"

#include "FensterGraf.h"
#include "Kern.h"
#include "Kern2.h"

#include <QFont>
#include <QFontInfo>
#include <QImage>

#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace {

using ConsoleTesting::ConsoleTest;
using ConsoleTesting::PixelAt;
using ConsoleTesting::WhitePixel;
using FensterGraf::Rgb;

// The console's start state (ConsoleTest), under this file's name.
class DrawTest : public ConsoleTest { };

using PixelSet = std::set<std::pair<int, int>>;

// Every pixel in the rectangle that is not white.
PixelSet Drawn(int left, int top, int right, int bottom)
{
    PixelSet pixels;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (PixelAt(x, y) != WhitePixel)
                pixels.insert({ x, y });
    return pixels;
}

Rgb PaletteEntry(int c)
{
    return FensterGraf::Palette[static_cast<std::size_t>(c)];
}

// [SECTION] Bars and fill colours

TEST_F(DrawTest, FramelessBarFillsExactlyItsPixels)
{
    Kern::SetFillStyle(255, Kern::LightRed, Kern::LightRed);
    Kern::FillBar(20, 30, 10, 10);
    EXPECT_EQ(Drawn(10, 20, 45, 55).size(), 100u);
    EXPECT_EQ(PixelAt(20, 30), PaletteEntry(Kern::LightRed));
    EXPECT_EQ(PixelAt(29, 39), PaletteEntry(Kern::LightRed));
    EXPECT_EQ(PixelAt(30, 39), WhitePixel);
    EXPECT_EQ(PixelAt(29, 40), WhitePixel);
}

TEST_F(DrawTest, FramedBarHasItsFrameOnePixelOutsideAtRightAndBottom)
{
    Kern::SetFillStyle(100, Kern::LightRed, Kern::Black);
    EXPECT_EQ(Kern::FillColor, (Rgb { 114, 18, 18 }));
    Kern::FillBar(10, 10, 5, 5);
    const Rgb black { 0, 0, 0 };
    for (int i = 10; i <= 15; ++i) {
        EXPECT_EQ(PixelAt(i, 10), black) << "top " << i;
        EXPECT_EQ(PixelAt(i, 15), black) << "bottom " << i;
        EXPECT_EQ(PixelAt(10, i), black) << "left " << i;
        EXPECT_EQ(PixelAt(15, i), black) << "right " << i;
    }
    for (int y = 11; y <= 14; ++y)
        for (int x = 11; x <= 14; ++x)
            EXPECT_EQ(PixelAt(x, y), (Rgb { 114, 18, 18 }));
    EXPECT_EQ(Drawn(0, 0, 30, 30).size(), 36u);
    EXPECT_EQ(Kern::Tools.PenColor, black) << "the pen keeps the frame colour";
}

struct FillCase {
    const char* name;
    int intensity;
    int color; // standard colour number
    Rgb expected;
};

class FillStyleTest : public ConsoleTest, public testing::WithParamInterface<FillCase> { };

TEST_P(FillStyleTest, ScalesThePaletteColour)
{
    const FillCase& c = GetParam();
    Kern::SetFillStyle(c.intensity, c.color, Kern::Black);
    EXPECT_EQ(Kern::FillColor, c.expected);
    EXPECT_EQ(Kern::Tools.BrushColor, c.expected);
    Kern::FillBar(100, 100, 3, 3);
    EXPECT_EQ(PixelAt(101, 101), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Colours, FillStyleTest,
    testing::Values(FillCase { "FullIsThePaletteColour", 255, 12, { 252, 40, 40 } },
        FillCase { "HundredIsK115", 100, 12, { 114, 18, 18 } },
        FillCase { "ZeroIsBlack", 0, 15, { 0, 0, 0 } },
        FillCase { "KCappedAt255", 300, 15, { 255, 255, 255 } },
        FillCase { "JustBelowTheCap", 221, 14, { 251, 251, 72 } },
        FillCase { "NegativeIsBlack", -10, 12, { 0, 0, 0 } }),
    ConsoleTesting::RowName());

// [SECTION] Lines

struct LineCase {
    const char* name;
    int dx, dy; // from (200, 200)
};

class LineTest : public ConsoleTest, public testing::WithParamInterface<LineCase> { };

TEST_P(LineTest, SetsTheStartButNeverTheEndPixel)
{
    const LineCase& c = GetParam();
    const int x1 = 200, y1 = 200, x2 = 200 + c.dx, y2 = 200 + c.dy;
    Kern::DrawLine(x1, y1, x2, y2, Kern::Blue);
    const PixelSet pixels = Drawn(170, 170, 230, 230);
    const auto length = static_cast<std::size_t>(std::max(std::abs(c.dx), std::abs(c.dy)));
    EXPECT_EQ(pixels.size(), length);
    EXPECT_FALSE(pixels.contains({ x2, y2 }));
    if (length > 0) {
        EXPECT_EQ(PixelAt(x1, y1), PaletteEntry(Kern::Blue));
        // The pixel just before the end is set: the line is only one pixel short.
        const int sx = (c.dx > 0) - (c.dx < 0), sy = (c.dy > 0) - (c.dy < 0);
        if (std::abs(c.dx) == std::abs(c.dy) || c.dx == 0 || c.dy == 0) {
            EXPECT_TRUE(pixels.contains({ x2 - sx, y2 - sy }));
        }
    }
    EXPECT_EQ(Kern::Tools.PenColor, PaletteEntry(Kern::Blue));
}

INSTANTIATE_TEST_SUITE_P(Directions, LineTest,
    testing::Values(LineCase { "Right", 10, 0 }, LineCase { "Left", -10, 0 },
        LineCase { "Down", 0, 10 }, LineCase { "Up", 0, -10 }, LineCase { "DownRight", 10, 10 },
        LineCase { "UpLeft", -10, -10 }, LineCase { "UpRight", 10, -10 },
        LineCase { "DownLeft", -10, 10 }, LineCase { "Shallow", 12, 5 },
        LineCase { "Steep", -4, -13 }, LineCase { "OnePixel", 1, 0 },
        LineCase { "ZeroLength", 0, 0 }),
    ConsoleTesting::RowName());

// [SECTION] Arcs and ellipses

constexpr int Cx = 300, Cy = 300, R = 25;

PixelSet ArcPixels(double from, double to)
{
    Kern::ClearScreen();
    Kern2::SetPenColor(Kern::Green);
    Kern2::DrawArc(Cx, Cy, R, from, to);
    return Drawn(Cx - R - 2, Cy - R - 2, Cx + R + 2, Cy + R + 2);
}

bool InQuadrant(const std::pair<int, int>& p, int sx, int sy)
{
    return (p.first - Cx) * sx > 0 && (p.second - Cy) * sy > 0;
}

TEST_F(DrawTest, FullCircleIsSymmetricAboutItsCentre)
{
    const PixelSet circle = ArcPixels(0, 360);
    ASSERT_FALSE(circle.empty());
    for (const auto& [x, y] : circle) {
        EXPECT_TRUE(circle.contains({ 2 * Cx - x, y }));
        EXPECT_TRUE(circle.contains({ x, 2 * Cy - y }));
        EXPECT_TRUE(circle.contains({ Cx + (y - Cy), Cy + (x - Cx) })) << "symmetric at 45 degrees";
        EXPECT_LE(std::abs(x - Cx), R);
        EXPECT_LE(std::abs(y - Cy), R);
    }
    for (const auto& end :
        PixelSet { { Cx + R, Cy }, { Cx - R, Cy }, { Cx, Cy - R }, { Cx, Cy + R } })
        EXPECT_TRUE(circle.contains(end));
    EXPECT_EQ(PixelAt(Cx + R, Cy), PaletteEntry(Kern::Green));
    EXPECT_EQ(ArcPixels(0, 0), circle) << "coinciding rays draw the whole circle";
}

TEST_F(DrawTest, QuarterArcIsTheUpperRightQuarter)
{
    const PixelSet quarter = ArcPixels(0, 90);
    EXPECT_TRUE(quarter.contains({ Cx + R, Cy }));
    EXPECT_TRUE(quarter.contains({ Cx, Cy - R }));
    for (const auto& p : quarter)
        EXPECT_TRUE(p.first >= Cx && p.second <= Cy) << p.first << "," << p.second;
}

TEST_F(DrawTest, ThreeQuarterArcRunsFromTheTopOverTheLeft)
{
    const PixelSet threeQuarters = ArcPixels(90, 0);
    const PixelSet circle = ArcPixels(0, 360);
    const PixelSet quarter = ArcPixels(0, 90);
    for (const auto& end :
        PixelSet { { Cx + R, Cy }, { Cx - R, Cy }, { Cx, Cy - R }, { Cx, Cy + R } })
        EXPECT_TRUE(threeQuarters.contains(end));
    for (const auto& p : threeQuarters)
        EXPECT_FALSE(InQuadrant(p, 1, -1)) << p.first << "," << p.second;
    PixelSet together = threeQuarters;
    together.insert(quarter.begin(), quarter.end());
    EXPECT_EQ(together, circle);
}

TEST_F(DrawTest, SmallDiscHasOutlineAndFill)
{
    Kern::SetFillStyle(255, Kern::LightRed, Kern::Black);
    Kern2::SetPenColor(Kern::Blue);
    Kern2::DrawEllipse(100, 100, 3, 3);
    const Rgb black { 0, 0, 0 };
    EXPECT_EQ(PixelAt(100, 100), PaletteEntry(Kern::LightRed));
    for (const auto& [x, y] : PixelSet { { 103, 100 }, { 97, 100 }, { 100, 97 }, { 100, 103 } })
        EXPECT_EQ(PixelAt(x, y), black);
    EXPECT_EQ(PixelAt(104, 100), WhitePixel);
    const PixelSet disc = Drawn(90, 90, 110, 110);
    for (const auto& [x, y] : disc)
        EXPECT_TRUE(disc.contains({ 200 - x, 200 - y }));
    EXPECT_EQ(Kern::Tools.PenColor, PaletteEntry(Kern::Blue)) << "the pen colour is kept";
}

TEST_F(DrawTest, EllipseReachesItsRadii)
{
    Kern::SetFillStyle(255, Kern::Yellow, Kern::Blue);
    Kern2::DrawEllipse(300, 200, 20, 10);
    const PixelSet ellipse = Drawn(270, 180, 330, 220);
    int left = 1000, right = 0, top = 1000, bottom = 0;
    for (const auto& [x, y] : ellipse) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    EXPECT_EQ(left, 280);
    EXPECT_EQ(right, 320);
    EXPECT_EQ(top, 190);
    EXPECT_EQ(bottom, 210);
    EXPECT_EQ(PixelAt(300, 200), PaletteEntry(Kern::Yellow));
    EXPECT_EQ(PixelAt(320, 200), PaletteEntry(Kern::Blue));
}

// [SECTION] Clipping
// Any int coordinates and radii cost time by the canvas only, and the pixels
// on the canvas are those the same shape sets where it lies wholly on it.

// Non-white pixels of the canvas with their colours, moved by (-dx, -dy).
std::set<std::tuple<int, int, QRgb>> CanvasPixels(int dx = 0, int dy = 0)
{
    const QImage& canvas = FensterGraf::Canvas();
    std::set<std::tuple<int, int, QRgb>> pixels;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x)
            if (row[x] != qRgb(255, 255, 255))
                pixels.insert({ x - dx, y - dy, row[x] });
    }
    return pixels;
}

bool OnCanvas(long long x, long long y)
{
    return x >= 0 && y >= 0 && x < Kern::ScreenWidth() && y < Kern::ScreenHeight();
}

// A shape across the canvas edge, drawn moved by (dx, dy), within left .. bottom.
struct EdgeCase {
    const char* name;
    std::function<void(int dx, int dy)> draw;
    int left, top, right, bottom;
};

EdgeCase Line(const char* name, int x1, int y1, int x2, int y2)
{
    return { name,
        [=](int dx, int dy) { Kern::DrawLine(x1 + dx, y1 + dy, x2 + dx, y2 + dy, Kern::Blue); },
        std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2) };
}

EdgeCase Arc(const char* name, int x, int y, int r, double from, double to)
{
    return { name, [=](int dx, int dy) { Kern2::DrawArc(x + dx, y + dy, r, from, to); }, x - r,
        y - r, x + r, y + r };
}

EdgeCase Disc(const char* name, int x, int y, int rx, int ry)
{
    return { name,
        [=](int dx, int dy) {
            Kern::SetFillStyle(255, Kern::Yellow, Kern::Red);
            Kern2::DrawEllipse(x + dx, y + dy, rx, ry);
        },
        x - rx, y - ry, x + rx, y + ry };
}

class EdgeTest : public ConsoleTest, public testing::WithParamInterface<EdgeCase> { };

TEST_P(EdgeTest, KeepsThePixelsOfTheWholeShape)
{
    const EdgeCase& c = GetParam();
    c.draw(0, 0);
    const auto clipped = CanvasPixels();
    Kern::ClearScreen();
    const int dx = 200 - c.left, dy = 200 - c.top; // wholly on the canvas
    ASSERT_TRUE(c.right + dx < 1400 && c.bottom + dy < 800);
    c.draw(dx, dy);
    const auto whole = CanvasPixels(dx, dy);
    std::set<std::tuple<int, int, QRgb>> expected;
    for (const auto& pixel : whole)
        if (OnCanvas(std::get<0>(pixel), std::get<1>(pixel)))
            expected.insert(pixel);
    EXPECT_EQ(clipped, expected);
    EXPECT_TRUE(!expected.empty() && expected.size() < whole.size()) << "must cross the edge";
}

INSTANTIATE_TEST_SUITE_P(AcrossTheEdge, EdgeTest,
    testing::Values(Line("ShallowLineOverTheLeftEdge", -37, 100, 120, 160),
        Line("SteepLineOverTheRightEdge", 1590, 300, 1620, 421),
        Line("LineUpFromBelowTheBottom", 800, 1040, 700, 960),
        Line("LineOverTheTopLeftCorner", -20, -45, 33, 60),
        Line("DiagonalIntoTheBottomRightCorner", 1590, 990, 1613, 1013),
        Arc("CircleOverTheLeftEdge", 5, 500, 40, 0, 360),
        Arc("CircleOverTheTopRightCorner", 1590, 8, 30, 0, 360),
        Arc("LowerHalfOverTheBottomEdge", 800, 990, 60, 180, 0),
        Disc("SunMarkerOnTheLeftEdge", 1, 300, 3, 3), Disc("EllipseOverTheTopEdge", 700, 5, 12, 30),
        Disc("DiscOverTheRightEdge", 1597, 600, 8, 6)),
    ConsoleTesting::RowName());

// The stepping loop the console walked before it clipped, in 64 bits.
std::set<std::pair<int, int>> SteppedLineOnCanvas(
    long long x1, long long y1, long long x2, long long y2)
{
    const long long dx = std::llabs(x2 - x1), dy = -std::llabs(y2 - y1);
    long long error = dx + dy, x = x1, y = y1;
    std::set<std::pair<int, int>> pixels;
    while (x != x2 || y != y2) {
        if (OnCanvas(x, y))
            pixels.insert({ static_cast<int>(x), static_cast<int>(y) });
        const long long twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += x1 < x2 ? 1 : -1;
        }
        if (twice <= dx) {
            error += dx;
            y += y1 < y2 ? 1 : -1;
        }
    }
    return pixels;
}

std::set<std::pair<int, int>> LinePixels(int x1, int y1, int x2, int y2)
{
    Kern::ClearScreen();
    Kern::DrawLine(x1, y1, x2, y2, Kern::Blue);
    std::set<std::pair<int, int>> pixels;
    for (const auto& [x, y, colour] : CanvasPixels())
        pixels.insert({ x, y });
    return pixels;
}

TEST_F(DrawTest, LinesSetTheirBresenhamPixels)
{
    const std::array<std::array<int, 4>, 10> lines { {
        { 200, 200, 212, 205 }, // half-way ties decide pixels
        { -1000000, 0, 1000000, 1 }, // a tie at x = 0
        { 1000000, 500, -1000000, 499 },
        { 301, 1000000, 300, -1000000 }, // a tie at y = 0
        { -1000000, -2450, 1000000, 3050 },
        { 700, -2000000, 950, 1500000 },
        { 3000000, 2000000, -500, -300 },
        { 1000001, -999999, -999999, 1000001 },
        { -1234567, 999, 2345678, 0 },
        { 1599, 999, -3000001, -2000000 },
    } };
    for (const auto& [x1, y1, x2, y2] : lines) {
        const auto expected = SteppedLineOnCanvas(x1, y1, x2, y2);
        EXPECT_FALSE(expected.empty()) << x1 << "," << y1 << " " << x2 << "," << y2;
        EXPECT_EQ(LinePixels(x1, y1, x2, y2), expected)
            << x1 << "," << y1 << " " << x2 << "," << y2;
    }
}

std::set<std::pair<int, int>> PixelsWhere(const std::function<bool(int x, int y)>& set)
{
    std::set<std::pair<int, int>> pixels;
    for (int y = 0; y < Kern::ScreenHeight(); ++y)
        for (int x = 0; x < Kern::ScreenWidth(); ++x)
            if (set(x, y))
                pixels.insert({ x, y });
    return pixels;
}

TEST_F(DrawTest, LinesBetweenTheIntLimitsKeepTheirGeometry)
{
    constexpr int Min = INT_MIN, Max = INT_MAX;
    EXPECT_EQ(LinePixels(Min, 5, Max, 5), PixelsWhere([](int, int y) { return y == 5; }));
    EXPECT_EQ(LinePixels(7, Max, 7, Min), PixelsWhere([](int x, int) { return x == 7; }));
    EXPECT_EQ(LinePixels(Max, Max, Min, Min), PixelsWhere([](int x, int y) { return x == y; }));
    // One row over 2^32 - 1 columns: the step comes exactly at x = 0.
    EXPECT_EQ(LinePixels(Min, 0, Max, 1), PixelsWhere([](int, int y) { return y == 1; }));
    EXPECT_TRUE(LinePixels(Max, Min, Min, Max).empty()) << "x + y = -1 misses the canvas";
}

// How many canvas pixels have the colour.
int Count(Rgb colour)
{
    int count = 0;
    for (int y = 0; y < Kern::ScreenHeight(); ++y)
        for (int x = 0; x < Kern::ScreenWidth(); ++x)
            count += PixelAt(x, y) == colour ? 1 : 0;
    return count;
}

TEST_F(DrawTest, BarsPastTheIntRangeFillAndFrameTheirCanvasPart)
{
    Kern::SetFillStyle(255, Kern::Yellow, Kern::Blue);
    const Rgb fill = PaletteEntry(Kern::Yellow), frame = PaletteEntry(Kern::Blue);
    // x + width and y + height lie beyond INT_MAX: the top and left frame show.
    Kern::FillBar(10, 20, INT_MAX, INT_MAX);
    EXPECT_EQ(Count(frame), 1590 + 980 - 1);
    EXPECT_EQ(Count(fill), 1589 * 979);
    EXPECT_EQ(PixelAt(10, 999), frame);
    EXPECT_EQ(PixelAt(1599, 20), frame);
    Kern::ClearScreen();
    Kern::FillBar(INT_MAX - 5, 0, 100, 10);
    EXPECT_EQ(Count(WhitePixel), 1600 * 1000);
    // Wider than the canvas on both sides: two frame rows cross it whole.
    Kern::FillBar(-1000000000, 300, 2000000000, 5);
    EXPECT_EQ(Count(frame), 2 * 1600);
    EXPECT_EQ(Count(fill), 4 * 1600);
    EXPECT_EQ(PixelAt(0, 305), frame);
}

TEST_F(DrawTest, HugeCirclesDrawOnlyTheirVisibleOutline)
{
    Kern2::SetPenColor(Kern::Green);
    Kern2::DrawArc(800, 500, 100000, 0, 360);
    Kern2::DrawArc(INT_MIN, INT_MIN, INT_MAX, 0, 360);
    Kern2::DrawArc(INT_MAX, 500, INT_MAX - 1600, 0, 360); // leftmost at x = 1600
    EXPECT_TRUE(CanvasPixels().empty()) << "all three pass outside the canvas";

    // The top of a circle of radius 100000 dips into the canvas: no gaps,
    // symmetric, on the circle.
    Kern2::DrawArc(800, 100500, 100000, 0, 360);
    std::set<int> columns;
    for (const auto& [x, y, colour] : CanvasPixels()) {
        EXPECT_NEAR(std::hypot(x - 800, y - 100500), 100000, 1.0) << x << "," << y;
        EXPECT_TRUE(x == 0 || FensterGraf::Canvas().pixel(1600 - x, y) == colour) << x << "," << y;
        columns.insert(x);
    }
    EXPECT_EQ(columns.size(), 1600u);
    EXPECT_EQ(PixelAt(800, 500), PaletteEntry(Kern::Green));

    // So flat at radius INT_MAX - 500 that its top is row 500 across the canvas.
    Kern::ClearScreen();
    Kern2::DrawArc(800, INT_MAX, INT_MAX - 500, 0, 360);
    EXPECT_EQ(Count(PaletteEntry(Kern::Green)), 1600);
    EXPECT_EQ(PixelAt(0, 500), PaletteEntry(Kern::Green));
    // A disc larger than any canvas fills it, its outline far outside.
    Kern::SetFillStyle(255, Kern::Yellow, Kern::Red);
    Kern2::DrawEllipse(800, 500, INT_MAX, INT_MAX);
    EXPECT_EQ(Count(PaletteEntry(Kern::Yellow)), 1600 * 1000);
}

// [SECTION] Text

// Horizontal and vertical justification, and whether the background is solid.
using JustifyCase = std::tuple<int, int, bool>;

class JustifyTest : public ConsoleTest, public testing::WithParamInterface<JustifyCase> { };

TEST_P(JustifyTest, PlacesTheTextCellAroundThePoint)
{
    const auto [horizontal, vertical, background] = GetParam();
    constexpr int X = 400, Y = 300;
    const int w = Kern::TextWidth("abc"), h = Kern::TextHeight("abc");
    const int left = horizontal == 0 ? X : horizontal == 1 ? X - w / 2 : X - w;
    const int top = vertical == 0 ? Y - h : vertical == 1 ? Y - h / 2 : Y;
    // A yellow ground shows what the text leaves alone.
    Kern::SetFillStyle(255, Kern::Yellow, Kern::Yellow);
    Kern::FillBar(X - 100, Y - 60, 200, 120);
    Kern::SetTextJustify(horizontal, vertical);
    Kern::SetTextBackground(background ? Kern::LightGray : -1);
    Kern::WriteTextAt(X, Y, "abc", Kern::Blue);

    int glyphPixels = 0;
    for (int y = Y - 60; y < Y + 60; ++y) {
        for (int x = X - 100; x < X + 100; ++x) {
            const bool inCell = x >= left && x < left + w && y >= top && y < top + h;
            const Rgb p = PixelAt(x, y);
            if (p == PaletteEntry(Kern::Blue)) {
                ++glyphPixels;
                ASSERT_TRUE(inCell) << "glyph outside the cell at " << x << "," << y;
            } else if (inCell && background) {
                ASSERT_EQ(p, PaletteEntry(Kern::LightGray)) << x << "," << y;
            } else {
                ASSERT_EQ(p, PaletteEntry(Kern::Yellow)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(glyphPixels, 20);
    EXPECT_EQ(Kern::Tools.FontColor, PaletteEntry(Kern::Blue));
    EXPECT_EQ(Kern::Tools.BrushColor, PaletteEntry(Kern::Yellow)) << "the brush is restored";
    EXPECT_TRUE(Kern::Tools.BrushSolid);
}

std::string JustifyName(const testing::TestParamInfo<JustifyCase>& row)
{
    static const char* const horizontalNames[] { "Left", "Centre", "Right" };
    static const char* const verticalNames[] { "Bottom", "Middle", "Top" };
    const auto [h, v, solid] = row.param;
    return std::string(horizontalNames[h]) + verticalNames[v] + (solid ? "" : "Clear");
}

INSTANTIATE_TEST_SUITE_P(NinePlaces, JustifyTest,
    testing::Combine(testing::Range(0, 3), testing::Range(0, 3), testing::Bool()), JustifyName);

TEST_F(DrawTest, WriteTextAdvancesAndWrapsWhenTheTextDoesNotFit)
{
    Kern::SelectFont("Courier", 10, 0);
    const int w = Kern::TextWidth("abc");
    Kern::TextCursorX = 100;
    Kern::TextCursorY = 200;
    Kern::WriteText("abc");
    EXPECT_EQ(Kern::TextCursorX, 100 + w);
    EXPECT_EQ(Kern::TextCursorY, 200);
    // Drawn in the band from the cursor's y down by one line.
    EXPECT_FALSE(Drawn(100, 200, 100 + w - 1, 200 + Kern::CharHeight - 1).empty());
    EXPECT_TRUE(Drawn(100, 150, 100 + w - 1, 199).empty());

    Kern::TextCursorX = Kern::ScreenWidth() - w + 1;
    Kern::WriteText("abc");
    EXPECT_EQ(Kern::TextCursorX, Kern::CharWidth + w);
    EXPECT_EQ(Kern::TextCursorY, 200 + Kern::CharHeight);
    EXPECT_FALSE(Drawn(Kern::CharWidth, 200 + Kern::CharHeight, Kern::CharWidth + w - 1,
        200 + 2 * Kern::CharHeight - 1)
                     .empty());
}

TEST_F(DrawTest, TextWiderThanTheWindowIsDrawnAnyway)
{
    const std::string wide(400, 'W');
    Kern::WriteText(wide);
    EXPECT_EQ(Kern::TextCursorX, Kern::CharWidth + Kern::TextWidth(wide));
    EXPECT_FALSE(Drawn(Kern::ScreenWidth() - 20, 0, Kern::ScreenWidth() - 1, 100).empty());
}

TEST_F(DrawTest, WriteLineStopsMovingAtTheBottom)
{
    const int height = FensterGraf::DisplayHeight;
    Kern::TextCursorY = height - Kern::CharHeight;
    Kern::TextCursorX = 300;
    Kern::WriteLine("vorletzte");
    EXPECT_EQ(Kern::TextCursorX, Kern::CharWidth);
    EXPECT_EQ(Kern::TextCursorY, height);
    // The line lies in the band just above the cursor it was written at.
    EXPECT_FALSE(
        Drawn(300, height - 2 * Kern::CharHeight, 400, height - Kern::CharHeight - 1).empty());
    Kern::WriteLine("letzte");
    Kern::WriteLine("noch eine");
    EXPECT_EQ(Kern::TextCursorY, height);
}

// [SECTION] Palette and fonts

TEST_F(DrawTest, StandardPaletteRepeatsWithPureWhiteAt15Only)
{
    EXPECT_EQ(PaletteEntry(15), (Rgb { 255, 255, 255 }));
    EXPECT_EQ(PaletteEntry(31), (Rgb { 252, 252, 252 }));
    EXPECT_EQ(PaletteEntry(12), (Rgb { 252, 40, 40 }));
    EXPECT_EQ(PaletteEntry(12 + 16 * 15), (Rgb { 252, 40, 40 }));
    EXPECT_EQ(PaletteEntry(4), (Rgb { 160, 28, 28 }));
    EXPECT_EQ(PaletteEntry(7), (Rgb { 196, 196, 196 }));
    EXPECT_EQ(Kern::White, 15);
    EXPECT_EQ(Kern::LightRed, 12);
    EXPECT_EQ(Kern::Black, 0);
    EXPECT_EQ(Kern::Yellow, 14);
    EXPECT_EQ(Kern::TextBackground, 15);
}

TEST_F(DrawTest, ClearScreenWhitensAndKeepsTheState)
{
    Kern::SetFillStyle(255, Kern::Red, Kern::Blue);
    Kern::FillBar(0, 0, Kern::ScreenWidth(), Kern::ScreenHeight());
    Kern::TextCursorX = 77;
    Kern::ClearScreen();
    EXPECT_TRUE(Drawn(0, 0, 40, 40).empty());
    EXPECT_EQ(PixelAt(Kern::ScreenWidth() - 1, Kern::ScreenHeight() - 1), WhitePixel);
    EXPECT_EQ(Kern::TextCursorX, 77);
    EXPECT_EQ(Kern::FillColor, PaletteEntry(Kern::Red));
}

TEST_F(DrawTest, CourierIsAnInstalledFixedPitchFamily)
{
    const QFontInfo courier(QFont(QString::fromStdString(Kern::InstalledFamily("Courier"))));
    EXPECT_TRUE(courier.fixedPitch()) << courier.family().toStdString();
    EXPECT_EQ(courier.family().toStdString(), Kern::InstalledFamily("Courier"));
    const QFontInfo sans(QFont(QString::fromStdString(Kern::InstalledFamily("MS Sans Serif"))));
    EXPECT_FALSE(sans.fixedPitch()) << sans.family().toStdString();

    Kern::InitConsole(false, false, "Courier", 10, 0);
    EXPECT_EQ(Kern::TextWidth("iiii"), Kern::TextWidth("WWWW"));
    EXPECT_EQ(Kern::CharWidth, Kern::TextWidth("T"));
    const int height = Kern::CharHeight;
    Kern2::SetFontSize(20);
    EXPECT_GT(Kern::CharHeight, height);
    EXPECT_EQ(Kern::Tools.FontName, "Courier");
}

TEST_F(DrawTest, CharactersAreCountedNotBytes)
{
    Kern::SelectFont("Courier", 10, 0);
    EXPECT_EQ(Kern::TextWidth("Grüße"), Kern::TextWidth("Grube"));
    EXPECT_LT(Kern::TextWidth("Grüße"), Kern::TextWidth("Gr??e??"));
}

} // namespace
