// SPDX-License-Identifier: GPL-3.0-or-later
// The running text wraps only a text that does not fit: one exactly as wide as
// the rest of the line stays on it, one a pixel wider goes to the next.
#include "Kern.h"
#include "TestSupport.h"

namespace {

class TextWrapTest : public ConsoleTesting::ConsoleTest { };

TEST_F(TextWrapTest, TextAsWideAsTheRestOfTheLineStaysOnIt)
{
    Kern::SelectFont("Courier", 10, 0);
    const int w = Kern::TextWidth("abc");
    for (const auto& [room, wraps] : { std::pair { w, false }, std::pair { w - 1, true } }) {
        Kern::TextCursorX = Kern::ScreenWidth() - room;
        Kern::TextCursorY = 200;
        Kern::WriteText("abc");
        EXPECT_EQ(Kern::TextCursorX, wraps ? Kern::CharWidth + w : Kern::ScreenWidth()) << room;
        EXPECT_EQ(Kern::TextCursorY, wraps ? 200 + Kern::CharHeight : 200) << room;
    }
}

} // namespace
