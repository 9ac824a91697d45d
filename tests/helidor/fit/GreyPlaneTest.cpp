// SPDX-License-Identifier: GPL-3.0-or-later
// The grey plane: the sRGB curve undone, clipped channels dropped, JPEG files
// decoded at full size, bad files refused with a message.
#include "GreyPlane.h"
#include "LimbFit.h"
#include "LimbScenes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace {

std::uint32_t Word(unsigned red, unsigned green, unsigned blue)
{
    return 0xff000000u | red << 16 | green << 8 | blue;
}

// A JPEG of flat 8 x 8 blocks, written sample by sample: quality 100 (every
// quantiser 1) and no chroma subsampling, so that each block decodes to
// exactly its samples, whatever the blocks around it. components: 1 (grey),
// 3 (Y, Cb, Cr) or 4 (C, M, Y, K with Adobe's marker: 255 is no ink).
// subsampled: chroma in 2 x 2 pixels, as cameras write (exact only where
// the chroma is the same everywhere).
std::vector<unsigned char> BlockJpeg(int width, int height, int components,
    const std::function<std::array<int, 4>(int blockX, int blockY)>& block, bool subsampled = false)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_YCbCr : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    for (int c = 0; c < components; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor
            = subsampled && c == 0 ? 2 : 1;
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width * components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                row[static_cast<std::size_t>(x * components + c)]
                    = static_cast<unsigned char>(block(x / 8, y / 8)[static_cast<std::size_t>(c)]);
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<unsigned char> jpeg(buffer, buffer + size);
    std::free(buffer);
    return jpeg;
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
    EXPECT_EQ(Convert(Word(250, 10, 10), GreyPlane::AllChannels), FitTypes::SaturatedSample);
    EXPECT_EQ(Convert(Word(10, 10, 250), GreyPlane::AllChannels), FitTypes::SaturatedSample);
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
    std::pair<JpegGuard::Failure, std::string> Refusal(const std::string& path)
    {
        GreyPlane::Plane plane;
        try {
            GreyPlane::DecodeJpegFile(path, plane);
        } catch (const GreyPlane::PlaneError& error) {
            EXPECT_EQ(plane.Width, 0);
            return { error.Refused.Why, error.what() };
        }
        return { JpegGuard::Failure::Missing, "(no error)" };
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

// The blocks' colours, their decoded R G B (Y Cb Cr turned into R G B by
// libjpeg's fixed-point formulas, worked out by hand), and the plane's sample.
struct BlockColour {
    std::array<int, 4> Coded;
    std::uint16_t Sample;
};

// Every pixel of the plane against its block's sample; the first few misses.
::testing::AssertionResult PlaneHoldsBlocks(const GreyPlane::Plane& plane,
    const std::vector<BlockColour>& colours, const std::function<std::size_t(int, int)>& pick)
{
    int misses = 0;
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (int y = 0; y < plane.Height; ++y)
        for (int x = 0; x < plane.Width; ++x) {
            const std::uint16_t want = colours[pick(x / 8, y / 8)].Sample;
            const std::uint16_t got = plane.Samples[static_cast<std::size_t>(y * plane.Width + x)];
            if (got != want && ++misses <= 3)
                result << "(" << x << ", " << y << "): " << got << " instead of " << want << "; ";
        }
    if (misses == 0)
        return ::testing::AssertionSuccess();
    return result << misses << " samples wrong";
}

TEST_F(GreyPlaneJpeg, ColourBlocksWithARedChannelBurntOut)
{
    // A sixth of the blocks have red clipped: red is dropped, green and blue
    // are added, each on the sRGB curve undone and scaled by 65534 / 2.
    const std::vector<BlockColour> colours = {
        { { 10, 128, 128 }, 2 * 99 }, // R G B 10 10 10, dark: 0.00304 linear
        { { 100, 128, 178 }, 1680 + 4176 }, // 170 64 100: G 0.05127, B 0.12744
        { { 200, 128, 228 }, 7193 + 18926 }, // 255 129 200: red clipped, G 0.21953, B 0.57758
        { { 245, 128, 128 }, 2 * 29920 }, // 245 245 245, bright: 0.91310
        { { 255, 128, 128 }, FitTypes::SaturatedSample }, // white: green and blue clipped
        { { 60, 178, 128 }, 792 + 9848 }, // 60 43 149: G 0.02416, B 0.30054
    };
    // Neighbouring block rows differ: a sample one row off shows.
    const auto pick = [](int bx, int by) { return static_cast<std::size_t>((by + 2 * bx) % 6); };
    const std::string path = Write("red.jpg",
        BlockJpeg(32, 48, 3, [&](int bx, int by) { return colours[pick(bx, by)].Coded; }));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(path, plane);
    ASSERT_EQ(plane.Width, 32);
    ASSERT_EQ(plane.Height, 48);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::Green | GreyPlane::Blue);
    EXPECT_TRUE(PlaneHoldsBlocks(plane, colours, pick));
}

TEST_F(GreyPlaneJpeg, RowsClippedOverMoreThanAThousandPixels)
{
    // Rows of 1040 pixels, red clipped in the first 1024 of each: a counter
    // of 10 bits run over a whole row would wrap to 0 and keep red.
    const std::vector<BlockColour> colours = {
        { { 200, 128, 228 }, 7193 + 18926 }, // 255 129 200, as above
        { { 100, 128, 178 }, 1680 + 4176 }, // 170 64 100
    };
    const auto pick = [](int bx, int) { return static_cast<std::size_t>(bx < 128 ? 0 : 1); };
    const std::string path = Write("wide.jpg",
        BlockJpeg(1040, 16, 3, [&](int bx, int by) { return colours[pick(bx, by)].Coded; }));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(path, plane);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::Green | GreyPlane::Blue);
    EXPECT_TRUE(PlaneHoldsBlocks(plane, colours, pick));
}

