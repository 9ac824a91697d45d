// SPDX-License-Identifier: GPL-3.0-or-later
#include "AstrRout.h"
#include "PromptLoop.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr double Tolerance = 1e-11;

double Dms(double degrees, double minutes, double seconds)
{
    return (degrees + minutes / 60 + seconds / 3600) * 0.017453292519943295769;
}

// The bell and the program end are recorded instead of ending the test.
struct ProgramEnded { };
std::string Bells;
void RecordBell()
{
    Bells += '\a';
}
void ThrowEnd()
{
    throw ProgramEnded {};
}
void NoText(const std::string&, std::string&) { }

class ParseAngleTest : public testing::Test {
protected:
    void SetUp() override
    {
        Bells.clear();
        PromptLoop::Install({ &NoText, &RecordBell, &ThrowEnd });
    }
};

struct AngleCase {
    const char* name;
    const char* text;
    double radians;
};

class ParseAngleReads : public ParseAngleTest, public testing::WithParamInterface<AngleCase> { };

TEST_P(ParseAngleReads, ToRadians)
{
    EXPECT_NEAR(AstrRout::ParseAngle(GetParam().text), GetParam().radians, Tolerance);
    EXPECT_EQ(Bells, "");
}

INSTANTIATE_TEST_SUITE_P(Notations, ParseAngleReads,
    testing::Values(AngleCase { "DegreesG", "16g42'51", 0.29171724006 },
        AngleCase { "DegreesD", "16d42m51", Dms(16, 42, 51) },
        AngleCase { "NoSeconds", "16g42'", Dms(16, 42, 0) },
        AngleCase { "Hours", "2h55m23", 0.765254154947 },
        AngleCase { "HoursShort", "5h7m27", 1.34150369631 },
        AngleCase { "SiderealTime", "17h6m52", 4.48055107808 },
        AngleCase { "HoursNoSeconds", "1h0m", Dms(15, 0, 0) },
        AngleCase { "Plain", "-22.34", -0.389906554896 },
        AngleCase { "CommaIsPoint", "51,24", 0.894306708722 },
        AngleCase { "LeadingBlanks", "   7.0", 0.12217304764 },
        AngleCase { "SignForWhole", "-0g30'", -0.00872664625997 },
        AngleCase { "PlusAccepted", "+1g30'", Dms(1, 30, 0) },
        AngleCase { "DecimalParts", "10g30.5'30.5", Dms(10, 30.5, 30.5) },
        AngleCase { "CommasEverywhere", "1,5g30,5'30,5", Dms(1.5, 30.5, 30.5) },
        AngleCase { "Empty", "", 0 }, AngleCase { "BlanksOnly", "    ", 0 }),
    [](const auto& row) { return row.param.name; });

class ParseAngleRejects : public ParseAngleTest,
                          public testing::WithParamInterface<const char*> { };

TEST_P(ParseAngleRejects, WithBellAndEnd)
{
    EXPECT_THROW(AstrRout::ParseAngle(GetParam()), ProgramEnded);
    EXPECT_EQ(Bells, "\a");
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseAngleRejects,
    testing::Values("16g42'51 ", "5h7'27", "16g42", "5h7", "abc", "G16", "-", "1.2.3", "16g42'51'",
        "16D42m",
        "1h2g3'")); // with both markers the text is read as degrees

TEST(HhMmToHours, MinutesAfterThePoint)
{
    EXPECT_NEAR(AstrRout::HhMmToHours(9.52), 9.0 + 52.0 / 60, Tolerance);
    EXPECT_NEAR(AstrRout::HhMmToHours(17.05), 17.0 + 5.0 / 60, Tolerance);
    EXPECT_NEAR(AstrRout::HhMmToHours(-1.30), -1.5, Tolerance);
    EXPECT_NEAR(AstrRout::HhMmToHours(9.75), 10.25, Tolerance);
    EXPECT_EQ(AstrRout::HhMmToHours(1e300), 1e300); // no integer overflow for huge values
}

} // namespace
