// SPDX-License-Identifier: GPL-3.0-or-later
// Whole measurements with the real program: circles moved and confirmed with
// keys, the construction and its saved picture, the results page and the
// result files byte for byte, the start positions of the next circles, and
// the keys that do nothing.
#include "HelidorRun.h"

#include "Adjustment.h"
#include "Evaluation.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "ResultFiles.h"
#include "Settings.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fstream>

#include <sys/resource.h>

namespace HelidorTesting {
namespace {

using Adjustment::Circle;
using ConsoleTesting::FileSizeLimit;
using ConsoleTesting::PixelAt;
using ConsoleTesting::PressReturn;
using ConsoleTesting::Type;

const std::string Header = "   UT\t   r'\t   theta'\r\n";

class MeasurementTest : public HelidorRun {
protected:
    // The dialogue of a one-picture measurement with the sample photograph.
    bool StartOnePicture(const char* rotation)
    {
        std::vector<DialogAction> answers = Returns(10);
        answers[5] = Type("1");
        answers[6] = Type(rotation);
        return StartAndAnswer(answers);
    }

    // The Sun at the start circle (250, 500) r 200, the planet 100 px above
    // its centre.
    void ConfirmSunAndPlanet()
    {
        Confirm();
        TypeKeys(Qt::Key_Up, 100);
        Confirm();
    }

    // One circle of a measurement: where the program starts it (and why
    // there), and where it is moved and confirmed.
    struct Placing {
        Circle start, confirmed;
        const char* why;
    };
    void ConfirmInTurn(std::initializer_list<Placing> circles)
    {
        for (const Placing& circle : circles) {
            EXPECT_EQ(Current(), circle.start) << circle.why;
            MoveTo(circle.confirmed);
            Confirm();
        }
    }

    // True when the canvas already shows the text there: drawing it again
    // changes no pixel.
    static bool Shows(int x, int y, const std::string& text, int colour)
    {
        const QImage before = FensterGraf::Canvas().copy();
        Kern::WriteTextAt(x, y, text, colour);
        return FensterGraf::Canvas() == before;
    }

    // The results page shows line k (1, 2, ...) as given.
    static bool PageShows(int k, const std::string& text)
    {
        return Shows(20, 50 + k * (Kern::CharHeight + 2), text, Kern::White);
    }

    // The whole results page; each label is right-aligned so that its first
    // colon ends column 30.
    static void ExpectPage(const std::vector<std::string>& lines)
    {
        Kern::SelectFont("Courier", 10, 1); // as the legend leaves it
        EXPECT_TRUE(Shows(20, 50, "Result:", Kern::White));
        for (std::size_t k = 1; k <= lines.size(); ++k) {
            const std::string& text = lines[k - 1];
            const std::size_t label = text.find(':') + 1;
            EXPECT_TRUE(PageShows(static_cast<int>(k), std::string(30 - label, ' ') + text))
                << text;
        }
        EXPECT_TRUE(Shows(10, 1000 - 5, "\"Esc\": neue Eingabe !", Kern::LightRed));
    }

