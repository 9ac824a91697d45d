// SPDX-License-Identifier: GPL-3.0-or-later
// Why the assisted fit refused, as the user reads it: each reason of the fit
// brought about on a BMP shown on the screen, the line it gives in English
// and in German. No two reasons share a line, none is empty, and German is
// not English.
#include "Assist.h"
#include "GreyPlane.h"
#include "LimbScenes.h"
#include "Photograph.h"
#include "Settings.h"
#include "TestPictures.h"
#include "Texts.h"

#include <cmath>
#include <numbers>
#include <set>

namespace HelidorTesting {
namespace {

using FitTypes::Outcome;

// A picture made to draw one refusal: the words of the BMP, the seed, and
// for a planet the Sun's circle.
struct RefusalRow {
    const char* name;
    Outcome Reason;
    LimbScenes::Scene Scene;
    void (*Change)(std::vector<std::uint32_t>& words, int width);
    FitTypes::Circle Seed;
    bool Planet = false;
};

LimbScenes::Scene SunScene(int size, LimbScenes::Disc sun)
{
    LimbScenes::Scene scene;
    scene.Width = scene.Height = size;
    scene.Suns = { sun };
    scene.Noise = 0;
    scene.Jpeg = false;
    scene.Whole = true;
    return scene;
}

// The Sun the planet rows lie on.
constexpr FitTypes::Circle PlanetSun { 200, 200, 170 };

LimbScenes::Scene PlanetScene(std::vector<LimbScenes::Disc> planets,
    std::vector<LimbScenes::Spot> spots = {}, double exposure = 0.4)
{
    LimbScenes::Scene scene = SunScene(400, { PlanetSun.X, PlanetSun.Y, PlanetSun.R });
    scene.Planets = std::move(planets);
    scene.Spots = std::move(spots);
    scene.Exposure = exposure;
    return scene;
}

LimbScenes::Scene Saturated()
{
    LimbScenes::Scene scene = SunScene(300, { 150, 150, 100 });
    scene.Exposure = 1.6;
    scene.Gains = { 1, 1, 1 };
    return scene;
}

void Unchanged(std::vector<std::uint32_t>&, int) { }

// The limb hidden outside a 60-degree wedge: flat at the disc's colour.
void OnlyASliver(std::vector<std::uint32_t>& words, int width)
{
    const std::uint32_t inside = words[static_cast<std::size_t>(150 * width + 150)];
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x)
            if (std::abs(std::atan2(y - 150.0, x - 150.0) * 180 / std::numbers::pi) > 30)
                words[static_cast<std::size_t>(y * width + x)] = inside;
}

// A grey square on black instead of the scene.
void Square(std::vector<std::uint32_t>& words, int width)
{
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x)
            words[static_cast<std::size_t>(y * width + x)]
                = x >= 50 && x < 250 && y >= 50 && y < 250 ? 0xffb4b4b4u : 0xff000000u;
}

const RefusalRow Rows[] = {
    { "NoEdge", Outcome::NoEdge, SunScene(300, { 150, 150, 400 }), Unchanged, { 150, 150, 100 } },
    { "ShortArc", Outcome::ShortArc, SunScene(300, { 150, 150, 100 }), OnlyASliver,
        { 152, 148, 104 } },
    { "NotCircle", Outcome::NotCircle, SunScene(300, { 150, 150, 100 }), Square,
        { 150, 150, 105 } },
    { "MovedTooFar", Outcome::MovedTooFar, PlanetScene({ { 230, 200, 10 } }), Unchanged,
        { 200, 200, 10 }, true },
    { "Sunspot", Outcome::Sunspot, PlanetScene({}, { { 190.5, 210.5, 8, 18 } }), Unchanged,
        { 192, 208, 9 }, true },
    { "TooCloseToLimb", Outcome::TooCloseToLimb, PlanetScene({ { 200, 32, 14 } }), Unchanged,
        { 202, 34, 14 }, true },
    { "Saturated", Outcome::Saturated, Saturated(), Unchanged, { 145, 153, 96 } },
};

class RefusalTexts : public ConsoleTesting::ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        Settings::Reset();
        Assist::Reset();
        Texts::SetUpMessageTexts();
    }
    void TearDown() override
    {
        Assist::Reset();
        Settings::Reset();
    }

    // The line of the refusal the row draws, in language (1 German, 2 English).
    static std::string Refusal(const RefusalRow& row, int language)
    {
        std::vector<std::uint32_t> words;
        LimbScenes::Render(row.Scene, words);
        const int width = row.Scene.Width;
        row.Change(words, width);
        // The fit itself refuses for this reason on these words.
        GreyPlane::Plane plane;
        GreyPlane::FromWords(words.data(), width, width, plane);
        const FitTypes::GreyView view { width, width, plane.Samples.data() };
        const FitTypes::Fit fit = row.Planet ? LimbFit::FitPlanet(view, row.Seed, PlanetSun)
                                             : LimbFit::FitSunLimb(view, row.Seed);
        EXPECT_EQ(fit.Result, row.Reason) << row.name << ": " << LimbFit::OutcomeName(fit.Result);

        const std::string path = TempPath(std::string(row.name) + ".bmp");
        WriteBitmap(path, 24, false, width, width, [&](int x, int y) {
            return words[static_cast<std::size_t>(y * width + x)] & 0xffffffu;
        });
        Settings::Language = language;
        Photograph::ShowBitmapPhotograph(path, 0, 0);
        const Assist::Result result
            = row.Planet ? Assist::FitPlanet(row.Seed, PlanetSun) : Assist::FitSun(row.Seed);
        EXPECT_FALSE(result.Taken) << row.name;
        return result.Message;
    }
};

TEST_F(RefusalTexts, EachReasonHasItsOwnLineInBothLanguages)
{
    std::set<std::string> english, german;
    for (const RefusalRow& row : Rows) {
        const std::string inEnglish = Refusal(row, 2);
        const std::string inGerman = Refusal(row, 1);
        EXPECT_FALSE(inEnglish.empty()) << row.name;
        EXPECT_FALSE(inGerman.empty()) << row.name;
        EXPECT_NE(inEnglish, inGerman) << row.name;
        EXPECT_TRUE(english.insert(inEnglish).second) << row.name << " shares " << inEnglish;
        EXPECT_TRUE(german.insert(inGerman).second) << row.name << " shares " << inGerman;
    }
}

} // namespace
} // namespace HelidorTesting
