// The grey plane: the sRGB curve undone, clipped channels dropped, JPEG files
// decoded at full size, bad files refused with a message.
#include "GreyPlane.h"
#include "LimbFit.h"
#include "LimbScenes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

std::uint32_t Word(unsigned red, unsigned green, unsigned blue)
{
    return 0xff000000u | red << 16 | green << 8 | blue;
}

std::uint16_t Convert(std::uint32_t word, unsigned channels)
{
    std::uint16_t sample = 0;
    GreyPlane::ConvertWords(&word, 1, channels, &sample);
    return sample;
}

TEST(GreyPlaneSamples, SrgbUndoneAndChannelsAdded)
{
    // sRGB 128 is 0.21586 in linear light; white in all kept channels is 65534.
    EXPECT_EQ(Convert(Word(0, 0, 0), GreyPlane::AllChannels), 0);
    EXPECT_EQ(Convert(Word(128, 128, 128), GreyPlane::AllChannels), 3 * 4715);
    EXPECT_EQ(Convert(Word(128, 64, 0), GreyPlane::AllChannels), 4715 + 1120);
    EXPECT_EQ(Convert(Word(128, 128, 0), GreyPlane::Red | GreyPlane::Green), 2 * 7073);
    EXPECT_EQ(Convert(Word(249, 249, 249), GreyPlane::Green), 62081);
    // A dropped channel adds nothing, even when it is clipped.
    EXPECT_EQ(Convert(Word(255, 128, 128), GreyPlane::Green | GreyPlane::Blue), 2 * 7073);
    // A kept channel at 250 or above saturates the sample.
    EXPECT_EQ(Convert(Word(250, 10, 10), GreyPlane::AllChannels), GreyPlane::Saturated);
    EXPECT_EQ(Convert(Word(10, 10, 250), GreyPlane::AllChannels), GreyPlane::Saturated);
}

TEST(GreyPlaneSamples, ChannelsClippedBeyondTheLeastClippedAreDropped)
{
    // 0.1 % of 1,000,000 pixels is 1,000.
    EXPECT_EQ(
        GreyPlane::ChooseChannels({ 0, 0, 5000 }, 1'000'000), GreyPlane::Blue | GreyPlane::Green);
    EXPECT_EQ(GreyPlane::ChooseChannels({ 7000, 7000, 7900 }, 1'000'000), GreyPlane::AllChannels);
    EXPECT_EQ(GreyPlane::ChooseChannels({ 7000, 7000, 8001 }, 1'000'000),
        GreyPlane::Blue | GreyPlane::Green);
    EXPECT_EQ(GreyPlane::ChooseChannels({ 9000, 3000, 9000 }, 1'000'000), GreyPlane::Green);
}

TEST(GreyPlaneSamples, APictureWithABurntOutRedChannel)
{
    // Half the pixels have red at 255: red goes, blue and green stay.
    std::vector<std::uint32_t> words(100, Word(100, 128, 64));
    for (int i = 0; i < 50; ++i)
        words[static_cast<std::size_t>(i)] = Word(255, 128, 64);
    GreyPlane::Plane plane;
    GreyPlane::FromWords(words.data(), 10, 10, plane);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::Blue | GreyPlane::Green);
    EXPECT_EQ(plane.Samples[0], 7073 + 1680);
    EXPECT_EQ(plane.Samples[99], 7073 + 1680);
    GreyPlane::Release(plane);
    EXPECT_EQ(plane.Samples.capacity(), 0u);
}

// [SECTION] JPEG files

