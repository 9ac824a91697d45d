// SPDX-License-Identifier: GPL-3.0-or-later
// Index: helpers, fonts, screen, colours, drawing, text, keys, line input, numbers.
#include "Kern.h"

#include "Eingabe.h"
#include "NumberText.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <array>
#include <cassert>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <thread>

namespace Kern {

namespace {

// The window font of creation is 13 window pixels high.
constexpr int WindowFontPixels = 13;

// Installed families tried for the fonts the programs ask for; the first one
// that is really there wins.
constexpr std::array FixedPitchFamilies { "Liberation Mono", "DejaVu Sans Mono", "Noto Mono",
    "Nimbus Mono PS", "Courier New" };
constexpr std::array SansSerifFamilies { "Liberation Sans", "DejaVu Sans", "Noto Sans",
    "Nimbus Sans", "Arial" };

std::map<std::string, QString> ChosenFamilies; // requested name -> installed family

QColor ToQColor(Rgb c);
Rgb PaletteColor(int c);
QString ResolveFamily(const std::string& name);
QFont CurrentFont();
void FillRectangle(long long x, long long y, long long width, long long height, Rgb color);
void DrawClippedLine(long long x1, long long y1, long long x2, long long y2, Rgb color);
void WriteBell();

QColor ToQColor(Rgb c)
{
    return QColor(c.R, c.G, c.B);
}

Rgb PaletteColor(int c)
{
    assert(c >= 0 && c < 256 && "colour numbers are 0..255");
    return FensterGraf::Palette[static_cast<std::size_t>(c)];
}

QString FirstInstalled(const auto& candidates, bool fixedPitch)
{
    for (const char* candidate : candidates) {
        const QFontInfo info { QFont(QString::fromLatin1(candidate)) };
        if (info.family() == QLatin1String(candidate) && info.fixedPitch() == fixedPitch)
            return info.family();
    }
    return {};
}

// "Courier" must end up fixed-pitch and "MS Sans Serif" sans-serif whatever
// fontconfig would substitute for them; other names are asked for as they are.
QString ResolveFamily(const std::string& name)
{
    const auto known = ChosenFamilies.find(name);
    if (known != ChosenFamilies.end())
        return known->second;
    QString family;
    if (name.empty() || name == "Courier" || name == "Courier New") {
        family = FirstInstalled(FixedPitchFamilies, true);
        if (family.isEmpty())
            family = QFontInfo(QFont(QStringLiteral("monospace"))).family();
    } else if (name == "MS Sans Serif") {
        family = FirstInstalled(SansSerifFamilies, false);
        if (family.isEmpty())
            family = QFontInfo(QFont(QStringLiteral("sans-serif"))).family();
    } else {
        family = QString::fromStdString(name);
    }
    ChosenFamilies[name] = family;
    return family;
}

QFont CurrentFont()
{
    QFont font(ResolveFamily(Tools.FontName));
    if (Tools.FontSize > 0)
        font.setPointSize(Tools.FontSize); // the canvas carries the screen's DPI
    else
        font.setPixelSize(
            static_cast<int>(std::lround(WindowFontPixels * FensterGraf::PixelRatio())));
    font.setBold(Tools.FontBold);
    // Glyphs in the palette colours only, so that thresholded pictures stay sharp.
    font.setStyleStrategy(QFont::NoAntialias);
    font.setKerning(false);
    return font;
}

// In 64 bits, so that x + width cannot overflow for any int arguments.
void FillRectangle(long long x, long long y, long long width, long long height, Rgb color)
{
    QImage& canvas = FensterGraf::Canvas();
    const long long left = std::max(x, 0LL);
    const long long top = std::max(y, 0LL);
    const long long right = std::min<long long>(x + width, canvas.width());
    const long long bottom = std::min<long long>(y + height, canvas.height());
    if (left >= right || top >= bottom)
        return;
    QPainter painter(&canvas);
    painter.fillRect(QRect(static_cast<int>(left), static_cast<int>(top),
                         static_cast<int>(right - left), static_cast<int>(bottom - top)),
        ToQColor(color));
    FensterGraf::RequestRepaint();
}

// Bresenham's line without its end pixel, walking only the steps that land on
// the canvas. Of the major axis (length L, the longer of |x2 - x1| and
// |y2 - y1|) step k, 0 <= k < L, moves the minor axis (length S) by
// floor((2 S k + L) / (2 L)): the pixels of the stepping loop whose error
// 2e is compared with dy (>=) and dx (<=). Coordinates reach about +-2^32
// (a bar's far frame), so the products need 128 bits.
void DrawClippedLine(long long x1, long long y1, long long x2, long long y2, Rgb color)
{
    __extension__ typedef __int128 Wide; // GCC and Clang
    const long long dx = x2 > x1 ? x2 - x1 : x1 - x2;
    const long long dy = y2 > y1 ? y2 - y1 : y1 - y2;
    const bool xMajor = dx >= dy;
    const long long major = std::max(dx, dy);
    const long long minor = std::min(dx, dy);
    if (major == 0)
        return;
    QImage& canvas = FensterGraf::Canvas();
    const long long majorStart = xMajor ? x1 : y1;
    const long long minorStart = xMajor ? y1 : x1;
    const long long majorStep = (xMajor ? x1 < x2 : y1 < y2) ? 1 : -1;
    const long long minorStep = (xMajor ? y1 < y2 : x1 < x2) ? 1 : -1;
    const long long majorSize = xMajor ? canvas.width() : canvas.height();
    const long long minorSize = xMajor ? canvas.height() : canvas.width();

    // Steps k whose major coordinate lies on the canvas.
    long long first = majorStep > 0 ? -majorStart : majorStart - (majorSize - 1);
    long long last = majorStep > 0 ? majorSize - 1 - majorStart : majorStart;
    first = std::max(first, 0LL);
    last = std::min(last, major - 1);
    if (first > last)
        return;
    // The minor offset grows with k: cut the steps down to those whose offset
    // keeps the minor coordinate on the canvas.
    const Wide twiceMajor = Wide { 2 } * major;
    const auto numerator = [&](long long k) { return Wide { 2 } * minor * k + major; };
    const auto offset
        = [&](long long k) { return static_cast<long long>(numerator(k) / twiceMajor); };
    const long long lowest = minorStep > 0 ? -minorStart : minorStart - (minorSize - 1);
    const long long highest = minorStep > 0 ? minorSize - 1 - minorStart : minorStart;
    // The first step in [from, to) for which stillBefore no longer holds.
    const auto firstStepAfter = [](long long from, long long to, const auto& stillBefore) {
        while (from < to) {
            const long long middle = from + (to - from) / 2;
            if (stillBefore(middle))
                from = middle + 1;
            else
                to = middle;
        }
        return from;
    };
    first = firstStepAfter(first, last + 1, [&](long long k) { return offset(k) < lowest; });
    last = firstStepAfter(first, last + 1, [&](long long k) { return offset(k) <= highest; }) - 1;
    if (first > last)
        return;

    const QRgb pen = qRgb(color.R, color.G, color.B);
    // The offset of step first, then its remainder walked on in 64 bits.
    long long shift = offset(first);
    long long remainder = static_cast<long long>(numerator(first) % twiceMajor);
    for (long long k = first; k <= last; ++k) {
        const long long along = majorStart + majorStep * k;
        const long long across = minorStart + minorStep * shift;
        assert(along >= 0 && along < majorSize && across >= 0 && across < minorSize);
        const auto px = static_cast<int>(xMajor ? along : across);
        const auto py = static_cast<int>(xMajor ? across : along);
        reinterpret_cast<QRgb*>(canvas.scanLine(py))[px] = pen;
        remainder += 2 * minor;
        if (remainder >= 2 * major) {
            remainder -= 2 * major;
            ++shift;
        }
    }
    FensterGraf::RequestRepaint();
}

void WriteBell()
{
    WriteText("\a");
}

const PromptLoop::Binding WindowBinding { &ReadText, &WriteBell, &FensterGraf::EndProgram };

} // namespace

void Reset()
{
    HorizontalJustify = 0;
    VerticalJustify = 0;
    TextBackground = 0;
    FillColor = { 255, 255, 255 };
    FillFrameless = false;
    FillBorder = 0;
    ColorMode = true;
    Black = Blue = Green = Cyan = Red = Magenta = Brown = LightGray = 0;
    DarkGray = LightBlue = LightGreen = LightCyan = LightRed = LightMagenta = Yellow = White = 0;
    Tools = DrawingTools {};
    CharWidth = TextWidth("T");
    CharHeight = TextHeight("T");
    TextCursorX = CharWidth;
    TextCursorY = CharHeight;
}

// [SECTION] Screen

void InitConsole(
    bool showTextFile, bool showPicture, const std::string& fontName, int pointSize, int bold)
{
    SelectFont(fontName, pointSize, bold);
    ClearScreen();
    if (showTextFile)
        FensterGraf::ShowTextFile(FensterGraf::DefaultTextFile, 10);
    if (showPicture)
        FensterGraf::LoadPicture(FensterGraf::DefaultPicture, 0, 0);
}

void ClearScreen()
{
    FillRectangle(0, 0, FensterGraf::DisplayWidth, FensterGraf::DisplayHeight, { 255, 255, 255 });
}

int ScreenWidth()
{
    return FensterGraf::CanvasWidth();
}

int ScreenHeight()
{
    return FensterGraf::CanvasHeight();
}

// [SECTION] Colours

void SetColorEntry(int index, int factor, int r, int g, int b)
{
    assert(index >= 0 && index < 256 && "palette indices are 0..255");
    [[maybe_unused]] const auto inRange = [](int v) { return v >= 0 && v <= 255; };
    assert(inRange(factor * r) && inRange(factor * g) && inRange(factor * b)
        && "each factor x component must lie in 0..255");
    QImage& canvas = FensterGraf::Canvas();
    canvas.setPixel(0, 0, qRgb(factor * r, factor * g, factor * b));
    const QRgb shown = canvas.pixel(0, 0);
    FensterGraf::Palette[static_cast<std::size_t>(index)]
        = { qRed(shown), qGreen(shown), qBlue(shown) };
    FensterGraf::RequestRepaint();
}

void LoadStandardPalette()
{
    const auto& rows = FensterGraf::StandardColors6Bit;
    for (int i = 0; i < 256; ++i) {
        const Rgb row = rows[static_cast<std::size_t>(i) % rows.size()];
        SetColorEntry(i, 4, row.R, row.G, row.B);
    }
    Black = 0;
    Blue = 1;
    Green = 2;
    Cyan = 3;
    Red = 4;
    Magenta = 5;
    Brown = 6;
    LightGray = 7;
    DarkGray = 8;
    LightBlue = 9;
    LightGreen = 10;
    LightCyan = 11;
    LightRed = 12;
    LightMagenta = 13;
    Yellow = 14;
    White = 15;
    SetColorEntry(White, 1, 255, 255, 255);
    SetTextBackground(White);
}

void SetColorMode(bool colour)
{
    ColorMode = colour;
}

// [SECTION] Drawing

void DrawLine(int x1, int y1, int x2, int y2, int c)
{
    Tools.PenColor = PaletteColor(c);
    DrawClippedLine(x1, y1, x2, y2, Tools.PenColor);
}

void SetFillStyle(int intensity, int c, int frame)
{
    // A negative intensity would give negative components: it means black.
    const double k = std::clamp(std::nearbyint(intensity * 1.15), 0.0, 255.0);
    const Rgb base = PaletteColor(c);
    const auto scale
        = [k](int component) { return static_cast<int>(std::nearbyint(component / 255.0 * k)); };
    FillColor = { scale(base.R), scale(base.G), scale(base.B) };
    Tools.BrushColor = FillColor;
    Tools.BrushSolid = true;
    FillFrameless = frame == c;
    FillBorder = frame;
}

void FillBar(int x, int y, int width, int height)
{
    const Rgb brush = Tools.BrushColor;
    FillRectangle(x, y, width, height, FillColor);
    if (!FillFrameless) {
        // The far edges x + width and y + height may lie beyond the int range.
        const long long right = static_cast<long long>(x) + width;
        const long long bottom = static_cast<long long>(y) + height;
        Tools.PenColor = PaletteColor(FillBorder);
        DrawClippedLine(x, y, right, y, Tools.PenColor);
        DrawClippedLine(right, y, right, bottom, Tools.PenColor);
        DrawClippedLine(right, bottom, x, bottom, Tools.PenColor);
        DrawClippedLine(x, bottom, x, y, Tools.PenColor);
    }
    Tools.BrushColor = brush;
}

// [SECTION] Text

void SetTextJustify(int horizontal, int vertical)
{
    HorizontalJustify = horizontal;
    VerticalJustify = vertical;
}

void SetTextBackground(int c)
{
    TextBackground = c;
}

void WriteTextAt(int x, int y, const std::string& text, int c)
{
    const Rgb savedBrush = Tools.BrushColor;
    const bool savedSolid = Tools.BrushSolid;
    Tools.BrushSolid = TextBackground != -1;
    if (Tools.BrushSolid)
        Tools.BrushColor = PaletteColor(TextBackground);

    QImage& canvas = FensterGraf::Canvas();
    const QFont font = CurrentFont();
    const QFontMetrics metrics(font, &canvas);
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const int w = metrics.horizontalAdvance(shown);
    const int h = metrics.height();
    Tools.FontColor = PaletteColor(c);

    const int left = HorizontalJustify == 1 ? x - w / 2 : HorizontalJustify == 2 ? x - w : x;
    const int top = VerticalJustify == 0 ? y - h : VerticalJustify == 1 ? y - h / 2 : y;
    {
        QPainter painter(&canvas);
        if (Tools.BrushSolid)
            painter.fillRect(QRect(left, top, w, h), ToQColor(Tools.BrushColor));
        painter.setFont(font);
        painter.setPen(ToQColor(Tools.FontColor));
        painter.drawText(QPoint(left, top + metrics.ascent()), shown);
    }
    Tools.BrushColor = savedBrush;
    Tools.BrushSolid = savedSolid;
    FensterGraf::RequestRepaint();
}

void SelectFont(const std::string& name, int pointSize, int bold)
{
    Tools.FontName = name;
    Tools.FontSize = pointSize;
    Tools.FontBold = bold == 1;
    CharWidth = TextWidth("T");
    CharHeight = TextHeight("T");
}

int TextWidth(const std::string& text)
{
    const QFontMetrics metrics(CurrentFont(), &FensterGraf::Canvas());
    return metrics.horizontalAdvance(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int TextHeight(const std::string&)
{
    // One line of text: the cell height is the same for every text.
    return QFontMetrics(CurrentFont(), &FensterGraf::Canvas()).height();
}

std::string InstalledFamily(const std::string& name)
{
    return ResolveFamily(name).toStdString();
}

void WriteText(const std::string& text)
{
    const int w = TextWidth(text);
    if (ScreenWidth() < TextCursorX + w) {
        TextCursorX = CharWidth;
        TextCursorY += CharHeight;
    }
    WriteTextAt(TextCursorX, TextCursorY + CharHeight, text, Black);
    TextCursorX += w;
}

void MoveTextCursor(int x, int y)
{
    TextCursorX = x;
    TextCursorY = y;
}

void WriteLine(const std::string& text)
{
    WriteTextAt(TextCursorX, TextCursorY, text, Black);
    TextCursorX = CharWidth;
    if (TextCursorY < FensterGraf::DisplayHeight)
        TextCursorY += CharHeight;
}

// [SECTION] Keys

bool KeyAvailable()
{
    return !FensterGraf::KeyBuffer.empty();
}

int ReadKeyCode()
{
    if (FensterGraf::KeyBuffer.empty())
        return 0;
    const auto code = static_cast<unsigned char>(FensterGraf::KeyBuffer.front());
    FensterGraf::KeyBuffer.erase(0, 1);
    return code;
}

void Delay(int ms)
{
    // What was drawn before the wait is on the screen during it.
    FensterGraf::RepaintNow();
    using Clock = std::chrono::steady_clock; // elapsed time, also across midnight
    const auto start = Clock::now();
    const auto wait = std::chrono::milliseconds(std::max(ms, 0));
    while (Clock::now() - start <= wait)
        std::this_thread::sleep_until(start + wait + std::chrono::microseconds(100));
}

// [SECTION] Line input

void ReadText(const std::string& prompt, std::string& text)
{
    Eingabe::ReadText(prompt, text);
}

void ReadChar(const std::string& prompt, std::string& ch)
{
    PromptLoop::ReadChar(WindowBinding, prompt, ch);
}

const PromptLoop::Binding& Binding()
{
    return WindowBinding;
}

// [SECTION] Numbers

std::string FormatReal(double value, double format)
{
    return NumberText::FormatReal(value, format);
}

void TextToInteger(std::string_view text, std::int32_t& value, int& errorPos)
{
    NumberText::TextToInteger(text, value, errorPos);
}

void TextToReal(std::string_view text, double& value, int& errorPos)
{
    NumberText::TextToReal(text, value, errorPos);
}

} // namespace Kern