    // The screen as the construction left it, read back from "Ergebnis.bmp":
    // the save stretches the screen by a pixel, so a picture of the same
    // size holding each pixel's own position is stretched alike to find it.
    QImage SavedScreen() const
    {
        const QImage saved(QString::fromStdString((Folder / "Ergebnis.bmp").string()));
        EXPECT_EQ(saved.size(), QSize(1600, 1001));
        QImage places(1599, 1000, QImage::Format_RGB32);
        for (int y = 0; y < places.height(); ++y)
            for (int x = 0; x < places.width(); ++x)
                places.setPixel(x, y, 0xff000000u | static_cast<unsigned>(x << 10 | y));
        places = places.scaled(saved.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QImage screen(places.width() - 1, places.height() - 1, QImage::Format_RGB32);
        for (int y = 0; y < saved.height() && !saved.isNull(); ++y)
            for (int x = 0; x < saved.width(); ++x) {
                const unsigned place = places.pixel(x, y) & 0xffffffu;
                screen.setPixel(int(place >> 10), int(place & 1023), saved.pixel(x, y));
            }
        return screen;
    }
};

bool IsLightRed(const QImage& screen, int x, int y)
{
    return screen.pixel(x, y) == qRgb(252, 40, 40);
}

// A dot of the radius: light red that far from its centre and no further,
// looked at straight up (direction -1) or down (1).
bool DotHasRadius(const QImage& screen, int x, int y, int radius, int direction)
{
    return IsLightRed(screen, x, y + direction * radius)
        && !IsLightRed(screen, x, y + direction * (radius + 1));
}

// Light red within a pixel of (x, y), for points on arcs.
bool LightRedNear(const QImage& screen, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (IsLightRed(screen, x + dx, y + dy))
                return true;
    return false;
}

std::string Pad(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// [SECTION] One picture

TEST_F(MeasurementTest, PlanetAboveTheCentreWithoutRotation)
{
    ASSERT_TRUE(StartOnePicture("0"));
    Confirm(); // the Sun at the start circle (250, 500), radius 200
    EXPECT_EQ(Current(), (Circle { 250, 500, 14 })) << "the planet starts at the Sun's centre";
    TypeKeys(Qt::Key_Up, 100);
    Confirm();
    ASSERT_TRUE(Adjustment::AdjustmentDone);
    EXPECT_EQ(ReadFile("Test.txt"), Header + "8.00\r\n 0.5000\r\n90.00\r\n");
    EXPECT_TRUE(PageShows(1, Pad("Sun", 29) + ": x:250, y:500, r:200"));
    EXPECT_TRUE(PageShows(2, Pad("Venus:", 30) + " x:250, y:400, r: 14"));
    EXPECT_TRUE(PageShows(3, "  rho': 0.5000"));
    EXPECT_TRUE(PageShows(4, Pad("position angle:", 30) + "  90.00\u00b0"));
    EXPECT_TRUE(PageShows(5, Pad("x':", 30) + " 0.0000"));
    EXPECT_TRUE(PageShows(6, Pad("y':", 30) + " 0.5000"));
}

// The time to the second: hh:mm:ss (and hh:mm) beside hh.mm. A minute of 60
// and a one-digit second are typos: the bell, and the question again.
TEST_F(MeasurementTest, TimeToTheSecondIsWrittenToTheSecond)
{
    ASSERT_TRUE(StartAndAnswer(
        Returns(12, { { 3, "8:60" }, { 4, "8:30:5" }, { 5, "8:30:15" }, { 7, "1" }, { 8, "0" } })));
    EXPECT_EQ(Script->Prompts[4], Script->Prompts[3]);
    EXPECT_EQ(Script->Prompts[5], Script->Prompts[3]);
    EXPECT_NE(Script->Prompts[6], Script->Prompts[3]);
    ConfirmSunAndPlanet();
    ASSERT_TRUE(Adjustment::AdjustmentDone);
    const std::string first = Header + "08:30:15\r\n 0.5000\r\n90.00\r\n";
    EXPECT_EQ(ReadFile("Test.txt"), first);
    const std::string audit = ReadFile("Test.fit.tsv");
    EXPECT_NE(audit.find("\tkeys\t08:30:15\tLurni1000UT.bmp\n1\tresult\t"), std::string::npos)
        << audit;

    // hh:mm is hh.mm: the line says 9.05, as for an answer of 9.05.
    ASSERT_TRUE(NewInput(Returns(8, { { 1, "9:05" }, { 3, "1" }, { 4, "0" } })));
    Confirm();
    Confirm();
    EXPECT_EQ(ReadFile("Test.txt").substr(0, first.size() + 6), first + "9.05\r\n");
}

TEST_F(MeasurementTest, PlanetToTheRightWithARotationOf90Degrees)
{
    ASSERT_TRUE(StartOnePicture("90"));
    Confirm();
    TypeKeys(Qt::Key_Right, 100);
    Confirm();
    EXPECT_EQ(ReadFile("Test.txt"), Header + "8.00\r\n 0.5000\r\n-90.00\r\n");
    EXPECT_TRUE(PageShows(4, Pad("position angle:", 30) + " -90.00\u00b0"));
    EXPECT_TRUE(PageShows(5, Pad("x':", 30) + " 0.0000"));
    EXPECT_TRUE(PageShows(6, Pad("y':", 30) + "-0.5000"));
}

TEST_F(MeasurementTest, ConstructionIsSavedAsErgebnisBmp)
{
    ASSERT_TRUE(StartOnePicture("45"));
    // The legend names the object where the caption's 29 glyphs of 9.6 px
    // end, the key help where the object's glyphs of 12.6 px end.
    const std::string keyHelp
        = " with cursor and page keys, \"Return\": confirmation, \"Esc\": break";
    Kern::SelectFont("Courier", 16, 1);
    EXPECT_TRUE(Shows(278, 1000, "Sun", Kern::LightRed));
    Kern::SelectFont("Courier", 12, 1);
    EXPECT_TRUE(Shows(316, 1000, keyHelp, Kern::White));
    Confirm();
    Kern::SelectFont("Courier", 16, 1);
    EXPECT_TRUE(Shows(278, 1000, "Venus", Kern::LightRed));
    Kern::SelectFont("Courier", 12, 1);
    EXPECT_TRUE(Shows(341, 1000, keyHelp, Kern::White));
    TypeKeys(Qt::Key_Up, 60);
    TypeKeys(Qt::Key_Left, 80);
    Confirm(); // planet at (170, 440): 143.13 degrees, 98.13 from the rotation
    EXPECT_EQ(ReadFile("Test.txt"), Header + "8.00\r\n 0.5000\r\n98.13\r\n");
    const QImage screen = SavedScreen();
    EXPECT_TRUE(DotHasRadius(screen, 250, 500, 3, 1)) << "the Sun's dot";
    EXPECT_TRUE(DotHasRadius(screen, 170, 440, 2, -1)) << "the planet's dot";
    // The line between the centres; the reference line along 45 degrees
    // reaching 1.1 radii (156, 156) to each side, not mirrored.
    for (const auto& [x, y] : { std::pair { 210, 470 }, { 94, 656 }, { 150, 600 }, { 405, 345 } })
        EXPECT_TRUE(IsLightRed(screen, x, y)) << x << "," << y;
    for (const auto& [x, y] : { std::pair { 94, 344 }, { 150, 400 }, { 406, 656 }, { 93, 657 } })
        EXPECT_FALSE(IsLightRed(screen, x, y)) << x << "," << y;
    // The arc of radius 50 from the rotation (45 degrees) to the planet.
    EXPECT_TRUE(LightRedNear(screen, 250, 450)) << "at 90 degrees";
    EXPECT_FALSE(LightRedNear(screen, 297, 483)) << "at 20 degrees";
    EXPECT_FALSE(LightRedNear(screen, 176, 534)) << "at 205 degrees";
    // The legend's new-input hint (18 glyphs, 173 px) stands alone on its
    // line: nothing of the longer caption before it is left over.
    for (int y = 1000 - 18; y < 1000; ++y)
        for (int x = 180; x < 1599; ++x)
            ASSERT_LT(qGray(screen.pixel(x, y)), 60) << x << "," << y;
}

TEST_F(MeasurementTest, ScreenPicturesThatCannotBeWrittenLoseNoMeasurement)
{
    std::filesystem::create_directory(Folder / "Ergebnis.bmp");
    std::filesystem::create_directory(Folder / "Mond.bmp");
    ASSERT_TRUE(StartAndAnswer(Returns(10, { { 0, "g" }, { 5, "1" } })));
    // The German legend: the caption's 26 glyphs end at 249.6 px, the
    // object's 5 at 312.6 px; each piece starts at the pixel where that falls.
    const std::string keyHelp
        = " mit Cursor- und Bild-Tasten, \"Return\": Best\u00e4tigung, \"Esc\": Abbruch";
    for (const char* object : { "Sonne", "Venus" }) {
        Kern::SelectFont("Courier", 16, 1);
        EXPECT_TRUE(Shows(249, 1000, object, Kern::LightRed)) << object;
        Kern::SelectFont("Courier", 12, 1);
        EXPECT_TRUE(Shows(312, 1000, keyHelp, Kern::White)) << object;
        TypeKeys(Qt::Key_Up, object[0] == 'V' ? 100 : 0); // the planet 100 px up
        Confirm();
    }
    TypeKey(Qt::Key_S);
    EXPECT_TRUE(Adjustment::AdjustmentDone);
    EXPECT_EQ(ReadFile("Test.txt"), Header + "8.00\r\n 0.5000\r\n90.00\r\n");
    const std::string notSaved
        = " wurde nicht gespeichert (keine gew\u00f6hnliche Datei). Die Messung geht weiter.";
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> { "Das Bildschirmbild \u201eErgebnis.bmp\u201c" + notSaved,
            "Das Bildschirmbild \u201eMond.bmp\u201c" + notSaved }));
    EXPECT_TRUE(PageShows(3, "  rho': 0.5000")) << "the results page is shown";
}

TEST_F(MeasurementTest, FullDiskTearsNoLineAndTheNextEvaluationWritesBoth)
{
    // The screen picture of an earlier measurement stays whole.
    const std::string oldPicture = "BM" + std::string(98, 'x');
    std::ofstream(Folder / "Ergebnis.bmp", std::ios::binary) << oldPicture;
    ASSERT_TRUE(StartOnePicture("0"));
    Confirm();
    TypeKeys(Qt::Key_Up, 100);
    {
        // Room for 10 of the 22 bytes of the three lines.
        const FileSizeLimit disk(Header.size() + 10);
        Confirm();
    }
    EXPECT_TRUE(Adjustment::AdjustmentDone);
    EXPECT_EQ(ReadFile("Test.txt"), Header) << "cut back, no torn line";
    EXPECT_EQ(ReadFile("Ergebnis.bmp"), oldPicture);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(Folder))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string> { "Ergebnis.bmp", "Test.fit.tsv", "Test.txt" }))
        << "no temporary file left";
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> {
            "The screen picture \"Ergebnis.bmp\" was not saved (the disk is full). The "
            "measurement goes on.",
            "The result file \"Test.txt\" cannot be written (the disk is full). The measurement is "
            "not lost: its lines are written with the next evaluation." }));
    EXPECT_TRUE(PageShows(3, "  rho': 0.5000"));
    // Room again: the next measurement writes the kept lines and its own.
    ASSERT_TRUE(NewInput(Returns(8)));
    Confirm(); // the Sun as before; the planet starts at (250, 400)
    TypeKeys(Qt::Key_Right, 100);
    Confirm();
    EXPECT_EQ(ReadFile("Test.txt"),
        Header + "8.00\r\n 0.5000\r\n90.00\r\n" + "8.00\r\n 0.7071\r\n45.00\r\n");
    EXPECT_TRUE(Script->Messages.empty());
}

