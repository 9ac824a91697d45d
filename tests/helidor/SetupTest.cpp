// SPDX-License-Identifier: GPL-3.0-or-later
// Helidor from its start to the adjustment screen, run for real: the first
// tick, the questions in their order with their defaults, the title and info
// text, the result files, Esc, the adjustment screen's pixels, and the
// errors that bring the dialogue back.
#include "HelidorRun.h"

#include "Adjustment.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "ResultFiles.h"
#include "Settings.h"
#include "Setup.h"
#include "Texts.h"

#include <QElapsedTimer>
#include <QImage>

#include <fstream>

#include <sys/stat.h>

namespace HelidorTesting {
namespace {

using ConsoleTesting::PixelAt;
using ConsoleTesting::PressReturn;
using ConsoleTesting::Type;
using FensterGraf::Rgb;

constexpr Rgb BlackPixel { 0, 0, 0 };
constexpr Rgb LightRedPixel { 252, 40, 40 };
constexpr Rgb WhitePixel { 255, 255, 255 };
const std::string Header = "   UT\t   r'\t   theta'\r\n";

// Captures what the first question shows, then answers with action.
DialogAction Observe(std::function<void()> look, DialogAction action)
{
    return [look, action](QDialog& dialog) {
        look();
        action(dialog);
    };
}

// The program started with the language answer and defaults; look runs when
// the title screen stands behind the picture question.
class TitleScreenRun : public HelidorRun {
protected:
    bool StartLookingAtTheTitle(const char* languageAnswer, std::function<void()> look)
    {
        std::vector<DialogAction> answers = Returns(10);
        answers[0] = Type(languageAnswer);
        answers[2] = Observe(std::move(look), PressReturn());
        return StartAndAnswer(answers);
    }
};

void WriteTextFile(const std::string& name, const std::string& content)
{
    std::ofstream(name, std::ios::binary) << content;
}

// True when the canvas already shows text at (x, y) as WriteTextAt would
// draw it now: drawing it again changes no pixel.
bool ShowsText(int x, int y, const std::string& text, int colour)
{
    const QImage before = FensterGraf::Canvas().copy();
    Kern::WriteTextAt(x, y, text, colour);
    return FensterGraf::Canvas() == before;
}

// How many character cells of a band of rows reach pixels of the colour,
// counted from the left edge to the rightmost such pixel.
int InkedCharacters(int top, int bottom, Rgb colour)
{
    int right = -1;
    for (int x = 0; x < Kern::ScreenWidth(); ++x)
        for (int y = std::max(top, 0); y < bottom; ++y)
            if (PixelAt(x, y) == colour)
                right = x;
    return (right + Kern::CharWidth) / Kern::CharWidth;
}

// [SECTION] The first tick and the questions

TEST_F(HelidorRun, FirstTickBlackensTheScreenAndAsksTheLanguageFirst)
{
    Rgb shown;
    std::vector<DialogAction> answers = Returns(10);
    answers[0] = Observe([&] { shown = PixelAt(800, 500); }, PressReturn());
    ASSERT_TRUE(StartAndAnswer(answers));
    EXPECT_EQ(shown, BlackPixel);
    ASSERT_GE(Script->Prompts.size(), 1u);
    EXPECT_EQ(Script->Prompts[0], "english/german (e/g)");
    EXPECT_EQ(Script->Defaults[0], "e");
}

TEST_F(HelidorRun, AsksEveryQuestionInOrderWithItsDefault)
{
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    const std::vector<std::string> prompts { "english/german (e/g)", "Name of result file",
        "Name of the picture (incl. Extension)", "Time (UT in hh.mm)",
        "Declination of the Sun in degrees", "Number of pictures of the Sun",
        "Time difference in s", "hor. position of the picture", "vert. position of the picture",
        "Start radius of the circle" };
    const std::vector<std::string> defaults { "e", "Test.txt", "Lurni1000UT.bmp", "8.00", "22.9",
        "2", "90", "0", "0", "200" };
    EXPECT_EQ(Script->Prompts, prompts);
    EXPECT_EQ(Script->Defaults, defaults);
    EXPECT_TRUE(Script->Messages.empty());
    EXPECT_NEAR(Settings::Declination, 22.9 * 0.017453292519943295, 1e-12);
    EXPECT_EQ(ReadFile("Test.txt"), Header) << "on the disk at once";
    EXPECT_EQ(ReadFile("Test2.txt"), Header);
}

TEST_F(HelidorRun, GermanOnePictureJpegAsksSizeAndRotation)
{
    ASSERT_TRUE(StartAndAnswer({ Type("g"), PressReturn(), Type("Lurni1000UT1.jpg"), Type("2"),
        Type("9,30"), Type("16g42'51"), Type("1"), Type("1,5"), PressReturn(), PressReturn(),
        PressReturn() }));
    const std::vector<std::string> prompts { "english/german (e/g)", "Name der Ergebnisdatei",
        "Name des Bildes (mit Extension)", "Gr\u00f6\u00dfe (1,2,4,8)", "Uhrzeit (UT in hh.mm)",
        "Deklination der Sonne in Grad", "Anzahl der Sonnenbilder", "Drehwinkel in Grad",
        "hor. Position des Bildes", "vert. Position des Bildes", "Anfangsradius des Kreises" };
    EXPECT_EQ(Script->Prompts, prompts);
    EXPECT_EQ(Settings::JpegScale, 2);
    EXPECT_DOUBLE_EQ(Settings::TimeUT, 9.30);
    EXPECT_DOUBLE_EQ(Settings::RotationAngle, 1.5 * 0.017453292519943295);
    EXPECT_NEAR(Settings::Declination, 0.29171724006, 1e-10);
    EXPECT_FALSE(std::filesystem::exists(Folder / "Test2.txt")) << "one picture, one file";
}

TEST_F(HelidorRun, EscAsksAgainWithTheLastAnswersButNotLanguageAndFile)
{
    ASSERT_TRUE(StartAndAnswer({ PressReturn(), Type("res.a.txt"), PressReturn(), Type("8.30"),
        PressReturn(), PressReturn(), Type("120"), Type("10"), Type("20"), Type("190") }));
    EXPECT_EQ(ReadFile("res2.a.txt"), Header);
    // A mark in the second file shows that it is not created again.
    ResultFiles::Append(ResultFiles::Exposure::Second, ResultFiles::Kind::Result, "mark\r\n");
    ASSERT_TRUE(NewInput({ PressReturn(), PressReturn(), PressReturn(), Type("1"), PressReturn(),
        PressReturn(), PressReturn(), PressReturn() }));
    const std::vector<std::string> defaults { "Lurni1000UT.bmp", "8.30", "22.9", "2", "0.0", "10",
        "20", "190" };
    EXPECT_EQ(Script->Defaults, defaults);
    EXPECT_EQ(Script->Prompts[0], "Name of the picture (incl. Extension)");
    ASSERT_TRUE(NewInput({ PressReturn(), PressReturn(), PressReturn(), Type("2"), PressReturn(),
        PressReturn(), PressReturn(), PressReturn() }));
    EXPECT_EQ(Script->Defaults[4], "120") << "the time difference of the first measurement";
    EXPECT_EQ(ReadFile("res2.a.txt"), Header + "mark\r\n");
}

// The second file: "2" before the first point of the name. The audit file:
// the last extension of the name replaced by ".fit.tsv".
TEST(ResultFileNames, SecondAndAuditFilesAreNamedAfterTheResultFile)
{
    EXPECT_EQ(ResultFiles::AuditFileName("Test.txt"), "Test.fit.tsv");
    EXPECT_EQ(ResultFiles::AuditFileName("Test2.txt"), "Test2.fit.tsv");
    EXPECT_EQ(ResultFiles::AuditFileName("results"), "results.fit.tsv");
    EXPECT_EQ(ResultFiles::AuditFileName("res.a.txt"), "res.a.fit.tsv");
    EXPECT_EQ(ResultFiles::AuditFileName("my.dir/results"), "my.dir/results.fit.tsv");
    EXPECT_EQ(ResultFiles::AuditFileName(".results"), ".results.fit.tsv");
    EXPECT_EQ(ResultFiles::SecondFileName("Test.txt"), "Test2.txt");
    EXPECT_EQ(ResultFiles::SecondFileName("res.a.txt"), "res2.a.txt");
    EXPECT_EQ(ResultFiles::SecondFileName("results"), "2results");
    EXPECT_EQ(ResultFiles::SecondFileName("../out.d/res.txt"), "../out.d/res2.txt");
    EXPECT_EQ(ResultFiles::SecondFileName("out.d/results"), "out.d/2results");
}

// [SECTION] Title and info text

class InfoTextTest : public TitleScreenRun {
protected:
    // The widths of the info lines shown: one band per line below the credit line.
    std::vector<int> ShownLineWidths(const char* language)
    {
        // A, B, empty, C, empty, D: each line a different width.
        WriteTextFile("Helidor.inf", "A\nBB\n\nCCC\n\nDDDD\n");
        std::vector<int> widths;
        auto look = [&widths] {
            Kern::SelectFont("Courier", 12, 1);
            const int band = Kern::CharHeight + 3;
            int y = 3 * Kern::CharHeight + 30 + band; // bottom of the first info line
            for (int line = 0; line < 5; ++line, y += band)
                widths.push_back(InkedCharacters(y - band + 1, y, WhitePixel));
        };
        EXPECT_TRUE(StartLookingAtTheTitle(language, look));
        return widths;
    }
};

TEST_F(InfoTextTest, GermanShowsTheLinesUpToTheFirstEmptyOne)
{
    EXPECT_EQ(ShownLineWidths("g"), (std::vector<int> { 1, 2, 0, 0, 0 }));
}

TEST_F(InfoTextTest, EnglishShowsTheLinesAfterTheFirstEmptyOne)
{
    EXPECT_EQ(ShownLineWidths("e"), (std::vector<int> { 3, 0, 4, 0, 0 }));
}

// A FIFO named like the info file is none: the title comes without info
// lines, and no writer is waited for.
TEST_F(InfoTextTest, FifoNamedLikeTheInfoFileShowsNoLines)
{
    ASSERT_EQ(::mkfifo("Helidor.inf", 0600), 0);
    int width = -1;
    auto look = [&width] {
        Kern::SelectFont("Courier", 12, 1);
        const int band = Kern::CharHeight + 3;
        const int bottom = 3 * Kern::CharHeight + 30 + band;
        width = InkedCharacters(bottom - band + 1, bottom + 4 * band, WhitePixel);
    };
    EXPECT_TRUE(StartLookingAtTheTitle("g", look));
    EXPECT_EQ(width, 0);
}

TEST_F(InfoTextTest, Latin1AndUtf8LinesShowAlike)
{
    WriteTextFile("Helidor.inf",
        "Gr\xfc\xdf"
        "e\nGr\xc3\xbc\xc3\x9f"
        "e\n");
    bool same = false;
    auto look = [&same] {
        Kern::SelectFont("Courier", 12, 0);
        const int band = Kern::CharHeight + 3;
        const int first = 3 * Kern::CharHeight + 30 + band;
        same = ShowsText(0, first, "Gr\u00fc\u00dfe", Kern::White)
            && ShowsText(0, first + band, "Gr\u00fc\u00dfe", Kern::White);
    };
    ASSERT_TRUE(StartLookingAtTheTitle("g", look));
    EXPECT_TRUE(same);
}

class TitleTest : public TitleScreenRun {
protected:
    // Whether the title and the credit line of the language stand at the top
    // when the picture is asked; the program is started afresh for each answer.
    void ExpectTitle(
        std::vector<const char*> answers, const std::string& title, const std::string& credit)
    {
        for (const char* answer : answers) {
            bool shown = false;
            auto look = [&] {
                const int middle = 1600 / 2;
                Kern::SelectFont("Courier", 16, 1);
                Kern::SetTextJustify(1, 0);
                shown = ShowsText(middle, Kern::CharHeight + 10, title, Kern::White);
                Kern::SelectFont("Courier", 12, 1);
                shown = shown && ShowsText(middle, 3 * Kern::CharHeight + 30, credit, Kern::White);
                Kern::SetTextJustify(0, 0);
                Kern::SelectFont("Courier", 10, 0);
            };
            EXPECT_TRUE(StartLookingAtTheTitle(answer, look)) << answer;
            EXPECT_TRUE(shown) << answer;
            TearDown();
            SetUp();
        }
    }
};

TEST_F(TitleTest, English)
{
    ExpectTitle({ "e", "ge" },
        "Position measurement on twice or once exposured transit photographs",
        "Helidor, by its authors for school and public observatories");
}

TEST_F(TitleTest, German)
{
    ExpectTitle({ "g", "G", "xg" },
        "Positionsmessung auf doppelt oder einfach belichteten Transitfotos",
        "Helidor, von seinen Autoren f\u00fcr Schul- und Volkssternwarten");
}

// [SECTION] The adjustment screen

TEST_F(HelidorRun, AdjustmentScreenShowsPictureCircleLegendAndWidth)
{
    ASSERT_TRUE(StartAndAnswer({ PressReturn(), PressReturn(), PressReturn(), PressReturn(),
        PressReturn(), PressReturn(), PressReturn(), Type("30"), Type("20"), Type("150") }));
    Bitmap::Picture picture;
    Bitmap::ReadBitmapFile(SampleFolder() + "/Lurni1000UT.bmp", picture);
    // The picture at (30, 20), away from the circle, the texts and the legend.
    int compared = 0;
    for (int y = 150; y < std::min(picture.Height, 600); y += 7) {
        for (int x = 420; x < std::min(picture.Width, 900); x += 11) {
            const std::uint32_t p = picture.Pixels[static_cast<std::size_t>(y * picture.Width + x)];
            ASSERT_EQ(PixelAt(30 + x, 20 + y),
                (Rgb { int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255) }))
                << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 1000);
    // The start circle: at entry 1 (250, 500) with the start radius 150.
    for (const auto& [x, y] : { std::pair { 400, 500 }, { 100, 500 }, { 250, 350 }, { 250, 650 } })
        EXPECT_EQ(PixelAt(x, y), LightRedPixel) << x << "," << y;
    EXPECT_NE(PixelAt(401, 500), LightRedPixel);
    EXPECT_NE(PixelAt(250, 500), LightRedPixel);
    // The legend names Sun 1 where the caption's 29 glyphs of 9.6 px end
    // (278, not 29 rounded widths of 10), the key help after its 5 glyphs of
    // 12.6 px (16 points are 21 pixels); the width of the window over the picture.
    Kern::SelectFont("Courier", 12, 1);
    EXPECT_TRUE(ShowsText(0, Kern::ScreenHeight(), " Adjustment of the circle to ", Kern::White));
    Kern::SelectFont("Courier", 16, 1);
    EXPECT_TRUE(ShowsText(278, Kern::ScreenHeight(), "Sun 1", Kern::LightRed));
    Kern::SelectFont("Courier", 12, 1);
    EXPECT_TRUE(ShowsText(341, Kern::ScreenHeight(),
        " with cursor and page keys, \"Return\": confirmation, \"Esc\": break", Kern::White));
    Kern::SelectFont("Courier", 10, 1);
    EXPECT_TRUE(ShowsText(100, 100, "1600", Kern::White));
    EXPECT_EQ(Adjustment::ConfirmedCount, 0);
    // The picture's name at the top right corner, in 10-point regular type.
    Kern::SelectFont("Courier", 10, 0);
    Kern::SetTextJustify(2, 0);
    EXPECT_TRUE(ShowsText(1600, 2 * Kern::CharHeight, "Lurni1000UT.bmp", Kern::White));
    Kern::SetTextJustify(0, 0);
}

TEST_F(HelidorRun, ReadoutShowsTheCircleRelativeToThePicture)
{
    ASSERT_TRUE(StartAndAnswer({ PressReturn(), PressReturn(), PressReturn(), PressReturn(),
        PressReturn(), PressReturn(), PressReturn(), Type("-30"), Type("20"), PressReturn() }));
    TypeKey(Qt::Key_Right);
    TypeKey(Qt::Key_PageDown);
    const int line = Kern::CharHeight;
    EXPECT_TRUE(ShowsText(0, 2 * line, " xM =  281", Kern::White));
    EXPECT_TRUE(ShowsText(0, 3 * line, " yM =  480", Kern::White));
    EXPECT_TRUE(ShowsText(0, 4 * line, "  r =  199", Kern::White));
}

TEST_F(HelidorRun, ShorterReadoutClearsTheRestOfTheLongerOne)
{
    // The picture far to the left: xM = 250 + 9750 = 10000, five digits.
    ASSERT_TRUE(
        StartAndAnswer({ PressReturn(), PressReturn(), PressReturn(), PressReturn(), PressReturn(),
            PressReturn(), PressReturn(), Type("-9750"), PressReturn(), PressReturn() }));
    const int line = Kern::CharHeight;
    TypeKey(Qt::Key_Right);
    EXPECT_TRUE(ShowsText(0, 2 * line, " xM = 10001", Kern::White));
    TypeKey(Qt::Key_Left);
    TypeKey(Qt::Key_Left);
    EXPECT_TRUE(ShowsText(0, 2 * line, " xM = 9999 ", Kern::White)) << "no digit left over";
}

TEST_F(InfoTextTest, LongInfoFileIsReadOnlyAsFarAsTheScreenShows)
{
    std::string lines;
    for (int i = 0; i < 200000; ++i)
        lines += "Zeile\n";
    WriteTextFile("Helidor.inf", lines);
    Texts::SetUpMessageTexts();
    Settings::Language = 1;
    QElapsedTimer timer;
    timer.start();
    Texts::ShowInfoText(100);
    // All 200,000 lines took seconds; the screen holds about 50.
    EXPECT_LT(timer.elapsed(), 1500);
    Kern::SelectFont("Courier", 12, 0);
    const int band = Kern::CharHeight + 3;
    EXPECT_TRUE(ShowsText(0, 100 + band, "Zeile", Kern::White));
}

// [SECTION] Errors that bring the dialogue back

TEST_F(HelidorRun, TimeThatIsNoClockTimeIsAskedAgain)
{
    // 8.7 is 8 h 70 min in hh.mm, as Quenmark's --time reads it too.
    ASSERT_TRUE(StartAndAnswer({ PressReturn(), PressReturn(), PressReturn(), Type("25.00"),
        Type("9,75"), Type("-0.01"), Type("8.7"), Type("23.59"), PressReturn(), PressReturn(),
        PressReturn(), PressReturn(), PressReturn(), PressReturn() }));
    for (int k = 3; k <= 7; ++k)
        EXPECT_EQ(Script->Prompts[static_cast<std::size_t>(k)], "Time (UT in hh.mm)") << k;
    EXPECT_EQ(Script->Defaults[4], "25.00") << "the typo stays the default";
    EXPECT_EQ(Script->Prompts[8], "Declination of the Sun in degrees");
    EXPECT_DOUBLE_EQ(Settings::TimeUT, 23.59);
}

TEST_F(HelidorRun, EmptyPictureNameIsReportedInGermanAndAskedAgain)
{
    std::vector<DialogAction> answers = Returns(10);
    answers[0] = Type("g");
    answers[2] = ConsoleTesting::EmptyAndClickOK();
    answers.insert(answers.begin() + 3, Type("Lurni1000UT.bmp"));
    ASSERT_TRUE(StartAndAnswer(answers));
    EXPECT_EQ(Script->Messages, (std::vector<std::string> { "Es wurde kein Bildname angegeben." }));
    EXPECT_EQ(Script->Prompts[3], "Name des Bildes (mit Extension)");
}

TEST_F(HelidorRun, ResultFileThatClashesOrIsNoRegularFileIsRefused)
{
    ASSERT_EQ(::mkfifo("fifo", 0644), 0);
    std::filesystem::create_symlink("Test.txt", Folder / "Test2.txt");
    std::vector<DialogAction> answers { PressReturn(), Type("Ergebnis.bmp"), Type("./Mond.bmp"),
        Type("fifo"), Type("Test.txt") };
    // Two pictures: the second file would be the first; then one picture.
    for (const char* answer : { "", "", "", "2", "", "", "", "1", "", "", "", "" })
        answers.push_back(*answer ? Type(answer) : PressReturn());
    ASSERT_TRUE(StartAndAnswer(answers));
    const std::vector<std::string> messages {
        "The result file \"Ergebnis.bmp\" would be the same file as \"Ergebnis.bmp\". Please "
        "choose another name.",
        "The result file \"./Mond.bmp\" would be the same file as \"Mond.bmp\". Please choose "
        "another name.",
        "\"fifo\" is not a regular file.",
        "The result file \"Test2.txt\" would be the same file as \"Test.txt\". Please choose "
        "another name.",
    };
    EXPECT_EQ(Script->Messages, messages);
    EXPECT_EQ(ReadFile("Test.txt"), Header) << "the first file is not cut by the second";
    EXPECT_FALSE(std::filesystem::exists(Folder / "Ergebnis.bmp"));
}

// A file that is not a result file is never cut: the photograph's own name
// typed at the question leaves the photograph as it was.
TEST_F(HelidorRun, FileThatIsNoResultFileIsRefusedAndAskedAgain)
{
    std::filesystem::copy_file(SampleFolder() + "/Lurni1000UT1.jpg", Folder / "mine.jpg");
    const std::string picture = ReadFile("mine.jpg");
    ASSERT_GT(picture.size(), 80000u);
    // Files of earlier runs: one that begins with the header, an empty one.
    WriteTextFile("Test.txt", Header + "8.00\r\n 0.5000\r\n90.00\r\n");
    WriteTextFile("Test2.txt", "");
    ASSERT_TRUE(StartAndAnswer(Returns(11, { { 1, "mine.jpg" }, { 2, "Test.txt" } })));
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> { "\"mine.jpg\" is not a result file and is not replaced." }));
    EXPECT_EQ(Script->Prompts[2], "Name of result file");
    EXPECT_EQ(Script->Defaults[2], "mine.jpg");
    EXPECT_TRUE(ReadFile("mine.jpg") == picture) << "the photograph byte for byte";
    EXPECT_EQ(ReadFile("Test.txt"), Header) << "a result file is replaced";
    EXPECT_EQ(ReadFile("Test2.txt"), Header) << "an empty file is replaced";
}

