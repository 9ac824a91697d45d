// SPDX-License-Identifier: GPL-3.0-or-later
#include "Quenmark.h"

#include "AstrRout.h"
#include "Files.h"
#include "KernDos.h"
#include "ModulDos.h"
#include "NumberText.h"
#include "Utf8.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>

namespace Quenmark {

namespace {

constexpr const char* InfoTextFile = "Quenmark.inf";
constexpr int PromptColumns = 45;
constexpr int ResultColumns = 60;
constexpr double SiderealRate = 1.0027379093;
// Rounding of the site positions (Earth radii) beyond which Delta and the
// scalar product are noise: the angles are too large to place the sites.
constexpr double PlacementLimit = 1e-6;

// The answers as typed: each is the default of its next question.
struct AnswerTexts {
    std::string Planet = "v";
    std::string RightAscension, Declination, SunRadius, SiderealTime, RadiusRatio;
    std::string Latitude1, Longitude1, Latitude2, Longitude2;
    std::string Time, X1, Y1, X2, Y2;
};
AnswerTexts Answers;

// The date and time whose ephemeris gives the defaults (UseDateForDefaults).
struct DateForDefaults {
    bool Given = false;
    Ephemeris::CalendarDate Date;
    std::string TimeText;
    double HoursUt = 0;
    std::string Planet = "v"; // the default of the planet question: "m" on a transit of Mercury
};
DateForDefaults DefaultsDate;

const std::string& Text(TextEntry entry)
{
    return MessageTexts[static_cast<std::size_t>(Language)][static_cast<std::size_t>(entry)];
}

std::string Aligned(const std::string& prompt)
{
    return Utf8::PadLeft(prompt, PromptColumns);
}

void WriteUnderlined(const std::string& heading)
{
    KernDos::WriteLine(heading);
    KernDos::WriteLine(std::string(Utf8::CountCharacters(heading), '='));
}

void ReadAngle(const std::string& prompt, std::string& text, double& value)
{
    KernDos::ReadText(Aligned(prompt), text);
    value = AstrRout::ParseAngle(text);
}

void ReadNumber(const std::string& prompt, std::string& text, double& value)
{
    ModulDos::ReadReal(Aligned(prompt), text, value);
}

void LoadPlanetDefaults(bool venus)
{
    Answers.RightAscension = venus ? "5h7m27" : "2h55m23";
    Answers.Declination = venus ? "22g53'16" : "16g42'51";
    Answers.SunRadius = venus ? "15.75" : "15.85";
    Answers.SiderealTime = venus ? "17h6m52" : "14h57m43";
    Answers.RadiusRatio = venus ? "0.715" : "0.446";
}

void LoadSiteAndPositionDefaults()
{
    Answers.Latitude1 = "51.24";
    Answers.Longitude1 = "7.0";
    Answers.Latitude2 = "-22.34";
    Answers.Longitude2 = "17.05";
    Answers.Time = "9.52";
    Answers.X1 = "0.7688";
    Answers.Y1 = "0.4439";
    Answers.X2 = "0.7789";
    Answers.Y2 = "0.4400";
}

// The five planet-dependent defaults from the ephemeris, and the line that
// says for which date, time and planet they hold.
void LoadComputedDefaults(bool venus)
{
    const Ephemeris::SunData sun = Ephemeris::Compute(DefaultsDate.Date, DefaultsDate.HoursUt,
        venus ? Ephemeris::Planet::Venus : Ephemeris::Planet::Mercury);
    Answers.RightAscension = Ephemeris::FormatHours(sun.RightAscension);
    Answers.Declination = Ephemeris::FormatDegrees(sun.Declination);
    Answers.SunRadius = Ephemeris::FormatArcminutes(sun.Radius);
    Answers.SiderealTime = Ephemeris::FormatHours(sun.SiderealTime0);
    Answers.RadiusRatio = Ephemeris::FormatRatio(sun.RadiusRatio);
}

std::string DateText(const Ephemeris::CalendarDate& date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
    return text;
}

// The time with a point, also when it was given with a comma: "8,20" after
// the date's comma would read as a list.
void WriteComputedDefaultsNote(bool venus)
{
    std::string time = DefaultsDate.TimeText;
    std::replace(time.begin(), time.end(), ',', '.');
    KernDos::WriteLine(Text(ComputedDefaultsNote) + " " + DateText(DefaultsDate.Date) + ", " + time
        + " UT, " + Text(venus ? VenusName : MercuryName));
}

// German: the lines before the first "Derivation" line. English: that line
// and everything after it (nothing when there is none). False when there is
// no such regular file.
bool ShowTitleFile()
{
    Files::RegularFileStream file(InfoTextFile);
    if (!file.IsOpen())
        return false;
    bool inEnglishPart = false;
    for (std::string line; Utf8::ReadLine(file, line);) {
        line = Utf8::FromUtf8OrLatin1(line);
        if (!inEnglishPart && line.find("Derivation") != std::string::npos)
            inEnglishPart = true;
        if (inEnglishPart == (Language == English))
            KernDos::WriteLine(line);
        else if (Language == German)
            return true;
    }
    if (file.bad())
        KernDos::EndWithError(std::string("cannot read ") + InfoTextFile);
    return true;
}

void ShowBuiltInTitle()
{
    for (TextEntry line : { TitleLine1, TitleLine2, TitleLine3, TitleLine4, TitleLine5 })
        KernDos::WriteLine(Text(line));
}

void ReadSite(int number, std::string& latitudeText, double& latitude, std::string& longitudeText,
    double& longitude)
{
    KernDos::WriteLine();
    WriteUnderlined(Text(SiteHeading) + " " + std::to_string(number) + ":");
    ReadAngle(Text(LatitudePrompt), latitudeText, latitude);
    ReadAngle(Text(LongitudePrompt), longitudeText, longitude);
}

bool Finite(double value)
{
    return std::isfinite(value);
}

// A bound of the rounding error in the site and Sun vectors, and so in Delta
// and the scalar product: a few units in the last place of the angles that
// went into them (the local sidereal times are sums of three).
double RoundingBound()
{
    const double angles = std::fabs(Input.SiderealTime0) + std::fabs(SiderealRate * Input.Time)
        + std::fabs(Input.Longitude1) + std::fabs(Input.Longitude2) + std::fabs(Input.Latitude1)
        + std::fabs(Input.Latitude2) + std::fabs(Input.RightAscension)
        + std::fabs(Input.Declination);
    return 16 * DBL_EPSILON * (4 + angles);
}

// "0.0" rather than "-0.0": a value that rounds to zero has no sign to show.
std::string FormatResult(double value, int width, int decimals)
{
    std::string text = NumberText::FormatFixed(value, width, decimals);
    if (text.find_first_of("123456789") == std::string::npos)
        text = NumberText::FormatFixed(0.0, width, decimals);
    return text;
}

void WriteResultLine(TextEntry entry, const std::string& value)
{
    KernDos::WriteLine(Utf8::PadLeft(Text(entry), ResultColumns) + value);
}

std::string UndefinedText(TextEntry why)
{
    return "  " + Text(why);
}

// Why w has no value: a product outside -1..1 (possible only with the Sun below
// a horizon), or inputs too large to compute with.
// False also when the bound is not a number.
bool SitesArePlaced()
{
    return RoundingBound() <= PlacementLimit;
}

TextEntry WhyNoAngle()
{
    return SitesArePlaced() && Finite(Result.ScalarProduct) ? UndefinedSunBelowHorizon
                                                            : UndefinedOutOfRange;
}

// Why piS has no value. Delta and the product are compared within their
// rounding: sites a full turn apart, or two entries for a pole, coincide.
bool ParallaxUndefined(TextEntry& why)
{
    const double delta = Result.Baseline.Length;
    const double product = std::fabs(Result.ScalarProduct);
    const double rounding = RoundingBound();
    if (Input.RadiusRatio == 0)
        why = UndefinedRatioZero;
    else if (!SitesArePlaced())
        why = UndefinedOutOfRange;
    else if (delta <= rounding)
        why = UndefinedSitesCoincide;
    else if (product > 1 + rounding)
        why = UndefinedSunBelowHorizon;
    else if (std::fabs(product - 1) <= rounding) // sin w = 0
        why = std::fabs(delta - 1) <= rounding ? UndefinedBaselineTowardSun
                                               : UndefinedZenithCosinesDifferByOne;
    else if (!Finite(Result.PiS))
        why = UndefinedOutOfRange;
    else
        return false;
    return true;
}

} // namespace

void ResetState()
{
    Language = English;
    for (auto& row : MessageTexts)
        row.fill({});
    Input = {};
    Result = {};
    Answers = {};
    DefaultsDate = {};
}

void UseDateForDefaults(const Ephemeris::CalendarDate& date, const std::string& timeText)
{
    // As the time question reads it: a comma is a decimal point.
    std::string pointText = timeText;
    std::replace(pointText.begin(), pointText.end(), ',', '.');
    double hhmm = 0;
    int errorPos = 0;
    NumberText::TextToReal(pointText, hhmm, errorPos);
    assert(errorPos == 0 && "the time text is checked before, as hh.mm");
    const bool mercury = Ephemeris::PlanetInTransit(date) == Ephemeris::Planet::Mercury;
    DefaultsDate = { true, date, timeText, AstrRout::HhMmToHours(hhmm), mercury ? "m" : "v" };
}

void SetUpMessageTexts()
{
    auto& en = MessageTexts[English];
    auto& de = MessageTexts[German];
    en[PlanetQuestion] = "Evaluation of a transit of Mercury or of Venus (m/v) ? ";
    de[PlanetQuestion] = "Soll Merkur- oder Venustransit ausgewertet werden (m/v) ? ";
    en[SunHeading] = "Position and size of the Sun:";
    de[SunHeading] = "Position und Groesse der Sonne:";
    en[RightAscensionPrompt] = "Right ascension ";
    de[RightAscensionPrompt] = "Rektaszension ";
    en[DeclinationPrompt] = "Declination ";
    de[DeclinationPrompt] = "Deklination ";
    en[SunRadiusPrompt] = "Angular radius of the Sun in arcminutes ";
    de[SunRadiusPrompt] = "Winkelradius der Sonne in Bogenminuten ";
    en[SiderealTimePrompt] = "Sideral time of Greenwich at 0.00 UT (hh.mm) ";
    de[SiderealTimePrompt] = "Sternzeit in Greenwich um 0.00h UT (hh.mm) ";
    en[RadiusRatioPrompt] = "rPlanet/rEarth ";
    de[RadiusRatioPrompt] = "rPlanet/rErde ";
    en[SiteHeading] = "Site of observation";
    de[SiteHeading] = "Beobachtungsort";
    en[LatitudePrompt] = "geographical latitude ";
    de[LatitudePrompt] = "geografische Breite ";
    en[LongitudePrompt] = "gographical longitude ";
    de[LongitudePrompt] = "geografische Laenge ";
    en[TimePrompt] = "Time (UT in hh.mm) ";
    de[TimePrompt] = "Uhrzeit (UT in hh.mm) ";
    en[PositionsHeading] = "Planet's rectangular coordinates on the Sun's disc";
    de[PositionsHeading] = "Rechtwinklige Koordinaten des Planeten auf der Sonnenscheibe:";
    en[ResultsHeading] = "Results:";
    de[ResultsHeading] = "Ergebnisse:";
    en[BetaLabel] = "Paralactic displacement beta :";
    de[BetaLabel] = "Parallaktische Verschiebung beta :";
    en[DeltaLabel] = "Linear distance of the two observers Delta :";
    de[DeltaLabel] = "Linearer Abstand der beiden Beobachter :";
    en[ProjectedDeltaLabel] = "Projected distance of the two observers Delta*sin(w) :";
    de[ProjectedDeltaLabel] = "Projizierter Abstand der beiden Beobachter Delta*sin(w) :";
    en[ParallaxLabel] = "Parallax of the Sun piS :";
    de[ParallaxLabel] = "Parallaxe der Sonne piS :";
    for (int entry = 17; entry <= 19; ++entry) {
        en[static_cast<std::size_t>(entry)].clear();
        de[static_cast<std::size_t>(entry)].clear();
    }
    en[ComputedDefaultsNote] = "Defaults computed for";
    de[ComputedDefaultsNote] = "Vorgaben berechnet fuer";
    en[MercuryName] = "Mercury";
    de[MercuryName] = "Merkur";
    en[VenusName] = "Venus";
    de[VenusName] = "Venus";
    en[UndefinedSitesCoincide] = "undefined: the two sites of observation coincide";
    de[UndefinedSitesCoincide] = "nicht definiert: die beiden Beobachtungsorte fallen zusammen";
    en[UndefinedSunBelowHorizon]
        = "undefined: the Sun is below the horizon of a site of observation";
    de[UndefinedSunBelowHorizon]
        = "nicht definiert: die Sonne steht an einem Beobachtungsort unter dem Horizont";
    en[UndefinedBaselineTowardSun] = "undefined: the line between the sites points at the Sun";
    de[UndefinedBaselineTowardSun]
        = "nicht definiert: die Verbindungslinie der Beobachtungsorte zeigt zur Sonne";
    en[UndefinedZenithCosinesDifferByOne]
        = "undefined: sin(w) is 0, the cosines of the Sun's zenith distances at the two sites "
          "differ by 1";
    de[UndefinedZenithCosinesDifferByOne]
        = "nicht definiert: sin(w) ist 0, die Kosinus der Zenitdistanzen der Sonne an den "
          "beiden Orten unterscheiden sich um 1";
    en[UndefinedRatioZero] = "undefined: rPlanet/rEarth is 0";
    de[UndefinedRatioZero] = "nicht definiert: rPlanet/rErde ist 0";
    en[UndefinedOutOfRange] = "undefined: the inputs are out of range";
    de[UndefinedOutOfRange] = "nicht definiert: die Eingaben liegen außerhalb des Rechenbereichs";
    en[TitleLine1] = "                       Derivation of the Sun's parallax";
    de[TitleLine1] = "                         Bestimmung der Sonnenparallaxe";
    en[TitleLine2] = "                       ================================";
    de[TitleLine2] = "                         ==============================";
    en[TitleLine3] = "        from the parallactic shift during a transit of Mercury or Venus";
    de[TitleLine3]
        = "     aus der parallaktischen Verschiebung bei einem Merkur- oder Venustransit";
    en[TitleLine4] = "        ===============================================================";
    de[TitleLine4]
        = "     ========================================================================";
    en[TitleLine5]
        = "                   Quenmark, by its authors for school and public observatories";
    de[TitleLine5]
        = "                    Quenmark, von seinen Autoren fuer Schul- und Volkssternwarten";
    en[NeedsValueRefusal] = "%1 needs a value";
    de[NeedsValueRefusal] = "%1 braucht einen Wert";
    en[DateUnreadableRefusal] = "cannot read the date \"%1\" (YYYY-MM-DD)";
    de[DateUnreadableRefusal] = "das Datum \"%1\" ist nicht lesbar (JJJJ-MM-TT)";
    en[NoSuchDateRefusal] = "the date %1 does not exist";
    de[NoSuchDateRefusal] = "das Datum %1 gibt es nicht";
    en[DateOutOfRangeRefusal] = "the date %1 lies outside the years %2 to %3";
    de[DateOutOfRangeRefusal] = "das Datum %1 liegt ausserhalb der Jahre %2 bis %3";
    en[TimeUnreadableRefusal] = "cannot read the time \"%1\" (hh.mm UT)";
    de[TimeUnreadableRefusal] = "die Uhrzeit \"%1\" ist nicht lesbar (hh.mm UT)";
    en[UnexpectedArgumentRefusal] = "unexpected argument \"%1\"";
    de[UnexpectedArgumentRefusal] = "unerwartetes Argument \"%1\"";
    en[TimeWithoutDateRefusal] = "--time needs --date";
    de[TimeWithoutDateRefusal] = "--time braucht --date";
    en[OutputWriteFailure] = "cannot write standard output%1";
    de[OutputWriteFailure] = "die Standardausgabe ist nicht schreibbar%1";
    en[SeriesNeedBothRefusal] = "--series1 and --series2 go together";
    de[SeriesNeedBothRefusal] = "--series1 und --series2 gehoeren zusammen";
    en[SeriesNeedDateRefusal] = "--series1 and --series2 need --date";
    de[SeriesNeedDateRefusal] = "--series1 und --series2 brauchen --date";
    en[OptionNeedsSeriesRefusal] = "%1 needs --series1 and --series2";
    de[OptionNeedsSeriesRefusal] = "%1 braucht --series1 und --series2";
    en[SiteUnreadableRefusal] = "cannot read the site \"%1\" (LAT,LON in degrees, east positive)";
    de[SiteUnreadableRefusal]
        = "der Ort \"%1\" ist nicht lesbar (BREITE,LAENGE in Grad, Osten positiv)";
    en[PlanetUnreadableRefusal] = "unknown planet \"%1\" (venus or mercury)";
    de[PlanetUnreadableRefusal] = "unbekannter Planet \"%1\" (venus oder mercury)";
    en[LanguageUnreadableRefusal] = "unknown language \"%1\" (e or g)";
    de[LanguageUnreadableRefusal] = "unbekannte Sprache \"%1\" (e oder g)";
    en[SeriesNoHeader] = "%1: empty, no header line";
    de[SeriesNoHeader] = "%1: leer, keine Kopfzeile";
    en[SeriesMissingColumn] = "%1, line %2: no column \"%3\"";
    de[SeriesMissingColumn] = "%1, Zeile %2: keine Spalte \"%3\"";
    en[SeriesUnreadableValue] = "%1, line %2: cannot read the column \"%3\"";
    de[SeriesUnreadableValue] = "%1, Zeile %2: die Spalte \"%3\" ist nicht lesbar";
    en[SeriesNoUncertainty] = "%1, line %2: no uncertainty in \"%3\"";
    de[SeriesNoUncertainty] = "%1, Zeile %2: keine Unsicherheit in \"%3\"";
    en[SeriesTimesOutOfOrder] = "%1, line %2: earlier than the measurement's time before";
    de[SeriesTimesOutOfOrder] = "%1, Zeile %2: frueher als die Zeit davor in der Messung";
    en[SeriesTooFew] = "%1: %3 positions, at least 3 needed";
    de[SeriesTooFew] = "%1: %3 Positionen, mindestens 3 noetig";
    en[SeriesTooLarge] = "%1: too large (%3 bytes)";
    de[SeriesTooLarge] = "%1: zu gross (%3 Bytes)";
    en[SeriesNotReadable] = "%1: cannot be read: %3";
    de[SeriesNotReadable] = "%1: nicht lesbar: %3";
    en[SeriesNotRegular] = "%1: no regular file";
    de[SeriesNotRegular] = "%1: keine gewoehnliche Datei";
    en[SeriesNoOverlap] = "the two series do not overlap in time";
    de[SeriesNoOverlap] = "die beiden Reihen ueberlappen sich zeitlich nicht";
    en[SeriesFitFailed] = "the fit failed: too few positions or no shift between the sites";
    de[SeriesFitFailed]
        = "die Anpassung ist gescheitert: zu wenige Positionen oder keine Verschiebung";
    en[SeriesCounts] = "Positions: %1 from site 1, %2 from site 2";
    de[SeriesCounts] = "Positionen: %1 von Ort 1, %2 von Ort 2";
    en[TrackDegrees] = "Tracks: degree %1 (site 1), %2 (site 2)";
    de[TrackDegrees] = "Bahnen: Grad %1 (Ort 1), %2 (Ort 2)";
    en[MomentsHeading] = "Common moments:";
    de[MomentsHeading] = "Gemeinsame Zeitpunkte:";
    en[MomentsColumns] = "   UT          x1'        y1'        x2'        y2'      shift  parallax";
    de[MomentsColumns]
        = "   UT          x1'        y1'        x2'        y2'     Versch. Parallaxe";
    en[FormulaParallaxLabel] = "Parallax of the Sun piS (formula): ";
    de[FormulaParallaxLabel] = "Parallaxe der Sonne piS (Formel): ";
    en[RigorousParallaxLabel] = "Parallax of the Sun piS (rigorous): ";
    de[RigorousParallaxLabel] = "Parallaxe der Sonne piS (streng): ";
    en[UnitLine] = "Astronomical unit (%1): %2 km ± %3 km";
    de[UnitLine] = "Astronomische Einheit (%1): %2 km ± %3 km";
    en[FormulaName] = "formula";
    de[FormulaName] = "Formel";
    en[RigorousName] = "rigorous";
    de[RigorousName] = "streng";
    en[PositionsUsed] = "Positions used: %1 (formula), %2 (rigorous); dropped: %3, %4";
    de[PositionsUsed] = "Verwendete Positionen: %1 (Formel), %2 (streng); verworfen: %3, %4";
    en[PositionDropped] = "Dropped (%1): %2, line %3, beyond 4 sigma";
    de[PositionDropped] = "Verworfen (%1): %2, Zeile %3, ueber 4 Sigma";
    en[PlotWritten] = "Plot: %1";
    de[PlotWritten] = "Grafik: %1";
    en[PlotNotWritten] = "cannot write the plot %1%2";
    de[PlotNotWritten] = "die Grafik %1 ist nicht schreibbar%2";
    en[PlotForeignFile] = "%1 exists and is no plot of this program: left as it is";
    de[PlotForeignFile] = "%1 gibt es schon, keine Grafik dieses Programms: nicht ersetzt";
    en[PlotTitle] = "Positions on the Sun's disc (solar radii) and fitted tracks";
    de[PlotTitle] = "Positionen auf der Sonnenscheibe (Sonnenradien) und angepasste Bahnen";
    en[PlotAcrossTrack] = "across the track, stretched %1 times";
    de[PlotAcrossTrack] = "quer zur Bahn, %1-fach gedehnt";
    en[PlotResiduals] = "Residuals from the tracks (sigma) against UT";
    de[PlotResiduals] = "Abweichungen von den Bahnen (Sigma) gegen UT";
    en[SitesFromOptions] = "Sites: %1 and %2, planet %3, date %4";
    de[SitesFromOptions] = "Orte: %1 und %2, Planet %3, Datum %4";
}

std::string FilledText(int language, TextEntry entry, const std::vector<std::string>& values)
{
    const std::string& text
        = MessageTexts[static_cast<std::size_t>(language)][static_cast<std::size_t>(entry)];
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
            filled += values[index];
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

void ChooseLanguageAndShowTitle()
{
    SetUpMessageTexts();
    std::string answer = "e";
    KernDos::ReadChar("english/german (e/g) ? ", answer);
    Language = answer == "G" || answer == "g" ? German : English;
    Answers = {}; // planet "v" (assigning the literal trips a false -Wrestrict of GCC 12)
    LoadSiteAndPositionDefaults();
    if (DefaultsDate.Given) {
        Answers.Planet = DefaultsDate.Planet;
        Answers.Time = DefaultsDate.TimeText;
    }
    KernDos::WriteLine();
    if (!ShowTitleFile())
        ShowBuiltInTitle();
    KernDos::WriteLine();
}

void ReadSunAndSites()
{
    KernDos::ReadChar(Text(PlanetQuestion), Answers.Planet);
    const bool venus = Answers.Planet == "V" || Answers.Planet == "v";
    LoadPlanetDefaults(venus);
    if (DefaultsDate.Given)
        LoadComputedDefaults(venus);
    KernDos::WriteLine();
    if (DefaultsDate.Given)
        WriteComputedDefaultsNote(venus);
    WriteUnderlined(Text(SunHeading));
    ReadAngle(Text(RightAscensionPrompt), Answers.RightAscension, Input.RightAscension);
    ReadAngle(Text(DeclinationPrompt), Answers.Declination, Input.Declination);
    ReadNumber(Text(SunRadiusPrompt), Answers.SunRadius, Input.SunRadius);
    Input.SunRadius = Input.SunRadius / 60 * Mathe::RadiansPerDegree;
    KernDos::WriteLine();
    ReadAngle(Text(SiderealTimePrompt), Answers.SiderealTime, Input.SiderealTime0);
    KernDos::WriteLine();
    ReadNumber(Text(RadiusRatioPrompt), Answers.RadiusRatio, Input.RadiusRatio);
    ReadSite(1, Answers.Latitude1, Input.Latitude1, Answers.Longitude1, Input.Longitude1);
    ReadSite(2, Answers.Latitude2, Input.Latitude2, Answers.Longitude2, Input.Longitude2);
}

void ReadTimeAndPositions()
{
    KernDos::WriteLine();
    ReadNumber(Text(TimePrompt), Answers.Time, Input.Time);
    Input.Time = AstrRout::HhMmToHours(Input.Time) * 15 * Mathe::RadiansPerDegree;
    KernDos::WriteLine();
    WriteUnderlined(Text(PositionsHeading));
    KernDos::WriteLine("Position 1:");
    KernDos::WriteLine("===========");
    ReadNumber("x1 = ", Answers.X1, Input.X1);
    ReadNumber("y1 = ", Answers.Y1, Input.Y1);
    KernDos::WriteLine();
    KernDos::WriteLine("Position 2:");
    KernDos::WriteLine("===========");
    ReadNumber("x2 = ", Answers.X2, Input.X2);
    ReadNumber("y2 = ", Answers.Y2, Input.Y2);
}

void ComputeSunVector()
{
    Result.SunVector = Mathe::SphericalToCartesian({ 1, Input.RightAscension, Input.Declination });
}

void ComputeParallax()
{
    const double rho = Input.SunRadius;
    const double x1 = Input.X1 * rho, y1 = Input.Y1 * rho, x2 = Input.X2 * rho, y2 = Input.Y2 * rho;

    auto localSiderealTime = [](double longitude) {
        double time = Input.SiderealTime0 + longitude + SiderealRate * Input.Time;
        if (time > 2 * std::numbers::pi)
            time -= 2 * std::numbers::pi;
        return time;
    };
    Result.LocalSiderealTime1 = localSiderealTime(Input.Longitude1);
    Result.LocalSiderealTime2 = localSiderealTime(Input.Longitude2);
    Result.SiteVector1
        = Mathe::SphericalToCartesian({ 1, Result.LocalSiderealTime1, Input.Latitude1 });
    Result.SiteVector2
        = Mathe::SphericalToCartesian({ 1, Result.LocalSiderealTime2, Input.Latitude2 });
    Result.Baseline = Mathe::VectorDifference(Result.SiteVector2, Result.SiteVector1);

    Result.ScalarProduct = Mathe::DotProduct(Result.Baseline, Result.SunVector);
    // Beyond -1..1 by no more than the rounding, the product is -1 or 1: w is
    // pi or 0, no Sun below a horizon.
    double product = Result.ScalarProduct;
    if (std::fabs(product) > 1 && std::fabs(product) - 1 <= RoundingBound())
        product = std::copysign(1.0, product);
    Result.W = Mathe::ArcCos(product);
    Result.Beta
        = std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2)) / Mathe::RadiansPerDegree * 3600;
    Result.PiS
        = Result.Beta / Result.Baseline.Length / std::sin(Result.W) * (1 / Input.RadiusRatio - 1);
}

