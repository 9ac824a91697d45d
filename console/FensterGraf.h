// SPDX-License-Identifier: GPL-3.0-or-later
// The console window: one frameless window covering the screen, the canvas it
// shows, the 1 ms tick that drives the program, the key buffer, the mouse
// state, the palette table, picture loading and the text-file page.
//
// This header is free of Qt, so that programs on the console never see Qt;
// the window class TGrundfenster lives in FensterGraf.cpp.
//
// Entry order of a console program:
//   1. OpenConsole(programPath)     window (OnCreate) and input dialog
//   2. Kern::InitConsole(...)       font, clear, optional page and picture
//   3. store SetupRoutine, EventRoutine (and ExitHook)
//   4. run the event loop
// RunConsole does all four for a program's main().
#pragma once

#include "Bitmap.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

class QImage;
class QWidget;

namespace FensterGraf {

struct Rgb {
    int R = 0, G = 0, B = 0; // 0..255 each
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

using Routine = std::function<void()>;
inline void DoNothing() { }

// [SECTION] Console variables
// The program reads and sets these directly; the routines start as DoNothing.
inline Routine SetupRoutine = DoNothing; // called by the program's event routine only
inline Routine EventRoutine = DoNothing; // called on every tick
inline Routine ExitHook = DoNothing; // runs once just before the end (flush result files here)
inline bool SetupDone = false;
// The status EndProgram ends the process with. A test harness sets another,
// so that a test which ends the program by surprise cannot pass.
inline int EndStatus = 0;
// What RunConsole writes to standard error, as one line, before it ends with
// status 1 when no window system can be reached (no display set, or one that
// does not answer). The program sets it from its text table; while it is
// empty, Qt reports that itself and aborts.
inline std::string NoDisplayLine;

inline constexpr std::size_t KeyBufferCapacity = 255;
inline std::string KeyBuffer; // one byte per key code, oldest first, at most 255

inline std::string ProgramPath; // the running program's full path
inline std::string Caption; // program file name without folder and extension
inline std::string DefaultTextFile; // program path with the extension "txt"
inline std::string DefaultPicture; // program path with the extension "bmp"
inline bool TextPageShown = false; // a ShowTextFile page is on the screen

inline int DisplayWidth = 0; // whole screen, device pixels, taken at window creation
inline int DisplayHeight = 0;

inline int MouseX = 0; // last pointer position, canvas (device) pixels
inline int MouseY = 0;
inline int MouseButtons = 0; // 0 none, 1 left, 2 right, 3 both

// Indexed by colour number 0..255. Until the program loads the standard
// palette (Kern::LoadStandardPalette) it provisionally holds the same colours.
inline std::array<Rgb, 256> Palette {};

// The 16 standard colours as 6-bit components (0..63); Black 0 .. White 15.
inline constexpr std::array<Rgb, 16> StandardColors6Bit { {
    { 0, 0, 0 },
    { 0, 0, 40 },
    { 0, 40, 0 },
    { 0, 40, 40 },
    { 40, 7, 7 },
    { 40, 0, 40 },
    { 40, 30, 0 },
    { 49, 49, 49 },
    { 26, 26, 26 },
    { 0, 0, 63 },
    { 9, 63, 9 },
    { 0, 63, 63 },
    { 63, 10, 10 },
    { 44, 0, 63 },
    { 63, 63, 18 },
    { 63, 63, 63 },
} };
inline constexpr int StandardWhite = 15;

// [SECTION] Start and end
// Derives ProgramPath, Caption, DefaultTextFile and DefaultPicture from the
// program's full path. A file name without extension gets ".txt" / ".bmp" appended.
void DeriveProgramNames(const std::string& programPath);

// Creates the console window full-screen (OnCreate), the input dialog, and
// installs the window binding of the prompted readers. A QApplication must
// exist. Calling it again only resets the state of the existing window.
void OpenConsole(const std::string& programPath);

// The program's start on an open console: InitConsole(false, false,
// "Courier", 10, 0), then the two routines are stored.
void StartProgram(Routine setup, Routine event);
// Stores the routine EndProgram runs once before the end.
void StoreExitHook(Routine hook);

// The whole entry of a console program: application, OpenConsole,
// StartProgram, the event loop. Does not return: the program ends through
// EndProgram. noDisplayLine becomes NoDisplayLine.
[[noreturn]] void RunConsole(
    int& argc, char** argv, Routine setup, Routine event, std::string noDisplayLine = {});

// Runs ExitHook (once), flushes standard output, ends the process with
// EndStatus (0) at once: no further event, no destructors.
[[noreturn]] void EndProgram();

// Puts every variable above and the tick bookkeeping back to the start state
// (the window stays). For tests.
void Reset();

// [SECTION] End signals
// SIGTERM, SIGHUP and SIGINT (a session ending, kill, Ctrl+C in the terminal)
// end the program through EndProgram, as closing the window does, also while
// a dialog or message box is open. A QApplication must exist; RunConsole
// calls it, and a second call does nothing.
void CatchEndSignals();

// [SECTION] Window
// Canvas size in device pixels (the window's client area).
int CanvasWidth();
int CanvasHeight();
// The console window is the active window. Never while a dialog or message
// box of the console is open, whatever the window system reports: X11 moves
// the activation to the dialog only some time after it opened.
bool WindowIsActive();
void ActivateWindow();
QWidget* Window(); // for tests: the widget that receives keys and mouse
QImage& Canvas(); // what the console draws into; one pixel is one device pixel
double PixelRatio(); // device pixels per window (logical) pixel
int CanvasDotsPerInch(); // for point-sized fonts on the canvas

// Schedules a repaint of the canvas; RepaintNow shows it before returning.
void RequestRepaint();
void RepaintNow();

// [SECTION] Tick
// Called by the window's timers; public so that tests can tick by hand.
// Errors (C++ exceptions) of EventRoutine are shown in a message box, after
// which the console window is activated again. Ticks go on while the box is
// open; an error they raise opens no second box: one that differs from the
// shown one is shown after it (the latest of them only). Once the user has
// closed the box, the same error again is shown again.
void OnTimer();
// The console's error report: a message box with text over the console
// window, which is active again afterwards. What the tick does with an error.
void ShowErrorMessage(const std::string& text);
// The input dialog tells the console when it opens and closes, so that the
// tick keeps coming during its nested event loop.
void BeginModal();
void EndModal();

// [SECTION] Keys
// ReadKeyCode's counterpart: appends a code unless the buffer is full.
void StoreKeyCode(int code);

// [SECTION] Pictures in memory
// Draws picture unscaled with its top-left corner at (x, y) canvas pixels;
// what lies off the canvas is cut off. Any int coordinates are safe.
void DrawPicture(const Bitmap::Picture& picture, int x, int y);

// [SECTION] Files
// True when name is an existing file (not a folder) that can be opened for reading.
bool FileExists(const std::string& name);

// Draws a BMP file (as ReadBitmapFile reads it) unscaled with its top-left
// corner at (x, y) canvas pixels; centred on the canvas when name is
// DefaultPicture. A missing file draws nothing; an unreadable one throws
// std::runtime_error and draws nothing.
void LoadPicture(const std::string& name, int x, int y);

// Fills the canvas white and writes the file's lines in "Courier" of the
// given point size from the text cursor on. UTF-8 and Latin-1 lines both show
// right. The next typed key or mouse click clears the page.
void ShowTextFile(const std::string& name, int pointSize);

} // namespace FensterGraf