// The second result file is created at the parameters: refused there, the
// dialogue comes back, and one picture needs no second file.
TEST_F(HelidorRun, SecondFileThatIsNoResultFileIsRefusedInGerman)
{
    WriteTextFile("res2.txt", "my notes\r\n");
    ASSERT_TRUE(StartAndAnswer(
        { Type("g"), Type("res.txt"), PressReturn(), PressReturn(), PressReturn(), PressReturn(),
            // refused; the parameters again
            PressReturn(), PressReturn(), PressReturn(), Type("1"), PressReturn(), PressReturn(),
            PressReturn(), PressReturn() }));
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> {
            "\u201eres2.txt\u201c ist keine Ergebnisdatei und wird nicht ersetzt." }));
    EXPECT_EQ(Script->Prompts[6], "Name des Bildes (mit Extension)");
    EXPECT_EQ(ReadFile("res2.txt"), "my notes\r\n");
    EXPECT_EQ(ReadFile("res.txt"), Header);
    EXPECT_FALSE(ResultFiles::SecondResultFileOpen());
}

// The audit file of the name is checked at the question, where another name
// can still be chosen; nothing is created or cut for a refused name.
TEST_F(HelidorRun, AuditFileThatCannotBeUsedIsRefusedAtTheResultFileQuestion)
{
    WriteTextFile("Test.fit.tsv", "x\ty\n1\t2\n");
    std::filesystem::create_directory(Folder / "a.fit.tsv");
    ASSERT_EQ(::mkfifo("f.fit.tsv", 0644), 0);
    // An audit file of an earlier run (its header, LF line ends) is ours.
    const std::string audit = std::string(ResultFiles::AuditHeader) + "\n1\tsun\n";
    WriteTextFile("b.fit.tsv", audit);
    ASSERT_TRUE(StartAndAnswer(Returns(13, { { 2, "a.txt" }, { 3, "f.txt" }, { 4, "b.txt" } })));
    const std::string refused = " beside the result file cannot be used ";
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> {
            "The audit file \"Test.fit.tsv\"" + refused + "(it is not an audit file).",
            "The audit file \"a.fit.tsv\"" + refused + "(not a regular file).",
            "The audit file \"f.fit.tsv\"" + refused + "(not a regular file)." }));
    EXPECT_EQ(ReadFile("Test.fit.tsv"), "x\ty\n1\t2\n");
    for (const char* name : { "Test.txt", "a.txt", "f.txt" })
        EXPECT_FALSE(std::filesystem::exists(Folder / name)) << name;
    EXPECT_EQ(ReadFile("b.txt"), Header);
    EXPECT_EQ(ReadFile("b.fit.tsv"), audit) << "replaced at the first evaluation only";
}

