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
void PlotPixel(QImage& canvas, int x, int y, QRgb color);
void FillRectangle(int x, int y, int width, int height, Rgb color);
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

void PlotPixel(QImage& canvas, int x, int y, QRgb color)
{
    if (x >= 0 && y >= 0 && x < canvas.width() && y < canvas.height())
        canvas.setPixel(x, y, color);
}

void FillRectangle(int x, int y, int width, int height, Rgb color)
{
    QImage& canvas = FensterGraf::Canvas();
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + width, canvas.width());
    const int bottom = std::min(y + height, canvas.height());
    if (left >= right || top >= bottom)
        return;
    QPainter painter(&canvas);
    painter.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(color));
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

// [SECTION] Drawing

void DrawLine(int x1, int y1, int x2, int y2, int c)
{
    Tools.PenColor = PaletteColor(c);
    QImage& canvas = FensterGraf::Canvas();
    const QRgb color = qRgb(Tools.PenColor.R, Tools.PenColor.G, Tools.PenColor.B);
    // Bresenham; the loop stops before the end pixel in every direction.
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int stepX = x1 < x2 ? 1 : -1;
    const int stepY = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    int x = x1;
    int y = y1;
    while (x != x2 || y != y2) {
        PlotPixel(canvas, x, y, color);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
    FensterGraf::RequestRepaint();
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
        DrawLine(x, y, x + width, y, FillBorder);
        DrawLine(x + width, y, x + width, y + height, FillBorder);
        DrawLine(x + width, y + height, x, y + height, FillBorder);
        DrawLine(x, y + height, x, y, FillBorder);
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
