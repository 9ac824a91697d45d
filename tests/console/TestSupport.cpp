// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "FensterGraf.h"

#include "Eingabe.h"
#include "Kern.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ConsoleTesting {

namespace {
constexpr const char* RunVariable = "CONSOLE_TEST_RUN";
bool Finished = false;

QLineEdit* Edit(QDialog& dialog)
{
    return dialog.findChild<QLineEdit*>("Edit");
}

DialogAction KeyInEdit(Qt::Key key)
{
    return [key](QDialog& dialog) { QTest::keyClick(Edit(dialog), key); };
}
} // namespace

void ConsoleTest::SetUp()
{
    FensterGraf::Reset();
    Kern::Reset();
    Eingabe::Reset();
    Kern::LoadStandardPalette();
    Kern::ClearScreen();
    FensterGraf::ActivateWindow();
}

FensterGraf::Rgb PixelAt(int x, int y)
{
    const QRgb p = FensterGraf::Canvas().pixel(x, y);
    return { qRed(p), qGreen(p), qBlue(p) };
}

bool WaitUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 20000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

std::string TempPath(const std::string& name)
{
    // CTest runs the tests in parallel processes: each run has files of its
    // own, shared only with the child processes of its end tests.
    return testing::TempDir() + "console_" + qEnvironmentVariable(RunVariable).toStdString() + "_"
        + name;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

DialogAction Type(const std::string& text)
{
    return [text](QDialog& dialog) {
        QLineEdit* edit = Edit(dialog);
        // One key event per character, also for those keyClicks cannot type.
        for (const QChar ch : QString::fromStdString(text)) {
            const auto key = static_cast<Qt::Key>(ch.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Click, edit, key, QString(ch), Qt::NoModifier);
        }
        QTest::keyClick(edit, Qt::Key_Return);
    };
}

DialogAction PressReturn()
{
    return KeyInEdit(Qt::Key_Return);
}

DialogAction EmptyAndClickOK()
{
    return [](QDialog& dialog) {
        QTest::keyClick(Edit(dialog), Qt::Key_Backspace);
        QTest::mouseClick(dialog.findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
    };
}

DialogAction ClickAbbruch()
{
    return [](QDialog& dialog) {
        QTest::mouseClick(dialog.findChild<QPushButton*>("EscBtn"), Qt::LeftButton);
    };
}

DialogAction PressEsc()
{
    return KeyInEdit(Qt::Key_Escape);
}

DialogScript::DialogScript(std::vector<DialogAction> actionList, std::function<bool()> readyCheck)
    : actions(std::move(actionList))
    , ready(std::move(readyCheck))
{
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [this] { Poll(); });
    timer.start();
}

void DialogScript::Poll()
{
    // Error boxes between the questions are read and closed as a user would.
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        if (box->isVisible() && box != answeredBox) {
            Messages.push_back(box->text().toStdString());
            answeredBox = box;
            QTimer::singleShot(0, box, [box] { box->accept(); });
        }
        return;
    }
    QDialog* dialog = Eingabe::Dialog();
    if (!dialog->isVisible())
        return;
    if (next >= actions.size()) {
        // A question nobody answers would hang the test inside the dialog.
        if (!waiting.isValid())
            waiting.start();
        if (waiting.elapsed() > 10000) {
            ADD_FAILURE() << "an unexpected question: "
                          << dialog->findChild<QLabel*>("Label1")->text().toStdString();
            FensterGraf::EndProgram();
        }
        return;
    }
    // A condition that never comes fails the test instead of hanging it.
    if (!waiting.isValid())
        waiting.start();
    if (!ready() && waiting.elapsed() < 10000)
        return;
    waiting.invalidate();
    Prompts.push_back(dialog->findChild<QLabel*>("Label1")->text().toStdString());
    Defaults.push_back(dialog->findChild<QLineEdit*>("Edit")->text().toStdString());
    actions[next++](*dialog); // closes the dialog
}

} // namespace ConsoleTesting

namespace ConsoleTesting {

int RunAllTests(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Children of the end tests start afresh with their own application.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty(RunVariable))
        qputenv(RunVariable, QByteArray::number(QCoreApplication::applicationPid()));
    FensterGraf::OpenConsole(QCoreApplication::applicationFilePath().toStdString());
    // A test that ends the program without expecting it must not pass, nor
    // one that calls exit() (a library's own error handler may).
    FensterGraf::EndStatus = UnexpectedEndStatus;
    std::atexit([] {
        if (!Finished)
            std::_Exit(UnexpectedEndStatus);
    });
    const int status = RUN_ALL_TESTS();
    Finished = true;
    return status;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    ::getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { bytes, saved.rlim_max };
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &saved);
}

} // namespace ConsoleTesting
