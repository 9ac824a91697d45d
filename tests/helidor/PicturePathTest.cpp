// SPDX-License-Identifier: GPL-3.0-or-later
// Where a relative picture name is found: the program's folder, the working
// folder, the data folder of an installed tree, in that order.
#include "Setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PicturePathTest : public testing::Test {
protected:
    void SetUp() override
    {
        // One folder per process: CTest runs the tests of this file side by side.
        root = fs::temp_directory_path() / ("helidor-picture-path-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "usr/bin");
        fs::create_directories(root / "usr/share/helidor");
        fs::create_directories(root / "work");
        previousFolder = fs::current_path();
        fs::current_path(root / "work");
    }
    void TearDown() override
    {
        fs::current_path(previousFolder);
        fs::remove_all(root);
    }
    void Put(const fs::path& file) { std::ofstream(root / file) << "BM"; }
    std::string ProgramFolder() const { return (root / "usr/bin/").string(); }

    fs::path root;
    fs::path previousFolder;
};

TEST_F(PicturePathTest, InstalledSampleIsFoundInTheDataFolder)
{
    Put("usr/share/helidor/Sun.bmp");
    EXPECT_EQ(Setup::FindPicture(ProgramFolder(), "Sun.bmp"),
        ProgramFolder() + "../share/helidor/Sun.bmp");
}

TEST_F(PicturePathTest, ProgramFolderAndWorkingFolderComeBeforeTheDataFolder)
{
    Put("usr/share/helidor/Sun.bmp");
    Put("work/Sun.bmp");
    EXPECT_EQ(Setup::FindPicture(ProgramFolder(), "Sun.bmp"), "Sun.bmp");
    Put("usr/bin/Sun.bmp");
    EXPECT_EQ(Setup::FindPicture(ProgramFolder(), "Sun.bmp"), ProgramFolder() + "Sun.bmp");
}

TEST_F(PicturePathTest, PictureFoundNowhereIsNamedInTheProgramFolder)
{
    EXPECT_EQ(Setup::FindPicture(ProgramFolder(), "Sun.bmp"), ProgramFolder() + "Sun.bmp");
    EXPECT_EQ(Setup::FindPicture(ProgramFolder(), "/no/such/Sun.bmp"), "/no/such/Sun.bmp");
}

} // namespace
