// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelidorRun.h"

#include "FensterGraf.h"
#include "Kern.h"
#include "Setup.h"

#include <QCoreApplication>

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

std::vector<DialogAction> QuarterSizeSampleAnswers()
{
    std::vector<DialogAction> answers = Returns(11);
    answers[2] = ConsoleTesting::Type("Lurni1000UT1.jpg");
    answers[3] = ConsoleTesting::Type("4");
    answers[6] = ConsoleTesting::Type("1");
    answers[7] = ConsoleTesting::Type("0");
    answers[8] = ConsoleTesting::Type("188");
    answers[9] = ConsoleTesting::Type("381");
    answers[10] = ConsoleTesting::Type("50");
    return answers;
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