// An audit file linked to a result file or the other audit file would cut it:
// refused at the question whether the file linked to exists yet or not.
TEST_F(HelidorRun, AuditFileLinkedToAnotherFileOfTheRunIsRefused)
{
    const std::string earlier = Header + "08:01:30\t 0,4545\t  53,13\r\n";
    WriteTextFile("Test2.txt", earlier);
    std::filesystem::create_symlink("Test2.txt", Folder / "Test.fit.tsv");
    std::filesystem::create_symlink("x.txt", Folder / "x.fit.tsv"); // to nothing yet
    std::filesystem::create_symlink("y2.fit.tsv", Folder / "y.fit.tsv");
    ASSERT_TRUE(StartAndAnswer(Returns(13, { { 2, "x.txt" }, { 3, "y.txt" }, { 4, "z.txt" } })));
    const std::string refused = " beside the result file cannot be used (the same file as ";
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> { "The audit file \"Test.fit.tsv\"" + refused + "\"Test2.txt\").",
            "The audit file \"x.fit.tsv\"" + refused + "\"x.txt\").",
            "The audit file \"y.fit.tsv\"" + refused + "\"y2.fit.tsv\")." }));
    EXPECT_EQ(ReadFile("Test2.txt"), earlier);
    EXPECT_FALSE(std::filesystem::exists(Folder / "x.txt"));
    EXPECT_EQ(ReadFile("z2.txt"), Header);
}

