// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a site's series from an audit file: columns by name, result rows
// only, and each refusal with its line.
#include "SeriesFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

using SeriesFile::Fault;

const std::string Header
    = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r\tpa\tsigma_pa\tfit"
      "\tut\tpicture\r\n";

std::string Row(const std::string& measurement, const std::string& object, const std::string& x,
    const std::string& y, const std::string& sx, const std::string& sy, const std::string& ut)
{
    return measurement + "\t" + object + "\t" + x + "\t" + y + "\t0.03\t" + sx + "\t" + sy
        + "\t0.001\t30.0\t0.1\tassisted\t" + ut + "\tp" + measurement + ".jpg\r\n";
}

TEST(SeriesFile, ReadsTheResultRowsByTheirColumnNames)
{
    const std::string text = Header + Row("1", "sun1", "512.5", "400.25", "0.2", "0.2", "09:00:00")
        + Row("1", "result1", "0.768800", "-0.443900", "0.000500", "0.000700", "09:00:00")
        + Row("1", "result2", "0.770000", "-0.440000", "0.000600", "0.000800", "09:00:30.5")
        + Row("2", "planet", "1", "2", "0.1", "0.1", "09:10:00")
        + Row("2", "result", "0.780000", "-0.430000", "0.000500", "0.000500", "9:10:07");
    const SeriesFile::Series series = SeriesFile::Parse(text);
    ASSERT_EQ(series.What, Fault::None) << series.Line << " " << series.Detail;
    ASSERT_EQ(series.Positions.size(), 3u);
    const SeriesFile::Position& first = series.Positions[0];
    EXPECT_EQ(first.Seconds, 32400);
    EXPECT_EQ(first.X, 0.7688);
    EXPECT_EQ(first.Y, -0.4439);
    EXPECT_EQ(first.SigmaX, 0.0005);
    EXPECT_EQ(first.SigmaY, 0.0007);
    EXPECT_EQ(first.Picture, "p1.jpg");
    EXPECT_EQ(first.Line, 3);
    EXPECT_EQ(series.Positions[1].Seconds, 32430.5);
    EXPECT_EQ(series.Positions[2].Seconds, 33007);
    EXPECT_EQ(series.Positions[2].Measurement, 2);
    EXPECT_EQ(series.Positions[2].Line, 6);

    // Columns in another order, one more, LF line ends, no picture column.
    const std::string moved = "ut\textra\tsigma_y\tsigma_x\ty\tx\tobject\tmeasurement\n"
                              "10:00:00\tz\t0.01\t0.02\t0.1\t0.2\tresult\t4\n"
                              "10:01:00\tz\t0.01\t0.02\t0.1\t0.3\tresult\t5\n"
                              "10:02:00\tz\t0.01\t0.02\t0.1\t0.4\tresult\t6\n";
    const SeriesFile::Series other = SeriesFile::Parse(moved);
    ASSERT_EQ(other.What, Fault::None);
    ASSERT_EQ(other.Positions.size(), 3u);
    EXPECT_EQ(other.Positions[2].X, 0.4);
    EXPECT_EQ(other.Positions[2].Y, 0.1);
    EXPECT_EQ(other.Positions[2].SigmaX, 0.02);
    EXPECT_EQ(other.Positions[2].SigmaY, 0.01);
    EXPECT_EQ(other.Positions[2].Seconds, 36120);
    EXPECT_EQ(other.Positions[2].Picture, "");
}