void ShowResults()
{
    const double delta = Result.Baseline.Length;
    const double projected = std::sin(Result.W) * delta;
    KernDos::WriteLine();
    WriteUnderlined(Text(ResultsHeading));

    WriteResultLine(BetaLabel,
        Finite(Result.Beta) ? FormatResult(Result.Beta, 5, 1) + "\""
                            : UndefinedText(UndefinedOutOfRange));
    WriteResultLine(
        DeltaLabel, Finite(delta) ? FormatResult(delta, 6, 2) : UndefinedText(UndefinedOutOfRange));
    if (Finite(projected))
        WriteResultLine(ProjectedDeltaLabel, FormatResult(projected, 6, 2));
    else
        WriteResultLine(ProjectedDeltaLabel,
            UndefinedText(std::isnan(Result.W) ? WhyNoAngle() : UndefinedOutOfRange));
    TextEntry why {};
    if (ParallaxUndefined(why))
        WriteResultLine(ParallaxLabel, UndefinedText(why));
    else
        WriteResultLine(ParallaxLabel, FormatResult(Result.PiS, 5, 1) + "\"");
    KernDos::WriteLine();
}

Results ComputeFor(const Inputs& inputs)
{
    Input = inputs;
    ComputeSunVector();
    ComputeParallax();
    return Result;
}

bool AskPlanet(const std::string& defaultAnswer)
{
    std::string answer = defaultAnswer;
    KernDos::ReadChar(Text(PlanetQuestion), answer);
    return answer == "V" || answer == "v";
}

void AskSite(int number, double& latitude, double& longitude)
{
    LoadSiteAndPositionDefaults();
    if (number == 1)
        ReadSite(1, Answers.Latitude1, latitude, Answers.Longitude1, longitude);
    else
        ReadSite(2, Answers.Latitude2, latitude, Answers.Longitude2, longitude);
}

void Run()
{
    ChooseLanguageAndShowTitle();
    ReadSunAndSites();
    ComputeSunVector();
    for (;;) {
        ReadTimeAndPositions();
        ComputeParallax();
        ShowResults();
    }
}

} // namespace Quenmark
