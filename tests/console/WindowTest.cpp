// SPDX-License-Identifier: GPL-3.0-or-later
// The window: key codes, the key buffer, the mouse, the tick, errors at the
// tick, Delay, program names and the end of the program.
#include "TestSupport.h"

#include "AstrRout.h"
#include "Eingabe.h"
#include "FensterGraf.h"
#include "Kern.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using ConsoleTesting::ConsoleTest;

// The console's start state (ConsoleTest), under this file's name.
class WindowTest : public ConsoleTest { };

std::string BufferCodes()
{
    std::string codes;
    for (const char c : FensterGraf::KeyBuffer)
        codes += std::to_string(static_cast<unsigned char>(c)) + " ";
    return codes;
}

// [SECTION] Key codes

struct KeyCase {
    const char* name;
    Qt::Key key;
    const char* text; // UTF-8, as the platform would send it
    Qt::KeyboardModifiers modifiers;
    const char* codes; // expected KeyBuffer, as BufferCodes writes it
};

class KeyCodeTest : public ConsoleTest, public testing::WithParamInterface<KeyCase> { };

TEST_P(KeyCodeTest, StoresTheCodeOfTheTable)
{
    const KeyCase& c = GetParam();
    QTest::sendKeyEvent(
        QTest::Click, FensterGraf::Window(), c.key, QString::fromUtf8(c.text), c.modifiers);
    EXPECT_EQ(BufferCodes(), c.codes);
}

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Alt = Qt::AltModifier;
const Qt::KeyboardModifiers CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

INSTANTIATE_TEST_SUITE_P(Keys, KeyCodeTest,
    testing::Values(KeyCase { "Left", Qt::Key_Left, "", None, "13 " },
        KeyCase { "ShiftLeft", Qt::Key_Left, "", Shift, "13 " },
        KeyCase { "CtrlLeft", Qt::Key_Left, "", Ctrl, "13 " },
        KeyCase { "Right", Qt::Key_Right, "", None, "14 " },
        KeyCase { "Up", Qt::Key_Up, "", None, "15 " },
        KeyCase { "Down", Qt::Key_Down, "", None, "16 " },
        KeyCase { "Home", Qt::Key_Home, "", None, "17 " },
        KeyCase { "End", Qt::Key_End, "", None, "18 " },
        KeyCase { "PageUp", Qt::Key_PageUp, "", None, "19 " },
        KeyCase { "PageDown", Qt::Key_PageDown, "", Shift, "20 " },
        KeyCase { "Insert", Qt::Key_Insert, "", None, "21 " },
        KeyCase { "Delete", Qt::Key_Delete, "\x7f", None, "22 " },
        KeyCase { "F1", Qt::Key_F1, "", None, "1 " },
        KeyCase { "F12", Qt::Key_F12, "", None, "12 " },
        KeyCase { "ShiftF1", Qt::Key_F1, "", Shift, "28 " },
        KeyCase { "ShiftF12", Qt::Key_F12, "", Shift, "39 " },
        KeyCase { "CtrlF1", Qt::Key_F1, "", Ctrl, "" },
        KeyCase { "AltF1", Qt::Key_F1, "", Alt, "" },
        KeyCase { "CtrlShiftF1", Qt::Key_F1, "", CtrlShift, "" },
        KeyCase { "Return", Qt::Key_Return, "\r", None, "23 " },
        KeyCase { "KeypadEnter", Qt::Key_Enter, "\r", Qt::KeypadModifier, "23 " },
        KeyCase { "Esc", Qt::Key_Escape, "\x1b", None, "27 " },
        KeyCase { "Backspace", Qt::Key_Backspace, "\b", None, "8 " },
        KeyCase { "Space", Qt::Key_Space, " ", None, "32 " },
        KeyCase { "Tab", Qt::Key_Tab, "\t", None, "9 " },
        KeyCase { "LetterC", Qt::Key_C, "c", None, "99 " },
        KeyCase { "ShiftC", Qt::Key_C, "C", Shift, "67 " },
        KeyCase { "LetterP", Qt::Key_P, "p", None, "112 " },
        KeyCase { "Digit", Qt::Key_7, "7", None, "55 " },
        // Real X11 sends the control character, the test tool the letter.
        KeyCase { "CtrlShiftCAsX11", Qt::Key_C, "\x03", CtrlShift, "3 " },
        KeyCase { "CtrlShiftCAsTestTool", Qt::Key_C, "c", CtrlShift, "3 " },
        KeyCase { "CtrlA", Qt::Key_A, "\x01", Ctrl, "1 " },
        KeyCase { "CtrlW", Qt::Key_W, "\x17", Ctrl, "23 " },
        KeyCase { "CtrlM", Qt::Key_M, "\r", Ctrl, "23 " },
        KeyCase { "Umlaut", Qt::Key_Adiaeresis, "\xc3\xa4", None, "228 " },
        KeyCase { "EuroHasNoByte", Qt::Key_currency, "\xe2\x82\xac", None, "" },
        KeyCase { "ShiftAlone", Qt::Key_Shift, "", Shift, "" },
        KeyCase { "CtrlAlone", Qt::Key_Control, "", Ctrl, "" },
        KeyCase { "AltGrAlone", Qt::Key_AltGr, "", None, "" }),
    ConsoleTesting::RowName());