TEST_F(HelidorRun, MissingPictureIsReportedAndAskedAgain)
{
    ASSERT_TRUE(StartAndAnswer({ PressReturn(), PressReturn(), Type("missing.bmp"), PressReturn(),
        PressReturn(), Type("1"), Type("2,5"), PressReturn(), PressReturn(), PressReturn(),
        // the title screen and the parameters again, the answers as defaults
        Type("Lurni1000UT.bmp"), PressReturn(), PressReturn(), PressReturn(), PressReturn(),
        PressReturn(), PressReturn(), PressReturn() }));
    ASSERT_EQ(Script->Messages.size(), 1u);
    EXPECT_NE(Script->Messages[0].find("missing.bmp"), std::string::npos) << Script->Messages[0];
    EXPECT_EQ(Script->Prompts[10], "Name of the picture (incl. Extension)");
    EXPECT_EQ(Script->Defaults[10], "missing.bmp");
    EXPECT_EQ(Script->Defaults[13], "1");
    EXPECT_EQ(Script->Defaults[14], "2,5");
    EXPECT_EQ(Setup::PicturePath, SampleFolder() + "/Lurni1000UT.bmp");
}

TEST_F(HelidorRun, PictureFromTheWorkingFolderOrAnAbsolutePath)
{
    std::filesystem::copy_file(SampleFolder() + "/Lurni1000UT1.jpg", Folder / "here.jpg");
    ASSERT_TRUE(StartAndAnswer({ PressReturn(), PressReturn(), Type("here.jpg"), PressReturn(),
        PressReturn(), PressReturn(), PressReturn(), PressReturn(), PressReturn(), PressReturn(),
        PressReturn() }));
    EXPECT_EQ(Setup::PicturePath, "here.jpg");
    const std::string absolute = SampleFolder() + "/Lurni1000UT.bmp";
    ASSERT_TRUE(NewInput({ Type(absolute), PressReturn(), PressReturn(), PressReturn(),
        PressReturn(), PressReturn(), PressReturn(), PressReturn() }));
    EXPECT_EQ(Setup::PicturePath, absolute);
    EXPECT_TRUE(Script->Messages.empty());
}

