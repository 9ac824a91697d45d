// The photograph of a measurement: read and decoded once by ShowPhotograph,
// kept in memory and redrawn from there after every key. JPEG files are
// decoded at full, half, quarter or eighth size; everything else is read as
// a BMP.
#pragma once

#include "FensterGraf.h"

#include <string>

namespace Photograph {

// True when the upper-cased name contains ".JPG" or ".JPEG" anywhere.
bool IsJpegName(const std::string& name);

// Loads the picture at path (JPEG when Settings::IsJpeg, else BMP) and draws
// it with its top-left corner at (x, y). A picture that cannot be loaded
// throws std::runtime_error with a message in the chosen language; nothing is
// drawn then.
void ShowPhotograph(const std::string& path, int x, int y);
void ShowJpegPhotograph(const std::string& path, int x, int y);
void ShowBitmapPhotograph(const std::string& path, int x, int y);

// Draws the kept picture at (Settings::PictureX, Settings::PictureY) without
// reading the file.
void RedrawPhotograph();

} // namespace Photograph
