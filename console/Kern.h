// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing state, text output, colours, key readers, line input and number
// conversion of the window console. Coordinates are canvas pixels (device
// pixels), origin top left, y downwards. Colours are colour numbers 0..255,
// indices into FensterGraf::Palette. Texts are UTF-8.
#pragma once

#include "FensterGraf.h"
#include "PromptLoop.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Kern {

using FensterGraf::Rgb;

// [SECTION] Drawing state
inline int HorizontalJustify = 0; // 0: x is the left edge, 1: the centre, 2: the right edge
inline int VerticalJustify = 0; // 0: y is the bottom edge, 1: the centre, 2: the top edge
inline int TextBackground = 0; // colour number behind text; -1 transparent
inline Rgb FillColor { 255, 255, 255 }; // FillBar's colour, set by SetFillStyle
inline bool FillFrameless = false;
inline int FillBorder = 0; // colour number of FillBar's frame and DrawEllipse's outline
inline int TextCursorX = 0; // running cursor of WriteText and WriteLine
inline int TextCursorY = 0;
inline int CharWidth = 0; // width and height of "T" in the current font
inline int CharHeight = 0;
inline bool ColorMode = true; // false: saved pictures are black and white

// The canvas tools; operations set them and leave them set as documented.
struct DrawingTools {
    Rgb PenColor { 0, 0, 0 };
    Rgb BrushColor { 255, 255, 255 };
    bool BrushSolid = true;
    std::string FontName; // as the program asked for it, e.g. "Courier"; "" the window font
    int FontSize = 0; // points; 0 the window font's 13 window pixels
    bool FontBold = false;
    Rgb FontColor { 0, 0, 0 };
};
inline DrawingTools Tools;

// Colour numbers; 0 until LoadStandardPalette assigns them.
inline int Black = 0, Blue = 0, Green = 0, Cyan = 0, Red = 0, Magenta = 0, Brown = 0, LightGray = 0,
           DarkGray = 0, LightBlue = 0, LightGreen = 0, LightCyan = 0, LightRed = 0,
           LightMagenta = 0, Yellow = 0, White = 0;

// Start state of everything above; the window font of creation becomes the
// font again and the cursor goes to (CharWidth, CharHeight).
void Reset();

// [SECTION] Screen
// bold: 1 = bold, anything else regular.
void InitConsole(
    bool showTextFile, bool showPicture, const std::string& fontName, int pointSize, int bold);
void ClearScreen(); // whole display white; tools and cursor unchanged
int ScreenWidth(); // canvas size in device pixels
int ScreenHeight();

// [SECTION] Colours
// The colour (factor x r, factor x g, factor x b) goes onto pixel (0, 0) and,
// as read back, into Palette[index]. Each product must lie in 0..255.
void SetColorEntry(int index, int factor, int r, int g, int b);
// The 16 standard colours repeated over all 256 entries, entry 15 pure white;
// assigns the colour numbers; TextBackground becomes White.
void LoadStandardPalette();
// Colour or black and white (false) for the pictures saved from the screen.
void SetColorMode(bool colour);

// [SECTION] Drawing
// One-pixel line; the end pixel (x2, y2) is never set. The pen keeps colour c.
// Any int coordinates: only the part on the canvas costs time.
void DrawLine(int x1, int y1, int x2, int y2, int c);
// FillColor := Palette[c] scaled by nearest(intensity x 1.15) / 255, the
// factor kept within 0..255 (255 gives the palette colour, 0 and below black);
// also the brush colour. frame == c means no frame.
void SetFillStyle(int intensity, int c, int frame);
// Fills x..x+width-1, y..y+height-1; the frame (unless frameless) lies on
// columns x and x+width, rows y and y+height, also where these pass INT_MAX.
// Any int arguments: only the part on the canvas costs time.
void FillBar(int x, int y, int width, int height);

// [SECTION] Text
void SetTextJustify(int horizontal, int vertical); // each 0..2
void SetTextBackground(int c); // colour number or -1 (transparent)
// Text justified at (x, y) in colour c over TextBackground.
void WriteTextAt(int x, int y, const std::string& text, int c);
// "Courier" and "MS Sans Serif" become installed fixed-pitch and sans-serif
// families. Re-measures CharWidth and CharHeight.
void SelectFont(const std::string& name, int pointSize, int bold);
int TextWidth(const std::string& text); // in the current font, canvas pixels
int TextHeight(const std::string& text);
// The installed family a font name becomes ("Courier" -> a fixed-pitch family).
std::string InstalledFamily(const std::string& name);
// At the running cursor; wraps to the next line when the text does not fit.
void WriteText(const std::string& text);
// At the running cursor, then the next line; at DisplayHeight the cursor stops.
void WriteLine(const std::string& text);
// Moves the running cursor of WriteText and WriteLine to (x, y).
void MoveTextCursor(int x, int y);

// [SECTION] Keys
bool KeyAvailable();
// The oldest code (0..255), removed from KeyBuffer; 0 when it is empty. Never waits.
int ReadKeyCode();
// Shows what was drawn, then waits a little more than ms milliseconds of wall
// time without handling any event (keys typed meanwhile arrive afterwards).
void Delay(int ms);

// [SECTION] Line input
// The modal input dialog: prompt above an edit field pre-filled with text;
// text becomes the answer (Return alone keeps it). Abbruch or Esc ends the program.
void ReadText(const std::string& prompt, std::string& text);
// ch (one character) is the default; it becomes the last character of the
// answer. An emptied field keeps the default.
void ReadChar(const std::string& prompt, std::string& ch);
// ReadText, the bell (WriteText of code 7) and EndProgram of the window.
const PromptLoop::Binding& Binding();

// [SECTION] Numbers (independent of the locale, see NumberText.h)
// format w.d: d decimals right-aligned in w + d + 2 characters; d = 0: the
// value rounded (halves to even) in w characters. Never cut.
std::string FormatReal(double value, double format);
void TextToInteger(std::string_view text, std::int32_t& value, int& errorPos);
void TextToReal(std::string_view text, double& value, int& errorPos);

} // namespace Kern
