// SPDX-License-Identifier: GPL-3.0-or-later
// Test support for every test program: the text readers of both consoles
// asked one question after another.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace TestSupport {

struct Answer {
    std::string value;
    const char* why = ""; // said when the answer differs
};

// Asks read once per expected answer, each answer the next question's
// default, and checks each in turn.
inline void ExpectAnswers(void (*read)(const std::string& prompt, std::string& value),
    const std::string& prompt, std::string value, std::initializer_list<Answer> expected)
{
    int number = 0;
    for (const Answer& answer : expected) {
        read(prompt, value);
        EXPECT_EQ(value, answer.value) << "answer " << ++number << " " << answer.why;
    }
}

} // namespace TestSupport