TEST(SeriesFile, RefusesWithTheLineAndWhat)
{
    const std::string three = Row("1", "result", "0.1", "0.2", "0.001", "0.001", "09:00:00")
        + Row("2", "result", "0.1", "0.2", "0.001", "0.001", "09:01:00")
        + Row("3", "result", "0.1", "0.2", "0.001", "0.001", "09:02:00");
    struct Case {
        std::string Text;
        Fault What;
        int Line;
        std::string Detail;
    };
    const std::string withoutUt
        = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r\tpa\tsigma_pa\tfit\r\n";
    const std::vector<Case> cases {
        { withoutUt + three, Fault::MissingColumn, 1, "ut" },
        { "", Fault::NoHeader, 0, "" },
        { Header + Row("1", "result", "0.1", "0.2", "0.001", "0.001", "09:00:00")
                + Row("2", "result", "0,1", "0.2", "0.001", "0.001", "09:01:00") + three,
            Fault::UnreadableValue, 3, "x" },
        { Header + three + Row("4", "result", "0.1", "0.2", "", "0.001", "09:03:00"),
            Fault::NoUncertainty, 5, "sigma_x" },
        { Header + three + Row("4", "result", "0.1", "0.2", "0.001", "0", "09:03:00"),
            Fault::NoUncertainty, 5, "sigma_y" },
        { Header + Row("1", "result", "0.1", "0.2", "0.001", "0.001", "9:60:00"),
            Fault::UnreadableValue, 2, "ut" },
        { Header + Row("1", "result1", "0.1", "0.2", "0.001", "0.001", "09:00:30")
                + Row("1", "result2", "0.1", "0.2", "0.001", "0.001", "09:00:29"),
            Fault::TimesOutOfOrder, 3, "" },
        { Header + three.substr(0, three.rfind("3\tresult")), Fault::TooFewPositions, 0, "2" },
        // A row cut short after its object.
        { Header + three + "4\tresult\r\n", Fault::UnreadableValue, 5, "x" },
    };
    for (const Case& c : cases) {
        const SeriesFile::Series series = SeriesFile::Parse(c.Text);
        EXPECT_EQ(series.What, c.What) << c.Text;
        EXPECT_EQ(series.Line, c.Line) << c.Text;
        EXPECT_EQ(series.Detail, c.Detail) << c.Text;
    }
    // Earlier times in a later measurement are no fault: pictures are
    // measured in any order.
    const SeriesFile::Series anyOrder
        = SeriesFile::Parse(Header + Row("7", "result", "0.1", "0.2", "0.001", "0.001", "09:05:00")
            + Row("8", "result", "0.1", "0.2", "0.001", "0.001", "09:01:00") + three);
    EXPECT_EQ(anyOrder.What, Fault::None);
}

TEST(SeriesFile, TimesOfDay)
{
    double seconds = -1;
    EXPECT_TRUE(SeriesFile::ParseTime("23:59:59.25", seconds));
    EXPECT_EQ(seconds, 86399.25);
    EXPECT_TRUE(SeriesFile::ParseTime("0:00:01", seconds));
    EXPECT_EQ(seconds, 1);
    for (const char* bad : { "24:00:00", "12:00:60", "12:5:00", "12:05", "12:05:00.", "123:00:00",
             "12:05:0a", "-1:00:00", "" })
        EXPECT_FALSE(SeriesFile::ParseTime(bad, seconds)) << bad;
}

TEST(SeriesFile, FilesThatAreNoSeries)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("series-" + std::to_string(getpid()));
    fs::create_directories(folder);
    EXPECT_EQ(SeriesFile::Read(folder.string()).What, Fault::NotReadable);
    EXPECT_EQ(SeriesFile::Read((folder / "missing").string()).What, Fault::NotReadable);
    const fs::path big = folder / "big.tsv";
    std::ofstream(big) << Header;
    fs::resize_file(big, SeriesFile::LargestFile + 1); // sparse: nothing is written
    EXPECT_EQ(SeriesFile::Read(big.string()).What, Fault::TooLarge);
    fs::resize_file(big, 0);
    std::ofstream(big) << Header
                       << "1\tresult\t0.1\t0.2\t0\t0.001\t0.001\t0\t0\t0\tkeys\t09:00:00\tp\n";
    const SeriesFile::Series one = SeriesFile::Read(big.string());
    EXPECT_EQ(one.What, Fault::TooFewPositions);
    fs::remove_all(folder);
}

} // namespace
