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

// Each message in both languages, in the order of TextEntry; 17 to 19 have
// none. One entry a row, its English above its German.
struct TextRow {
    TextEntry Entry;
    const char* English;
    const char* German;
};
// clang-format off
constexpr TextRow TextRows[] = {
    { PlanetQuestion,
        "Evaluation of a transit of Mercury or of Venus (m/v) ? ",
        "Soll Merkur- oder Venustransit ausgewertet werden (m/v) ? " },
    { SunHeading,
        "Position and size of the Sun:",
        "Position und Groesse der Sonne:" },
    { RightAscensionPrompt,
        "Right ascension ",
        "Rektaszension " },
    { DeclinationPrompt,
        "Declination ",
        "Deklination " },
    { SunRadiusPrompt,
        "Angular radius of the Sun in arcminutes ",
        "Winkelradius der Sonne in Bogenminuten " },
    { SiderealTimePrompt,
        "Sideral time of Greenwich at 0.00 UT (hh.mm) ",
        "Sternzeit in Greenwich um 0.00h UT (hh.mm) " },
    { RadiusRatioPrompt,
        "rPlanet/rEarth ",
        "rPlanet/rErde " },
    { SiteHeading,
        "Site of observation",
        "Beobachtungsort" },
    { LatitudePrompt,
        "geographical latitude ",
        "geografische Breite " },
    { LongitudePrompt,
        "gographical longitude ",
        "geografische Laenge " },
    { TimePrompt,
        "Time (UT in hh.mm) ",
        "Uhrzeit (UT in hh.mm) " },
    { PositionsHeading,
        "Planet's rectangular coordinates on the Sun's disc",
        "Rechtwinklige Koordinaten des Planeten auf der Sonnenscheibe:" },
    { ResultsHeading,
        "Results:",
        "Ergebnisse:" },
    { BetaLabel,
        "Paralactic displacement beta :",
        "Parallaktische Verschiebung beta :" },
    { DeltaLabel,
        "Linear distance of the two observers Delta :",
        "Linearer Abstand der beiden Beobachter :" },
    { ProjectedDeltaLabel,
        "Projected distance of the two observers Delta*sin(w) :",
        "Projizierter Abstand der beiden Beobachter Delta*sin(w) :" },
    { ParallaxLabel,
        "Parallax of the Sun piS :",
        "Parallaxe der Sonne piS :" },
    { ComputedDefaultsNote,
        "Defaults computed for",
        "Vorgaben berechnet fuer" },
    { MercuryName,
        "Mercury",
        "Merkur" },
    { VenusName,
        "Venus",
        "Venus" },
    { UndefinedSitesCoincide,
        "undefined: the two sites of observation coincide",
        "nicht definiert: die beiden Beobachtungsorte fallen zusammen" },
    { UndefinedSunBelowHorizon,
        "undefined: the Sun is below the horizon of a site of observation",
        "nicht definiert: die Sonne steht an einem Beobachtungsort unter dem Horizont" },
    { UndefinedBaselineTowardSun,
        "undefined: the line between the sites points at the Sun",
        "nicht definiert: die Verbindungslinie der Beobachtungsorte zeigt zur Sonne" },
    { UndefinedZenithCosinesDifferByOne,
        "undefined: sin(w) is 0, the cosines of the Sun's zenith distances at the two sites "
        "differ by 1",
        "nicht definiert: sin(w) ist 0, die Kosinus der Zenitdistanzen der Sonne an den "
        "beiden Orten unterscheiden sich um 1" },
    { UndefinedRatioZero,
        "undefined: rPlanet/rEarth is 0",
        "nicht definiert: rPlanet/rErde ist 0" },
    { UndefinedOutOfRange,
        "undefined: the inputs are out of range",
        "nicht definiert: die Eingaben liegen außerhalb des Rechenbereichs" },
    { TitleLine1,
        "                       Derivation of the Sun's parallax",
        "                         Bestimmung der Sonnenparallaxe" },
    { TitleLine2,
        "                       ================================",
        "                         ==============================" },
    { TitleLine3,
        "        from the parallactic shift during a transit of Mercury or Venus",
        "     aus der parallaktischen Verschiebung bei einem Merkur- oder Venustransit" },
    { TitleLine4,
        "        ===============================================================",
        "     ========================================================================" },
    { TitleLine5,
        "                   Quenmark, by its authors for school and public observatories",
        "                    Quenmark, von seinen Autoren fuer Schul- und Volkssternwarten" },
    { NeedsValueRefusal,
        "%1 needs a value",
        "%1 braucht einen Wert" },
    { DateUnreadableRefusal,
        "cannot read the date \"%1\" (YYYY-MM-DD)",
        "das Datum \"%1\" ist nicht lesbar (JJJJ-MM-TT)" },
    { NoSuchDateRefusal,
        "the date %1 does not exist",
        "das Datum %1 gibt es nicht" },
    { DateOutOfRangeRefusal,
        "the date %1 lies outside the years %2 to %3",
        "das Datum %1 liegt ausserhalb der Jahre %2 bis %3" },
    { TimeUnreadableRefusal,
        "cannot read the time \"%1\" (hh.mm UT)",
        "die Uhrzeit \"%1\" ist nicht lesbar (hh.mm UT)" },
    { UnexpectedArgumentRefusal,
        "unexpected argument \"%1\"",
        "unerwartetes Argument \"%1\"" },
    { TimeWithoutDateRefusal,
        "--time needs --date",
        "--time braucht --date" },
    { OutputWriteFailure,
        "cannot write standard output%1",
        "die Standardausgabe ist nicht schreibbar%1" },
    { SeriesNeedBothRefusal,
        "--series1 and --series2 go together",
        "--series1 und --series2 gehoeren zusammen" },
    { SeriesNeedDateRefusal,
        "--series1 and --series2 need --date",
        "--series1 und --series2 brauchen --date" },
    { OptionNeedsSeriesRefusal,
        "%1 needs --series1 and --series2",
        "%1 braucht --series1 und --series2" },
    { SiteUnreadableRefusal,
        "cannot read the site \"%1\" (LAT,LON in degrees, east positive)",
        "der Ort \"%1\" ist nicht lesbar (BREITE,LAENGE in Grad, Osten positiv)" },
    { PlanetUnreadableRefusal,
        "unknown planet \"%1\" (venus or mercury)",
        "unbekannter Planet \"%1\" (venus oder mercury)" },
    { LanguageUnreadableRefusal,
        "unknown language \"%1\" (e or g)",
        "unbekannte Sprache \"%1\" (e oder g)" },
    { SeriesNoHeader,
        "%1: empty, no header line",
        "%1: leer, keine Kopfzeile" },
    { SeriesMissingColumn,
        "%1, line %2: no column \"%3\"",
        "%1, Zeile %2: keine Spalte \"%3\"" },
    { SeriesUnreadableValue,
        "%1, line %2: cannot read the column \"%3\"",
        "%1, Zeile %2: die Spalte \"%3\" ist nicht lesbar" },
    { SeriesNoUncertainty,
        "%1, line %2: no uncertainty in \"%3\"",
        "%1, Zeile %2: keine Unsicherheit in \"%3\"" },
    { SeriesTimesOutOfOrder,
        "%1, line %2: earlier than the measurement's time before",
        "%1, Zeile %2: frueher als die Zeit davor in der Messung" },
    { SeriesTooFew,
        "%1: %3 positions, at least 3 needed",
        "%1: %3 Positionen, mindestens 3 noetig" },
    { SeriesTooLarge,
        "%1: too large (%3 bytes)",
        "%1: zu gross (%3 Bytes)" },
    { SeriesNotReadable,
        "%1: cannot be read: %3",
        "%1: nicht lesbar: %3" },
    { SeriesNotRegular,
        "%1: no regular file",
        "%1: keine gewoehnliche Datei" },
    { SeriesNoOverlap,
        "the two series do not overlap in time",
        "die beiden Reihen ueberlappen sich zeitlich nicht" },
    { SeriesFitFailed,
        "the fit failed: too few positions or no shift between the sites",
        "die Anpassung ist gescheitert: zu wenige Positionen oder keine Verschiebung" },
    { SeriesCounts,
        "Positions: %1 from site 1, %2 from site 2",
        "Positionen: %1 von Ort 1, %2 von Ort 2" },
    { TrackDegrees,
        "Tracks: degree %1 (site 1), %2 (site 2)",
        "Bahnen: Grad %1 (Ort 1), %2 (Ort 2)" },
    { MomentsHeading,
        "Common moments:",
        "Gemeinsame Zeitpunkte:" },
    { MomentsColumns,
        "   UT          x1'        y1'        x2'        y2'      shift  parallax",
        "   UT          x1'        y1'        x2'        y2'     Versch. Parallaxe" },
    { FormulaParallaxLabel,
        "Parallax of the Sun piS (formula): ",
        "Parallaxe der Sonne piS (Formel): " },
    { RigorousParallaxLabel,
        "Parallax of the Sun piS (rigorous): ",
        "Parallaxe der Sonne piS (streng): " },
    { UnitLine,
        "Astronomical unit (%1): %2 km ± %3 km",
        "Astronomische Einheit (%1): %2 km ± %3 km" },
    { FormulaName,
        "formula",
        "Formel" },
    { RigorousName,
        "rigorous",
        "streng" },
    { PositionsUsed,
        "Positions used: %1 (formula), %2 (rigorous); dropped: %3, %4",
        "Verwendete Positionen: %1 (Formel), %2 (streng); verworfen: %3, %4" },
    { PositionDropped,
        "Dropped (%1): %2, line %3, beyond 4 sigma",
        "Verworfen (%1): %2, Zeile %3, ueber 4 Sigma" },
    { PlotWritten,
        "Plot: %1",
        "Grafik: %1" },
    { PlotNotWritten,
        "cannot write the plot %1%2",
        "die Grafik %1 ist nicht schreibbar%2" },
    { PlotForeignFile,
        "%1 exists and is no plot of this program: left as it is",
        "%1 gibt es schon, keine Grafik dieses Programms: nicht ersetzt" },
    { PlotTitle,
        "Positions on the Sun's disc (solar radii) and fitted tracks",
        "Positionen auf der Sonnenscheibe (Sonnenradien) und angepasste Bahnen" },
    { PlotAcrossTrack,
        "across the track, stretched %1 times",
        "quer zur Bahn, %1-fach gedehnt" },
    { PlotResiduals,
        "Residuals from the tracks (sigma) against UT",
        "Abweichungen von den Bahnen (Sigma) gegen UT" },
    { SitesFromOptions,
        "Sites: %1 and %2, planet %3, date %4",
        "Orte: %1 und %2, Planet %3, Datum %4" },
};
// clang-format on
static_assert(std::size(TextRows) == TextCount - 3, "every entry but 17 to 19 has its texts");

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
    for (const TextRow& row : TextRows) {
        MessageTexts[English][row.Entry] = row.English;
        MessageTexts[German][row.Entry] = row.German;
    }
    for (auto& texts : MessageTexts)
        for (std::size_t entry = 17; entry <= 19; ++entry)
            texts[entry].clear();
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
