// SPDX-License-Identifier: GPL-3.0-or-later
// Helidor's bilingual texts and the info text file shown on the title screen.
#pragma once

#include <initializer_list>
#include <string>

namespace Texts {

enum Entry {
    ResultFilePrompt,
    // Messages; %1 and %2 stand for the names and details filled in by Message.
    NoPictureName,
    NotARegularFile,
    ResultFileNotWritten,
    ResultLinesKept,
    ResultFileClash,
    ScreenPictureNotSaved,
    DiskFull,
    NoWritePermission,
    WriteError,
    NoRegularFileReason,
    ResultFileReason,
    TitleText,
    SubtitleText,
    CreditLine,
    PicturePrompt,
    TimePrompt,
    DeclinationPrompt,
    PictureCountPrompt,
    TimeDifferencePrompt,
    RotationPrompt,
    HorizontalPositionPrompt,
    VerticalPositionPrompt,
    StartRadiusPrompt,
    AdjustmentCaption,
    SunLabel,
    Sun1Label,
    Sun2Label,
    KeyHelp,
    NewInputHint,
    ResultLabel,
    PositionAngleLabel,
    DisplacementLabel,
    SizePrompt,
    // Pictures that cannot be shown: %1 the file's name, %2 and on numbers.
    PictureMissing,
    PictureAccessDenied,
    PictureUnopenable,
    PictureNotRegularFile,
    PictureTooLargeForMemory,
    JpegNotJpeg,
    JpegTruncated,
    JpegScansMissing,
    JpegDamaged,
    JpegTooLargeAtSize,
    JpegAtMostMillion,
    JpegNotEnoughMemory,
    JpegLargerReduction,
    JpegOr,
    JpegTooMuchBuffer,
    JpegTooLittleData,
    BitmapUnreadable,
    // The reasons of an unreadable BMP, the detail of BitmapUnreadable.
    BitmapHeaderUnreadable,
    BitmapNotBmp,
    BitmapHeaderSize,
    BitmapHeaderCut,
    BitmapPlanes,
    BitmapDepth,
    BitmapCompression,
    BitmapDepthNeedsNewerHeader,
    BitmapDimensions,
    BitmapTooManyPixels,
    BitmapMasksCut,
    BitmapMaskShape,
    BitmapMasksOverlap,
    BitmapTooManyColours,
    BitmapTableOverlap,
    BitmapPixelsInHeader,
    BitmapCutShort,
    BitmapPixelsUnreadable,
    BitmapIndexBeyondTable,
    // The assisted fit ("a"): one refusal per reason, the warning, the results page.
    AssistNoEdge,
    AssistShortArc,
    AssistNotCircle,
    AssistMovedTooFar,
    AssistSunspot,
    AssistTooCloseToLimb,
    AssistSaturated,
    AssistNearLimb,
    AssistNoPlane, // %1 the reason the photograph could not be read at full size
    SigmaAngleLabel, // %1 "" or the exposure's " 1", " 2"
    SigmaDisplacementLabel,
    KeySigmaNote,
    AssistPictureChanged,
    Sun2OnSun1, // Return refused: the second exposure's Sun confirmed on the first's
    SigmaUndefined, // a sigma larger than its quantity can be
    // Files that are not ours, and the audit files' own messages: %1 the file's name.
    NotAResultFile,
    NotAnAuditFileReason,
    SameFileReason, // %1 the other file's name
    AuditFileRefused, // %2 the reason
    AuditLinesKept, // %2 the reason
    NoDisplay, // said before the language is chosen: InBothLanguages
    FindNoSun,
    FindTooManyDiscs,
    FindAtFrameEdge,
    FindNoSecondSun,
    FindNoPlanet,
    EntryCount
};

// Fills the German and English rows of the table.
void SetUpMessageTexts();

// The entry in the current Settings::Language; "" before the language is chosen.
const std::string& Text(Entry entry);

// The entry's English and German text on one line, "English / German", for
// what must be said before the language question. After SetUpMessageTexts.
std::string InBothLanguages(Entry entry);

// The entry with %1 .. %9 replaced by the values in their order.
std::string Message(Entry entry, std::initializer_list<std::string> values);

// The info text file of the title screen, read from the working folder.
inline constexpr const char* InfoTextFile = "Helidor.inf";

// Writes the block of the current language from the info text file below y =
// top, one line per line height plus 3 pixels, in 12-point Courier in White:
// German the lines up to and including the first empty line, English every
// line after it. Lines may be UTF-8 or Latin-1. A missing file shows nothing.
void ShowInfoText(int top);

} // namespace Texts
