// Whole measurements with the real program: circles moved and confirmed with
// keys, the construction and its saved picture, the results page and the
// result files byte for byte, the start positions of the next circles, and
// the keys that do nothing.
#include "HelidorRun.h"

#include "Adjustment.h"
#include "Evaluation.h"
#include "FensterGraf.h"
#include "Kern.h"
#include "NumberText.h"
#include "Settings.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <numbers>

#include <sys/resource.h>

namespace HelidorTesting {
namespace {

using Adjustment::Circle;
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

    // Moves and resizes the current circle to the target with the keys.
    void MoveTo(const Circle& target)
    {
        using Adjustment::CircleRadius, Adjustment::CircleX, Adjustment::CircleY;
        TypeKeys(target.X > CircleX ? Qt::Key_Right : Qt::Key_Left, std::abs(target.X - CircleX));
        TypeKeys(target.Y > CircleY ? Qt::Key_Down : Qt::Key_Up, std::abs(target.Y - CircleY));
        TypeKeys(target.Radius > CircleRadius ? Qt::Key_PageUp : Qt::Key_PageDown,
            std::abs(target.Radius - CircleRadius));
        ASSERT_EQ(Current(), target);
    }

    static Circle Current()
    {
        return { Adjustment::CircleX, Adjustment::CircleY, Adjustment::CircleRadius };
    }

    // The results page shows line k (1, 2, ...) as given.
    static bool PageShows(int k, const std::string& text)
    {
        const QImage before = FensterGraf::Canvas().copy();
        Kern::WriteTextAt(20, 50 + k * (Kern::CharHeight + 2), text, Kern::White);
        return FensterGraf::Canvas() == before;
    }
};

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
    ASSERT_TRUE(StartOnePicture("0"));
    Confirm();
    TypeKeys(Qt::Key_Up, 60);
    TypeKeys(Qt::Key_Left, 80);
    Confirm(); // planet at (170, 440)
    const QImage saved(QString::fromStdString((Folder / "Ergebnis.bmp").string()));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.width() % 32, 0);
    EXPECT_EQ(saved.width(), (Kern::ScreenWidth() + 1) / 32 * 32);
    EXPECT_EQ(saved.height(), Kern::ScreenHeight() + 1);
    // The saved picture is stretched by one pixel: a pixel of the screen
    // lands at its place or one further right or down.
    const auto lightRedAt = [&saved](int x, int y) {
        for (const int dy : { 0, 1 })
            for (const int dx : { 0, 1 })
                if (saved.pixel(x + dx, y + dy) == qRgb(252, 40, 40))
                    return true;
        return false;
    };
    // The dots, the line between the centres, the horizontal reference line
    // through the Sun reaching 1.1 radii (220 pixels) to each side.
    for (const auto& [x, y] : { std::pair { 250, 500 }, { 252, 502 }, { 170, 440 }, { 171, 441 },
             { 210, 470 }, { 30, 500 }, { 469, 500 }, { 350, 500 } })
        EXPECT_TRUE(lightRedAt(x, y)) << x << "," << y;
    EXPECT_FALSE(lightRedAt(249, 493)) << "the Sun's dot has radius 3";
    EXPECT_FALSE(lightRedAt(24, 499)) << "the reference line ends 1.1 radii out";
    // The legend's new-input hint (18 glyphs, 173 px) stands alone on its
    // line: nothing of the longer caption before it is left over.
    for (int y = saved.height() - 18; y < saved.height(); ++y)
        for (int x = 180; x < saved.width(); ++x)
            ASSERT_LT(qGray(saved.pixel(x, y)), 60) << x << "," << y;
}

TEST_F(MeasurementTest, ScreenPicturesThatCannotBeWrittenLoseNoMeasurement)
{
    std::filesystem::create_directory(Folder / "Ergebnis.bmp");
    std::filesystem::create_directory(Folder / "Mond.bmp");
    std::vector<DialogAction> answers = Returns(10);
    answers[0] = Type("g");
    answers[5] = Type("1");
    ASSERT_TRUE(StartAndAnswer(answers));
    Confirm();
    TypeKeys(Qt::Key_Up, 100);
    Confirm();
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

// A file size limit, as a full disk: writes beyond it fail part-way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { bytes, saved.rlim_max };
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved {};
};

