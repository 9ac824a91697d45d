// SPDX-License-Identifier: GPL-3.0-or-later
// Picture files written by the tests themselves: JPEGs of every kind through
// libjpeg, BMPs of several depths by hand, and the canvas and file helpers.
#pragma once

#include "FensterGraf.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace HelidorTesting {

enum class JpegKind {
    Baseline,
    Baseline444,
    Progressive,
    Grey,
    Cmyk,
    AdobeCmyk,
    AdobeYcck,
    Arithmetic, // arithmetic instead of Huffman coding
    ArithmeticProgressive,
};

// The colour of pixel (x, y) of a test picture, 0xRRGGBB.
using Pattern = std::function<std::uint32_t(int x, int y)>;

// Writes a JPEG of the kind; for the CMYK kinds each colour is first turned
// into CMYK (stored inverted with Adobe's marker, as Adobe's programs do).
void WriteJpeg(const std::string& path, JpegKind kind, int width, int height,
    const Pattern& pattern, int quality = 95);
// An uncompressed BMP of 8 (a grey palette: the pattern's green), 24 or 32
// bits per pixel; topDown writes a negative height.
void WriteBitmap(
    const std::string& path, int bits, bool topDown, int width, int height, const Pattern& pattern);

using ConsoleTesting::RowName;
using ConsoleTesting::TempPath; // unique per test run

// The true circles of a sample photograph by name ("sun1", "venus2", ...),
// from the text file the sample tool writes beside it.
struct TrueCircle {
    double X = 0, Y = 0, Radius = 0;
};
std::map<std::string, TrueCircle> ReadTruth(const std::string& truthFile);

std::vector<char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<char>& bytes);

std::uint32_t CanvasPixel(int x, int y); // 0xffRRGGBB
void FillCanvas(std::uint32_t colour);
// The largest difference of the three colour channels.
int ColourDistance(std::uint32_t a, std::uint32_t b);

} // namespace HelidorTesting