// An audit file linked to the second result file after the question: its
// creation at the first evaluation refuses it, Test2.txt keeps its own lines
// only, and the audit lines are kept until the link is gone.
TEST_F(MeasurementTest, AuditFileLinkedToAResultFileKeepsItsLinesAndCutsNothing)
{
    const std::string auditHeader = std::string(ResultFiles::AuditHeader) + "\n";
    std::ofstream(Folder / "Test2.fit.tsv", std::ios::binary) << auditHeader << "1\tsun\n";
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    std::filesystem::create_symlink("Test2.txt", Folder / "Test.fit.tsv");
    const auto measure = [this] {
        MoveTo({ 250, 500, 200 });
        Confirm();
        MoveTo({ 350, 500, 220 });
        Confirm();
        MoveTo({ 250, 400, 15 });
        Confirm();
        MoveTo({ 410, 420, 15 });
        Confirm();
        ASSERT_TRUE(Adjustment::AdjustmentDone);
    };
    measure();
    const std::string secondLine = "08:01:30\t 0,4545\t  53,13\r\n";
    EXPECT_EQ(ReadFile("Test2.txt"), Header + secondLine);
    EXPECT_EQ(ReadFile("Test.txt"), Header + "08:00:00\t 0,5000\t  90,00\r\n");
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> {
            "The audit file \"Test.fit.tsv\" cannot be written (the same file as "
            "\"Test2.txt\"). The measurement is not lost: its lines are written with the next "
            "evaluation." }));
    // The old audit file of the second result file is replaced by this run's:
    // four circles and a result.
    const std::string sun1 = "\tsun1\t250.000\t500.000\t200.000\t0.500\t0.500\t0.500\t\t\tkeys\t";
    const std::string audit2 = ReadFile("Test2.fit.tsv");
    EXPECT_EQ(audit2.substr(0, auditHeader.size() + sun1.size() + 1 + 9),
        auditHeader + "1" + sun1 + "08:01:30\t");
    EXPECT_EQ(std::count(audit2.begin(), audit2.end(), '\n'), 1 + 5);

    std::filesystem::remove(Folder / "Test.fit.tsv");
    ASSERT_TRUE(NewInput(Returns(8)));
    measure();
    EXPECT_TRUE(Script->Messages.empty());
    EXPECT_EQ(ReadFile("Test2.txt"), Header + secondLine + secondLine);
    // Both measurements, the kept one first.
    const std::string audit = ReadFile("Test.fit.tsv");
    EXPECT_EQ(std::count(audit.begin(), audit.end(), '\n'), 1 + 2 * 5);
    EXPECT_EQ(audit.substr(0, auditHeader.size() + sun1.size() + 1 + 9),
        auditHeader + "1" + sun1 + "08:00:00\t");
    const std::size_t second = audit.find("\n2\t");
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(audit.substr(second + 2, sun1.size() + 9), sun1 + "08:00:00\t");
    EXPECT_LT(audit.find("\n1\tresult1\t"), second);
}