TEST_F(MeasurementTest, FullDiskTearsNoLineAndTheNextEvaluationWritesBoth)
{
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
    EXPECT_EQ(Script->Messages,
        (std::vector<std::string> {
            "The screen picture \"Ergebnis.bmp\" was not saved (write error). The measurement "
            "goes on.",
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

TEST_F(MeasurementTest, HugeRotationIsDrawnAndEvaluated)
{
    ASSERT_TRUE(StartOnePicture("1e308"));
    Confirm();
    TypeKeys(Qt::Key_Up, 100);
    Confirm();
    EXPECT_TRUE(Adjustment::AdjustmentDone);
    const std::string lines = ReadFile("Test.txt");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4);
}

// [SECTION] Two pictures on the sample photograph

TEST_F(MeasurementTest, TwoPicturesOnTheSamplePhotograph)
{
    const auto truth = ReadTruth(SampleFolder() + "/Lurni1000UT.truth.txt");
    ASSERT_EQ(truth.size(), 4u);
    const auto fitted = [&truth](const char* name) {
        const TrueCircle& t = truth.at(name);
        return Circle { static_cast<int>(std::lround(t.X)), static_cast<int>(std::lround(t.Y)),
            static_cast<int>(std::lround(t.Radius)) };
    };
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    MoveTo(fitted("sun1"));
    Confirm();
    EXPECT_EQ(Current(), (Circle { fitted("sun1").X, fitted("sun1").Y, fitted("sun1").Radius }))
        << "Sun 2 starts on Sun 1 in the first measurement";
    MoveTo(fitted("sun2"));
    Confirm();
    const Circle sun1 = fitted("sun1"), sun2 = fitted("sun2");
    EXPECT_EQ(Current(), (Circle { sun1.X, sun1.Y, Adjustment::PlanetStartRadius(sun2.Radius) }))
        << "Venus 1 starts at the centre of Sun 1";
    MoveTo(fitted("venus1"));
    Confirm();
    const Circle venus1 = fitted("venus1"), venus2 = fitted("venus2");
    EXPECT_EQ(Current(),
        (Circle { venus1.X + sun2.X - sun1.X, venus1.Y + sun2.Y - sun1.Y, venus1.Radius }))
        << "Venus 2 starts at Venus 1 moved by the Sun's shift";
    MoveTo(venus2);
    Confirm();
    ASSERT_TRUE(Adjustment::AdjustmentDone);

    // The position from the true circles; the fit is good to a pixel.
    const auto position = [](const TrueCircle& sun, const TrueCircle& venus, double shift) {
        const double dx = venus.X - sun.X, dy = sun.Y - venus.Y;
        return std::pair { std::hypot(dx, dy) / sun.Radius,
            std::atan2(dy, dx) * 180 / std::numbers::pi - shift };
    };
    const TrueCircle &s1 = truth.at("sun1"), &s2 = truth.at("sun2");
    const double shift = std::atan2(s1.Y - s2.Y, s2.X - s1.X) * 180 / std::numbers::pi;
    const auto [rho1, theta1] = position(s1, truth.at("venus1"), shift);
    const auto [rho2, theta2] = position(s2, truth.at("venus2"), shift);
    // rho' 1/200, the angle atan(1 / distance of the planet), both of one pixel.
    const double rhoPixel = 1.0 / s1.Radius;
    const double anglePixel = 180 / std::numbers::pi / (rho1 * s1.Radius);

    const std::string first = ReadFile("Test.txt");
    const std::string second = ReadFile("Test2.txt");
    ASSERT_EQ(first.substr(0, Header.size()), Header);
    ASSERT_EQ(second.substr(0, Header.size()), Header);
    const std::string line1 = first.substr(Header.size());
    const std::string line2 = second.substr(Header.size());
    EXPECT_EQ(line1.substr(0, 9), "08:00:00\t");
    EXPECT_EQ(line2.substr(0, 9), "08:01:30\t");
    const auto fields = [](const std::string& line) {
        // hh:mm:ss TAB rho' TAB angle CR LF, decimal commas
        const std::size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
        std::string rho = line.substr(tab1 + 1, tab2 - tab1 - 1);
        std::string angle = line.substr(tab2 + 1, line.size() - tab2 - 3);
        EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
        EXPECT_EQ(rho.size(), 7u);
        EXPECT_EQ(angle.size(), 7u);
        rho[rho.find(',')] = '.';
        angle[angle.find(',')] = '.';
        return std::pair { std::stod(rho), std::stod(angle) };
    };
    const auto [fileRho1, fileTheta1] = fields(line1);
    const auto [fileRho2, fileTheta2] = fields(line2);
    EXPECT_NEAR(fileRho1, rho1, rhoPixel);
    EXPECT_NEAR(fileTheta1, theta1, anglePixel);
    EXPECT_NEAR(fileRho2, rho2, rhoPixel);
    EXPECT_NEAR(fileTheta2, theta2, anglePixel);
    EXPECT_EQ(std::count(line1.begin(), line1.end(), '\n'), 1);

    // The thirteen lines of the page, as written in the file where they agree.
    const Evaluation::Results results = Evaluation::ComputeResults();
    ASSERT_EQ(results.PageLines.size(), 13u);
    for (int k = 1; k <= 13; ++k)
        EXPECT_TRUE(PageShows(k, results.PageLines[static_cast<std::size_t>(k - 1)])) << k;
    EXPECT_EQ(results.PageLines[5], Pad("rho1", 28) + "':" + line1.substr(9, 7).replace(2, 1, "."));
    EXPECT_EQ(results.PageLines[0],
        "                        Sun 1: x:" + NumberText::FormatReal(sun1.X, 3) + ", y:"
            + NumberText::FormatReal(sun1.Y, 3) + ", r:" + NumberText::FormatReal(sun1.Radius, 3));
    const double x1 = std::stod(results.PageLines[7].substr(30));
    const double y1 = std::stod(results.PageLines[8].substr(30));
    EXPECT_NEAR(std::hypot(x1, y1), rho1, rhoPixel);
    EXPECT_NEAR(std::atan2(y1, x1) * 180 / std::numbers::pi, theta1, anglePixel);
}

// [SECTION] Start positions of the next measurement

TEST_F(MeasurementTest, NextMeasurementStartsFromTheLastCircles)
{
    ASSERT_TRUE(StartAndAnswer(Returns(10)));
    MoveTo({ 260, 490, 200 });
    Confirm();
    // Esc after the first confirmation: the Sun circle starts where it was
    // confirmed, with the start radius.
    ASSERT_TRUE(NewInput(Returns(8)));
    EXPECT_EQ(Current(), (Circle { 260, 490, 200 }));
    Confirm();
    MoveTo({ 530, 480, 201 });
    Confirm();
    TypeKeys(Qt::Key_Return, 2);
    ASSERT_TRUE(Adjustment::AdjustmentDone);
    ASSERT_TRUE(NewInput(Returns(8)));
    MoveTo({ 262, 491, 200 });
    Confirm();
    EXPECT_EQ(Current(), (Circle { 262 + 270, 491 - 10, 200 }))
        << "Sun 2 starts displaced by the last measurement's shift";
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
    Confirm();
    TypeKeys(Qt::Key_Up, 100);
    Confirm();
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
