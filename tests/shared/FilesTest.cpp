// SPDX-License-Identifier: GPL-3.0-or-later
#include "Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileIdentity : public testing::Test {
protected:
    void SetUp() override
    {
        Folder
            = std::filesystem::temp_directory_path() / ("files-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Folder);
        Name = (Folder / "picture.bmp").string();
        Write("BM 1234");
        SetModified(1'000'000'000, 0);
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    void Write(const std::string& contents) const
    {
        std::ofstream(Name, std::ios::binary | std::ios::trunc) << contents;
    }
    void SetModified(time_t seconds, long nanoseconds) const
    {
        const timespec times[2] = { { seconds, nanoseconds }, { seconds, nanoseconds } };
        ASSERT_EQ(::utimensat(AT_FDCWD, Name.c_str(), times, 0), 0);
    }

    std::filesystem::path Folder;
    std::string Name;
};

TEST_F(FileIdentity, SameFileUntouchedIsTheSame)
{
    const Files::FileIdentity first = Files::IdentityOf(Name);
    EXPECT_TRUE(first.Known);
    EXPECT_EQ(first.Bytes, 7);
    EXPECT_EQ(Files::IdentityOf(Name), first);
}

// Written anew in place (the same inode), as an editor saves over a file.
TEST_F(FileIdentity, RewrittenInPlaceDiffers)
{
    const Files::FileIdentity first = Files::IdentityOf(Name);
    Write("BM 12345"); // one byte more, the time set back as before
    SetModified(1'000'000'000, 0);
    EXPECT_NE(Files::IdentityOf(Name), first) << "by its size";
    Write("BM 1234");
    SetModified(1'000'000'000, 1); // the same size, a nanosecond later
    EXPECT_NE(Files::IdentityOf(Name), first) << "by its time";
    SetModified(1'000'000'000, 0);
    EXPECT_EQ(Files::IdentityOf(Name), first) << "nothing else counts";
}

TEST_F(FileIdentity, ReplacedByAnotherFileDiffers)
{
    const Files::FileIdentity first = Files::IdentityOf(Name);
    const std::string other = (Folder / "other.bmp").string();
    std::filesystem::copy_file(Name, other);
    std::filesystem::rename(other, Name);
    SetModified(1'000'000'000, 0);
    EXPECT_NE(Files::IdentityOf(Name), first) << "by its inode";
}

TEST_F(FileIdentity, MissingNameIsUnknownAndFifoDoesNotBlock)
{
    std::filesystem::remove(Name);
    EXPECT_FALSE(Files::IdentityOf(Name).Known);
    EXPECT_FALSE(Files::IdentityOf("").Known);
    ASSERT_EQ(::mkfifo(Name.c_str(), 0600), 0);
    EXPECT_TRUE(Files::IdentityOf(Name).Known); // returns: no writer is waited for
}

// The info files are read through this stream: lines of a regular file, and
// a FIFO, a folder or a device refused at once (a FIFO's open would otherwise
// wait for a writer, a device's one line never end).
TEST_F(FileIdentity, RegularFileStreamReadsOnlyRegularFiles)
{
    Write("first\nsecond");
    {
        Files::RegularFileStream file(Name);
        ASSERT_TRUE(file.IsOpen());
        std::string line;
        EXPECT_TRUE(std::getline(file, line));
        EXPECT_EQ(line, "first");
        EXPECT_TRUE(std::getline(file, line));
        EXPECT_EQ(line, "second");
        EXPECT_FALSE(std::getline(file, line));
        EXPECT_FALSE(file.bad());
    }
    std::filesystem::remove(Name);
    EXPECT_FALSE(Files::RegularFileStream(Name).IsOpen());
    EXPECT_TRUE(Files::RegularFileStream(Name).fail());
    ASSERT_EQ(::mkfifo(Name.c_str(), 0600), 0);
    EXPECT_FALSE(Files::RegularFileStream(Name).IsOpen());
    EXPECT_FALSE(Files::RegularFileStream(Folder.string()).IsOpen());
    EXPECT_FALSE(Files::RegularFileStream("/dev/zero").IsOpen());
}

} // namespace