// [SECTION] Key buffer

TEST_F(WindowTest, KeyBufferKeepsTheFirst255KeysInOrder)
{
    for (int i = 0; i < 300; ++i) {
        const char letter = static_cast<char>('a' + i % 26);
        QTest::keyClick(FensterGraf::Window(), letter);
    }
    ASSERT_EQ(FensterGraf::KeyBuffer.size(), 255u);
    for (int i = 0; i < 255; ++i) {
        ASSERT_TRUE(Kern::KeyAvailable());
        ASSERT_EQ(Kern::ReadKeyCode(), 'a' + i % 26) << "key " << i;
    }
    EXPECT_FALSE(Kern::KeyAvailable());
    EXPECT_EQ(Kern::ReadKeyCode(), 0);
}

// [SECTION] Mouse

// The image area covers the top 1023 rows, so on this 1000-row screen every
// press falls on it and is not seen; releases and movement are.
TEST_F(WindowTest, MouseStateFollowsPositionAndButtons)
{
    QWidget* window = FensterGraf::Window();
    QTest::mouseMove(window, QPoint(30, 40));
    EXPECT_EQ(FensterGraf::MouseX, 30);
    EXPECT_EQ(FensterGraf::MouseY, 40);
    EXPECT_EQ(FensterGraf::MouseButtons, 0);

    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(50, 60));
    EXPECT_EQ(FensterGraf::MouseButtons, 0) << "a press over the image area is not seen";
    EXPECT_EQ(FensterGraf::MouseX, 30);
    QTest::mousePress(window, Qt::RightButton, {}, QPoint(51, 999));
    EXPECT_EQ(FensterGraf::MouseButtons, 0);
    EXPECT_EQ(FensterGraf::MouseY, 40) << "the bottom row is still over the image area";
    QTest::mouseMove(window, QPoint(52, 62));
    EXPECT_EQ(FensterGraf::MouseButtons, 3) << "movement reports the held buttons";
    EXPECT_EQ(FensterGraf::MouseX, 52);
    QTest::mousePress(window, Qt::MiddleButton, {}, QPoint(52, 62));
    QTest::mouseRelease(window, Qt::MiddleButton, {}, QPoint(52, 62));
    EXPECT_EQ(FensterGraf::MouseButtons, 3) << "the middle button is ignored";
    // A release reports the buttons still held.
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(53, 63));
    EXPECT_EQ(FensterGraf::MouseButtons, 2);
    EXPECT_EQ(FensterGraf::MouseY, 63);
    QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(54, 999));
    EXPECT_EQ(FensterGraf::MouseButtons, 0);
    EXPECT_EQ(FensterGraf::MouseX, 54);
    EXPECT_EQ(FensterGraf::MouseY, 999);
}

// [SECTION] Tick

