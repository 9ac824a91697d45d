// SPDX-License-Identifier: GPL-3.0-or-later
// Every column of the audit lines against values worked out by hand from the
// error propagation's formulas, with circles whose sigmas differ in x, y and
// r and whose x-y covariance is not zero, so that a swapped index, a lost
// floor, a sign of the turned y axis or a missing share of the reference
// direction shows in some digit.
//
// The expectations were computed apart from the program: x', y', rho' and the
// angle as functions of the circles' parameters (y counted upwards), their
// numerical Jacobian J, and J C J' with C the circles' covariances plus the
// floors (0.02 px on the Sun's centre, 0.05 px on the planet's), the Sun's
// centre-radius terms left out and the radius entering rho' alone:
//   sigma^2(rho') = u'(C_P + C_S)u / R^2 + (rho' / R)^2 sigma_R^2,
//   sigma(pa) = sqrt(v'(C_P + C_S)v) / D,
//   x' = rho' cos(pa), y' = rho' sin(pa), with the reference direction's
//   variance (two pictures: sqrt(v'(C_S1 + C_S2)v) / |S2 - S1|) added to pa's.
#include "Adjustment.h"
#include "Evaluation.h"
#include "Mathe.h"
#include "Settings.h"

#include <gtest/gtest.h>

namespace {

using Covariance = std::array<double, 9>;

// sigma_x 0.2, sigma_y 0.3, sigma_r 0.25 px; x-y 0.012, x-r 0.002, y-r 0.003.
constexpr Covariance SunCovariance { 0.04, 0.012, 0.002, 0.012, 0.09, 0.003, 0.002, 0.003, 0.0625 };
// sigma_x 0.15, sigma_y 0.1, sigma_r 0.04 px; x-y -0.006.
constexpr Covariance PlanetCovariance { 0.0225, -0.006, 0, -0.006, 0.01, 0, 0, 0, 0.0016 };
// sigma_x 0.25, sigma_y 0.15, sigma_r 0.2 px; x-y -0.01.
constexpr Covariance SecondSunCovariance { 0.0625, -0.01, 0.001, -0.01, 0.0225, 0, 0.001, 0, 0.04 };

class AuditColumns : public testing::Test {
protected:
    void SetUp() override
    {
        Settings::Reset();
        Adjustment::Reset();
        Evaluation::Reset();
        Settings::Language = 2;
        Settings::TimeUT = 8.3;
        Settings::PictureName = "Venus 2012.jpg";
    }
    void TearDown() override
    {
        Settings::Reset();
        Adjustment::Reset();
        Evaluation::Reset();
    }

    // Entry 1, 2, ... confirmed as an assisted fit (its whole pixels beside it).
    static void Assisted(int entry, double x, double y, double r, const Covariance& covariance)
    {
        const auto i = static_cast<std::size_t>(entry);
        Adjustment::Circles[i]
            = { static_cast<int>(x + 0.5), static_cast<int>(y + 0.5), static_cast<int>(r + 0.5) };
        Adjustment::Refinements[i] = { true, x, y, r, covariance };
    }
    static void ByKeys(int entry, int x, int y, int r)
    {
        Adjustment::Circles[static_cast<std::size_t>(entry)] = { x, y, r };
    }
};

TEST_F(AuditColumns, OnePictureRotatedBy30Degrees)
{
    Settings::PictureCount = 1;
    Settings::RotationAngle = Mathe::Radians(30);
    Assisted(1, 250.25, 500.5, 200.125, SunCovariance);
    Assisted(2, 310.5, 420.75, 14.25, PlanetCovariance);
    // x' 0.4599777, y' 0.1945810, rho' 0.4994409, pa 22.92947 deg;
    // sigma x' 0.00143787, y' 0.00158872, rho' 0.00157296, pa 0.166928 deg.
    EXPECT_EQ(Evaluation::ComputeResults().AuditFileText,
        "1\tsun\t250.250\t500.500\t200.125\t0.200\t0.300\t0.250\t\t\tassisted\t08:30:00"
        "\tVenus 2012.jpg\n"
        "1\tplanet\t310.500\t420.750\t14.250\t0.150\t0.100\t0.040\t\t\tassisted\t08:30:00"
        "\tVenus 2012.jpg\n"
        "1\tresult\t0.459978\t0.194581\t0.499441\t0.001438\t0.001589\t0.001573\t22.9295"
        "\t0.1669\tassisted\t08:30:00\tVenus 2012.jpg\n");
}

TEST_F(AuditColumns, TwoPicturesWithThePlanetOfTheSecondSetByKeys)
{
    Settings::PictureCount = 2;
    Settings::TimeDifference = 60;
    // Answered 8:30:45: the second exposure 60 s later.
    Settings::TimeSecond = 45;
    Settings::TimeHasSeconds = true;
    Assisted(1, 250.25, 500.5, 200.125, SunCovariance);
    Assisted(2, 519.75, 479.25, 200.375, SecondSunCovariance);
    Assisted(3, 290.5, 610.25, 8.5, PlanetCovariance);
    ByKeys(4, 555, 590, 8); // known to 0.5 px in x, y and r
    // Each file's rows carry its own exposure's time.
    const auto circles = [](const std::string& ut) {
        const std::string end = "\t" + ut + "\tVenus 2012.jpg\n";
        return "1\tsun1\t250.250\t500.500\t200.125\t0.200\t0.300\t0.250\t\t\tassisted" + end
            + "1\tsun2\t519.750\t479.250\t200.375\t0.250\t0.150\t0.200\t\t\tassisted" + end
            + "1\tplanet1\t290.500\t610.250\t8.500\t0.150\t0.100\t0.040\t\t\tassisted" + end
            + "1\tplanet2\t555.000\t590.000\t8.000\t0.500\t0.500\t0.500\t\t\tkeys" + end;
    };
    const Evaluation::Results results = Evaluation::ComputeResults();
    // The drift 4.508428 deg, its sigma 0.0714192 deg. Picture 1: x'
    // 0.1573940, y' -0.5625199, rho' 0.5841246, pa -74.36829 deg; sigma x'
    // 0.00146478, y' 0.00176615, rho' 0.00175716, pa 0.144734 deg.
    EXPECT_EQ(results.AuditFileText,
        circles("08:30:45")
            + "1\tresult1\t0.157394\t-0.562520\t0.584125\t0.001465\t0.001766\t0.001757\t-74.3683"
              "\t0.1447\tassisted\t08:30:45\tVenus 2012.jpg\n");
    EXPECT_EQ(results.ResultFileText, "08:30:45\t 0,5841\t -74,37\r\n");
    // Picture 2: x' 0.1319293, y' -0.5648318, rho' 0.5800347, pa -76.85297
    // deg; sigma x' 0.00289852, y' 0.00267792, rho' 0.00267247, pa 0.286812 deg.
    EXPECT_EQ(results.SecondAuditFileText,
        circles("08:31:45")
            + "1\tresult2\t0.131929\t-0.564832\t0.580035\t0.002899\t0.002678\t0.002672\t-76.8530"
              "\t0.2868\tmixed\t08:31:45\tVenus 2012.jpg\n");
    EXPECT_EQ(results.SecondResultFileText, "08:31:45\t 0,5800\t -76,85\r\n");
}

} // namespace
