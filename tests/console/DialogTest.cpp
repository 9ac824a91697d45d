// SPDX-License-Identifier: GPL-3.0-or-later
// The input dialog: its geometry, the answers it gives, and the prompted
// readers of Kern and Modul on top of it.
#include "AnswersInTurn.h"
#include "TestSupport.h"

#include "Eingabe.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "Modul.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace {

using ConsoleTesting::ConsoleTest;
using ConsoleTesting::DialogScript;
using ConsoleTesting::EmptyAndClickOK;
using ConsoleTesting::PressReturn;
using ConsoleTesting::Type;

// The console's start state (ConsoleTest), under this file's name.
class DialogTest : public ConsoleTest { };

// [SECTION] Geometry rules

struct LayoutCase {
    const char* name;
    int promptWidth, defaultCharacters, previousEditWidth;
    Eingabe::Layout expected;
};

class LayoutTest : public testing::TestWithParam<LayoutCase> { };

TEST_P(LayoutTest, FollowsTheGeometryRules)
{
    const LayoutCase& c = GetParam();
    const Eingabe::Layout got
        = Eingabe::ComputeLayout(c.promptWidth, c.defaultCharacters, c.previousEditWidth);
    EXPECT_EQ(got.DialogWidth, c.expected.DialogWidth);
    EXPECT_EQ(got.LabelLeft, c.expected.LabelLeft);
    EXPECT_EQ(got.EditLeft, c.expected.EditLeft);
    EXPECT_EQ(got.EditWidth, c.expected.EditWidth);
    EXPECT_EQ(got.OKLeft, c.expected.OKLeft);
    EXPECT_EQ(got.EscLeft, c.expected.EscLeft);
}

INSTANTIATE_TEST_SUITE_P(Examples, LayoutTest,
    testing::Values(
        // "0.0" at the first question: the edit field stays 121 in the growth
        // step, ends 150 wide, the dialog stays 344.
        LayoutCase { "ShortDefault", 100, 3, 121, { 344, 122, 97, 150, 58, 197 } },
        LayoutCase { "PromptJustFits", 274, 3, 121, { 344, 35, 97, 150, 58, 197 } },
        LayoutCase { "WidePrompt", 400, 3, 121, { 470, 35, 160, 150, 100, 281 } },
        // 20 characters: e = 300, the edit grows to 370, the dialog to 440.
        LayoutCase { "LongDefault", 100, 20, 121, { 440, 170, 70, 300, 90, 261 } },
        // The previous edit width 300 is more than 3 x 45: it shrinks to 135.
        LayoutCase { "AfterALongDefault", 100, 3, 300, { 344, 122, 97, 150, 58, 197 } },
        LayoutCase {
            "PreviousWideEditWidensTheDialog", 100, 10, 400, { 470, 185, 160, 150, 100, 281 } },
        LayoutCase { "EmptyDefault", 100, 0, 121, { 344, 122, 97, 150, 58, 197 } },
        // e = 210 is less than the previous 250, but e + 70 is more: the edit
        // grows to 280 and the dialog to 350.
        LayoutCase { "GrowsByTheMargin", 100, 14, 250, { 350, 125, 70, 210, 60, 201 } },
        // e = 105: the previous 400 shrinks to 3 x 105 = 315, the dialog to 385.
        LayoutCase {
            "ShrinksToThreeTimesTheDefault", 100, 7, 400, { 385, 142, 117, 150, 71, 223 } }),
    ConsoleTesting::RowName());

TEST_F(DialogTest, DialogIsLaidOutAndCentredOnTheConsole)
{
    QRect dialogGeometry, edit, ok, esc, label;
    std::string caption, tooltip;
    DialogScript script({ [&](QDialog& dialog) {
        dialogGeometry = QRect(dialog.pos(), dialog.size()); // pos includes the frame
        edit = dialog.findChild<QLineEdit*>("Edit")->geometry();
        ok = dialog.findChild<QPushButton*>("OKBtn")->geometry();
        esc = dialog.findChild<QPushButton*>("EscBtn")->geometry();
        label = dialog.findChild<QLabel*>("Label1")->geometry();
        caption = dialog.windowTitle().toStdString();
        tooltip = dialog.findChild<QPushButton*>("EscBtn")->toolTip().toStdString();
        PressReturn()(dialog);
    } });
    std::string text = "0.0";
    Kern::ReadText("Radius", text);
    EXPECT_EQ(caption, "Eingabe");
    EXPECT_EQ(tooltip, "Abbruch des Programmes");
    EXPECT_EQ(dialogGeometry.width(), 344);
    EXPECT_EQ(dialogGeometry.height(), 167);
    EXPECT_EQ(edit, QRect(97, 65, 150, 21));
    EXPECT_EQ(ok, QRect(58, 108, 81, 29));
    EXPECT_EQ(esc, QRect(197, 108, 89, 29));
    EXPECT_EQ(label.top(), 24);
    EXPECT_EQ(label.left() + label.width() / 2, 344 / 2) << "the prompt is centred";
    const QRect console = FensterGraf::Window()->geometry();
    EXPECT_EQ(dialogGeometry.left(), console.left() + (console.width() - 344) / 2);
    EXPECT_EQ(dialogGeometry.top(), console.top() + (console.height() - 167) / 2);
}