TEST_F(WindowTest, TickCallsTheEventRoutineAndKeepsTheCaption)
{
    int ticks = 0;
    FensterGraf::EventRoutine = [&ticks] { ++ticks; };
    FensterGraf::Window()->setWindowTitle("changed");
    ASSERT_TRUE(ConsoleTesting::WaitUntil([&ticks] { return ticks >= 5; }));
    EXPECT_EQ(FensterGraf::Window()->windowTitle().toStdString(), FensterGraf::Caption);
    FensterGraf::EventRoutine = nullptr;
}

TEST_F(WindowTest, AnErrorAtTheTickIsShownAndTickingGoesOn)
{
    int ticks = 0;
    FensterGraf::EventRoutine = [&ticks] {
        if (++ticks == 1)
            throw std::runtime_error("Datei Test.txt fehlt");
    };
    std::string shown;
    QTimer answer;
    answer.setInterval(0);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text().toStdString();
            box->accept();
        }
    });
    answer.start();
    ASSERT_TRUE(ConsoleTesting::WaitUntil([&ticks] { return ticks >= 5; }));
    EXPECT_EQ(shown, "Datei Test.txt fehlt");
    FensterGraf::EventRoutine = nullptr;
}

TEST_F(WindowTest, TicksKeepComingWhileTheDialogIsOpen)
{
    int depth = 0;
    int nestedTicks = 0;
    bool asked = false;
    std::string answer = "5";
    FensterGraf::EventRoutine = [&] {
        if (depth > 0) {
            ++nestedTicks; // the program's guard would return here
            return;
        }
        if (asked)
            return;
        asked = true;
        ++depth;
        Kern::ReadText("Frage", answer);
        --depth;
    };
    ConsoleTesting::DialogScript script(
        { ConsoleTesting::Type("6") }, [&nestedTicks] { return nestedTicks >= 5; });
    ASSERT_TRUE(ConsoleTesting::WaitUntil([&] { return script.Answered() == 1 && depth == 0; }));
    EXPECT_GE(nestedTicks, 5);
    EXPECT_EQ(answer, "6");
    FensterGraf::EventRoutine = nullptr;
    // The program's setup waits for the active console window.
    EXPECT_TRUE(ConsoleTesting::WaitUntil([] { return FensterGraf::WindowIsActive(); }));
}

// [SECTION] The active-window guard
// A program's setup runs inside a tick and asks its questions in the dialog;
// the ticks that come while a question is open must find the console window
// inactive, or the setup would start again from inside the dialog.

TEST_F(WindowTest, GuardedSetupAsksEachQuestionOnce)
{
    constexpr int Rounds = 20;
    int setups = 0;
    int nestedSetups = 0;
    bool inSetup = false;
    FensterGraf::EventRoutine = [&] {
        if (FensterGraf::SetupDone || !FensterGraf::WindowIsActive())
            return;
        if (inSetup) {
            ++nestedSetups;
            return;
        }
        inSetup = true;
        ++setups;
        for (const char* prompt : { "Frage 1", "Frage 2", "Frage 3" }) {
            std::string answer = "x";
            Kern::ReadText(prompt, answer);
        }
        FensterGraf::SetupDone = true;
        inSetup = false;
    };
    std::vector<ConsoleTesting::DialogAction> answers(3 * Rounds, ConsoleTesting::PressReturn());
    ConsoleTesting::DialogScript script(answers);
    for (int round = 1; round <= Rounds; ++round) {
        FensterGraf::SetupDone = false;
        ASSERT_TRUE(ConsoleTesting::WaitUntil([&] { return FensterGraf::SetupDone; }))
            << "round " << round;
        ASSERT_EQ(setups, round);
    }
    EXPECT_EQ(nestedSetups, 0);
    EXPECT_EQ(script.Answered(), 3u * Rounds);
    for (std::size_t i = 0; i < script.Prompts.size(); ++i)
        ASSERT_EQ(script.Prompts[i], "Frage " + std::to_string(i % 3 + 1)) << "question " << i;
    FensterGraf::EventRoutine = nullptr;
}

// [SECTION] Errors at the tick

