// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the console tests: the start state, canvas pixels, waiting
// for the event loop, and a script that answers the input dialog.
#pragma once

#include "FensterGraf.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>

class QDialog;

namespace ConsoleTesting {

// The main of a window test program: the application, the console window,
// every test; a test that ends the program by surprise fails.
int RunAllTests(int argc, char** argv);

// Every test starts from the console's start state with the standard palette
// loaded and a white screen.
class ConsoleTest : public testing::Test {
protected:
    void SetUp() override;
};

// Names the rows of a table-driven test by their name field.
struct RowName {
    template <typename Row> std::string operator()(const testing::TestParamInfo<Row>& row) const
    {
        return row.param.name;
    }
};

// The status the program ends with inside the tests; a test that expects the
// end sets FensterGraf::EndStatus back to 0 in its child process.
inline constexpr int UnexpectedEndStatus = 99;

FensterGraf::Rgb PixelAt(int x, int y);
inline constexpr FensterGraf::Rgb WhitePixel { 255, 255, 255 };

// Runs the event loop until done() holds; false after 20 s (a hang, not a timing).
bool WaitUntil(const std::function<bool()>& done);

// A file path in the test's temporary folder.
std::string TempPath(const std::string& name);
std::string ReadWholeFile(const std::string& path);

using DialogAction = std::function<void(QDialog&)>;
DialogAction Type(const std::string& text); // over the selected default, then Return
DialogAction PressReturn();
DialogAction EmptyAndClickOK();
DialogAction ClickAbbruch();
DialogAction PressEsc();

// Answers the coming questions of the input dialog in order, each once the
// dialog is open and ready() holds. Records what each question showed, and
// closes the error boxes that come between them.
class DialogScript {
public:
    explicit DialogScript(
        std::vector<DialogAction> actions, std::function<bool()> ready = [] { return true; });
    std::vector<std::string> Prompts;
    std::vector<std::string> Defaults;
    std::vector<std::string> Messages; // the texts of the error boxes closed meanwhile
    std::size_t Answered() const { return next; }

private:
    void Poll();
    std::vector<DialogAction> actions;
    std::function<bool()> ready;
    std::size_t next = 0;
    QPointer<QMessageBox> answeredBox; // a later box may take the same address
    QElapsedTimer waiting;
    QTimer timer;
};

// A file size limit while it lives, as a full disk: writes beyond it fail
// part-way (SIGXFSZ is ignored, so they fail with EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved {};
};

} // namespace ConsoleTesting
