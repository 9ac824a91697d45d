// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"
#include "ParseRows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using RealCase = TestSupport::ParseRow<double>;
using IntegerCase = TestSupport::ParseRow<std::int32_t>;

class TextToRealTest : public testing::TestWithParam<RealCase> { };

TEST_P(TextToRealTest, ConvertsOrNamesTheOffendingCharacter)
{
    TestSupport::ExpectParsed(GetParam(), NumberText::TextToReal);
}

INSTANTIATE_TEST_SUITE_P(Syntax, TextToRealTest,
    testing::Values(RealCase { "Plain", "9.52", 0, 9.52 },
        RealCase { "LeadingBlanks", "   7.0", 0, 7.0 }, RealCase { "Plus", "+3", 0, 3 },
        RealCase { "Minus", "-22.34", 0, -22.34 }, RealCase { "PointFirst", ".5", 0, 0.5 },
        RealCase { "PointLast", "5.", 0, 5 }, RealCase { "LonePoint", ".", 0, 0 },
        RealCase { "SignedLonePoint", "-.", 0, 0 }, RealCase { "Exponent", "1.5e3", 0, 1500 },
        RealCase { "UpperExponentSigned", "25E-1", 0, 2.5 },
        RealCase { "ExponentPlus", "1e+2", 0, 100 },
        RealCase { "LargestDouble", "1.7976931348623157e308", 0, 1.7976931348623157e308 },
        RealCase { "ZeroWithHugeExponent", "0e999", 0, 0 }, RealCase { "Empty", "", 1, 0 },
        RealCase { "BlanksOnly", "   ", 4, 0 }, RealCase { "LoneSign", "-", 2, 0 },
        RealCase { "TrailingBlank", "12 ", 3, 0 }, RealCase { "Letter", "12a", 3, 0 },
        RealCase { "Comma", "0,7688", 2, 0 }, RealCase { "SecondPoint", "1.2.3", 4, 0 },
        RealCase { "Tab", "\t1", 1, 0 }, RealCase { "ExponentWithoutDigits", "1e", 3, 0 },
        RealCase { "ExponentSignOnly", "1e-", 4, 0 },
        RealCase { "ExponentWithoutMantissa", "e5", 1, 0 },
        RealCase { "LetterAfterExponent", "1e5x", 4, 0 }, RealCase { "DoubleSign", "+-1", 2, 0 },
        RealCase { "Overflow", "1e309", 2, 0 }, RealCase { "Underflow", "1e-400", 2, 0 },
        RealCase { "NotANumber", "nan", 1, 0 }, RealCase { "Infinity", "inf", 1, 0 },
        RealCase { "HexIsNoReal", "0x10", 2, 0 }),
    [](const auto& row) { return row.param.name; });

class TextToIntegerTest : public testing::TestWithParam<IntegerCase> { };

TEST_P(TextToIntegerTest, ConvertsOrNamesTheOffendingCharacter)
{
    TestSupport::ExpectParsed(GetParam(), NumberText::TextToInteger);
}

INSTANTIATE_TEST_SUITE_P(Syntax, TextToIntegerTest,
    testing::Values(IntegerCase { "LeadingBlank", " 42", 0, 42 },
        IntegerCase { "TrailingBlank", "42 ", 3, 0 }, IntegerCase { "Dollar", "$1F", 0, 31 },
        IntegerCase { "LowerX", "x1f", 0, 31 }, IntegerCase { "UpperX", "X10", 0, 16 },
        IntegerCase { "ZeroX", "0x7FFFFFFF", 0, 2147483647 },
        IntegerCase { "NegativeHex", "-$10", 0, -16 }, IntegerCase { "Empty", "", 1, 0 },
        IntegerCase { "Sign", "+", 2, 0 }, IntegerCase { "DollarOnly", "$", 2, 0 },
        IntegerCase { "Zero", "0", 0, 0 }, IntegerCase { "Max", "2147483647", 0, 2147483647 },
        IntegerCase { "Min", "-2147483648", 0, std::numeric_limits<std::int32_t>::min() },
        IntegerCase { "AboveMax", "2147483648", 10, 0 },
        IntegerCase { "BelowMin", "-2147483649", 11, 0 },
        IntegerCase { "HexAboveMax", "$80000000", 9, 0 }, IntegerCase { "Real", "2.5", 2, 0 },
        IntegerCase { "HexDigitInDecimal", "1F", 2, 0 },
        IntegerCase { "ManyZeros", "000000000000000000012", 0, 12 }),
    [](const auto& row) { return row.param.name; });

struct FormatCase {
    const char* name;
    double value;
    double spec;
    const char* text;
};

class FormatRealTest : public testing::TestWithParam<FormatCase> { };

TEST_P(FormatRealTest, RightAlignsInTheField)
{
    EXPECT_EQ(NumberText::FormatReal(GetParam().value, GetParam().spec), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Specs, FormatRealTest,
    testing::Values(FormatCase { "FourDecimals", 3.14159, 1.4, " 3.1416" },
        FormatCase { "WholeHalfToEven", 2.5, 4, "   2" },
        FormatCase { "WholeHalfUp", 3.5, 4, "   4" },
        FormatCase { "Negative", -7.25, 3.2, "  -7.25" },
        FormatCase { "WiderThanField", 123456, 3, "123456" },
        FormatCase { "NoNegativeZero", -0.4, 4, "   0" }, FormatCase { "ZeroWidth", 17, 0, "17" },
        FormatCase { "OneDecimal", 10.2313435335, 3.1, "  10.2" },
        FormatCase { "SpecRoundedDigit", 1.25, 1.29999, " 1.250" }),
    [](const auto& row) { return row.param.name; });

TEST(FormatFixed, PadsToWidthAndNeverCuts)
{
    EXPECT_EQ(NumberText::FormatFixed(1.20516309676, 6, 2), "  1.21");
    EXPECT_EQ(NumberText::FormatFixed(3.42304079, 5, 1), "  3.4");
    EXPECT_EQ(NumberText::FormatFixed(-12345.678, 3, 1), "-12345.7");
    EXPECT_EQ(NumberText::FormatFixed(1e300, 1, 0).size(), 301u);
}

TEST(FormatClock, RoundsToTheSecondAndCarries)
{
    EXPECT_EQ(NumberText::FormatClock(0), "00:00:00");
    EXPECT_EQ(NumberText::FormatClock(45296.4), "12:34:56");
    EXPECT_EQ(NumberText::FormatClock(3599.5), "01:00:00");
    EXPECT_EQ(NumberText::FormatClock(86399.49), "23:59:59");
    EXPECT_EQ(NumberText::FormatClock(90061), "25:01:01");
}

} // namespace
