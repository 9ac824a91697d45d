// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramOptions.h"
#include "StreamText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using ProgramOptions::Request;

using TestSupport::Contents;

std::string Report(const std::string& reason)
{
    return "program: cannot write" + reason + "\n";
}

TEST(ProgramOptions, HelpAndVersionInAnyOrderAndNumberTheHelpWins)
{
    EXPECT_EQ(ProgramOptions::HelpOrVersion({ "--help" }), Request::Help);
    EXPECT_EQ(ProgramOptions::HelpOrVersion({ "--version" }), Request::Version);
    EXPECT_EQ(ProgramOptions::HelpOrVersion({ "--help", "--version" }), Request::Help);
    EXPECT_EQ(ProgramOptions::HelpOrVersion({ "--version", "--help" }), Request::Help);
    EXPECT_EQ(ProgramOptions::HelpOrVersion({ "--version", "--version" }), Request::Version);
    EXPECT_EQ(ProgramOptions::HelpOrVersion({}), Request::Other);
    EXPECT_EQ(ProgramOptions::HelpOrVersion({ "--help", "-x" }), Request::Other);
    EXPECT_EQ(ProgramOptions::HelpOrVersion({ "--helpx" }), Request::Other);
}

TEST(ProgramOptions, ControlCharactersAndBytesThatAreNotUtf8AreShownAsEscapes)
{
    EXPECT_EQ(ProgramOptions::Shown("--\x1b[2J\x07"), "--\\x1b[2J\\x07");
    EXPECT_EQ(ProgramOptions::Shown("\t--x\x7f"), "\\x09--x\\x7f");
    EXPECT_EQ(ProgramOptions::Shown("\xc2\x9b"
                                    "2J"),
        "\\u009b2J");
    EXPECT_EQ(ProgramOptions::Shown("8\x9b.20"), "8\\x9b.20");
    EXPECT_EQ(ProgramOptions::Shown("München \xc2\xa0"), "München \xc2\xa0");
}

TEST(ProgramOptions, EscapesEndAtTheEdgesOfTheControlRanges)
{
    // C0 is 0x00 to 0x1f, then DEL; C1 is U+0080 to U+009F: the neighbours
    // on either side stay as they are.
    EXPECT_EQ(ProgramOptions::Shown("\x1f \x7e"), "\\x1f ~");
    EXPECT_EQ(ProgramOptions::Shown(std::string_view("\0-", 2)), "\\x00-");
    EXPECT_EQ(ProgramOptions::Shown("\xc2\x80\xc2\x9f\xc2\xa1"), "\\u0080\\u009f\xc2\xa1");
}

TEST(ProgramOptions, WrittenTextReachesTheOutputAndStatusIsZero)
{
    std::FILE* out = std::tmpfile();
    std::FILE* errors = std::tmpfile();
    ASSERT_TRUE(out && errors);
    EXPECT_EQ(ProgramOptions::Print("prog 1.2.3\n", Report, out, errors), 0);
    EXPECT_EQ(Contents(out), "prog 1.2.3\n");
    EXPECT_EQ(Contents(errors), "");
    std::fclose(out);
    std::fclose(errors);
}

TEST(ProgramOptions, OutputThatCannotBeWrittenIsReportedWithStatusOne)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    if (!full)
        GTEST_SKIP() << "no /dev/full here";
    std::FILE* errors = std::tmpfile();
    ASSERT_TRUE(errors);
    EXPECT_EQ(ProgramOptions::Print("help text\n", Report, full, errors), 1);
    EXPECT_EQ(Contents(errors), "program: cannot write: No space left on device\n");
    std::fclose(full);
    std::fclose(errors);
}

TEST(ProgramOptions, RefusalGoesToStandardErrorWithStatusTwo)
{
    std::FILE* errors = std::tmpfile();
    ASSERT_TRUE(errors);
    EXPECT_EQ(ProgramOptions::Refuse("prog: no\nusage: prog\n", errors), 2);
    EXPECT_EQ(Contents(errors), "prog: no\nusage: prog\n");
    std::fclose(errors);
}

} // namespace
