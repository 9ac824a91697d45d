// SPDX-License-Identifier: GPL-3.0-or-later
// The answers of Helidor's parameter dialogue and the language, shared by the
// setup, the screens, the photograph display and the evaluation. Each number
// is kept beside the text it was read from; the text is the default of the
// next question. Angles are in radians, positions in canvas pixels.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace Settings {

inline int Language = 0; // 0 not chosen yet, 1 German, 2 English

inline std::string PictureName;
inline bool IsJpeg = false; // the upper-cased name contains ".JPG" or ".JPEG"
inline std::string SizeText;
inline std::int32_t JpegScale = 1; // 1, 2, 4 or 8; anything else keeps the last scale
inline std::string TimeText;
inline double TimeUT = 0; // hh.mm
inline int TimeSecond = 0; // the seconds of a time answered as hh:mm:ss
inline bool TimeHasSeconds = false; // answered so: the result lines carry them
inline std::string DeclinationText;
inline double Declination = 0;
inline std::string PictureCountText;
inline std::int32_t PictureCount = 0;
inline std::string TimeDifferenceText;
inline std::int32_t TimeDifference = 0; // seconds between the two exposures
inline std::string RotationText;
inline double RotationAngle = 0;
inline std::string PictureXText;
inline std::int32_t PictureX = 0; // top-left corner of the picture on the canvas
inline std::string PictureYText;
inline std::int32_t PictureY = 0;
inline std::string StartRadiusText;
inline std::int32_t StartRadius = 0;
inline std::string ResultFileName;

// Every answer and the language as at the program's start. For tests.
inline void Reset()
{
    for (std::string* text : { &PictureName, &SizeText, &TimeText, &DeclinationText,
             &PictureCountText, &TimeDifferenceText, &RotationText, &PictureXText, &PictureYText,
             &StartRadiusText, &ResultFileName })
        text->clear();
    Language = PictureCount = TimeDifference = PictureX = PictureY = StartRadius = TimeSecond = 0;
    TimeHasSeconds = false;
    TimeUT = Declination = RotationAngle = 0;
    IsJpeg = false;
    JpegScale = 1;
}

} // namespace Settings