TEST_F(HelidorRun, ResultFileThatCannotBeCreatedIsAskedAgainInGerman)
{
    ASSERT_TRUE(StartAndAnswer(
        Returns(11, { { 0, "g" }, { 1, "no-such-folder/x.txt" }, { 2, "Ergebnis.txt" } })));
    ASSERT_EQ(Script->Messages.size(), 1u);
    EXPECT_NE(Script->Messages[0].find("Ergebnisdatei"), std::string::npos) << Script->Messages[0];
    EXPECT_EQ(Script->Prompts[2], "Name der Ergebnisdatei");
    EXPECT_EQ(Script->Defaults[2], "no-such-folder/x.txt");
    EXPECT_EQ(Script->Defaults[3], "Lurni1000UT.bmp") << "the language is not asked again";
    EXPECT_EQ(ReadFile("Ergebnis2.txt"), Header);
}

TEST_F(HelidorRun, SecondResultFileThatCannotBeCreatedBringsTheDialogueBack)
{
    std::filesystem::create_directory(Folder / "Test2.txt");
    ASSERT_TRUE(StartAndAnswer(
        { PressReturn(), PressReturn(), PressReturn(), PressReturn(), PressReturn(), PressReturn(),
            // reported; the title screen and the parameters again
            PressReturn(), PressReturn(), PressReturn(), Type("1"), PressReturn(), PressReturn(),
            PressReturn(), PressReturn() }));
    ASSERT_EQ(Script->Messages.size(), 1u);
    EXPECT_NE(Script->Messages[0].find("Test2.txt"), std::string::npos);
    EXPECT_EQ(Script->Prompts[6], "Name of the picture (incl. Extension)");
    EXPECT_FALSE(ResultFiles::SecondResultFileOpen());
    EXPECT_FALSE(Setup::SetupRunning);
}

