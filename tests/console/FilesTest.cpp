// SPDX-License-Identifier: GPL-3.0-or-later
// Real files: saved screen pictures read back by Qt and by the console's own
// reader, pictures drawn, the text page and its dismissal, FileExists.
#include "TestSupport.h"

#include "FensterGraf.h"
#include "Kern.h"
#include "Kern2.h"

#include <QImage>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using ConsoleTesting::ConsoleTest;
using ConsoleTesting::FileSizeLimit;
using ConsoleTesting::PixelAt;
using ConsoleTesting::TempPath;
using ConsoleTesting::WhitePixel;
using FensterGraf::Rgb;

// The console's start state (ConsoleTest), under this file's name.
class FilesTest : public ConsoleTest { };

Rgb ToRgb(QRgb p)
{
    return { qRed(p), qGreen(p), qBlue(p) };
}

Rgb PaletteEntry(int c)
{
    return FensterGraf::Palette[static_cast<std::size_t>(c)];
}

// Bits per pixel from the BMP's info header.
int BitsPerPixel(const std::string& path)
{
    const std::string bytes = ConsoleTesting::ReadWholeFile(path);
    if (bytes.size() < 30 || bytes.substr(0, 2) != "BM")
        return -1;
    return static_cast<unsigned char>(bytes[28]) | static_cast<unsigned char>(bytes[29]) << 8;
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// [SECTION] SaveScreenRect

TEST_F(FilesTest, SavedRectIsOnePixelLargerThanItsArea)
{
    // The excluded column 31 and row 9 are blue; they must not appear.
    Kern::SetFillStyle(255, Kern::Blue, Kern::Blue);
    Kern::FillBar(31, 0, 1, 10);
    Kern::FillBar(0, 9, 32, 1);
    Kern::SetFillStyle(255, Kern::LightRed, Kern::LightRed);
    Kern::FillBar(30, 8, 1, 1);
    Kern::SetFillStyle(255, Kern::Green, Kern::Green);
    Kern::FillBar(0, 0, 1, 1);
    const std::string path = TempPath("rect.bmp");
    Kern2::SaveScreenRect(path, 0, 0, 31, 9);

    const QImage saved(QString::fromStdString(path));
    ASSERT_EQ(saved.width(), 32);
    ASSERT_EQ(saved.height(), 10);
    EXPECT_EQ(BitsPerPixel(path), 24);
    EXPECT_EQ(ToRgb(saved.pixel(0, 0)), PaletteEntry(Kern::Green));
    EXPECT_EQ(ToRgb(saved.pixel(31, 9)), PaletteEntry(Kern::LightRed))
        << "the last pixel is repeated";
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_NE(ToRgb(saved.pixel(x, y)), PaletteEntry(Kern::Blue)) << x << "," << y;
}

TEST_F(FilesTest, ProgramsScreenPictureIsAMultipleOf32WideAndOneRowHigher)
{
    const int x2 = ((Kern::ScreenWidth() + 1) / 32) * 32 - 1;
    const std::string path = TempPath("screen.bmp");
    Kern2::SaveScreenRect(path, 0, 0, x2, Kern::ScreenHeight());
    const QImage saved(QString::fromStdString(path));
    EXPECT_EQ(saved.width(), 1600);
    EXPECT_EQ(saved.height(), 1001);
}

TEST_F(FilesTest, MonochromePictureIsThresholdedToOneBit)
{
    Kern::SetFillStyle(255, Kern::LightRed, Kern::LightRed);
    Kern::FillBar(0, 0, 20, 20);
    Kern::SetFillStyle(255, Kern::Yellow, Kern::Yellow);
    Kern::FillBar(20, 0, 20, 20);
    Kern::SetFillStyle(255, Kern::DarkGray, Kern::DarkGray);
    Kern::FillBar(0, 20, 40, 20);
    Kern::ColorMode = false;
    const std::string path = TempPath("mono.bmp");
    Kern2::SaveScreenRect(path, 0, 0, 40, 40);
    EXPECT_EQ(BitsPerPixel(path), 1);
    const QImage saved(QString::fromStdString(path));
    ASSERT_EQ(saved.size(), QSize(41, 41));
    // Light red and dark grey are darker than the middle, yellow lighter.
    const Rgb black { 0, 0, 0 };
    EXPECT_EQ(ToRgb(saved.pixel(5, 5)), black);
    EXPECT_EQ(ToRgb(saved.pixel(35, 5)), WhitePixel);
    EXPECT_EQ(ToRgb(saved.pixel(35, 35)), black);
    EXPECT_EQ(ToRgb(saved.pixel(40, 40)), black);
}

TEST_F(FilesTest, UnwritablePictureThrows)
{
    EXPECT_THROW(
        Kern2::SaveScreenRect(TempPath("no/such/folder/x.bmp"), 0, 0, 31, 9), std::runtime_error);
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The old picture stays whole when the new one does not fit; when it does,
// it replaces the old one with a new file's usual permissions.
TEST_F(FilesTest, PictureThatCannotBeWrittenWholeLeavesTheOldOne)
{
    const std::string folder = TempPath("replace");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/old.bmp";
    const std::string old = "BM" + std::string(200, 'o');
    WriteFile(path, old);
    int error = 0;
    {
        const FileSizeLimit disk(1024);
        try {
            Kern2::SaveScreenRect(path, 0, 0, 639, 479);
        } catch (const std::system_error& failure) {
            error = failure.code().value();
        }
    }
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(ConsoleTesting::ReadWholeFile(path), old);
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string> { "old.bmp" })) << "no temporary file";

    WriteFile(folder + "/plain", "");
    Kern2::SaveScreenRect(path, 0, 0, 31, 9);
    // 14 + 40 bytes of headers, 10 rows of 32 pixels of 3 bytes.
    EXPECT_EQ(std::filesystem::file_size(path), 1014u);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
        std::filesystem::status(folder + "/plain").permissions());
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string> { "old.bmp", "plain" }));
}