// Records the texts of the error boxes as they come, and closes each once
// ready() holds: the answer waits for what the program is to do meanwhile,
// not for a time, which a loaded machine stretches.
class ErrorBoxAnswerer {
public:
    // afterClosing runs right after each box was closed, in the same turn of
    // the event loop.
    explicit ErrorBoxAnswerer(
        std::function<bool()> ready, std::function<void()> afterClosing = [] {})
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout,
            [this, ready = std::move(ready), afterClosing = std::move(afterClosing)] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box || !box->isVisible())
                    return;
                if (box != seen) {
                    Texts.push_back(box->text().toStdString());
                    seen = box;
                }
                if (ready()) {
                    box->accept();
                    afterClosing();
                }
            });
        timer.start();
    }
    std::vector<std::string> Texts;

private:
    QPointer<QMessageBox> seen; // a later box may take the same address
    QTimer timer;
};

// While the first box is open the ticks raise the same error again, a new
// one, and the same again: one box for the first, one after it for the new.
TEST_F(WindowTest, ErrorBoxComesOnceAndTheWindowIsActiveAgain)
{
    const std::string first = "Datei Test.txt fehlt";
    const std::vector<std::string> raisedInBox { first, "Bild fehlt", first, first };
    std::size_t raised = 0;
    int ticks = 0;
    bool inactiveDuringBox = true;
    FensterGraf::EventRoutine = [&] {
        ++ticks;
        const bool boxOpen = QApplication::activeModalWidget() != nullptr;
        if (boxOpen)
            inactiveDuringBox = inactiveDuringBox && !FensterGraf::WindowIsActive();
        if (ticks == 1)
            throw std::runtime_error(first);
        if (boxOpen && raised < raisedInBox.size())
            throw std::runtime_error(raisedInBox[raised++]);
    };
    ErrorBoxAnswerer boxes([&] { return raised == raisedInBox.size(); });
    ASSERT_TRUE(ConsoleTesting::WaitUntil([&] {
        return boxes.Texts.size() >= 2 && !QApplication::activeModalWidget();
    })) << boxes.Texts.size()
        << " boxes, " << raised << " errors raised in the first";
    EXPECT_EQ(boxes.Texts, (std::vector<std::string> { "Datei Test.txt fehlt", "Bild fehlt" }))
        << "no second box for the same error; a new one after it";
    EXPECT_TRUE(inactiveDuringBox);
    // The tick goes on, and a program whose setup waits for the active window
    // must not hang here.
    const int ticksAfterBoxes = ticks;
    EXPECT_TRUE(ConsoleTesting::WaitUntil([&] {
        return ticks >= ticksAfterBoxes + 5 && FensterGraf::WindowIsActive()
            && !QApplication::activeModalWidget();
    }));
    EXPECT_EQ(boxes.Texts.size(), 2u);
    FensterGraf::EventRoutine = nullptr;
}

// Once the user has closed its box, an error that comes again is news, also
// on a tick in the same turn of the event loop, before the box's own loop has
// ended.
TEST_F(WindowTest, AnErrorAgainAfterItsBoxWasClosedGetsABoxAgain)
{
    int ticks = 0;
    bool raisedAgain = false;
    FensterGraf::EventRoutine = [&] {
        ++ticks;
        if (ticks == 1 || (!raisedAgain && !QApplication::activeModalWidget())) {
            raisedAgain = ticks > 1;
            throw std::runtime_error("Datei Test.txt fehlt");
        }
    };
    ErrorBoxAnswerer boxes([] { return true; }, [] { FensterGraf::OnTimer(); });
    ASSERT_TRUE(ConsoleTesting::WaitUntil([&] {
        return raisedAgain && boxes.Texts.size() >= 2 && !QApplication::activeModalWidget();
    })) << boxes.Texts.size()
        << " boxes";
    EXPECT_EQ(
        boxes.Texts, (std::vector<std::string> { "Datei Test.txt fehlt", "Datei Test.txt fehlt" }));
    FensterGraf::EventRoutine = nullptr;
}

// [SECTION] Delay

