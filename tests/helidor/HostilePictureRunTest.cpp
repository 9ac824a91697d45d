// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile pictures given to the real program: a JPEG bomb and a FIFO are
// refused at once with a message in the user's language, the picture is
// asked again, and the run goes on.
#include "CraftedJpegs.h"
#include "HelidorRun.h"
#include "Setup.h"

#include <sys/stat.h>

namespace HelidorTesting {
namespace {

using ConsoleTesting::PressReturn;
using ConsoleTesting::Type;

TEST_F(HelidorRun, BombAndFifoAreRefusedInGermanAndThePictureIsAskedAgain)
{
    WriteBytes((Folder / "bomb.jpg").string(), ArithmeticBomb({ 65500, 65500, 3, true }));
    ASSERT_EQ(mkfifo((Folder / "fifo.bmp").c_str(), 0600), 0);
    std::vector<DialogAction> answers { Type("g"), PressReturn(), Type("bomb.jpg"), Type("8"),
        PressReturn(), PressReturn(), Type("1"), Type("2,5"), PressReturn(), PressReturn(),
        PressReturn(), Type((Folder / "fifo.bmp").string()) }; // relative: sought elsewhere
    for (int i = 0; i < 7; ++i)
        answers.push_back(PressReturn());
    answers.push_back(Type("Lurni1000UT.bmp"));
    for (int i = 0; i < 7; ++i)
        answers.push_back(PressReturn());
    ASSERT_TRUE(StartAndAnswer(answers)) << "no hang";
    ASSERT_EQ(Script->Messages.size(), 2u);
    EXPECT_NE(Script->Messages[0].find("Das Bild \u201ebomb.jpg\u201c ist besch\u00e4digt: seine "
                                       "110 Bytes k\u00f6nnen kein Bild von 65500 x 65500"),
        std::string::npos)
        << Script->Messages[0];
    EXPECT_NE(Script->Messages[1].find("fifo.bmp\u201c ist keine gew\u00f6hnliche Datei"),
        std::string::npos)
        << Script->Messages[1];
    EXPECT_EQ(Setup::PicturePath, SampleFolder() + "/Lurni1000UT.bmp");
}

} // namespace
} // namespace HelidorTesting
