// SPDX-License-Identifier: GPL-3.0-or-later
// The modal input dialog TEingabeDialog: a prompt, an edit field holding the
// default, "OK" and "Abbruch". Created once, reused for every question; the
// class lives in Eingabe.cpp. Geometry is in window (logical) pixels.
#pragma once

#include <string>

class QDialog;

namespace Eingabe {

// Width of the edit field before the first question.
inline constexpr int StartEditWidth = 121;

// Left edges and widths of one question's dialog, window pixels.
struct Layout {
    int DialogWidth, LabelLeft, EditLeft, EditWidth, OKLeft, EscLeft;
};
// promptWidth: the prompt in Label1's font; defaultCharacters: characters of
// the default text; previousEditWidth: EditWidth of the previous question
// (StartEditWidth at the first). The dialog grows for a wide prompt or a long
// default; the edit field is 15 pixels per default character, at least 150.
Layout ComputeLayout(int promptWidth, int defaultCharacters, int previousEditWidth);
// The layout narrowed to screenWidth where a long default made it wider: the
// edit field shrinks (it scrolls) and the dialog stays on the screen.
Layout KeepOnScreen(Layout layout, int promptWidth, int screenWidth);

// Creates the dialog (hidden). A QApplication and the console window must exist.
void CreateDialog();
QDialog* Dialog(); // for tests: children "Label1", "Edit", "OKBtn", "EscBtn"

// Lays the dialog out for prompt and default text, centres it on the console
// window and runs it modally. text becomes the edit field's text, unchanged;
// Abbruch or Esc ends the program (EscBtnClick). The console window is active
// again afterwards.
void ReadText(const std::string& prompt, std::string& text);

// The edit width back to StartEditWidth. For tests.
void Reset();

} // namespace Eingabe
