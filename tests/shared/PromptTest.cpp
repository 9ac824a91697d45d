// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnswersInTurn.h"
#include "KernDos.h"
#include "ModulDos.h"
#include "PromptLoop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

struct ProgramEnded { };
void ThrowEnd()
{
    throw ProgramEnded {};
}

// Standard input and output of KernDos as strings.
class StandardStreamsTest : public testing::Test {
protected:
    std::istringstream in;
    std::ostringstream out;

    void Answer(const std::string& lines)
    {
        in.str(lines);
        in.clear();
        KernDos::SetConsole({ &in, &out, &ThrowEnd });
    }
    void TearDown() override { KernDos::ResetConsole(); }
};

TEST_F(StandardStreamsTest, ReadTextShowsTheDefaultAndKeepsItOnReturn)
{
    Answer("\n  \nnew\r\n");
    TestSupport::ExpectAnswers(KernDos::ReadText, "Time", "9.52",
        { { "9.52" }, { "  ", "blanks are an answer too" },
            { "new", "a CR before the line end is no part of it" } });
    EXPECT_EQ(out.str(), "Time (9.52) Time (9.52) Time (  ) ");
}

TEST_F(StandardStreamsTest, EmptyDefaultShowsTheBarePrompt)
{
    Answer("x\n");
    std::string text;
    KernDos::ReadText("Name ", text);
    EXPECT_EQ(out.str(), "Name ");
    EXPECT_EQ(text, "x");
}

TEST_F(StandardStreamsTest, EndOfInputEndsAfterALineEnd)
{
    Answer("last");
    std::string text = "d";
    KernDos::ReadText("A", text);
    EXPECT_EQ(text, "last"); // a last line without line end still counts
    EXPECT_THROW(KernDos::ReadText("B", text), ProgramEnded);
    EXPECT_EQ(out.str(), "A (d) B (last) \n");
}

TEST_F(StandardStreamsTest, ReadCharTakesTheLastCharacter)
{
    Answer("\ngerman\nxß\n");
    TestSupport::ExpectAnswers(KernDos::ReadChar, "?", "e", { { "e" }, { "n" }, { "ß" } });
}

TEST_F(StandardStreamsTest, ReadRealRepeatsWithBellUntilTheAnswerConverts)
{
    Answer("12a\n\n1e999\n0,7688\n");
    std::string text = "9.52";
    double value = 0;
    ModulDos::ReadReal("x1 = ", text, value);
    EXPECT_EQ(value, 0.7688);
    EXPECT_EQ(text, "0,7688"); // the default keeps the comma as typed
    EXPECT_EQ(out.str(), "x1 =  (9.52) \ax1 =  (12a) \ax1 =  (12a) \ax1 =  (1e999) ");
}

TEST_F(StandardStreamsTest, ReadRealEndsAtEndOfInputInsteadOfLooping)
{
    Answer("bad\n");
    std::string text = "1";
    double value = 0;
    EXPECT_THROW(ModulDos::ReadReal("r ", text, value), ProgramEnded);
    EXPECT_EQ(out.str(), "r  (1) \ar  (bad) \n");
}

// A fake binding records what the loop asks and rings.
std::vector<std::string> Answers;
std::string Log;
void FakeReadText(const std::string& prompt, std::string& text)
{
    Log += "[" + prompt + "|" + text + "]";
    if (Answers.empty())
        throw ProgramEnded {};
    if (!Answers.front().empty())
        text = Answers.front();
    Answers.erase(Answers.begin());
}
void FakeBell()
{
    Log += "\a";
}
const PromptLoop::Binding Fake { &FakeReadText, &FakeBell, &ThrowEnd };

TEST(PromptLoop, ReadIntegerTakesHexAndNoComma)
{
    Answers = { "1,5", "$1F" };
    Log.clear();
    std::string text = "200";
    std::int32_t value = 0;
    PromptLoop::ReadInteger(Fake, "Radius", text, value);
    EXPECT_EQ(value, 31);
    EXPECT_EQ(Log, "[Radius|200]\a[Radius|1,5]");
}

TEST(PromptLoop, AbortWithBellUsesTheInstalledBinding)
{
    Log.clear();
    PromptLoop::Install(Fake);
    EXPECT_THROW(PromptLoop::AbortWithBell(), ProgramEnded);
    EXPECT_EQ(Log, "\a");
}

TEST(FileExists, ReadableRegularFilesOnly)
{
    const std::filesystem::path folder
        = std::filesystem::temp_directory_path() / ("fileexists-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string readOnly = (folder / "read-only.inf").string();
    std::ofstream(readOnly) << "text\n";
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);

    EXPECT_FALSE(KernDos::FileExists(""));
    EXPECT_FALSE(KernDos::FileExists((folder / "missing").string()));
    EXPECT_FALSE(KernDos::FileExists(folder.string())); // a folder is no file
    EXPECT_FALSE(KernDos::FileExists("/dev/zero")); // nor a device: its one line never ends
    EXPECT_TRUE(KernDos::FileExists(readOnly)); // only read, so read-only is fine
    std::filesystem::remove_all(folder);
}

} // namespace
