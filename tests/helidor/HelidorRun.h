// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real Helidor on the console window of the test program: its start
// as the entry makes it, the dialog answered as a user would, keys typed into
// the window. Each test works in a folder of its own (the result files and
// the info text are opened there) and finds the sample photographs in the
// program's folder of the build.
#pragma once

#include "TestPictures.h"
#include "TestSupport.h"

#include "Adjustment.h"

#include <QTest>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace HelidorTesting {

using ConsoleTesting::DialogAction;
using ConsoleTesting::DialogScript;

// The folder of the sample photographs: the program's folder in the build.
std::string SampleFolder();

class HelidorRun : public ConsoleTesting::ConsoleTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program and answers its questions until the adjustment
    // screen is up (or the answers are used up); false on a hang.
    bool StartAndAnswer(std::vector<DialogAction> answers);
    // Esc in the adjustment, then the next setup's answers.
    bool NewInput(std::vector<DialogAction> answers);
    // Types the keys into the window and waits until the program took them.
    void TypeKeys(Qt::Key key, int count);
    void TypeKey(Qt::Key key) { TypeKeys(key, 1); }
    // Return on the current circle; true when the program took it.
    void Confirm() { TypeKey(Qt::Key_Return); }
    // Moves and resizes the current circle to the target with the keys.
    void MoveTo(const Adjustment::Circle& target);
    static Adjustment::Circle Current();

    std::string ReadFile(const std::string& name) const;

    std::unique_ptr<DialogScript> Script;
    std::filesystem::path Folder;

private:
    bool AnswerAll(std::vector<DialogAction> answers, bool startProgram);
    std::filesystem::path previousFolder;
};

// Return at every question: the built-in defaults.
std::vector<DialogAction> Returns(int count);
// The same with these texts typed at these questions (counted from 0).
std::vector<DialogAction> Returns(
    int count, std::initializer_list<std::pair<int, std::string>> typed);

// The once-exposed sample JPEG at size 4, rotation 0, its corner at (188, 381)
// and a start radius of 50: its Sun lies at (253, 503.06) r 50.375 on the screen.
std::vector<DialogAction> QuarterSizeSampleAnswers();

} // namespace HelidorTesting