class GreyPlaneJpeg : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path()
            / ("greyplane-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed())
                + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        const std::string path = (folder / name).string();
        EXPECT_TRUE(LimbScenes::WriteFile(path, bytes));
        return path;
    }
    std::vector<unsigned char> FlatJpeg(int width, int height, std::uint32_t word)
    {
        std::vector<std::uint32_t> words(static_cast<std::size_t>(width * height), word);
        std::vector<unsigned char> jpeg;
        EXPECT_TRUE(LimbScenes::EncodeJpeg(words, width, height, 95, jpeg));
        return jpeg;
    }
    // Why the file gives no plane, and the detail; Missing with "(no error)"
    // when it gives one.
    std::pair<GreyPlane::Problem, std::string> Refusal(const std::string& path)
    {
        GreyPlane::Plane plane;
        try {
            GreyPlane::DecodeJpegFile(path, plane);
        } catch (const GreyPlane::PlaneError& error) {
            EXPECT_EQ(plane.Width, 0);
            return { error.Why, error.what() };
        }
        return { GreyPlane::Problem::Missing, "(no error)" };
    }

    std::filesystem::path folder;
};

TEST_F(GreyPlaneJpeg, AFlatGreyFileAtFullSize)
{
    // Mid-grey 128 survives JPEG exactly: every sample is 3 x 4715.
    const std::string path = Write("grey.jpg", FlatJpeg(37, 21, Word(128, 128, 128)));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(path, plane);
    ASSERT_EQ(plane.Width, 37);
    ASSERT_EQ(plane.Height, 21);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::AllChannels);
    for (std::uint16_t sample : plane.Samples)
        ASSERT_EQ(sample, 3 * 4715);
}

TEST_F(GreyPlaneJpeg, AGeneratedSunIsFittedFromItsFile)
{
    LimbScenes::Scene scene;
    scene.Width = scene.Height = 320;
    scene.Suns = { { 160.25, 158.75, 120 } };
    scene.Whole = true;
    scene.Jpeg = false;
    scene.Exposure = 0.6;
    scene.Gains = { 0.5, 0.9, 2.0 }; // red burnt out over the disc
    std::vector<std::uint32_t> words;
    LimbScenes::Render(scene, words);
    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(LimbScenes::EncodeJpeg(words, 320, 320, 75, jpeg));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(Write("sun.jpg", jpeg), plane);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::Blue | GreyPlane::Green);
    const LimbFit::Fit fit = LimbFit::FitSunLimb(
        { plane.Width, plane.Height, plane.Samples.data() }, { 150, 170, 110 });
    ASSERT_EQ(fit.Result, LimbFit::Outcome::Fitted);
    EXPECT_NEAR(fit.Fitted.X, 160.25, 0.05);
    EXPECT_NEAR(fit.Fitted.Y, 158.75, 0.05);
}

TEST_F(GreyPlaneJpeg, BadFilesAreRefusedWithAReason)
{
    const std::string none = (folder / "none.jpg").string();
    EXPECT_EQ(Refusal(none),
        std::pair(GreyPlane::Problem::Missing, none + ": No such file or directory"));
    EXPECT_EQ(Refusal(folder.string()).first, GreyPlane::Problem::NotRegularFile);
    const std::string text = Write("text.jpg", { 'h', 'e', 'l', 'l', 'o' });
    EXPECT_EQ(Refusal(text).first, GreyPlane::Problem::NotJpeg);
    std::vector<unsigned char> jpeg = FlatJpeg(64, 64, Word(90, 120, 30));
    jpeg.resize(jpeg.size() / 2);
    EXPECT_EQ(Refusal(Write("cut.jpg", jpeg)).first, GreyPlane::Problem::Truncated);
}

TEST_F(GreyPlaneJpeg, AHugeClaimedSizeIsRefusedBeforeAllocating)
{
    // The frame header says 20000 x 20000: 4 x 10^8 pixels, over 2^28.
    std::vector<unsigned char> jpeg = FlatJpeg(16, 16, Word(90, 90, 90));
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            jpeg[i + 5] = 20000 >> 8;
            jpeg[i + 6] = 20000 & 0xff;
            jpeg[i + 7] = 20000 >> 8;
            jpeg[i + 8] = 20000 & 0xff;
            break;
        }
    const std::string path = Write("huge.jpg", jpeg);
    EXPECT_EQ(
        Refusal(path), std::pair(GreyPlane::Problem::TooLarge, path + ": 20000 x 20000 pixels"));
}

} // namespace