// [SECTION] Saved pictures read back

TEST_F(FilesTest, SavedScreenReadsBackWithItsPixels)
{
    for (int c = 0; c < 16; ++c) {
        Kern::SetFillStyle(255 - 9 * c, c, (c + 5) % 16);
        Kern::FillBar(97 * c, 55 * c, 130, 90);
    }
    Kern::WriteTextAt(700, 500, "Venus", Kern::Blue);
    const int x2 = ((Kern::ScreenWidth() + 1) / 32) * 32 - 1; // the program's own call
    for (const bool colour : { true, false }) {
        Kern::ColorMode = colour;
        const std::string path = TempPath("readback.bmp");
        Kern2::SaveScreenRect(path, 0, 0, x2, Kern::ScreenHeight());
        Bitmap::Picture picture;
        Bitmap::ReadBitmapFile(path, picture);
        ASSERT_EQ(picture.Width, 1600);
        ASSERT_EQ(picture.Height, 1001);
        // As Qt's own reader sees the file.
        const QImage saved
            = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < 1001; ++y)
            ASSERT_EQ(std::memcmp(saved.constScanLine(y), &picture.Pixels[y * 1600u], 1600 * 4), 0)
                << "row " << y << (colour ? " colour" : " monochrome");
        // And as the screen shows it: the middle of each bar, covered by no other.
        for (int c = 0; colour && c < 16; ++c)
            EXPECT_EQ(picture.Pixels[(55u * c + 45) * 1600 + 97u * c + 65],
                FensterGraf::Canvas().pixel(97 * c + 65, 55 * c + 45));
    }
}

// [SECTION] LoadPicture

class PictureTest : public ConsoleTest {
protected:
    std::string picture = TempPath("picture.bmp");
    std::string defaultPicture;

    void SetUp() override
    {
        ConsoleTest::SetUp();
        defaultPicture = FensterGraf::DefaultPicture;
        QImage image(100, 50, QImage::Format_RGB32);
        image.fill(QColor(0, 0, 160));
        image.setPixel(0, 0, qRgb(255, 0, 0));
        ASSERT_TRUE(image.save(QString::fromStdString(picture), "BMP"));
    }
    void TearDown() override { FensterGraf::DefaultPicture = defaultPicture; }
};

TEST_F(PictureTest, DefaultPictureIsCentred)
{
    FensterGraf::DefaultPicture = picture;
    FensterGraf::LoadPicture(picture, 3, 4);
    const int left = (1600 - 100) / 2, top = (1000 - 50) / 2;
    EXPECT_EQ(PixelAt(left, top), (Rgb { 255, 0, 0 }));
    EXPECT_EQ(PixelAt(left + 99, top + 49), (Rgb { 0, 0, 160 }));
    EXPECT_EQ(PixelAt(left + 100, top + 49), WhitePixel);
    EXPECT_EQ(PixelAt(left - 1, top), WhitePixel);
    EXPECT_EQ(PixelAt(3, 4), WhitePixel);
}

TEST_F(PictureTest, OtherPictureGoesWhereAsked)
{
    FensterGraf::LoadPicture(picture, 3, 4);
    EXPECT_EQ(PixelAt(3, 4), (Rgb { 255, 0, 0 }));
    EXPECT_EQ(PixelAt(102, 53), (Rgb { 0, 0, 160 }));
    EXPECT_EQ(PixelAt(103, 53), WhitePixel);
}

