// SPDX-License-Identifier: GPL-3.0-or-later
#include "Texts.h"

#include "Files.h"
#include "Kern.h"
#include "Settings.h"
#include "Utf8.h"

#include <array>
#include <cassert>
#include <istream>

namespace Texts {

namespace {

// Rows by Settings::Language: 0 none, 1 German, 2 English.
std::array<std::array<std::string, EntryCount>, 3> MessageTexts;

void Set(Entry entry, const char* german, const char* english)
{
    MessageTexts[1][entry] = german;
    MessageTexts[2][entry] = english;
}

// True when another line follows: the file is not at its end.
bool MoreLines(std::istream& file)
{
    return file.peek() != std::char_traits<char>::eof();
}

} // namespace

void SetUpMessageTexts()
{
    Set(ResultFilePrompt, "Name der Ergebnisdatei", "Name of result file");
    Set(NoPictureName, "Es wurde kein Bildname angegeben.", "No picture name was given.");
    Set(NotARegularFile, "\u201e%1\u201c ist keine gew\u00f6hnliche Datei.",
        "\"%1\" is not a regular file.");
    Set(ResultFileNotWritten, "Die Ergebnisdatei \"%1\" kann nicht geschrieben werden.",
        "The result file \"%1\" cannot be written.");
    Set(ResultLinesKept,
        "Die Ergebnisdatei \u201e%1\u201c kann nicht geschrieben werden (%2). Die Messung ist "
        "nicht verloren: ihre Zeilen werden bei der n\u00e4chsten Auswertung nachgetragen.",
        "The result file \"%1\" cannot be written (%2). The measurement is not lost: its lines "
        "are written with the next evaluation.");
    Set(ResultFileClash,
        "Die Ergebnisdatei \u201e%1\u201c w\u00e4re dieselbe Datei wie \u201e%2\u201c. Bitte "
        "einen anderen Namen w\u00e4hlen.",
        "The result file \"%1\" would be the same file as \"%2\". Please choose another name.");
    Set(ScreenPictureNotSaved,
        "Das Bildschirmbild \u201e%1\u201c wurde nicht gespeichert (%2). Die Messung geht weiter.",
        "The screen picture \"%1\" was not saved (%2). The measurement goes on.");
    Set(DiskFull, "der Datentr\u00e4ger ist voll", "the disk is full");
    Set(NoWritePermission, "keine Schreibberechtigung", "no permission to write");
    Set(WriteError, "Schreibfehler", "write error");
    Set(NoRegularFileReason, "keine gew\u00f6hnliche Datei", "not a regular file");
    Set(ResultFileReason, "es ist eine Ergebnisdatei", "it is a result file");
    Set(TitleText, "Positionsmessung auf doppelt oder einfach belichteten Transitfotos",
        "Position measurement on twice or once exposured transit photographs");
    Set(SubtitleText, "durch Anpassung von Kreisen", "by adjustment with circles");
    Set(CreditLine, "Helidor, von seinen Autoren f\u00fcr Schul- und Volkssternwarten",
        "Helidor, by its authors for school and public observatories");
    Set(PicturePrompt, "Name des Bildes (mit Extension)", "Name of the picture (incl. Extension)");
    Set(TimePrompt, "Uhrzeit (UT in hh.mm)", "Time (UT in hh.mm)");
    Set(DeclinationPrompt, "Deklination der Sonne in Grad", "Declination of the Sun in degrees");
    Set(PictureCountPrompt, "Anzahl der Sonnenbilder", "Number of pictures of the Sun");
    Set(TimeDifferencePrompt, "Zeitdifferenz in s", "Time difference in s");
    Set(RotationPrompt, "Drehwinkel in Grad", "Rotation angle in degrees");
    Set(HorizontalPositionPrompt, "hor. Position des Bildes", "hor. position of the picture");
    Set(VerticalPositionPrompt, "vert. Position des Bildes", "vert. position of the picture");
    Set(StartRadiusPrompt, "Anfangsradius des Kreises", "Start radius of the circle");
    Set(AdjustmentCaption, " Anpassung des Kreises an ", " Adjustment of the circle to ");
    Set(SunLabel, "Sonne", "Sun");
    Set(Sun1Label, "Sonne 1", "Sun 1");
    Set(Sun2Label, "Sonne 2", "Sun 2");
    Set(KeyHelp, " mit Cursor- und Bild-Tasten, \"Return\": Best\u00e4tigung, \"Esc\": Abbruch",
        " with cursor and page keys, \"Return\": confirmation, \"Esc\": break");
    Set(NewInputHint, " \"Esc\": neue Eingabe", " \"Esc\": new input");
    Set(ResultLabel, "Ergebnis", "Result:");
    Set(PositionAngleLabel, "Positionswinkel", "position angle");
    Set(DisplacementLabel, "Richtung der Verschiebung:", "angle of displacement:");
    Set(SizePrompt, "Gr\u00f6\u00dfe (1,2,4,8)", "Size (1,2,4,8)");
    Set(PictureMissing, "Das Bild \u201e%1\u201c gibt es nicht.",
        "The picture \"%1\" does not exist.");
    Set(PictureAccessDenied,
        "Das Bild \u201e%1\u201c l\u00e4sst sich nicht \u00f6ffnen: keine Leseberechtigung.",
        "The picture \"%1\" cannot be opened: permission denied.");
    Set(PictureUnopenable,
        "Das Bild \u201e%1\u201c l\u00e4sst sich nicht \u00f6ffnen (Systemfehler %2).",
        "The picture \"%1\" cannot be opened (system error %2).");
    Set(PictureNotRegularFile,
        "\u201e%1\u201c ist keine gew\u00f6hnliche Datei (ein Ordner, ein Ger\u00e4t oder eine "
        "Pipe) und kein Bild.",
        "\"%1\" is not a regular file (a folder, a device or a pipe) and no picture.");
    Set(PictureTooLargeForMemory, "Das Bild \u201e%1\u201c ist zu gro\u00df f\u00fcr den Speicher.",
        "The picture \"%1\" is too large to hold in memory.");
    Set(JpegNotJpeg, "Die Datei \u201e%1\u201c ist kein JPEG-Bild.",
        "The file \"%1\" is not a JPEG picture.");
    Set(JpegTruncated,
        "Das Bild \u201e%1\u201c ist abgeschnitten: seine Bilddaten enden vor dem Bild.",
        "The picture \"%1\" is truncated: its data ends before the picture does.");
    Set(JpegScansMissing,
        "Das Bild \u201e%1\u201c ist abgeschnitten: von seinen Durchg\u00e4ngen fehlen welche, es "
        "w\u00e4re unscharf.",
        "The picture \"%1\" is truncated: some of its scans are missing, it would be blurred.");
    Set(JpegDamaged, "Das Bild \u201e%1\u201c ist besch\u00e4digt und nicht lesbar.",
        "The picture \"%1\" is damaged and cannot be decoded.");
    Set(JpegTooLargeAtSize,
        "Das Bild \u201e%1\u201c ist in Gr\u00f6\u00dfe %2 zu gro\u00df: %3 x %4 Bildpunkte",
        "The picture \"%1\" is too large to hold at size %2: %3 x %4 pixels");
    Set(JpegAtMostMillion, " (h\u00f6chstens %1 Millionen).", " (at most %1 million).");
    Set(JpegNotEnoughMemory, " (zu wenig Speicher).", " (not enough memory).");
    Set(JpegLargerReduction,
        " Bitte eine st\u00e4rkere Verkleinerung w\u00e4hlen: Gr\u00f6\u00dfe %1.",
        " Please choose a larger reduction: size %1.");
    Set(JpegOr, " oder ", " or ");
    Set(JpegTooMuchBuffer,
        "Das Bild \u201e%1\u201c (%2 x %3 Bildpunkte, in mehreren Durchg\u00e4ngen gespeichert) "
        "braucht zum Entpacken in jeder Gr\u00f6\u00dfe %4 MB Speicher, mehr als %5 MB.",
        "The picture \"%1\" (%2 x %3 pixels, stored in several scans) needs %4 MB of memory "
        "to decode at any size, more than %5 MB.");
    Set(JpegTooLittleData,
        "Das Bild \u201e%1\u201c ist besch\u00e4digt: seine %2 Bytes k\u00f6nnen kein Bild von %3 "
        "x "
        "%4 Bildpunkten enthalten.",
        "The picture \"%1\" is damaged: its %2 bytes cannot hold a picture of %3 x %4 pixels.");
    Set(BitmapUnreadable, "Das Bild \u201e%1\u201c ist keine lesbare BMP-Datei (%2).",
        "The picture \"%1\" is not a readable BMP picture (%2).");
    Set(BitmapHeaderUnreadable, "sein Kopf l\u00e4sst sich nicht lesen", "cannot read its header");
    Set(BitmapNotBmp, "keine BMP-Datei", "not a BMP file");
    Set(BitmapHeaderSize, "unbekannte Kopfl\u00e4nge %1", "unknown header size %1");
    Set(BitmapHeaderCut, "die Datei endet in ihrem Kopf", "the file ends inside its header");
    Set(BitmapPlanes, "die Zahl der Ebenen muss 1 sein", "planes must be 1");
    Set(BitmapDepth, "%1 Bit je Bildpunkt werden nicht unterst\u00fctzt",
        "%1 bits per pixel are not supported");
    Set(BitmapCompression, "Kompression %1 wird nicht unterst\u00fctzt",
        "compression %1 is not supported");
    Set(BitmapDepthNeedsNewerHeader, "%1 Bit je Bildpunkt brauchen einen neueren Kopf",
        "%1 bits per pixel need a newer header");
    Set(BitmapDimensions, "die Breite muss positiv und die H\u00f6he nicht 0 sein",
        "the width must be positive and the height not 0");
    Set(BitmapTooManyPixels, "mehr als %1 Bildpunkte", "more than %1 pixels");
    Set(BitmapMasksCut, "die Datei endet in ihren Farbmasken",
        "the file ends inside its colour masks");
    Set(BitmapMaskShape, "eine Farbmaske ist leer, geteilt oder zu breit",
        "a colour mask is empty, split or too wide");
    Set(BitmapMasksOverlap, "Farbmasken \u00fcberschneiden sich", "colour masks overlap");
    Set(BitmapTooManyColours, "mehr Farben, als %1 Bit bezeichnen k\u00f6nnen",
        "more colours than %1 bits can index");
    Set(BitmapTableOverlap, "die Farbtabelle reicht in die Bildpunkte oder \u00fcber das Ende",
        "the colour table runs into the pixels or past the end");
    Set(BitmapPixelsInHeader, "die Bildpunkte beginnen im Kopf",
        "the pixels start inside the header");
    Set(BitmapCutShort, "die Datei ist abgeschnitten: %1 Bytes von %2",
        "the file is cut short: %1 bytes of %2");
    Set(BitmapPixelsUnreadable, "seine Bildpunkte lassen sich nicht lesen",
        "cannot read its pixels");
    Set(BitmapIndexBeyondTable, "ein Farbindex liegt hinter der Farbtabelle",
        "a colour index lies beyond the colour table");
    Set(AssistNoEdge, "\"a\": kein Rand in der N\u00e4he des Kreises",
        "\"a\": no edge near the circle");
    Set(AssistShortArc, "\"a\": der Rand ist nur auf einem zu kurzen Bogen zu sehen",
        "\"a\": the edge is seen on too short an arc");
    Set(AssistNotCircle, "\"a\": kein sauberer Kreis", "\"a\": not a clean circle");
    Set(AssistMovedTooFar,
        "\"a\": die Anpassung l\u00e4ge zu weit vom Kreis entfernt (bitte das Ziel pr\u00fcfen)",
        "\"a\": the fit moved too far from the seed (check the target)");
    Set(AssistSunspot, "\"a\": das sieht nach einem Sonnenfleck aus (Penumbra um den dunklen Kern)",
        "\"a\": looks like a sunspot (a penumbra around the dark core)");
    Set(AssistTooCloseToLimb, "\"a\": zu nah am Sonnenrand, um zu messen",
        "\"a\": too close to the limb to measure");
    Set(AssistSaturated, "\"a\": \u00fcbersteuert", "\"a\": saturated");
    Set(AssistNearLimb, "\"a\": angepasst, aber nah am Sonnenrand: das Ergebnis ist unsicherer",
        "\"a\": fitted, but near the limb: the result is less certain");
    Set(AssistNoPlane, "\"a\": %1", "\"a\": %1");
    Set(SigmaAngleLabel, "\u03c3 Positionswinkel%1:", "\u03c3 position angle%1:");
    Set(SigmaDisplacementLabel,
        "\u03c3 Richtung der Verschiebung:", "\u03c3 angle of displacement:");
    Set(KeySigmaNote, "Mit Tasten angepasste Kreise: \u03c3 = 0,5 px angenommen",
        "Circles fitted by keys: \u03c3 taken as 0.5 px");
    Set(FindNoSun, "\"f\": keine Sonne auf dem Bild gefunden",
        "\"f\": no Sun found on the picture");
    Set(FindTooManyDiscs, "\"f\": mehr als zwei Sonnenscheiben auf dem Bild",
        "\"f\": more than two discs of the Sun on the picture");
    Set(FindAtFrameEdge, "\"f\": die Sonnenscheibe liegt zu nah am Bildrand",
        "\"f\": the Sun's disc lies too close to the picture's edge");
    Set(FindNoSecondSun, "\"f\": keine zweite Sonnenscheibe auf dem Bild",
        "\"f\": no second disc of the Sun on the picture");
    Set(FindNoPlanet, "\"f\": kein Planet auf dieser Sonnenscheibe gefunden",
        "\"f\": no planet found on this Sun's disc");
    Set(AssistPictureChanged,
        "\"a\": die Bilddatei hat sich ge\u00e4ndert, seit sie gezeigt wurde; mit Esc neu laden",
        "\"a\": the picture file changed since it was shown; load it again with Esc");
    Set(Sun2OnSun1,
        "Sonne 2 liegt auf Sonne 1 (Mittelpunkte und Radien bis auf 2 px gleich): bitte auf die "
        "Sonne der zweiten Belichtung setzen",
        "Sun 2 lies on Sun 1 (centres and radii within 2 px): move it onto the Sun of the second "
        "exposure");
    Set(SigmaUndefined, "undefiniert", "undefined");
    Set(NotAResultFile, "\u201e%1\u201c ist keine Ergebnisdatei und wird nicht ersetzt.",
        "\"%1\" is not a result file and is not replaced.");
    Set(NotAnAuditFileReason, "es ist keine Auditdatei", "it is not an audit file");
    Set(SameFileReason, "dieselbe Datei wie \u201e%1\u201c", "the same file as \"%1\"");
    Set(AuditFileRefused,
        "Die Auditdatei \u201e%1\u201c neben der Ergebnisdatei kann nicht verwendet werden "
        "(%2).",
        "The audit file \"%1\" beside the result file cannot be used (%2).");
    Set(AuditLinesKept,
        "Die Auditdatei \u201e%1\u201c kann nicht geschrieben werden (%2). Die Messung ist "
        "nicht verloren: ihre Zeilen werden bei der n\u00e4chsten Auswertung nachgetragen.",
        "The audit file \"%1\" cannot be written (%2). The measurement is not lost: its lines "
        "are written with the next evaluation.");
    Set(NoDisplay,
        "braucht eine grafische Oberfl\u00e4che (DISPLAY oder WAYLAND_DISPLAY nicht gesetzt "
        "oder nicht nutzbar)",
        "needs a graphical desktop (DISPLAY or WAYLAND_DISPLAY unset or unusable)");
}

std::string InBothLanguages(Entry entry)
{
    assert(entry >= 0 && entry < EntryCount && "a text of the table");
    assert(!MessageTexts[2][entry].empty() && "SetUpMessageTexts must run first");
    return MessageTexts[2][entry] + " / " + MessageTexts[1][entry];
}

const std::string& Text(Entry entry)
{
    assert(entry >= 0 && entry < EntryCount && "a text of the table");
    const int row = Settings::Language == 1 || Settings::Language == 2 ? Settings::Language : 0;
    return MessageTexts[static_cast<std::size_t>(row)][entry];
}

std::string Message(Entry entry, std::initializer_list<std::string> values)
{
    const std::string& text = Text(entry);
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9') {
            const auto index = static_cast<std::size_t>(next - '1');
            if (index < values.size())
                filled += values.begin()[index];
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

void ShowInfoText(int top)
{
    Files::RegularFileStream file(InfoTextFile);
    if (!file.IsOpen())
        return;
    const bool english = Settings::Language == 2;
    const bool german = Settings::Language == 1;
    std::string line;
    if (english) {
        while (Utf8::ReadLine(file, line) && !line.empty()) { }
    }
    int y = top + Kern::CharHeight + 3;
    Kern::SetTextJustify(0, 0);
    Kern::SelectFont("Courier", 12, 0);
    // German stops after the first empty line; the first time there is none.
    bool lastLineEmpty = false;
    // Only what the screen can show is read: a long file must not stall the title.
    const auto onScreen = [&y] { return y - Kern::TextHeight("") < Kern::ScreenHeight(); };
    while (onScreen() && MoreLines(file) && (english || (german && !lastLineEmpty))) {
        if (!Utf8::ReadLine(file, line))
            break;
        lastLineEmpty = line.empty();
        Kern::WriteTextAt(0, y, Utf8::FromUtf8OrLatin1(line), Kern::White);
        y += Kern::CharHeight + 3;
    }
    Kern::SelectFont("Courier", 12, 1);
}

} // namespace Texts
