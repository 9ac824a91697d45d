// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers inside the Qt application, whose start sets the C library's locale
// from the environment. CTest runs these once more under LC_ALL=de_DE.UTF-8.
#include "Kern.h"
#include "ParseRows.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

bool GermanLocaleRequested()
{
    const char* all = std::getenv("LC_ALL");
    return all && std::string(all).starts_with("de_DE");
}

TEST(NumbersLocale, RunsUnderTheLocaleTheEnvironmentAsksFor)
{
    if (!GermanLocaleRequested())
        GTEST_SKIP() << "only meaningful under LC_ALL=de_DE.UTF-8";
    const std::string active = std::setlocale(LC_ALL, nullptr);
    if (active.find("de_DE") == std::string::npos) {
        if (std::getenv("CI"))
            FAIL() << "the locale de_DE.UTF-8 is missing: generate it (localedef)";
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed here";
    }
    // The German locale really is in force: the C library would write a comma.
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
}

struct FormatCase {
    const char* name;
    double value;
    double format; // width.decimals
    const char* text;
};

class NumbersFormatReal : public testing::TestWithParam<FormatCase> { };

TEST_P(NumbersFormatReal, WritesAPointWhateverTheLocale)
{
    const FormatCase& c = GetParam();
    EXPECT_EQ(Kern::FormatReal(c.value, c.format), c.text);
}

INSTANTIATE_TEST_SUITE_P(Table, NumbersFormatReal,
    testing::Values(FormatCase { "FourDecimals", 3.14159, 1.4, " 3.1416" },
        FormatCase { "WholeHalfToEven", 2.5, 4, "   2" },
        FormatCase { "Negative", -7.25, 3.2, "  -7.25" },
        FormatCase { "NeverCut", 123456, 3, "123456" },
        FormatCase { "Thousands", 1234567.891, 3.2, "1234567.89" },
        FormatCase { "Zero", 0, 1.3, " 0.000" }),
    ConsoleTesting::RowName());

using IntegerCase = TestSupport::ParseRow<std::int32_t>;
using RealCase = TestSupport::ParseRow<double>;

class NumbersTextToInteger : public testing::TestWithParam<IntegerCase> { };

TEST_P(NumbersTextToInteger, ConvertsOrNamesTheOffendingCharacter)
{
    TestSupport::ExpectParsed(GetParam(), Kern::TextToInteger);
}

INSTANTIATE_TEST_SUITE_P(Table, NumbersTextToInteger,
    testing::Values(IntegerCase { "LeadingBlank", " 42", 0, 42 },
        IntegerCase { "TrailingBlank", "42 ", 3, 0 }, IntegerCase { "Dollar", "$1F", 0, 31 },
        IntegerCase { "Empty", "", 1, 0 }, IntegerCase { "Negative", "-17", 0, -17 },
        IntegerCase { "DecimalPoint", "4.5", 2, 0 }),
    ConsoleTesting::RowName());

class NumbersTextToReal : public testing::TestWithParam<RealCase> { };

TEST_P(NumbersTextToReal, ReadsOnlyThePoint)
{
    TestSupport::ExpectParsed(GetParam(), Kern::TextToReal);
}

INSTANTIATE_TEST_SUITE_P(Table, NumbersTextToReal,
    testing::Values(RealCase { "Point", "9.52", 0, 9.52 }, RealCase { "Comma", "0,7688", 2, 0 },
        RealCase { "Exponent", "-1.5e3", 0, -1500 }),
    ConsoleTesting::RowName());

} // namespace