TEST_F(DialogTest, EditWidthCarriesOverToTheNextQuestion)
{
    DialogScript script({ PressReturn(), PressReturn() });
    std::string longDefault(20, 'x');
    Kern::ReadText("Datei", longDefault);
    QWidget* edit = Eingabe::Dialog()->findChild<QLineEdit*>("Edit");
    EXPECT_EQ(edit->width(), 300);
    EXPECT_EQ(Eingabe::Dialog()->width(), 440);
    std::string shortDefault = "1";
    Kern::ReadText("Zahl", shortDefault);
    EXPECT_EQ(edit->width(), 150);
}

TEST(KeepOnScreen, NarrowsOnlyADialogWiderThanTheScreen)
{
    // 5000 characters: e = 75000, the dialog would be 75140 wide.
    const Eingabe::Layout wide
        = Eingabe::KeepOnScreen(Eingabe::ComputeLayout(100, 5000, 121), 100, 1600);
    EXPECT_EQ(wide.DialogWidth, 1600);
    EXPECT_EQ(wide.EditWidth, 1530);
    EXPECT_EQ(wide.EditLeft, 35);
    EXPECT_EQ(wide.OKLeft, 476);
    EXPECT_EQ(wide.EscLeft, 1033);
    EXPECT_EQ(wide.LabelLeft, 750);
    const Eingabe::Layout fits
        = Eingabe::KeepOnScreen(Eingabe::ComputeLayout(100, 20, 121), 100, 1600);
    EXPECT_EQ(fits.DialogWidth, 440);
    EXPECT_EQ(fits.EditWidth, 300);
}

TEST_F(DialogTest, DialogWithAVeryLongDefaultStaysOnTheScreen)
{
    QRect shown;
    DialogScript script({ [&shown](QDialog& dialog) {
        shown = dialog.frameGeometry();
        PressReturn()(dialog);
    } });
    std::string text(5000, 'x');
    Kern::ReadText("Name", text);
    const QRect screen = FensterGraf::Window()->screen()->availableGeometry();
    EXPECT_GE(shown.left(), screen.left());
    EXPECT_LE(shown.right(), screen.right());
    EXPECT_EQ(text, std::string(5000, 'x'));
}

// [SECTION] Answers

TEST_F(DialogTest, ReturnKeepsTheDefaultAndTypingReplacesIt)
{
    DialogScript script({ PressReturn(), Type("Grüße.txt"), EmptyAndClickOK() });
    TestSupport::ExpectAnswers(Kern::ReadText, "Ergebnisdatei", "Test.txt",
        { { "Test.txt" }, { "Grüße.txt", "UTF-8 reaches the program unchanged" },
            { "", "an emptied field is the empty answer" } });
    EXPECT_EQ(script.Prompts,
        (std::vector<std::string> { "Ergebnisdatei", "Ergebnisdatei", "Ergebnisdatei" }));
    EXPECT_EQ(script.Defaults, (std::vector<std::string> { "Test.txt", "Test.txt", "Grüße.txt" }));
}

TEST_F(DialogTest, KeysTypedIntoTheDialogDoNotReachTheKeyBuffer)
{
    DialogScript script({ Type("abc") });
    std::string text;
    Kern::ReadText("Name", text);
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(FensterGraf::KeyBuffer.empty());
    EXPECT_TRUE(ConsoleTesting::WaitUntil([] { return FensterGraf::WindowIsActive(); }));
}

TEST_F(DialogTest, ReadCharTakesTheLastCharacter)
{
    DialogScript script({ Type("german"), PressReturn(), EmptyAndClickOK(), Type("Grüß") });
    TestSupport::ExpectAnswers(Kern::ReadChar, "Sprache", "e",
        { { "n" }, { "n" }, { "n", "an emptied field keeps the default" }, { "ß" } });
}

// [SECTION] Prompted numbers

TEST_F(DialogTest, ReadRealRepeatsWithTheBellUntilTheAnswerConverts)
{
    DialogScript script({ Type("12a"), PressReturn(), Type("0,7688") });
    const int bellWidth = Kern::TextWidth("\a");
    const int cursor = Kern::TextCursorX;
    std::string text = "9.52";
    double value = 0;
    Modul::ReadReal("Abstand", text, value);
    EXPECT_DOUBLE_EQ(value, 0.7688);
    EXPECT_EQ(text, "0,7688") << "the default keeps the comma as typed";
    EXPECT_EQ(script.Defaults, (std::vector<std::string> { "9.52", "12a", "12a" }));
    EXPECT_EQ(Kern::TextCursorX, cursor + 2 * bellWidth) << "two bells at the text cursor";
}

TEST_F(DialogTest, ReadIntegerRepeatsUntilAWholeNumber)
{
    DialogScript script({ Type("4.5"), Type("$1F") });
    std::string text = "2";
    std::int32_t value = 0;
    Modul::ReadInteger("Anzahl", text, value);
    EXPECT_EQ(value, 31);
    EXPECT_EQ(text, "$1F");
    EXPECT_EQ(script.Defaults, (std::vector<std::string> { "2", "4.5" }));
}

TEST_F(DialogTest, ReadRealKeepsTheDefaultOnReturn)
{
    DialogScript script({ PressReturn() });
    std::string text = "9.52";
    double value = 0;
    Modul::ReadReal("Zeit", text, value);
    EXPECT_DOUBLE_EQ(value, 9.52);
    EXPECT_EQ(text, "9.52");
}

} // namespace
