// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelidorRun.h"

#include "Adjustment.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "Setup.h"

#include <QCoreApplication>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace HelidorTesting {

std::string SampleFolder()
{
    return HELIDOR_SAMPLE_DIR;
}

std::vector<DialogAction> Returns(int count)
{
    return std::vector<DialogAction>(
        static_cast<std::size_t>(count), ConsoleTesting::PressReturn());
}

std::vector<DialogAction> Returns(
    int count, std::initializer_list<std::pair<int, std::string>> typed)
{
    std::vector<DialogAction> answers = Returns(count);
    for (const auto& [question, text] : typed)
        answers.at(static_cast<std::size_t>(question)) = ConsoleTesting::Type(text);
    return answers;
}

std::vector<DialogAction> QuarterSizeSampleAnswers()
{
    return Returns(11,
        { { 2, "Lurni1000UT1.jpg" }, { 3, "4" }, { 6, "1" }, { 7, "0" }, { 8, "188" }, { 9, "381" },
            { 10, "50" } });
}

void HelidorRun::SetUp()
{
    ConsoleTest::SetUp();
    Setup::Reset();
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    Folder = std::filesystem::path(ConsoleTesting::TempPath(test->name()));
    std::filesystem::remove_all(Folder);
    std::filesystem::create_directories(Folder);
    previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(Folder);
    FensterGraf::ProgramPath = SampleFolder() + "/helidor";
}

void HelidorRun::TearDown()
{
    FensterGraf::EventRoutine = FensterGraf::DoNothing;
    FensterGraf::SetupRoutine = FensterGraf::DoNothing;
    Script.reset();
    Setup::Reset(); // closes the result files
    std::filesystem::current_path(previousFolder);
}

bool HelidorRun::AnswerAll(std::vector<DialogAction> answers, bool startProgram)
{
    const std::size_t count = answers.size();
    Script = std::make_unique<DialogScript>(std::move(answers));
    if (startProgram)
        Setup::StartHelidor();
    else
        TypeKey(Qt::Key_Escape);
    return ConsoleTesting::WaitUntil([&] {
        return Script->Answered() == count && FensterGraf::SetupDone && !Setup::SetupRunning;
    });
}

bool HelidorRun::StartAndAnswer(std::vector<DialogAction> answers)
{
    return AnswerAll(std::move(answers), true);
}

bool HelidorRun::NewInput(std::vector<DialogAction> answers)
{
    return AnswerAll(std::move(answers), false);
}

void HelidorRun::MoveTo(const Adjustment::Circle& target)
{
    using Adjustment::CircleRadius, Adjustment::CircleX, Adjustment::CircleY;
    TypeKeys(target.X > CircleX ? Qt::Key_Right : Qt::Key_Left, std::abs(target.X - CircleX));
    TypeKeys(target.Y > CircleY ? Qt::Key_Down : Qt::Key_Up, std::abs(target.Y - CircleY));
    TypeKeys(target.Radius > CircleRadius ? Qt::Key_PageUp : Qt::Key_PageDown,
        std::abs(target.Radius - CircleRadius));
    ASSERT_EQ(Current(), target);
}

Adjustment::Circle HelidorRun::Current()
{
    return { Adjustment::CircleX, Adjustment::CircleY, Adjustment::CircleRadius };
}

void HelidorRun::TypeKeys(Qt::Key key, int count)
{
    // In bursts the key buffer holds; one code is taken per tick.
    while (count > 0) {
        const int burst = std::min(count, 200);
        for (int i = 0; i < burst; ++i)
            QTest::keyClick(FensterGraf::Window(), key);
        count -= burst;
        ASSERT_TRUE(ConsoleTesting::WaitUntil([] { return !Kern::KeyAvailable(); }));
    }
    // The last code is taken; let its tick finish its work.
    QCoreApplication::processEvents();
}

std::string HelidorRun::ReadFile(const std::string& name) const
{
    return ConsoleTesting::ReadWholeFile((Folder / name).string());
}

} // namespace HelidorTesting
