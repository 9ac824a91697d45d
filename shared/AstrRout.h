// SPDX-License-Identifier: GPL-3.0-or-later
// Angle and time texts as users type them, turned into radians.
#pragma once

#include <string>

namespace AstrRout {

// Degrees to radians.
inline constexpr long double DegreesToRadians = 0.017453292519943295769L;

// Angle or time text to radians. Accepted notations (markers lower case only,
// a comma anywhere is read as a point, leading blanks are dropped):
//   -22.34      plain number: degrees
//   16g42'51    degrees "d" or "g", minutes "m" or "'", optional seconds
//   16d42m51
//   2h55m23     hours "h", minutes "m" only, optional seconds; x 15 degrees
//   -0g30'      a leading "-" makes the whole angle negative
// Each number part follows NumberText::TextToReal. With both a degree and an
// hour marker the text is read as degrees. The empty text and a text of
// blanks only give 0. Anything else that does not convert (a missing minutes
// marker, a trailing blank, letters) ends the program through AbortWithBell.
double ParseAngle(std::string text);

// A time as hh.mm (minutes after the point) to decimal hours: 9.52 -> 9.8666...
// The minutes may exceed 59: 9.75 -> 10.25.
double HhMmToHours(double hhmm);

// Bell, then the end of the program, through the binding that the program's
// entry installed (PromptLoop::Install). Does not return.
[[noreturn]] void AbortWithBell();

} // namespace AstrRout
