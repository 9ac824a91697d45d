// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG files that a careless or hostile hand gives: bombs written byte by
// byte, arithmetic-coded photographs, and cuts of good files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace HelidorTesting {

struct BombShape {
    int Width = 0;
    int Height = 0;
    int Components = 1; // 1 (grey) or 3
    bool Progressive = false; // a first DC scan, else one sequential scan
    bool Subsampled = false; // 2 x 2 luminance blocks per chroma block
    int DataBytes = 4; // entropy-coded bytes after the scan header
    int Filler = -1; // the data bytes: 0x5a, 0x5b, ... when -1
    int AcScans = 0; // then scans of AC coefficient 1, 2, ... of 4 zero bytes each
};

// An arithmetic-coded file that claims the shape's size: its quantisation
// table, frame, a scan header, data bytes, further scans and the end marker;
// 96 bytes for one component, 6 more per further component, plus the data
// bytes and 14 for each AC scan.
std::vector<char> ArithmeticBomb(const BombShape& shape);

// A photograph-like picture of 0xRRGGBB colours, coded arithmetically.
void WriteArithmeticJpeg(const std::string& path, int width, int height, bool progressive,
    const std::function<std::uint32_t(int x, int y)>& pattern);

// The file with its first scan's data cut to fraction (0 keeps none of it)
// and everything after replaced by the end marker.
std::vector<char> CutFirstScan(const std::vector<char>& jpeg, double fraction);
// The file up to its second scan, then the end marker.
std::vector<char> OnlyFirstScan(const std::vector<char>& jpeg);

} // namespace HelidorTesting
