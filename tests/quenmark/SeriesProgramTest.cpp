// SPDX-License-Identifier: GPL-3.0-or-later
// The real quenmark binary on two sites' series files: the results, the
// refusals with their status, the questions it still asks, and the plot.
#include "ParallaxPlot.h"
#include "RunFolder.h"
#include "SeriesGenerator.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>

namespace {

namespace fs = std::filesystem;

constexpr double TrueParallax = 8.794143;
const std::string Header
    = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r\tpa\tsigma_pa\tfit\tut\tpicture\r\n";

class SeriesProgram : public QuenmarkTesting::RunFolder {
protected:
    SeriesProgram()
        : RunFolder("quenmark-series-")
    {
    }

    int Run(const std::string& arguments, const std::string& input = "")
    {
        std::ofstream(work / "input") << input;
        return RunInWork(
            "timeout 120 '" QUENMARK_BINARY "' " + arguments + " < input > output 2> errors");
    }

    // Two series of the 2004 transit of Venus from Oslo and Cape Town, site
    // 2's pictures 47 s later and fewer.
    void WriteSeries(double sigma, double lastHour = 11)
    {
        const SeriesGenerator::Site sites[2] = { { 59.91, 10.75, 30 }, { -33.93, 18.42, 300 } };
        for (int s = 0; s < 2; ++s) {
            SeriesGenerator::SeriesPlan plan;
            plan.FirstSeconds = 7 * 3600 + 5 * 60 + s * 47;
            plan.Spacing = s == 0 ? 420 : 530;
            plan.Count = static_cast<int>((lastHour * 3600 - plan.FirstSeconds) / plan.Spacing);
            plan.Sigma = sigma;
            plan.Seed = 31 + static_cast<std::uint64_t>(s);
            Write(s == 0 ? "oslo.fit.tsv" : "cape.fit.tsv",
                SeriesGenerator::AuditText(
                    SeriesGenerator::MakeSeries(2004, 6, 8, true, sites[s], {}, plan), "p"));
        }
    }
};

const std::string AllOptions = "--series1 oslo.fit.tsv --series2 cape.fit.tsv --date 2004-06-08 "
                               "--site1 59.91,10.75 --site2 -33.93,18.42 --planet venus";

// The value and sigma of a result line, or NaN.
std::pair<double, double> ResultOf(const std::string& output, const std::string& label)
{
    const std::regex line(label + R"re(([0-9]+\.[0-9]{3})" ± ([0-9]+\.[0-9]{3})"\n)re");
    std::smatch match;
    if (!std::regex_search(output, match, line))
        return { NAN, NAN };
    return { std::stod(match[1]), std::stod(match[2]) };
}

TEST_F(SeriesProgram, BothResultsFromGeneratedSeries)
{
    WriteSeries(0.0006);
    ASSERT_EQ(Run(AllOptions + " --language e"), 0) << Read("errors");
    const std::string output = Read("output");
    const auto [rigorous, rigorousSigma]
        = ResultOf(output, R"(Parallax of the Sun piS \(rigorous\): )");
    EXPECT_NEAR(rigorous, TrueParallax, 0.01 * TrueParallax) << output;
    EXPECT_LT(std::fabs(rigorous - TrueParallax), 3 * rigorousSigma) << output;
    EXPECT_GT(rigorousSigma, 0.01);
    const auto [formula, formulaSigma]
        = ResultOf(output, R"(Parallax of the Sun piS \(formula\): )");
    EXPECT_NEAR(formula, TrueParallax, 0.05 * TrueParallax) << output;
    EXPECT_GT(formulaSigma, 0.01);
    // Site 1: 7:05 to 10:58 every 420 s, 33 pictures; site 2 from 7:05:47
    // every 530 s, 26.
    EXPECT_NE(output.find("\nPositions: 33 from site 1, 26 from site 2\n"), std::string::npos)
        << output;
    EXPECT_NE(output.find("\n 07:05:47 "), std::string::npos) << output;
    EXPECT_TRUE(std::regex_search(output,
        std::regex(R"(\nAstronomical unit \(rigorous\): 1[45][0-9]{7} km ± [0-9]+000 km\n)")))
        << output;
    EXPECT_NE(output.find("\nPositions used: 59 (formula), 59 (rigorous); dropped: 0, 0\n"),
        std::string::npos)
        << output;
    EXPECT_NE(output.find("\nPlot: oslo.fit.parallax.svg\n"), std::string::npos);
    EXPECT_EQ(Read("errors"), "");

    // The plot: well formed, and it renders.
    ASSERT_TRUE(fs::exists(work / "oslo.fit.parallax.svg"));
    // tools/setup.sh installs both checkers.
    const std::string plot = (work / "oslo.fit.parallax.svg").string();
    EXPECT_EQ(std::system(("xmllint --noout '" + plot + "'").c_str()), 0) << "well formed";
    EXPECT_EQ(
        std::system(
            ("rsvg-convert -o '" + (work / "plot.png").string() + "' '" + plot + "'").c_str()),
        0)
        << "renders";
    EXPECT_GT(fs::exists(work / "plot.png") ? fs::file_size(work / "plot.png") : 0, 10000u);

    // A first series whose name is no UTF-8 and holds markup: still well formed.
    fs::copy_file(work / "oslo.fit.tsv", work / "o\xe9<&>.tsv");
    ASSERT_EQ(Run("--series1 'o\xe9<&>.tsv' --series2 cape.fit.tsv --date 2004-06-08 --site1 "
                  "59.91,10.75 --site2 -33.93,18.42 --planet venus --language e"),
        0);
    EXPECT_EQ(std::system(
                  ("xmllint --noout '" + (work / "o\xe9<&>.parallax.svg").string() + "'").c_str()),
        0);

    // German, and the plot replaced as our own.
    ASSERT_EQ(Run(AllOptions + " --language g"), 0) << Read("errors");
    const std::string german = Read("output");
    EXPECT_EQ(ResultOf(german, R"(Parallaxe der Sonne piS \(streng\): )").first, rigorous)
        << german;
    EXPECT_EQ(ResultOf(german, R"(Parallaxe der Sonne piS \(Formel\): )").first, formula) << german;
    EXPECT_NE(german.find("\nGrafik: oslo.fit.parallax.svg\n"), std::string::npos);
}

TEST_F(SeriesProgram, WithoutSitesThePlanetAndTheSitesAreAsked)
{
    WriteSeries(0.0006);
    // Language, planet (default v from the date) and the sites typed.
    ASSERT_EQ(Run("--series1 oslo.fit.tsv --series2 cape.fit.tsv --date 2004-06-08",
                  "e\n\n59.91\n10.75\n-33.93\n18.42\n"),
        0)
        << Read("errors");
    const std::string output = Read("output");
    EXPECT_TRUE(output.starts_with(
        "english/german (e/g) ?  (e) Evaluation of a transit of Mercury or of Venus (m/v) ?  (v) \n"
        "Site of observation 1:\n"))
        << output;
    EXPECT_NE(output.find("Site of observation 2:\n"), std::string::npos);
    EXPECT_NE(output.find("geographical latitude  (-22.34) "), std::string::npos);
    EXPECT_NE(output.find("Parallax of the Sun piS (rigorous): "), std::string::npos);
}

TEST_F(SeriesProgram, FilesThatAreNoSeries)
{
    WriteSeries(0.0006);
    const std::string withoutUt
        = "measurement\tobject\tx\ty\tsigma_x\tsigma_y\n1\tresult\t0.1\t0.2\t0.001\t0.001\n";
    Write("old.fit.tsv", withoutUt);
    EXPECT_EQ(Run("--series1 old.fit.tsv --series2 cape.fit.tsv --date 2004-06-08 --language e "
                  "--site1 1,2 --site2 3,4 --planet venus"),
        2);
    EXPECT_EQ(Read("errors"), "quenmark: old.fit.tsv, line 1: no column \"ut\"\n");
    EXPECT_EQ(Read("output"), "");

    Write("bad.fit.tsv",
        Header + "1\tsun\t1\t2\t3\t0.1\t0.1\t0.1\t\t\tkeys\t07:00:00\ta\r\n"
            + "1\tresult\t0.1\t0,2\t0.3\t0.001\t0.001\t0.001\t\t\tkeys\t07:00:00\ta\r\n");
    EXPECT_EQ(Run("--series1 oslo.fit.tsv --series2 bad.fit.tsv --date 2004-06-08 --language g "
                  "--site1 1,2 --site2 3,4 --planet venus"),
        2);
    EXPECT_EQ(
        Read("errors"), "quenmark: bad.fit.tsv, Zeile 3: die Spalte \"y\" ist nicht lesbar\n");

    EXPECT_EQ(Run("--series1 oslo.fit.tsv --series2 none.tsv --date 2004-06-08 --language e "
                  "--site1 1,2 --site2 3,4 --planet venus"),
        1);
    EXPECT_EQ(Read("errors"), "quenmark: none.tsv: cannot be read: No such file or directory\n");
    fs::create_directory(work / "folder");
    EXPECT_EQ(Run("--series1 folder --series2 cape.fit.tsv --date 2004-06-08 --language e "
                  "--site1 1,2 --site2 3,4 --planet venus"),
        1);
    EXPECT_EQ(Read("errors"), "quenmark: folder: no regular file\n");
}

// Each fault of a file with its own message and status; the file is read
// before the other site's, which is never looked at.
TEST_F(SeriesProgram, EachFaultOfAFileHasItsMessageAndStatus)
{
    const std::string row1
        = "1\tresult1\t0.1\t0.2\t0.03\t0.001\t0.001\t0.001\t\t\tkeys\t09:00:30\tp\r\n";
    const std::string row2
        = "1\tresult2\t0.1\t0.2\t0.03\t0.001\t0.001\t0.001\t\t\tkeys\t09:00:29\tp\r\n";
    const std::string row3
        = "2\tresult\t0.1\t0.2\t0.03\t0\t0.001\t0.001\t\t\tkeys\t09:01:00\tp\r\n";
    struct Case {
        std::string Content;
        std::uintmax_t Size; // 0: as written
        std::string Errors;
        int Status;
    };
    const Case cases[] {
        { "", 0, "quenmark: a.tsv: empty, no header line\n", 2 },
        { Header + row3, 0, "quenmark: a.tsv, line 2: no uncertainty in \"sigma_x\"\n", 2 },
        { Header + row1 + row2, 0,
            "quenmark: a.tsv, line 3: earlier than the measurement's time before\n", 2 },
        { Header + row2 + row1, 0, "quenmark: a.tsv: 2 positions, at least 3 needed\n", 2 },
        { Header, 16 * 1024 * 1024 + 1, "quenmark: a.tsv: too large (16777217 bytes)\n", 1 },
    };
    for (const Case& c : cases) {
        Write("a.tsv", c.Content);
        if (c.Size > 0)
            fs::resize_file(work / "a.tsv", c.Size); // sparse: nothing is written
        EXPECT_EQ(Run("--series1 a.tsv --series2 b.tsv --date 2004-06-08 --language e "
                      "--site1 1,2 --site2 3,4 --planet venus"),
            c.Status)
            << c.Errors;
        EXPECT_EQ(Read("errors"), c.Errors);
        EXPECT_EQ(Read("output"), "");
    }
}

TEST_F(SeriesProgram, SeriesThatDoNotOverlap)
{
    WriteSeries(0.0006, 8); // to 8:00
    std::string later = Read("cape.fit.tsv");
    // Site 2's pictures two hours later: "07:" becomes "09:".
    for (std::size_t at = later.find("\t07:"); at != std::string::npos;
         at = later.find("\t07:", at))
        later.replace(at + 1, 2, "09");
    Write("cape.fit.tsv", later);
    EXPECT_EQ(Run(AllOptions + " --language e"), 1);
    EXPECT_EQ(Read("errors"), "quenmark: the two series do not overlap in time\n");
}

TEST_F(SeriesProgram, PlotIsNeverWrittenOverAForeignFile)
{
    WriteSeries(0.0006);
    Write("oslo.fit.parallax.svg", "my own drawing\n");
    EXPECT_EQ(Run(AllOptions + " --language e"), 1);
    EXPECT_EQ(Read("oslo.fit.parallax.svg"), "my own drawing\n");
    EXPECT_EQ(Read("errors"),
        "quenmark: oslo.fit.parallax.svg exists and is no plot of this program: left as it is\n");
    EXPECT_NE(Read("output").find("Parallax of the Sun piS (rigorous): "), std::string::npos);
}

TEST_F(SeriesProgram, OutputThatCannotBeWrittenIsReported)
{
    WriteSeries(0.0006, 9);
    const std::string command = "cd '" + work.string() + "' && '" QUENMARK_BINARY "' " + AllOptions
        + " --language e < /dev/null > /dev/full 2> errors";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Read("errors"), "quenmark: cannot write standard output: No space left on device\n");
}

