// SPDX-License-Identifier: GPL-3.0-or-later
// The parallax program: the console dialogue (language, title, planet, Sun,
// sites, then time and positions without end) and the computation of the
// parallactic shift, the baseline and the solar parallax from two sites.
// All input and output goes through KernDos.
#pragma once

#include "Ephemeris.h"
#include "Mathe.h"

#include <array>
#include <string>
#include <vector>

namespace Quenmark {

enum LanguageRow { German = 0, English = 1 };

// Inputs in the units the computation takes: angles in radians (times as hour
// angles), the positions in solar radii, the ratio rPlanet/rEarth as it is.
struct Inputs {
    double RightAscension = 0, Declination = 0, SunRadius = 0;
    double SiderealTime0 = 0; // at Greenwich, 0h UT
    double RadiusRatio = 0;
    double Latitude1 = 0, Longitude1 = 0, Latitude2 = 0, Longitude2 = 0; // east positive
    double Time = 0; // UT
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

struct Results {
    Mathe::SpaceVector SunVector, SiteVector1, SiteVector2, Baseline; // Baseline.Length: Delta
    double LocalSiderealTime1 = 0, LocalSiderealTime2 = 0;
    double ScalarProduct = 0; // Baseline . SunVector
    double W = 0; // angle between baseline and Sun; NaN when the product is outside -1..1
    double Beta = 0; // seconds of arc
    double PiS = 0; // seconds of arc
};

// The entries of MessageTexts; 17 to 19 stay empty.
enum TextEntry {
    PlanetQuestion = 0,
    SunHeading = 1,
    RightAscensionPrompt = 2,
    DeclinationPrompt = 3,
    SunRadiusPrompt = 4,
    SiderealTimePrompt = 5,
    RadiusRatioPrompt = 6,
    SiteHeading = 7,
    LatitudePrompt = 8,
    LongitudePrompt = 9,
    TimePrompt = 10,
    PositionsHeading = 11,
    ResultsHeading = 12,
    BetaLabel = 13,
    DeltaLabel = 14,
    ProjectedDeltaLabel = 15,
    ParallaxLabel = 16,
    ComputedDefaultsNote = 20, // followed by date, time and planet
    MercuryName = 21,
    VenusName = 22,
    // Why a result has no value. The scalar product is the difference of the
    // cosines of the Sun's zenith distances at the two sites, so sin w = 0 says
    // that they differ by 1; only with Delta = 1 is the line between the sites
    // then parallel to the direction of the Sun.
    UndefinedSitesCoincide = 23,
    UndefinedSunBelowHorizon = 24,
    UndefinedBaselineTowardSun = 25,
    UndefinedZenithCosinesDifferByOne = 26,
    UndefinedRatioZero = 27,
    UndefinedOutOfRange = 28,
    // The title when there is no info file.
    TitleLine1 = 29,
    TitleLine2 = 30,
    TitleLine3 = 31,
    TitleLine4 = 32,
    TitleLine5 = 33,
    // The command line's refusals and its failed write (%1: the argument, the
    // reason; %2 and %3: the ephemeris' years).
    NeedsValueRefusal = 34,
    DateUnreadableRefusal = 35,
    NoSuchDateRefusal = 36,
    DateOutOfRangeRefusal = 37,
    TimeUnreadableRefusal = 38,
    UnexpectedArgumentRefusal = 39,
    TimeWithoutDateRefusal = 40,
    OutputWriteFailure = 41,
    // The reduction of two sites' series: refusals of the options (%1: the
    // argument), of the files (%1: the file, %2: the line, %3: the column or
    // the count), the results and the plot.
    SeriesNeedBothRefusal = 42,
    SeriesNeedDateRefusal = 43,
    OptionNeedsSeriesRefusal = 44,
    SiteUnreadableRefusal = 45,
    PlanetUnreadableRefusal = 46,
    LanguageUnreadableRefusal = 47,
    SeriesNoHeader = 48,
    SeriesMissingColumn = 49,
    SeriesUnreadableValue = 50,
    SeriesNoUncertainty = 51,
    SeriesTimesOutOfOrder = 52,
    SeriesTooFew = 53,
    SeriesTooLarge = 54,
    SeriesNotReadable = 55,
    SeriesNotRegular = 56,
    SeriesNoOverlap = 57,
    SeriesFitFailed = 58,
    SeriesCounts = 59,
    TrackDegrees = 60,
    MomentsHeading = 61,
    MomentsColumns = 62,
    FormulaParallaxLabel = 63,
    RigorousParallaxLabel = 64,
    UnitLine = 65,
    FormulaName = 66,
    RigorousName = 67,
    PositionsUsed = 68,
    PositionDropped = 69,
    PlotWritten = 70,
    PlotNotWritten = 71,
    PlotForeignFile = 72,
    PlotTitle = 73,
    PlotAcrossTrack = 74,
    PlotResiduals = 75,
    SitesFromOptions = 76,
};

inline constexpr int TextCount = 77;
inline int Language = English;
inline std::array<std::array<std::string, TextCount>, 2> MessageTexts;
inline Inputs Input;
inline Results Result;

// Back to the start state (before the first question), without a date.
void ResetState();

// From now on the Sun's data, the sidereal time and rPlanet/rEarth default to
// the values for this date and time (hh.mm UT, as the time question reads it),
// the time question to timeText, and the planet question to "m" when Mercury
// crosses the Sun that day ("v" otherwise, as without a date). Call before Run.
void UseDateForDefaults(const Ephemeris::CalendarDate& date, const std::string& timeText);

void SetUpMessageTexts();

// An entry of MessageTexts in a language, %1 to %9 replaced by values in one
// pass (a "%1" inside a value stays as it is).
std::string FilledText(int language, TextEntry entry, const std::vector<std::string>& values);
void ChooseLanguageAndShowTitle();
void ReadSunAndSites();
void ComputeSunVector();
void ReadTimeAndPositions();
void ComputeParallax();
void ShowResults();

// ComputeSunVector and ComputeParallax on these inputs (which become the
// program's): the results.
Results ComputeFor(const Inputs& inputs);

// The planet question with its default answer ("v" or "m"): true for Venus.
bool AskPlanet(const std::string& defaultAnswer);
// A site's heading and questions with the dialogue's defaults: radians.
void AskSite(int number, double& latitude, double& longitude);

// The whole run; it leaves only through KernDos's end routines (the end of the
// input, an error report) or AbortWithBell.
void Run();

} // namespace Quenmark