TEST_F(MeasurementTest, HugeRotationIsDrawnAndEvaluated)
{
    ASSERT_TRUE(StartOnePicture("1e308"));
    ConfirmSunAndPlanet();
    EXPECT_TRUE(Adjustment::AdjustmentDone);
    const std::string lines = ReadFile("Test.txt");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4);
}

// [SECTION] Two pictures on the sample photograph

// Two measurements with circles placed for round figures: the Sun's shift
// straight right, then at 45 degrees. Result files left by an earlier run
// (they begin with the header) are replaced at the start.
TEST_F(MeasurementTest, TwoPicturesOnTheSamplePhotograph)
{
    for (const char* name : { "Test.txt", "Test2.txt" })
        std::ofstream(Folder / name, std::ios::binary) << Header << "08:00:00\t 0,5\t  9,0\r\n";
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    Confirm(); // Sun 1 at the start circle (250, 500), radius 200
    EXPECT_EQ(Current(), (Circle { 250, 500, 200 })) << "Sun 2 starts on Sun 1 at first";
    MoveTo({ 350, 500, 220 });
    Confirm();
    // The value column: a block per circle, each in window coordinates.
    const int x = 1600 - 150, line = Kern::CharHeight;
    for (const auto& [y, text] :
        { std::pair { 100, " Radius = 200" }, { 100 + line + 2, " xKm = 250" },
            { 100 + 2 * line + 4, " yKm = 500" }, { 100 + 3 * line + 6, " Radius = 220" },
            { 100 + 4 * line + 8, " xKm = 350" }, { 100 + 5 * line + 10, " yKm = 500" } })
        EXPECT_TRUE(Shows(x, y, text, Kern::LightRed)) << text;
    ConfirmInTurn({ { { 250, 500, 15 }, { 250, 400, 15 }, "Venus 1 on Sun 1, sized from Sun 2" },
        { { 350, 400, 15 }, { 410, 420, 15 }, "Venus 2: Venus 1 moved by the shift" } });
    ASSERT_TRUE(Adjustment::AdjustmentDone);
    ExpectPage({ "Sun 1: x:250, y:500, r:200", "Sun 2: x:350, y:500, r:220",
        "Venus 1: x:250, y:400, r: 15", "Venus 2: x:410, y:420, r: 15",
        "angle of displacement:   0.0\u00b0", "rho1': 0.5000", "position angle 1:  90.00\u00b0",
        "x1': 0.0000", "y1': 0.5000", "rho2': 0.4545", "position angle 2:  53.13\u00b0",
        "x2': 0.2727", "y2': 0.3636" });
    // Dots: radius 3 at the Suns, 2 at the planets, each looked at on the
    // side away from its lines.
    QImage screen = SavedScreen();
    EXPECT_TRUE(DotHasRadius(screen, 250, 500, 3, 1)) << "Sun 1";
    EXPECT_TRUE(DotHasRadius(screen, 350, 500, 3, 1)) << "Sun 2";
    EXPECT_TRUE(DotHasRadius(screen, 250, 400, 2, -1)) << "Venus 1";
    EXPECT_TRUE(DotHasRadius(screen, 410, 420, 2, -1)) << "Venus 2";

    // Esc after Sun 1: it starts again where it was confirmed, with the start radius.
    ASSERT_TRUE(NewInput(Returns(8)));
    MoveTo({ 260, 490, 190 });
    Confirm();
    ASSERT_TRUE(NewInput(Returns(8)));
    // Sun 2 confirmed with the shift up and right at 45 degrees.
    ConfirmInTurn({ { { 260, 490, 200 }, { 260, 490, 200 }, "Sun 1 after Esc" },
        { { 360, 490, 200 }, { 330, 420, 200 }, "Sun 2: Sun 1 moved by the last shift" },
        { { 250, 400, 14 }, { 260, 390, 14 }, "Venus 1 as confirmed, sized from Sun 2" },
        { { 330, 320, 14 }, { 370, 390, 14 }, "Venus 2: Venus 1 moved by the new shift" } });
    ASSERT_TRUE(Adjustment::AdjustmentDone);
    ExpectPage({ "Sun 1: x:260, y:490, r:200", "Sun 2: x:330, y:420, r:200",
        "Venus 1: x:260, y:390, r: 14", "Venus 2: x:370, y:390, r: 14",
        "angle of displacement:  45.0\u00b0", "rho1': 0.5000", "position angle 1:  45.00\u00b0",
        "x1': 0.3536", "y1': 0.3536", "rho2': 0.2500", "position angle 2:  -8.13\u00b0",
        "x2': 0.2475", "y2':-0.0354" });
    // The reference line along the shift, 1.1 radii (156, 156) beyond each
    // Sun centre: from (104, 646) to (486, 264), its last point left out, not
    // mirrored.
    screen = SavedScreen();
    for (const auto& [px, py] :
        { std::pair { 104, 646 }, { 200, 550 }, { 400, 350 }, { 485, 265 } })
        EXPECT_TRUE(IsLightRed(screen, px, py)) << px << "," << py;
    for (const auto& [px, py] : { std::pair { 104, 334 }, { 200, 430 }, { 486, 596 } })
        EXPECT_FALSE(IsLightRed(screen, px, py)) << px << "," << py;

    EXPECT_EQ(ReadFile("Test.txt"),
        Header + "08:00:00\t 0,5000\t  90,00\r\n" + "08:00:00\t 0,5000\t  45,00\r\n");
    EXPECT_EQ(ReadFile("Test2.txt"),
        Header + "08:01:30\t 0,4545\t  53,13\r\n" + "08:01:30\t 0,2500\t  -8,13\r\n");
}

