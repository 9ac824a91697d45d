// SPDX-License-Identifier: GPL-3.0-or-later
#include "Utf8.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(Utf8, CountsCharactersNotBytes)
{
    EXPECT_EQ(Utf8::CountCharacters(""), 0u);
    EXPECT_EQ(Utf8::CountCharacters("Groesse"), 7u);
    EXPECT_EQ(Utf8::CountCharacters("Größe"), 5u);
    EXPECT_EQ(Utf8::CountCharacters("\xE4x"), 2u); // a lone Latin-1 byte counts once
    EXPECT_EQ(Utf8::CountCharacters("\xF0\x9F\x8C\x9E"), 1u);
}

TEST(Utf8, LastCharacterIsWholeSequence)
{
    EXPECT_EQ(Utf8::LastCharacter(""), "");
    EXPECT_EQ(Utf8::LastCharacter("german"), "n");
    EXPECT_EQ(Utf8::LastCharacter("xß"), "ß");
    EXPECT_EQ(Utf8::LastCharacter("a\xC3"), "\xC3"); // cut sequence: its byte alone
}

TEST(Utf8, Latin1LinesBecomeUtf8)
{
    EXPECT_EQ(Utf8::FromUtf8OrLatin1("Größe"), "Größe");
    EXPECT_EQ(Utf8::FromUtf8OrLatin1("Gr\xF6\xDF"
                                     "e"),
        "Größe");
    EXPECT_FALSE(Utf8::IsValid("\xC0\x80")); // overlong
    EXPECT_FALSE(Utf8::IsValid("\xED\xA0\x80")); // surrogate
    EXPECT_TRUE(Utf8::IsValid("plain"));
}

TEST(Utf8, ReadLineKeepsAtMostTheLimit)
{
    std::istringstream in("abcde\nabcdef\r\nxyz\r\nabcd\xC3\xA4z\n\nlast");
    std::string line;
    for (const char* expected : { "abcde", "abcde", "xyz", "abcd", "", "last" }) {
        ASSERT_TRUE(Utf8::ReadLine(in, line, 5));
        EXPECT_EQ(line, expected); // a cut never splits a character: "abcd", not "abcd\xC3"
    }
    EXPECT_FALSE(Utf8::ReadLine(in, line, 5));
    EXPECT_FALSE(in.bad());
}

} // namespace
