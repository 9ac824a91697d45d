// SPDX-License-Identifier: GPL-3.0-or-later
// Run on a 1600 x 1200 screen (lane test_console_tall_screen): the image area
// covers the top 1023 rows and reports releases only; below it the window
// reports presses only. Movement is seen everywhere.
#include "TestSupport.h"

#include "FensterGraf.h"
#include "Kern.h"

#include <QTest>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace {

using ConsoleTesting::ConsoleTest;

// Set by the lane: there these tests must run, elsewhere they skip.
bool InTallScreenLane()
{
    return qEnvironmentVariableIsSet("CONSOLE_TALL_SCREEN");
}

int TallScreenTestsRun = 0;

// A lane whose filter selects none of these tests must not pass empty.
class TallScreenLaneCheck : public testing::EmptyTestEventListener {
    void OnTestProgramEnd(const testing::UnitTest&) override
    {
        if (InTallScreenLane() && TallScreenTestsRun == 0) {
            std::fputs("The tall-screen lane ran none of its tests\n", stderr);
            std::fflush(nullptr);
            std::_Exit(1);
        }
    }
};

[[maybe_unused]] const bool LaneCheckInstalled = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new TallScreenLaneCheck);
    return true;
}();

class TallScreen : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        if (!InTallScreenLane())
            GTEST_SKIP() << "runs in the lane with the 1600 x 1200 screen";
        ASSERT_EQ(Kern::ScreenHeight(), 1200) << "run with screen-1600x1200.json";
        ++TallScreenTestsRun;
    }
};

struct RowCase {
    const char* name;
    int row;
    bool pressSeen; // below the image area; otherwise the release is seen
};

void PrintTo(const RowCase& c, std::ostream* out)
{
    *out << c.name;
}

class TallScreenRows : public TallScreen, public testing::WithParamInterface<RowCase> { };

TEST_P(TallScreenRows, SeesThePressBelowTheImageAreaAndTheReleaseOverIt)
{
    const RowCase& c = GetParam();
    QWidget* window = FensterGraf::Window();
    // Movement is seen on every row. Qt drops a move to where the last one went.
    QTest::mouseMove(window, QPoint(1, 1));
    QTest::mouseMove(window, QPoint(5, c.row));
    EXPECT_EQ(FensterGraf::MouseY, c.row);
    QTest::mouseMove(window, QPoint(5, 5));
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(100, c.row));
    EXPECT_EQ(FensterGraf::MouseY, c.pressSeen ? c.row : 5);
    EXPECT_EQ(FensterGraf::MouseButtons, c.pressSeen ? 1 : 0);
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(101, c.row));
    EXPECT_EQ(FensterGraf::MouseX, c.pressSeen ? 100 : 101);
    EXPECT_EQ(FensterGraf::MouseButtons, c.pressSeen ? 1 : 0)
        << "an unseen release leaves the button held";
}

INSTANTIATE_TEST_SUITE_P(TallScreen, TallScreenRows,
    testing::Values(RowCase { "TopRow", 0, false }, RowCase { "LastImageRow", 1022, false },
        RowCase { "FirstRowBelow", 1023, true }, RowCase { "BottomRow", 1199, true }),
    ConsoleTesting::RowName());

} // namespace
