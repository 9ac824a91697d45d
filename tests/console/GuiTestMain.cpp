// GoogleTest main of the console tests: one QApplication and one console
// window for the whole run, as in a program.
#include "FensterGraf.h"
#include "TestSupport.h"

#include "Eingabe.h"
#include "Kern.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <sstream>

namespace ConsoleTesting {

namespace {
constexpr const char* RunVariable = "CONSOLE_TEST_RUN";
}

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
        auto* edit = dialog.findChild<QLineEdit*>("Edit");
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
    return [](QDialog& dialog) {
        QTest::keyClick(dialog.findChild<QLineEdit*>("Edit"), Qt::Key_Return);
    };
}

DialogAction EmptyAndClickOK()
{
    return [](QDialog& dialog) {
        QTest::keyClick(dialog.findChild<QLineEdit*>("Edit"), Qt::Key_Backspace);
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
    return [](QDialog& dialog) {
        QTest::keyClick(dialog.findChild<QLineEdit*>("Edit"), Qt::Key_Escape);
    };
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
    QDialog* dialog = Eingabe::Dialog();
    if (next >= actions.size() || !dialog->isVisible())
        return;
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

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Children of the end tests start afresh with their own application.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty(ConsoleTesting::RunVariable))
        qputenv(
            ConsoleTesting::RunVariable, QByteArray::number(QCoreApplication::applicationPid()));
    FensterGraf::OpenConsole(QCoreApplication::applicationFilePath().toStdString());
    // A test that ends the program without expecting it must not pass.
    FensterGraf::EndStatus = ConsoleTesting::UnexpectedEndStatus;
    return RUN_ALL_TESTS();
}
