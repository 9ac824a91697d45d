// SPDX-License-Identifier: GPL-3.0-or-later
// The real quenmark binary where its surroundings fail or misbehave: output or
// input that cannot be used, a title file that is no file, an endless answer.
// Each run is bounded by timeout(1); its status 124 marks a run that hung.
#include "RunFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class Program : public QuenmarkTesting::RunFolder {
protected:
    Program()
        : RunFolder("quenmark-")
    {
    }

    // quenmark in the folder work, behind `feed` (a pipe into it, or nothing),
    // with the redirections given; its exit status.
    int Run(const std::string& redirections, const std::string& feed = "")
    {
        return RunInWork(feed + " timeout 60 '" QUENMARK_BINARY "' " + redirections);
    }
};

TEST_F(Program, OutputThatCannotBeWrittenEndsWithAReport)
{
    EXPECT_EQ(Run("< /dev/null > /dev/full 2> errors"), 1);
    EXPECT_EQ(Read("errors"), "quenmark: cannot write standard output: No space left on device\n");
}

TEST_F(Program, InputThatCannotBeReadEndsWithAReport)
{
    fs::create_directory(work / "folder");
    EXPECT_EQ(Run("< folder > output 2> errors"), 1);
    EXPECT_EQ(Read("output"), "english/german (e/g) ?  (e) \n");
    EXPECT_EQ(Read("errors"), "quenmark: cannot read standard input: Is a directory\n");
}

TEST_F(Program, TitleFileIsReadOnlyWhenItIsARegularFile)
{
    std::ofstream(work / "input") << "\n";
    ASSERT_EQ(mkfifo((work / "Quenmark.inf").c_str(), 0600), 0); // would wait for a writer
    EXPECT_EQ(Run("< input > output"), 0);
    EXPECT_NE(Read("output").find("Derivation of the Sun's parallax"), std::string::npos);

    fs::remove(work / "Quenmark.inf");
    fs::create_symlink("/dev/zero", work / "Quenmark.inf"); // one line without end
    EXPECT_EQ(Run("< input > output"), 0);
    EXPECT_NE(Read("output").find("Derivation of the Sun's parallax"), std::string::npos);
}

TEST_F(Program, TitleFileThatIsAFolderGivesTheBuiltInTitle)
{
    std::ofstream(work / "input") << "g\n";
    fs::create_directory(work / "Quenmark.inf");
    EXPECT_EQ(Run("< input > output 2> errors"), 0);
    EXPECT_NE(Read("output").find("Bestimmung der Sonnenparallaxe"), std::string::npos);
    EXPECT_EQ(Read("errors"), "");
}

TEST_F(Program, OverlongAnswerIsCutInBoundedMemory)
{
    // 100 MB of digits for the Sun's radius: the first 4096 are kept, a number
    // too large for a double, so the question comes again with them as default;
    // the next line answers it.
    const std::string digits = "{ printf '\\n\\n\\n\\n'; head -c 100000000 /dev/zero | tr '\\0' 7; "
                               "printf '\\n16\\n'; } |";
    EXPECT_EQ(Run("> output", digits), 0);
    const std::string output = Read("output");
    const std::string again = "arcminutes  (" + std::string(4096, '7') + ") ";
    EXPECT_NE(output.find(again + "\n"), std::string::npos);
    EXPECT_NE(output.find("(hh.mm)  (17h6m52) \n"), std::string::npos); // 16 was taken
    EXPECT_LT(output.size(), 10000u);

    rusage usage {};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "largest child's resident size in KB";
}

} // namespace

