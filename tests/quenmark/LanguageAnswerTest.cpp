// SPDX-License-Identifier: GPL-3.0-or-later
// The language question of the real quenmark binary: "g" in either case
// chooses German, from the title on.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The output of quenmark answering the language question with answer and
// then ending its input; run in a folder of its own, bounded by timeout(1).
std::string OutputFor(const std::string& answer)
{
    const fs::path work = fs::temp_directory_path()
        / ("quenmark-language-" + answer + "-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string command = "cd '" + work.string() + "' && printf '" + answer
        + "\\n' | timeout 60 '" QUENMARK_BINARY "' > output 2>/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 124) << command;
    std::ifstream file(work / "output", std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    fs::remove_all(work);
    return content.str();
}

TEST(LanguageAnswer, UpperCaseGChoosesGermanAsLowerCaseDoes)
{
    const std::string upper = OutputFor("G");
    EXPECT_NE(
        upper.find("                         Bestimmung der Sonnenparallaxe\n"), std::string::npos)
        << upper;
    EXPECT_NE(
        upper.find("Soll Merkur- oder Venustransit ausgewertet werden (m/v) ?"), std::string::npos);
    EXPECT_EQ(upper.find("Derivation"), std::string::npos);
    EXPECT_EQ(upper, OutputFor("g"));
}

} // namespace
