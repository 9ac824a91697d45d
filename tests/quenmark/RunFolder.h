// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh folder per test in which the real quenmark binary runs, and the
// files it leaves there.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

namespace QuenmarkTesting {

// The whole content of a file; empty when it cannot be read.
inline std::string FileText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

class RunFolder : public testing::Test {
protected:
    // The folder's name starts with `prefix`, then the test's name and the
    // process: suites and parallel runs do not share a folder.
    explicit RunFolder(std::string folderPrefix)
        : prefix(std::move(folderPrefix))
    {
    }

    std::filesystem::path work;

    void SetUp() override
    {
        // A parameterised test's name holds a "/": one folder, not a folder in a folder that
        // would stay behind.
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        work = std::filesystem::temp_directory_path()
            / (prefix + name + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work);
    }
    void TearDown() override { std::filesystem::remove_all(work); }

    // `command` run by the shell in the folder work; its exit status, -1 when
    // it did not exit (a failure of the test).
    int RunInWork(const std::string& command) const
    {
        const std::string line = "cd '" + work.string() + "' && " + command;
        const int status = std::system(line.c_str());
        EXPECT_TRUE(WIFEXITED(status)) << line;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Read(const std::string& name) const { return FileText(work / name); }

    void Write(const std::string& name, const std::string& text) const
    {
        std::ofstream(work / name, std::ios::binary) << text;
    }

private:
    std::string prefix;
};

} // namespace QuenmarkTesting
