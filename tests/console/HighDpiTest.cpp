// SPDX-License-Identifier: GPL-3.0-or-later
// Run on a screen with a device pixel ratio of 2 (CTest prefix "dpr2."): the
// console measures and draws in device pixels.
#include "TestSupport.h"

#include "FensterGraf.h"
#include "Kern.h"

#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QWidget>

namespace {

using ConsoleTesting::ConsoleTest;

class HighDpi : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        ASSERT_EQ(FensterGraf::PixelRatio(), 2.0) << "run with the dpr 2 screen configuration";
    }
};

TEST_F(HighDpi, ScreenSizeCountsDevicePixels)
{
    EXPECT_EQ(FensterGraf::Window()->width(), 800);
    EXPECT_EQ(Kern::ScreenWidth(), 1600);
    EXPECT_EQ(Kern::ScreenHeight(), 1000);
    EXPECT_EQ(FensterGraf::DisplayWidth, 1600);
}

TEST_F(HighDpi, OnePixelLineIsOneDevicePixelOnTheScreen)
{
    Kern::DrawLine(100, 101, 200, 101, Kern::Black);
    const QImage shown = FensterGraf::Window()->grab().toImage();
    ASSERT_EQ(shown.width(), 1600);
    EXPECT_EQ(shown.pixel(150, 101), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(150, 100), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(150, 102), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(99, 101), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(200, 101), qRgb(255, 255, 255)) << "the end pixel stays unset";
}

TEST_F(HighDpi, MousePositionIsInDevicePixels)
{
    QTest::mouseMove(FensterGraf::Window(), QPoint(100, 50));
    EXPECT_EQ(FensterGraf::MouseX, 200);
    EXPECT_EQ(FensterGraf::MouseY, 100);
}

TEST_F(HighDpi, FontsKeepTheirSizeOnTheScreen)
{
    // Ten points are twice as many device pixels as on a ratio 1 screen.
    Kern::SelectFont("Courier", 10, 0);
    EXPECT_GE(Kern::CharHeight, 2 * 13);
}

} // namespace