TEST_F(WindowTest, DelayHandlesNoEventsAndWaitsAtLeastTheTime)
{
    QCoreApplication::postEvent(
        FensterGraf::Window(), new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x"));
    const auto start = std::chrono::steady_clock::now();
    Kern::Delay(30);
    EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_TRUE(FensterGraf::KeyBuffer.empty()) << "keys wait until after the delay";
    QCoreApplication::processEvents();
    EXPECT_EQ(FensterGraf::KeyBuffer, "x");
}

// [SECTION] Program names

struct NameCase {
    const char* name;
    const char* path;
    const char* caption;
    const char* textFile;
    const char* picture;
};

class ProgramNameTest : public testing::TestWithParam<NameCase> { };

TEST_P(ProgramNameTest, DerivesCaptionAndDefaultFiles)
{
    const NameCase& c = GetParam();
    const std::string caption = FensterGraf::Caption;
    const std::string textFile = FensterGraf::DefaultTextFile;
    const std::string picture = FensterGraf::DefaultPicture;
    FensterGraf::DeriveProgramNames(c.path);
    EXPECT_EQ(FensterGraf::Caption, c.caption);
    EXPECT_EQ(FensterGraf::DefaultTextFile, c.textFile);
    EXPECT_EQ(FensterGraf::DefaultPicture, c.picture);
    FensterGraf::Caption = caption;
    FensterGraf::DefaultTextFile = textFile;
    FensterGraf::DefaultPicture = picture;
}

INSTANTIATE_TEST_SUITE_P(Paths, ProgramNameTest,
    testing::Values(NameCase { "Linux", "/opt/transit/Helidor", "Helidor",
                        "/opt/transit/Helidor.txt", "/opt/transit/Helidor.bmp" },
        NameCase { "Windows", "C:\\Transit\\HELIDOR.EXE", "HELIDOR", "C:\\Transit\\HELIDOR.txt",
            "C:\\Transit\\HELIDOR.bmp" },
        NameCase { "DotInFolder", "/home/a.b/helidor", "helidor", "/home/a.b/helidor.txt",
            "/home/a.b/helidor.bmp" },
        NameCase { "TwoDots", "/x/prog.v2.exe", "prog.v2", "/x/prog.v2.txt", "/x/prog.v2.bmp" }),
    ConsoleTesting::RowName());

// [SECTION] End of the program
// Each end runs in a child process (the test re-run by GoogleTest). The exit
// hook must flush a result line that was written without flushing.

void AskOnce()
{
    std::string text = "1";
    Kern::ReadText("Frage", text);
}

struct EndCase {
    const char* name;
    void (*end)();
};

class ProgramEndTest : public ConsoleTest, public testing::WithParamInterface<EndCase> { };

TEST_P(ProgramEndTest, EndsWithStatusZeroAfterTheExitHook)
{
    const std::string resultFile = ConsoleTesting::TempPath(std::string(GetParam().name) + ".txt");
    std::remove(resultFile.c_str());
    EXPECT_EXIT(
        {
            FensterGraf::EndStatus = 0; // this end is expected: the program's own status
            auto* results = new std::ofstream(resultFile); // open to the end, as in Helidor
            *results << "Ergebnis 1";
            FensterGraf::ExitHook = [results] { results->flush(); };
            GetParam().end();
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ConsoleTesting::ReadWholeFile(resultFile), "Ergebnis 1");
}

INSTANTIATE_TEST_SUITE_P(Ends, ProgramEndTest,
    testing::Values(
        EndCase { "CtrlC",
            [] { QTest::keyClick(FensterGraf::Window(), Qt::Key_C, Qt::ControlModifier); } },
        EndCase { "Abbruch",
            [] {
                ConsoleTesting::DialogScript script({ ConsoleTesting::ClickAbbruch() });
                AskOnce();
            } },
        EndCase { "EscInTheDialog",
            [] {
                ConsoleTesting::DialogScript script({ ConsoleTesting::PressEsc() });
                AskOnce();
            } },
        EndCase { "ClosingTheWindow", [] { FensterGraf::Window()->close(); } },
        // The bell, then the end, through the binding the console installed.
        EndCase { "UnreadableAngle", [] { AstrRout::ParseAngle("16g42"); } }),
    ConsoleTesting::RowName());

TEST_F(WindowTest, CtrlShiftCDoesNotEnd)
{
    QTest::keyClick(FensterGraf::Window(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Kern::ReadKeyCode(), 3);
}

} // namespace