TEST(PlotName, BesideTheFirstSeriesWithoutItsExtension)
{
    EXPECT_EQ(ParallaxPlot::NameBeside("north.fit.tsv"), "north.fit.parallax.svg");
    EXPECT_EQ(ParallaxPlot::NameBeside("runs.2012/north"), "runs.2012/north.parallax.svg");
    EXPECT_EQ(ParallaxPlot::NameBeside("runs/.hidden"), "runs/.hidden.parallax.svg");
    EXPECT_EQ(ParallaxPlot::NameBeside("a/b.c/d.tsv"), "a/b.c/d.parallax.svg");
}

TEST_F(SeriesProgram, UsageRefused)
{
    const std::string both = "quenmark: %s\nquenmark: %s\n";
    struct Case {
        std::string Arguments, English, German;
    };
    const std::vector<Case> cases {
        { "--series1 a.tsv --date 2004-06-08", "--series1 and --series2 go together",
            "--series1 und --series2 gehoeren zusammen" },
        { "--series1 a.tsv --series2 b.tsv", "--series1 and --series2 need --date",
            "--series1 und --series2 brauchen --date" },
        { "--site1 50,7", "--site1 needs --series1 and --series2",
            "--site1 braucht --series1 und --series2" },
        { "--series1 a --series2 b --date 2004-06-08 --site2 91,0",
            "cannot read the site \"91,0\" (LAT,LON in degrees, east positive)",
            "der Ort \"91,0\" ist nicht lesbar (BREITE,LAENGE in Grad, Osten positiv)" },
        { "--series1 a --series2 b --date 2004-06-08 --planet mars",
            "unknown planet \"mars\" (venus or mercury)",
            "unbekannter Planet \"mars\" (venus oder mercury)" },
        { "--series1 a --series2 b --date 2004-06-08 --language f",
            "unknown language \"f\" (e or g)", "unbekannte Sprache \"f\" (e oder g)" },
        { "--series1 a --series2 b --series1 c --date 2004-06-08",
            "unexpected argument \"--series1\"", "unerwartetes Argument \"--series1\"" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.Arguments), 2) << c.Arguments;
        const std::string errors = Read("errors");
        EXPECT_EQ(errors.substr(0, errors.find("usage:")),
            "quenmark: " + c.English + "\nquenmark: " + c.German + "\n")
            << c.Arguments;
    }
}

} // namespace