// The options on the real binary: which stream, which status, and that a
// refusal comes before any question.
namespace {

class Options : public Program { };

TEST_F(Options, HelpGoesToStandardOutput)
{
    EXPECT_EQ(Run("--help > output 2> errors"), 0);
    const std::string help = Read("output");
    for (const char* part : { "--date YYYY-MM-DD", "--time hh.mm", "--help", "--version",
             "years 1900 to 2100", "fraction of an arcsecond", "whole seconds" })
        EXPECT_NE(help.find(part), std::string::npos) << part;
    EXPECT_EQ(Read("errors"), "");
}

TEST_F(Options, VersionIsTheProjectVersion)
{
    EXPECT_EQ(Run("--version > output 2> errors"), 0);
    EXPECT_EQ(Read("output"), "quenmark " TRANSIT_VERSION "\n");
    EXPECT_EQ(Read("errors"), "");
}

// As Helidor takes them: together, in any order, the help wins.
TEST_F(Options, HelpAndVersionTogether)
{
    const std::string usage
        = "usage: quenmark [--date YYYY-MM-DD [--time hh.mm]] | --help | --version\n"
          "       quenmark --series1 FILE --series2 FILE --date YYYY-MM-DD [--site1 LAT,LON]\n"
          "                [--site2 LAT,LON] [--planet venus|mercury] [--language e|g]\n\n";
    for (const char* arguments : { "--help --version", "--version --help", "--help --help" }) {
        EXPECT_EQ(Run(std::string(arguments) + " > output 2> errors"), 0) << arguments;
        EXPECT_EQ(Read("output").substr(0, usage.size()), usage) << arguments;
        EXPECT_EQ(Read("errors"), "") << arguments;
    }
    EXPECT_EQ(Run("--version --version > output 2> errors"), 0);
    EXPECT_EQ(Read("output"), "quenmark " TRANSIT_VERSION "\n");
    EXPECT_EQ(Read("errors"), "");
}

TEST_F(Options, HelpOrVersionThatCannotBeWrittenIsReported)
{
    for (const char* option : { "--help", "--version" }) {
        EXPECT_EQ(Run(std::string(option) + " > /dev/full 2> errors"), 1) << option;
        EXPECT_EQ(Read("errors"),
            "quenmark: cannot write standard output: No space left on device\n"
            "quenmark: die Standardausgabe ist nicht schreibbar: No space left on device\n")
            << option;
    }
}

// Both lines of a refusal, byte for byte; a "%2" typed into an argument is
// shown as typed, not filled with a year.
TEST_F(Options, RefusalInBothLanguages)
{
    const std::string usage
        = "usage: quenmark [--date YYYY-MM-DD [--time hh.mm]] | --help | --version\n"
          "       quenmark --series1 FILE --series2 FILE --date YYYY-MM-DD [--site1 LAT,LON]\n"
          "                [--site2 LAT,LON] [--planet venus|mercury] [--language e|g]\n";
    EXPECT_EQ(Run("--date 1899-12-31 2> errors"), 2);
    EXPECT_EQ(Read("errors"),
        "quenmark: the date 1899-12-31 lies outside the years 1900 to 2100\n"
        "quenmark: das Datum 1899-12-31 liegt ausserhalb der Jahre 1900 bis 2100\n"
            + usage);
    EXPECT_EQ(Run("--date 2004-06-08 --time 8.20 --zone%2%1 2> errors"), 2);
    EXPECT_EQ(Read("errors"),
        "quenmark: unexpected argument \"--zone%2%1\"\n"
        "quenmark: unerwartetes Argument \"--zone%2%1\"\n"
            + usage);
    EXPECT_EQ(Run("--time 8.20 2> errors"), 2);
    EXPECT_EQ(
        Read("errors"), "quenmark: --time needs --date\nquenmark: --time braucht --date\n" + usage);
}

TEST_F(Options, NoArgumentStartsTheDialogue)
{
    EXPECT_EQ(Run("< /dev/null > output 2> errors"), 0);
    EXPECT_EQ(Read("output"), "english/german (e/g) ?  (e) \n");
    EXPECT_EQ(Read("errors"), "");
}

struct Refusal {
    const char* Name;
    const char* Arguments;
    const char* Report; // the English line
};

class RefusedOptions : public Program, public testing::WithParamInterface<Refusal> { };

TEST_P(RefusedOptions, ReportOnStandardErrorBeforeAnyQuestion)
{
    const Refusal& row = GetParam();
    EXPECT_EQ(Run(std::string(row.Arguments) + " < /dev/null > output 2> errors"), 2);
    EXPECT_EQ(Read("output"), "");
    const std::string errors = Read("errors");
    EXPECT_EQ(
        errors.substr(0, errors.find('\n') + 1), std::string("quenmark: ") + row.Report + "\n");
    EXPECT_NE(
        errors.find("\nusage: quenmark [--date YYYY-MM-DD [--time hh.mm]]"), std::string::npos);
    // Nothing typed into an argument reaches the terminal as a control character.
    for (const char c : errors)
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << static_cast<int>(c);
    EXPECT_EQ(errors.find("\x7f"), std::string::npos);
    EXPECT_EQ(errors.find("\xc2\x9b"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Options, RefusedOptions,
    testing::Values(Refusal { "UnknownOption", "--verbose", "unexpected argument \"--verbose\"" },
        Refusal { "StrayArgument", "2004-06-08", "unexpected argument \"2004-06-08\"" },
        Refusal { "HelpWithDate", "--help --date 2004-06-08", "unexpected argument \"--help\"" },
        Refusal { "VersionAfterDate", "--date 2004-06-08 --version",
            "unexpected argument \"--version\"" },
        // Control characters as escapes: ESC, BEL, TAB, DEL, and C1's CSI in UTF-8.
        Refusal { "EscapeSequence", R"~("$(printf -- '--\033[2J\033]0;x\007')")~",
            R"~(unexpected argument "--\x1b[2J\x1b]0;x\x07")~" },
        Refusal { "TabAndDelete", R"~("$(printf '\t--x\177')")~",
            R"~(unexpected argument "\x09--x\x7f")~" },
        Refusal { "CsiInUtf8", R"~(--date "$(printf '\302\2332J')")~",
            R"~(cannot read the date "\u009b2J" (YYYY-MM-DD))~" },
        Refusal { "NotUtf8", R"~(--date 2004-06-08 --time "$(printf '8\233.20')")~",
            R"~(cannot read the time "8\x9b.20" (hh.mm UT))~" },
        Refusal {
            "UmlautKept", "--zeitzone=München", "unexpected argument \"--zeitzone=München\"" },
        Refusal {
            "DateTwice", "--date 2004-06-08 --date 2004-06-08", "unexpected argument \"--date\"" },
        Refusal { "DateWithoutValue", "--date", "--date needs a value" },
        Refusal {
            "NoThirtyFirstOfJune", "--date 2004-06-31", "the date 2004-06-31 does not exist" },
        Refusal { "NoLeapDay", "--date 2023-02-29", "the date 2023-02-29 does not exist" },
        Refusal { "NoMonth13", "--date 2023-13-01", "the date 2023-13-01 does not exist" },
        Refusal { "NoDayZero", "--date 2023-01-00", "the date 2023-01-00 does not exist" },
        Refusal {
            "DateNotIso", "--date 8.6.2004", "cannot read the date \"8.6.2004\" (YYYY-MM-DD)" },
        Refusal { "DateBeforeRange", "--date 1899-12-31",
            "the date 1899-12-31 lies outside the years 1900 to 2100" },
        Refusal { "DateAfterRange", "--date 2101-01-01",
            "the date 2101-01-01 lies outside the years 1900 to 2100" },
        Refusal { "HourTooLarge", "--date 2004-06-08 --time 24.00",
            "cannot read the time \"24.00\" (hh.mm UT)" },
        Refusal { "MinutesTooLarge", "--date 2004-06-08 --time 8.60",
            "cannot read the time \"8.60\" (hh.mm UT)" },
        // One digit of minutes is not hh.mm: 8.7 would be 8 h 70 min, as the dialogue reads it.
        Refusal { "OneDigitOfMinutes", "--date 2004-06-08 --time 8.7",
            "cannot read the time \"8.7\" (hh.mm UT)" },
        Refusal { "TimeTwice", "--date 2004-06-08 --time 8.20 --time 8.20",
            "unexpected argument \"--time\"" },
        Refusal { "TimeNotHhMm", "--date 2004-06-08 --time 8:20",
            "cannot read the time \"8:20\" (hh.mm UT)" },
        Refusal { "MinutesTooLargeAfterComma", "--date 2004-06-08 --time 8,60",
            "cannot read the time \"8,60\" (hh.mm UT)" },
        Refusal { "CommaAndPoint", "--date 2004-06-08 --time 8,2.0",
            "cannot read the time \"8,2.0\" (hh.mm UT)" },
        Refusal { "TimeWithoutDate", "--time 8.20", "--time needs --date" }),
    [](const auto& row) { return std::string(row.param.Name); });

} // namespace