// [SECTION] Keys

TEST_F(MeasurementTest, PauseTakesTheNextKeyAndDropsIt)
{
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    TypeKey(Qt::Key_P);
    TypeKey(Qt::Key_Right); // ends the pause only
    EXPECT_EQ(Adjustment::CircleX, 250);
    TypeKey(Qt::Key_Right);
    EXPECT_EQ(Adjustment::CircleX, 251);
}

TEST_F(MeasurementTest, UpperCaseAndOtherKeysDoNothing)
{
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    for (const Qt::Key key : { Qt::Key_Home, Qt::Key_End, Qt::Key_Insert, Qt::Key_Delete,
             Qt::Key_F1, Qt::Key_Space, Qt::Key_X })
        TypeKey(key);
    QTest::keyClick(FensterGraf::Window(), 'P', Qt::ShiftModifier);
    QTest::keyClick(FensterGraf::Window(), 'S', Qt::ShiftModifier);
    TypeKey(Qt::Key_Right);
    EXPECT_EQ(Current(), (Circle { 251, 500, 200 })) << "not paused by P";
    EXPECT_FALSE(std::filesystem::exists(Folder / "Mond.bmp"));
    EXPECT_EQ(Adjustment::ConfirmedCount, 0);
}

TEST_F(MeasurementTest, AfterTheEvaluationOnlyEscPauseAndSaveAct)
{
    ASSERT_TRUE(StartOnePicture("0"));
    ConfirmSunAndPlanet();
    ASSERT_TRUE(Adjustment::AdjustmentDone);
    const std::string results = ReadFile("Test.txt");
    const QImage page = FensterGraf::Canvas().copy();
    for (const Qt::Key key : { Qt::Key_Left, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Return })
        TypeKey(key);
    EXPECT_EQ(Current(), (Circle { 250, 400, 14 }));
    EXPECT_EQ(FensterGraf::Canvas(), page) << "the results page stays";
    EXPECT_EQ(ReadFile("Test.txt"), results) << "nothing evaluated twice";
    TypeKey(Qt::Key_S); // saves the results page
    const QImage saved(QString::fromStdString((Folder / "Mond.bmp").string()));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.height(), Kern::ScreenHeight() + 1);
    EXPECT_EQ(saved.pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(
        saved.copy(0, 0, 400, 200), page.copy(0, 0, 400, 200).convertToFormat(saved.format()));
}