TEST_F(GreyPlaneJpeg, ColourBlocksWithAllChannelsKept)
{
    // Clipped only where all three are: every channel is added, scaled by 65534 / 3.
    const std::vector<BlockColour> colours = {
        { { 10, 128, 128 }, 3 * 66 },
        { { 100, 128, 178 }, 8781 + 1120 + 2784 }, // 170 64 100: R 0.40198
        { { 245, 128, 128 }, 3 * 19946 }, { { 255, 128, 128 }, FitTypes::SaturatedSample },
        { { 60, 178, 128 }, 987 + 528 + 6565 }, // 60 43 149: R 0.04519
    };
    const auto pick = [](int bx, int by) { return static_cast<std::size_t>((by + bx) % 5); };
    const std::string path = Write("kept.jpg",
        BlockJpeg(40, 40, 3, [&](int bx, int by) { return colours[pick(bx, by)].Coded; }));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(path, plane);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::AllChannels);
    EXPECT_TRUE(PlaneHoldsBlocks(plane, colours, pick));
    // The same plane again: its buffer is reused and every sample rewritten.
    GreyPlane::DecodeJpegFile(path, plane);
    EXPECT_TRUE(PlaneHoldsBlocks(plane, colours, pick));
}

TEST_F(GreyPlaneJpeg, GreyBlocksOfAnOddSize)
{
    // A grey file is three equal channels: 3 x the sample of 65534 / 3.
    const std::vector<BlockColour> colours = {
        { { 10 }, 3 * 66 },
        { { 128 }, 3 * 4715 }, // 0.21586
        { { 249 }, 3 * 20694 }, // 0.94731, the brightest unclipped
        { { 250 }, FitTypes::SaturatedSample },
        { { 255 }, FitTypes::SaturatedSample },
    };
    const auto pick = [](int bx, int by) { return static_cast<std::size_t>((by + bx) % 5); };
    const std::string path = Write("grey.jpg",
        BlockJpeg(37, 41, 1, [&](int bx, int by) { return colours[pick(bx, by)].Coded; }));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(path, plane);
    ASSERT_EQ(plane.Width, 37);
    ASSERT_EQ(plane.Height, 41);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::AllChannels);
    EXPECT_TRUE(PlaneHoldsBlocks(plane, colours, pick));
}