TEST_F(HelidorRun, PictureCountOtherThanOneOrTwoIsAskedAgain)
{
    ASSERT_TRUE(StartAndAnswer(
        { PressReturn(), PressReturn(), PressReturn(), PressReturn(), PressReturn(), Type("3"),
            Type("0"), Type("1"), PressReturn(), PressReturn(), PressReturn(), PressReturn() }));
    EXPECT_EQ(Script->Prompts[5], "Number of pictures of the Sun");
    EXPECT_EQ(Script->Prompts[6], "Number of pictures of the Sun");
    EXPECT_EQ(Script->Defaults[6], "3");
    EXPECT_EQ(Script->Prompts[7], "Number of pictures of the Sun");
    EXPECT_EQ(Script->Prompts[8], "Rotation angle in degrees");
    EXPECT_EQ(Settings::PictureCount, 1);
}

// A console left in black and white by whatever ran before: the first setup
// puts it back to colour, so that "s" saves the light-red circle as such.
TEST_F(HelidorRun, FirstSetupSavesScreenPicturesInColour)
{
    Kern::SetColorMode(false);
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    TypeKey(Qt::Key_S);
    const QImage saved(QString::fromStdString((Folder / "Mond.bmp").string()));
    ASSERT_FALSE(saved.isNull());
    int lightRed = 0;
    for (int y = 0; y < saved.height(); ++y)
        for (int x = 0; x < saved.width(); ++x)
            lightRed += saved.pixel(x, y) == qRgb(252, 40, 40) ? 1 : 0;
    EXPECT_GT(lightRed, 1000) << "the start circle of radius 200 and the legend's \"Sun 1\"";
}

} // namespace
} // namespace HelidorTesting