TEST_F(PictureTest, MissingPictureDrawsNothingAndABadOneThrows)
{
    FensterGraf::LoadPicture(TempPath("missing.bmp"), 0, 0);
    EXPECT_EQ(PixelAt(0, 0), WhitePixel);
    const std::string bad = TempPath("bad.bmp");
    WriteFile(bad, "no picture");
    EXPECT_THROW(FensterGraf::LoadPicture(bad, 0, 0), std::runtime_error);
}

// [SECTION] ShowTextFile

class TextPageTest : public ConsoleTest {
protected:
    std::string file = TempPath("page.txt");
};

TEST_F(TextPageTest, ShowsLatin1AndUtf8LinesAlike)
{
    WriteFile(file,
        "Titel\r\nGr\xfc\xdf"
        "e\nGr\xc3\xbc\xc3\x9f"
        "e\n");
    Kern::SetFillStyle(255, Kern::Red, Kern::Red);
    Kern::FillBar(0, 0, Kern::ScreenWidth(), Kern::ScreenHeight());
    const int startY = Kern::TextCursorY;
    Kern::SelectFont("MS Sans Serif", 12, 1);
    FensterGraf::ShowTextFile(file, 10);

    EXPECT_TRUE(FensterGraf::TextPageShown);
    const int line = Kern::CharHeight;
    EXPECT_EQ(Kern::TextCursorY, startY + 4 * line);
    EXPECT_EQ(PixelAt(Kern::ScreenWidth() - 1, Kern::ScreenHeight() - 1), WhitePixel);
    // Lines 2 and 3 hold the same word in two encodings: the same pixels.
    const int top2 = startY + 2 * line, top3 = startY + 3 * line;
    bool inked = false;
    for (int dy = 0; dy < line; ++dy) {
        for (int x = 0; x < 200; ++x) {
            ASSERT_EQ(PixelAt(x, top2 - line + dy), PixelAt(x, top3 - line + dy)) << x << "," << dy;
            inked = inked || PixelAt(x, top2 - line + dy) != WhitePixel;
        }
    }
    EXPECT_TRUE(inked);
    EXPECT_EQ(Kern::Tools.FontName, "MS Sans Serif") << "the font name comes back";
    EXPECT_EQ(Kern::Tools.FontSize, 12);
}

TEST_F(TextPageTest, EmptyFileLeavesAWhitePageOneLineLower)
{
    WriteFile(file, "");
    const int startY = Kern::TextCursorY;
    FensterGraf::ShowTextFile(file, 10);
    EXPECT_TRUE(FensterGraf::TextPageShown);
    EXPECT_EQ(Kern::TextCursorY, startY + Kern::CharHeight);
}

TEST_F(TextPageTest, MissingFileChangesNothing)
{
    FensterGraf::ShowTextFile(TempPath("missing.txt"), 10);
    EXPECT_FALSE(FensterGraf::TextPageShown);
}

TEST_F(TextPageTest, TypedKeyClearsThePageAndStillCounts)
{
    WriteFile(file, "Eine Zeile\n");
    FensterGraf::ShowTextFile(file, 10);
    QTest::keyClick(FensterGraf::Window(), 'x');
    EXPECT_FALSE(FensterGraf::TextPageShown);
    EXPECT_EQ(FensterGraf::KeyBuffer, "x");
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(PixelAt(x, y), WhitePixel);
}

TEST_F(TextPageTest, MouseClickClearsThePage)
{
    WriteFile(file, "Eine Zeile\n");
    FensterGraf::ShowTextFile(file, 10);
    QTest::mouseClick(FensterGraf::Window(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(FensterGraf::TextPageShown);
    EXPECT_EQ(PixelAt(Kern::CharWidth + 1, Kern::CharHeight + 5), WhitePixel);
}

TEST_F(TextPageTest, ArrowKeyAloneLeavesThePage)
{
    WriteFile(file, "Eine Zeile\n");
    FensterGraf::ShowTextFile(file, 10);
    QTest::keyClick(FensterGraf::Window(), Qt::Key_Left);
    EXPECT_TRUE(FensterGraf::TextPageShown) << "only a typed character dismisses it";
}

// [SECTION] FileExists

TEST_F(FilesTest, FileExistsForEveryReadableFile)
{
    const std::string file = TempPath("exists.txt");
    WriteFile(file, "x");
    EXPECT_TRUE(FensterGraf::FileExists(file));
    const std::string readOnly = TempPath("readonly.txt");
    std::filesystem::remove(readOnly);
    WriteFile(readOnly, "x");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    EXPECT_TRUE(FensterGraf::FileExists(readOnly)) << "read-only files count";
    EXPECT_FALSE(FensterGraf::FileExists(""));
    EXPECT_FALSE(FensterGraf::FileExists(TempPath("missing.txt")));
    EXPECT_FALSE(FensterGraf::FileExists(testing::TempDir())) << "a folder is no file";
    std::filesystem::permissions(
        readOnly, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

} // namespace
