// SPDX-License-Identifier: GPL-3.0-or-later
// The sigmas of a JPEG shown at a quarter of its size: the fit runs on the
// full-resolution picture, and its covariance reaches the screen, and the
// audit file, divided by the square of the size (sigma by the size).
#include "HelidorRun.h"

#include "Adjustment.h"
#include "Assist.h"
#include "GreyPlane.h"
#include "LimbFit.h"
#include "NumberText.h"
#include "Settings.h"

#include <cmath>
#include <sstream>

namespace HelidorTesting {
namespace {

class AuditScaleTest : public HelidorRun { };

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

// The audit line's sigma_x, sigma_y, sigma_r as a full-resolution covariance
// gives them on a screen at a quarter.
std::vector<std::string> QuarterSigmas(const std::array<double, 9>& full)
{
    std::vector<std::string> sigmas;
    for (std::size_t i : { 0u, 4u, 8u })
        sigmas.push_back(NumberText::FormatFixed(std::sqrt(full[i]) / 4, 0, 3));
    return sigmas;
}

TEST_F(AuditScaleTest, SigmasOfAQuarterSizeJpegAreTheFullOnesOverFour)
{
    ASSERT_TRUE(StartAndAnswer(QuarterSizeSampleAnswers()));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(SampleFolder() + "/Lurni1000UT1.jpg", plane);
    const FitTypes::GreyView view { plane.Width, plane.Height, plane.Samples.data() };
    const auto toPlane = [](double x, double y, double r) {
        return FitTypes::Circle { Assist::ToPlane(x, 4, 188), Assist::ToPlane(y, 4, 381), 4 * r };
    };

    const FitTypes::Fit sun = LimbFit::FitSunLimb(
        view, toPlane(Adjustment::CircleX, Adjustment::CircleY, Adjustment::CircleRadius));
    ASSERT_EQ(sun.Result, FitTypes::Outcome::Fitted);
    TypeKey(Qt::Key_A);
    Confirm();
    TypeKeys(Qt::Key_Left, 28);
    TypeKeys(Qt::Key_Up, 14);
    TypeKeys(Qt::Key_PageDown, 3);
    const Adjustment::Refinement& sunFit = Adjustment::Refinements[1];
    const FitTypes::Fit planet = LimbFit::FitPlanet(view,
        toPlane(Adjustment::CircleX, Adjustment::CircleY, Adjustment::CircleRadius),
        toPlane(sunFit.X, sunFit.Y, sunFit.R));
    ASSERT_EQ(planet.Result, FitTypes::Outcome::Fitted);
    TypeKey(Qt::Key_A);
    Confirm();
    ASSERT_TRUE(Adjustment::AdjustmentDone);

    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_DOUBLE_EQ(Adjustment::Refinements[1].Covariance[i], sun.Covariance[i] / 16) << i;
        EXPECT_DOUBLE_EQ(Adjustment::Refinements[2].Covariance[i], planet.Covariance[i] / 16) << i;
    }
    std::istringstream audit(ReadFile("Test.fit.tsv"));
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(audit, line);)
        lines.push_back(Fields(line));
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& [line, fit] : { std::pair { 1u, &sun }, std::pair { 2u, &planet } }) {
        ASSERT_EQ(lines[line].size(), 13u);
        EXPECT_EQ(std::vector<std::string>(lines[line].begin() + 5, lines[line].begin() + 8),
            QuarterSigmas(fit->Covariance))
            << lines[line][1];
    }
}

} // namespace
} // namespace HelidorTesting