TEST_F(MeasurementTest, CircleWithoutRadiusIsNotConfirmed)
{
    ASSERT_TRUE(StartOnePicture("0"));
    TypeKeys(Qt::Key_PageDown, 200);
    Confirm();
    EXPECT_EQ(Adjustment::ConfirmedCount, 0);
    TypeKey(Qt::Key_PageDown);
    Confirm();
    EXPECT_EQ(Adjustment::ConfirmedCount, 0);
    TypeKey(Qt::Key_PageUp);
    TypeKey(Qt::Key_PageUp);
    Confirm();
    EXPECT_EQ(Adjustment::ConfirmedCount, 1);
}

// Sun 2 starts on Sun 1; within 2 px of its centre and radius it is still
// Sun 1 and Return says so, on the line above the legend.
TEST_F(MeasurementTest, Sun2WithinTwoPixelsOfSun1IsNotConfirmed)
{
    ASSERT_TRUE(StartAndAnswer(Returns(10, { { 0, "g" } })));
    Confirm(); // Sun 1 (250, 500) r 200
    Kern::SelectFont("Courier", 16, 1);
    const int messageBottom = 1000 - Kern::TextHeight("");
    Kern::SelectFont("Courier", 12, 1);
    const std::string why = "Sonne 2 liegt auf Sonne 1 (Mittelpunkte und Radien bis auf 2 px "
                            "gleich): bitte auf die Sonne der zweiten Belichtung setzen";
    for (const Circle& onSun1 : { Circle { 250, 500, 200 }, Circle { 252, 500, 200 },
             Circle { 252, 500, 202 }, Circle { 250, 498, 198 } }) {
        MoveTo(onSun1);
        Confirm();
        EXPECT_EQ(Adjustment::ConfirmedCount, 1) << onSun1.X << "," << onSun1.Y;
        Kern::SelectFont("Courier", 12, 1);
        EXPECT_TRUE(Shows(0, messageBottom, why, Kern::White));
    }
    MoveTo({ 253, 500, 200 }); // 3 px off
    Confirm();
    EXPECT_EQ(Adjustment::ConfirmedCount, 2);
    MoveTo({ 250, 500, 203 }); // Venus 1 anywhere, even there
    Confirm();
    EXPECT_EQ(Adjustment::ConfirmedCount, 3);
}

