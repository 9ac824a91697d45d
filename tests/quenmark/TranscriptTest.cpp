// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real quenmark binary on the golden cases under transcripts/: each
// folder holds the standard input ("input"), the expected standard output
// byte for byte ("expected"), optionally a title file ("Quenmark.inf"), the
// command-line options ("arguments", one line) and the expected exit status
// ("status", 0 when absent).
#include "RunFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> CaseNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(TRANSCRIPT_FOLDER))
        if (entry.is_directory())
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Transcript : public testing::TestWithParam<std::string> { };

TEST_P(Transcript, MatchesByteForByte)
{
    const fs::path golden = fs::path(TRANSCRIPT_FOLDER) / GetParam();
    const fs::path work
        = fs::temp_directory_path() / ("quenmark-" + GetParam() + "-" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    if (fs::exists(golden / "Quenmark.inf"))
        fs::copy_file(golden / "Quenmark.inf", work / "Quenmark.inf");

    std::string arguments = fs::exists(golden / "arguments")
        ? QuenmarkTesting::FileText(golden / "arguments")
        : std::string();
    if (!arguments.empty() && arguments.back() == '\n')
        arguments.pop_back();
    const std::string command = "cd '" + work.string() + "' && '" QUENMARK_BINARY "' " + arguments
        + " < '" + (golden / "input").string() + "' > output";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    const int expectedStatus = fs::exists(golden / "status")
        ? std::stoi(QuenmarkTesting::FileText(golden / "status"))
        : 0;
    EXPECT_EQ(WEXITSTATUS(status), expectedStatus);
    EXPECT_EQ(
        QuenmarkTesting::FileText(work / "output"), QuenmarkTesting::FileText(golden / "expected"));
    fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(
    Golden, Transcript, testing::ValuesIn(CaseNames()), [](const auto& row) { return row.param; });

} // namespace
