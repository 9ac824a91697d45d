// SPDX-License-Identifier: GPL-3.0-or-later
// The result and audit files when the disk changes under them between two
// evaluations: a removed file comes back with its header, and an audit file
// that could not be created at first gets every kept line, in order, once
// it can be.
#include "ResultFiles.h"
#include "Settings.h"
#include "Texts.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

const std::string ResultHeader = "   UT\t   r'\t   theta'\r\n";
const std::string AuditHeader
    = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r\tpa\tsigma_pa\tfit"
      "\tut\tpicture\n";
// Three evaluations' audit lines.
const std::string Lines[]
    = { "1\tsun\t250.000\n1\tresult\t0.5\n", "2\tsun\t251.000\n", "3\tplanet\t\t\tkeys\n" };

class ResultFilesRecovery : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("helidor-recovery-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        ResultFiles::Reset();
        Texts::SetUpMessageTexts();
        Settings::Language = 2;
    }
    void TearDown() override
    {
        ResultFiles::Reset();
        Settings::Language = 0;
        fs::remove_all(folder);
    }

    std::string Path(const std::string& name) const { return (folder / name).string(); }

    std::string Read(const std::string& name) const
    {
        std::ifstream file(folder / name, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

    fs::path folder;
};

// An audit file written before the time and picture columns is ours and is
// replaced; a file that only looks like one is not.
TEST_F(ResultFilesRecovery, AuditFileOfTheFormerColumnsIsReplaced)
{
    const std::string former
        = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r\tpa\tsigma_pa\tfit";
    {
        std::ofstream(folder / "Test.fit.tsv", std::ios::binary) << former << "\n1\tsun\n";
        std::ofstream(folder / "Test2.fit.tsv", std::ios::binary) << former << "\tnotes\n1\n";
    }
    ResultFiles::CreateResultFile(Path("Test.txt"));
    ResultFiles::Append(ResultFiles::Exposure::First, ResultFiles::Kind::Audit, "1\taudit\n");
    EXPECT_EQ(Read("Test.fit.tsv"), AuditHeader + "1\taudit\n");
    EXPECT_THROW(ResultFiles::CreateSecondResultFile(Path("Test2.txt")), std::runtime_error);
    EXPECT_EQ(Read("Test2.fit.tsv"), former + "\tnotes\n1\n");
}

TEST_F(ResultFilesRecovery, RemovedFilesComeBackWithTheirHeaders)
{
    ResultFiles::CreateResultFile(Path("Test.txt"));
    ResultFiles::CreateSecondResultFile(Path("Test2.txt"));
    const auto evaluate = [](const std::string& mark) {
        ResultFiles::Append(ResultFiles::Exposure::First, ResultFiles::Kind::Result, mark + "\r\n");
        ResultFiles::Append(
            ResultFiles::Exposure::Second, ResultFiles::Kind::Result, mark + "2\r\n");
        ResultFiles::Append(
            ResultFiles::Exposure::First, ResultFiles::Kind::Audit, mark + "\taudit\n");
        ResultFiles::Append(
            ResultFiles::Exposure::Second, ResultFiles::Kind::Audit, mark + "\taudit2\n");
    };
    evaluate("1");
    for (const char* name : { "Test.txt", "Test2.txt", "Test.fit.tsv", "Test2.fit.tsv" })
        ASSERT_TRUE(fs::remove(folder / name)) << name;
    evaluate("2");
    EXPECT_EQ(Read("Test.txt"), ResultHeader + "2\r\n");
    EXPECT_EQ(Read("Test2.txt"), ResultHeader + "22\r\n");
    EXPECT_EQ(Read("Test.fit.tsv"), AuditHeader + "2\taudit\n");
    EXPECT_EQ(Read("Test2.fit.tsv"), AuditHeader + "2\taudit2\n");
}

// A folder in the audit file's name stops root as well as anyone.
TEST_F(ResultFilesRecovery, AuditFileBlockedAtFirstGetsEveryKeptLineLater)
{
    ResultFiles::CreateResultFile(Path("Test.txt"));
    ResultFiles::CreateSecondResultFile(Path("Test2.txt"));
    fs::create_directory(folder / "Test.fit.tsv");
    fs::create_directory(folder / "Test2.fit.tsv");
    for (const std::string& line : { Lines[0], Lines[1] }) {
        EXPECT_THROW(
            ResultFiles::Append(ResultFiles::Exposure::First, ResultFiles::Kind::Audit, line),
            std::runtime_error);
        EXPECT_THROW(
            ResultFiles::Append(ResultFiles::Exposure::Second, ResultFiles::Kind::Audit, line),
            std::runtime_error);
        ResultFiles::Append(ResultFiles::Exposure::First, ResultFiles::Kind::Result,
            "line\r\n"); // the result file goes on
    }
    fs::remove(folder / "Test.fit.tsv");
    fs::remove(folder / "Test2.fit.tsv");
    ResultFiles::Append(ResultFiles::Exposure::First, ResultFiles::Kind::Audit, Lines[2]);
    ResultFiles::Append(ResultFiles::Exposure::Second, ResultFiles::Kind::Audit, Lines[2]);
    for (const char* name : { "Test.fit.tsv", "Test2.fit.tsv" })
        EXPECT_EQ(Read(name), AuditHeader + Lines[0] + Lines[1] + Lines[2]) << name;
    EXPECT_EQ(Read("Test.txt"), ResultHeader + "line\r\nline\r\n");
}

// The program's end is the last try for lines kept from an audit file that
// never could be created: it is created then, header first.
TEST_F(ResultFilesRecovery, AuditFileBlockedUntilTheEndGetsItsHeaderAtTheLastTry)
{
    ResultFiles::CreateResultFile(Path("Test.txt"));
    fs::create_directory(folder / "Test.fit.tsv");
    EXPECT_THROW(
        ResultFiles::Append(ResultFiles::Exposure::First, ResultFiles::Kind::Audit, Lines[0]),
        std::runtime_error);
    fs::remove(folder / "Test.fit.tsv");
    ResultFiles::FlushAll();
    EXPECT_EQ(Read("Test.fit.tsv"), AuditHeader + Lines[0]);
}

// The audit rows as a program reads them, from any caller: a decimal point
// also in German, an unknown value an empty column, LF at the end.
TEST_F(ResultFilesRecovery, AuditRowsHaveTheirColumnsInEveryLanguage)
{
    Settings::Language = 1;
    const double unknown = std::nan("");
    EXPECT_EQ(ResultFiles::AuditRow(4, { "sun", "keys", "08:00:00", "Lurni1000UT.bmp" },
                  { 250, 500.25, 200.125, unknown, 0.5, 0.75 }, 3, unknown, unknown),
        "4\tsun\t250.000\t500.250\t200.125\t\t0.500\t0.750\t\t\tkeys\t08:00:00\t"
        "Lurni1000UT.bmp\n");
    // A tab, CR or LF in the picture's name would break the row.
    EXPECT_EQ(ResultFiles::AuditRow(12, { "result2", "mixed", "23:59:59", "a\tb\r\nc.jpg" },
                  { 0.25, -0.5, 0.75, 0.001, 0.002, 0.0015 }, 6, -78.5, 0.25),
        "12\tresult2\t0.250000\t-0.500000\t0.750000\t0.001000\t0.002000\t0.001500\t-78.5000\t"
        "0.2500\tmixed\t23:59:59\ta?b??c.jpg\n");
}

// A new first result file belongs to a new run: its second file is created
// anew at the next measurement of two pictures.
TEST_F(ResultFilesRecovery, NewFirstFileHasTheSecondCreatedAnew)
{
    ResultFiles::CreateResultFile(Path("Test.txt"));
    EXPECT_FALSE(ResultFiles::SecondResultFileOpen());
    ResultFiles::CreateSecondResultFile(Path("Test2.txt"));
    EXPECT_TRUE(ResultFiles::SecondResultFileOpen());
    ResultFiles::CreateResultFile(Path("Other.txt"));
    EXPECT_FALSE(ResultFiles::SecondResultFileOpen());
}

// Without a result file there is no audit file to keep lines for; the
// result file's lines are kept and said so.
TEST_F(ResultFilesRecovery, NoAuditFileWithoutAResultFile)
{
    using ResultFiles::Exposure, ResultFiles::Kind;
    for (const Exposure exposure : { Exposure::First, Exposure::Second }) {
        EXPECT_NO_THROW(ResultFiles::Append(exposure, Kind::Audit, Lines[0]));
        EXPECT_THROW(ResultFiles::Append(exposure, Kind::Result, "1\r\n"), std::runtime_error);
    }
    ResultFiles::CreateResultFile(Path("Test.txt"));
    EXPECT_NO_THROW(ResultFiles::Append(Exposure::Second, Kind::Audit, Lines[0]));
    EXPECT_FALSE(fs::exists(folder / "Test2.fit.tsv"));
}

} // namespace