// [SECTION] Clock times of the two-picture files

TEST(ClockTime, IsThePartsTextWhereItIsAClockTime)
{
    EXPECT_EQ(Evaluation::ClockTime(8.00, 0), "08:00:00");
    EXPECT_EQ(Evaluation::ClockTime(8.00, 90), "08:01:30");
    EXPECT_EQ(Evaluation::ClockTime(9.05, 150), "09:07:30");
    EXPECT_EQ(Evaluation::ClockTime(12.00, 59 * 60 + 59), "12:59:59");
    EXPECT_EQ(Evaluation::ClockTime(8.59, 59), "08:59:59");
}

TEST(ClockTime, CarriesHoursGoesBackAndWrapsAtMidnight)
{
    EXPECT_EQ(Evaluation::ClockTime(8.59, 90), "09:00:30");
    EXPECT_EQ(Evaluation::ClockTime(8.30, 3600), "09:30:00");
    EXPECT_EQ(Evaluation::ClockTime(8.00, -90), "07:58:30");
    EXPECT_EQ(Evaluation::ClockTime(23.59, 90), "00:00:30");
    EXPECT_EQ(Evaluation::ClockTime(0.00, -30), "23:59:30");
    EXPECT_EQ(Evaluation::ClockTime(8.75, 0), "09:15:00") << "minutes beyond 59, as hh.mm allows";
}

} // namespace
} // namespace HelidorTesting