TEST_F(GreyPlaneJpeg, GreyBlocksInASubsampledColourFile)
{
    // Cb and Cr 128 everywhere: the upsampled chroma is exact and each pixel
    // is R = G = B = Y. libjpeg gives such files two rows at a time.
    const std::vector<BlockColour> colours = {
        { { 10, 128, 128 }, 3 * 66 },
        { { 128, 128, 128 }, 3 * 4715 },
        { { 249, 128, 128 }, 3 * 20694 },
        { { 250, 128, 128 }, FitTypes::SaturatedSample },
    };
    const auto pick = [](int bx, int by) { return static_cast<std::size_t>((by + bx) % 4); };
    const std::string path = Write("subsampled.jpg",
        BlockJpeg(
            48, 56, 3, [&](int bx, int by) { return colours[pick(bx, by)].Coded; }, true));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(path, plane);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::AllChannels);
    EXPECT_TRUE(PlaneHoldsBlocks(plane, colours, pick));
}

TEST_F(GreyPlaneJpeg, CmykBlocks)
{
    // R G B = (255 - ink) x (255 - black) / 255, rounded; inks as Adobe stores them.
    const std::vector<BlockColour> colours = {
        { { 200, 100, 50, 255 }, 12617 + 2784 + 697 }, // R G B 200 100 50
        { { 200, 100, 50, 128 }, 2784 + 697 + 212 }, // 100 50 25
        { { 0, 0, 0, 255 }, 0 },
        { { 255, 255, 255, 255 }, FitTypes::SaturatedSample },
    };
    const auto pick = [](int bx, int by) { return static_cast<std::size_t>((by + bx) % 4); };
    const std::string path = Write("cmyk.jpg",
        BlockJpeg(36, 40, 4, [&](int bx, int by) { return colours[pick(bx, by)].Coded; }));
    GreyPlane::Plane plane;
    GreyPlane::DecodeJpegFile(path, plane);
    EXPECT_EQ(plane.KeptChannels, GreyPlane::AllChannels);
    EXPECT_TRUE(PlaneHoldsBlocks(plane, colours, pick));
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
    const FitTypes::Fit fit = LimbFit::FitSunLimb(
        { plane.Width, plane.Height, plane.Samples.data() }, { 150, 170, 110 });
    ASSERT_EQ(fit.Result, FitTypes::Outcome::Fitted);
    EXPECT_NEAR(fit.Fitted.X, 160.25, 0.05);
    EXPECT_NEAR(fit.Fitted.Y, 158.75, 0.05);
}

TEST_F(GreyPlaneJpeg, BadFilesAreRefusedWithAReason)
{
    const std::string none = (folder / "none.jpg").string();
    EXPECT_EQ(Refusal(none),
        std::pair(JpegGuard::Failure::Missing, none + ": No such file or directory"));
    EXPECT_EQ(Refusal(folder.string()).first, JpegGuard::Failure::NotRegularFile);
    const std::string text = Write("text.jpg", { 'h', 'e', 'l', 'l', 'o' });
    EXPECT_EQ(Refusal(text).first, JpegGuard::Failure::NotJpeg);
    std::vector<unsigned char> jpeg = FlatJpeg(64, 64, Word(90, 120, 30));
    jpeg.resize(jpeg.size() / 2);
    EXPECT_EQ(Refusal(Write("cut.jpg", jpeg)).first, JpegGuard::Failure::Truncated);
}

TEST_F(GreyPlaneJpeg, AHugeClaimedSizeIsRefusedBeforeAllocating)
{
    // The frame header says 20000 x 20000: 2500 x 2500 blocks, far more than
    // a file of a few hundred bytes holds at 256 blocks per byte.
    std::vector<unsigned char> jpeg = FlatJpeg(16, 16, Word(90, 90, 90));
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            jpeg[i + 5] = 20000 >> 8;
            jpeg[i + 6] = 20000 & 0xff;
            jpeg[i + 7] = 20000 >> 8;
            jpeg[i + 8] = 20000 & 0xff;
            break;
        }
    ASSERT_LT(jpeg.size(), 1000u);
    const std::string path = Write("huge.jpg", jpeg);
    EXPECT_EQ(Refusal(path),
        std::pair(JpegGuard::Failure::TooLittleData,
            path + ": " + std::to_string(jpeg.size()) + " bytes cannot hold 20000 x 20000 pixels"));
}

} // namespace
