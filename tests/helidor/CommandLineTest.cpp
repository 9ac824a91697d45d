// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "StreamText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string Usage = "Usage: helidor [--help | --version]\n";

// Helidor's command line with its two streams caught.
class HelidorCommandLine : public testing::Test {
protected:
    int Run(std::vector<const char*> arguments, std::FILE* out = nullptr)
    {
        arguments.insert(arguments.begin(), "helidor");
        std::FILE* caught = std::tmpfile();
        std::FILE* errors = std::tmpfile();
        EXPECT_TRUE(caught && errors);
        const int status = CommandLine::HandleArguments(
            static_cast<int>(arguments.size()), arguments.data(), out ? out : caught, errors);
        Out = TestSupport::Contents(caught);
        Errors = TestSupport::Contents(errors);
        std::fclose(caught);
        std::fclose(errors);
        return status;
    }

    std::string Out, Errors;
};

TEST_F(HelidorCommandLine, NoArgumentOpensTheWindow)
{
    EXPECT_EQ(Run({}), CommandLine::OpenWindow);
    EXPECT_EQ(Out, "");
    EXPECT_EQ(Errors, "");
}

TEST_F(HelidorCommandLine, HelpAndVersionTogetherShowTheHelp)
{
    for (const auto& arguments : std::vector<std::vector<const char*>> {
             { "--help", "--version" }, { "--version", "--help" }, { "--help", "--help" } }) {
        EXPECT_EQ(Run(arguments), 0);
        EXPECT_EQ(Out.substr(0, Usage.size() + 10), Usage + "Measures t");
        EXPECT_NE(Out.find("\n  --version  show the version and end\n"), std::string::npos);
        EXPECT_EQ(Errors, "");
    }
    EXPECT_EQ(Run({ "--version", "--version" }), 0);
    EXPECT_EQ(Out, "helidor " TRANSIT_VERSION "\n");
}

TEST_F(HelidorCommandLine, RefusalShowsControlCharactersAsEscapes)
{
    EXPECT_EQ(Run({ "--help", "--\x1b[2J\x07" }), 2);
    EXPECT_EQ(Out, "");
    EXPECT_EQ(Errors, "helidor: unknown option '--\\x1b[2J\\x07'\n" + Usage);
    EXPECT_EQ(Run({ "\tSun.bmp\x7f" }), 2);
    EXPECT_EQ(Errors, "helidor: unexpected argument '\\x09Sun.bmp\\x7f'\n" + Usage);
}

TEST_F(HelidorCommandLine, HelpThatCannotBeWrittenIsReported)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    if (!full)
        GTEST_SKIP() << "no /dev/full here";
    EXPECT_EQ(Run({ "--help" }, full), 1);
    EXPECT_EQ(Errors, "helidor: cannot write to standard output\n");
    std::fclose(full);
}

} // namespace
