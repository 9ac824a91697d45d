// SPDX-License-Identifier: GPL-3.0-or-later
// What the photograph display tells of the picture on the screen, and the
// assisted fit working from that alone: its position, its file, its kind.
#include "Assist.h"
#include "Files.h"
#include "Photograph.h"
#include "Settings.h"
#include "TestPictures.h"
#include "Texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace HelidorTesting {
namespace {

// A bright disc of radius 60 on a dark ground, centred on pixel (cx, cy).
Pattern Disc(int cx, int cy)
{
    return [cx, cy](int x, int y) {
        const int dx = x - cx, dy = y - cy;
        return dx * dx + dy * dy <= 60 * 60 ? 0xf0e0c0u : 0x101010u;
    };
}

class ShownPicture : public testing::Test {
protected:
    void SetUp() override
    {
        Photograph::Reset();
        Assist::Reset();
        Texts::SetUpMessageTexts();
        Settings::Language = 2;
        Settings::IsJpeg = false;
        Settings::JpegScale = 1;
        FillCanvas(0xff000000);
    }
    void TearDown() override
    {
        Assist::Reset();
        Photograph::Reset();
        Settings::Reset();
    }
};

TEST_F(ShownPicture, DescribesTheFileAsReadItsScaleAndPlace)
{
    const std::string jpeg = TempPath("shown.jpg");
    const std::string bitmap = TempPath("shown.bmp");
    WriteJpeg(jpeg, JpegKind::Baseline, 1001, 667, Disc(500, 300));
    WriteBitmap(bitmap, 24, false, 37, 23, Disc(10, 10));

    Settings::IsJpeg = true;
    Settings::JpegScale = 4;
    Photograph::ShowPhotograph(jpeg, 50, -7);
    const Photograph::ShownPicture& shown = Photograph::Shown();
    EXPECT_EQ(shown.Path, jpeg);
    EXPECT_EQ(shown.Kind, Photograph::Format::Jpeg);
    EXPECT_EQ(shown.Scale, 4);
    EXPECT_EQ(shown.X, 50);
    EXPECT_EQ(shown.Y, -7);
    EXPECT_EQ(shown.FullWidth, 1001) << "the file's size, not the 251 x 167 drawn";
    EXPECT_EQ(shown.FullHeight, 667);
    EXPECT_TRUE(shown.Identity.Known);
    EXPECT_EQ(shown.Identity, Files::IdentityOf(jpeg));
    EXPECT_EQ(Photograph::ShownPixels().Width, 251);

    Settings::JpegScale = 3; // no scale: the last one stays
    Photograph::ShowPhotograph(jpeg, 0, 0);
    EXPECT_EQ(Photograph::Shown().Scale, 4);

    Settings::IsJpeg = false; // a bitmap is never reduced
    Photograph::ShowPhotograph(bitmap, 100, 200);
    EXPECT_EQ(Photograph::Shown().Path, bitmap);
    EXPECT_EQ(Photograph::Shown().Kind, Photograph::Format::Bitmap);
    EXPECT_EQ(Photograph::Shown().Scale, 1);
    EXPECT_EQ(Photograph::Shown().X, 100);
    EXPECT_EQ(Photograph::Shown().Y, 200);
    EXPECT_EQ(Photograph::Shown().FullWidth, 37);
    EXPECT_EQ(Photograph::Shown().FullHeight, 23);
    EXPECT_EQ(Photograph::ShownPixels().Width, 37);

    // A load that fails leaves no picture shown, of either kind.
    Settings::IsJpeg = true;
    EXPECT_THROW(Photograph::ShowPhotograph(TempPath("missing.jpg"), 0, 0), std::runtime_error);
    EXPECT_EQ(Photograph::Shown().Path, "");
    EXPECT_EQ(Photograph::Shown().FullWidth, 0);
    EXPECT_EQ(Photograph::ShownPixels().Width, 0) << "not the bitmap shown before";
    std::remove(jpeg.c_str());
    std::remove(bitmap.c_str());
}

TEST_F(ShownPicture, FitIsOnTheScreenWhereThePictureWasDrawn)
{
    const std::string path = TempPath("placed.bmp");
    WriteBitmap(path, 24, false, 240, 200, Disc(100, 90));
    Photograph::ShowPhotograph(path, 300, 40);
    // The dialogue of the next measurement may hold other answers already.
    Settings::PictureX = 0;
    Settings::PictureY = 0;
    const Assist::Result result = Assist::FitSun({ 405, 126, 55 });
    ASSERT_TRUE(result.Taken) << result.Message;
    EXPECT_NEAR(result.Fitted.X, 400, 0.3);
    EXPECT_NEAR(result.Fitted.Y, 130, 0.3);
    EXPECT_NEAR(result.Fitted.R, 60.5, 0.6);
    const Assist::EdgePoints& points = Assist::LastFitPoints();
    ASSERT_GT(points.Used.size(), 20u);
    for (const FitTypes::Point& p : points.Used)
        ASSERT_NEAR(std::hypot(p.X - 400, p.Y - 130), 60.5, 2) << p.X << ", " << p.Y;
    std::remove(path.c_str());
}

TEST_F(ShownPicture, FileWrittenAnewAndShownAgainIsFittedAnew)
{
    const std::string path = TempPath("again.bmp");
    const std::string next = TempPath("again-next.bmp");
    WriteBitmap(path, 24, false, 240, 200, Disc(100, 90));
    Photograph::ShowPhotograph(path, 0, 0);
    ASSERT_TRUE(Assist::FitSun({ 104, 94, 55 }).Taken);
    // The same name, the disc 30 px right and 20 px up: a new file in its place.
    WriteBitmap(next, 24, false, 240, 200, Disc(130, 70));
    std::filesystem::rename(next, path);
    Photograph::ShowPhotograph(path, 0, 0);
    const Assist::Result result = Assist::FitSun({ 126, 74, 55 });
    ASSERT_TRUE(result.Taken) << result.Message;
    EXPECT_NEAR(result.Fitted.X, 130, 0.3) << "not on the plane of the old file";
    EXPECT_NEAR(result.Fitted.Y, 70, 0.3);
    std::remove(path.c_str());
}

TEST_F(ShownPicture, NothingShownAfterAFailedLoadIsNotFitted)
{
    const std::string path = TempPath("before.bmp");
    WriteBitmap(path, 24, false, 240, 200, Disc(100, 90));
    Photograph::ShowPhotograph(path, 0, 0);
    Settings::IsJpeg = true;
    EXPECT_THROW(Photograph::ShowPhotograph(TempPath("missing.jpg"), 0, 0), std::runtime_error);
    const Assist::Result result = Assist::FitSun({ 104, 94, 55 });
    EXPECT_FALSE(result.Taken) << "the bitmap shown before is gone from the screen";
    EXPECT_FALSE(result.Message.empty());
    std::remove(path.c_str());
}

} // namespace
} // namespace HelidorTesting
