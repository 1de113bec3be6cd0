// The gain map: its calculation from summed frames, the software correction, typed entries, the
// camera's row order and the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "maintenance/core/gain_calculation.h"
#include "maintenance/core/gain_map.h"

namespace kestrom {
namespace {

namespace fs = std::filesystem;

TEST(GainCalculation, EachPixelGetsTheMeanOverItsSumCappedAt199) {
    // Pixel 0 sums to half the mean, 1 to the mean, 2 to 0, 3 to the opposite sign, 4 to 4x the mean.
    std::vector<float> sums(kMapPixels, 1000.0f);
    sums[0] = 500.0f;
    sums[1] = 1000.0f;
    sums[2] = 0.0f;
    sums[3] = -1000.0f;
    sums[4] = 4000.0f;
    // Those five take 500 from a total of 1000 x 15376; one pixel gives it back: the mean is 1000.
    sums[6] = 1500.0f;
    GainMap map;
    GainCalculation::computeMap(sums, map);
    EXPECT_EQ(map.entry(0), 509);   // 2.0 capped at 1.99: 0x01FD
    EXPECT_EQ(map.entry(1), 256);
    EXPECT_EQ(map.entry(2), 256);   // nothing summed: 1.0
    EXPECT_EQ(map.entry(3), 0);     // a negative gain stays 0
    EXPECT_EQ(map.entry(4), 64);    // 0.25
    EXPECT_EQ(map.entry(100), 256);
}

TEST(GainCalculation, SixtyFourFramesMakeTheMapAndTheSumsStartAgain) {
    GainCalculation calculation;
    GainMap map;
    UtilityImage image;
    image.fill(1000);
    image[7] = 500;
    calculation.add(image, map);  // not running: ignored
    calculation.start();
    for (int i = 0; i < GainCalculation::kFrames - 1; ++i) calculation.add(image, map);
    EXPECT_TRUE(calculation.running());
    EXPECT_FALSE(calculation.takeCompletion());
    EXPECT_EQ(map.entry(7), 256);  // untouched until the last frame
    calculation.add(image, map);
    EXPECT_FALSE(calculation.running());
    EXPECT_TRUE(calculation.takeCompletion());
    EXPECT_FALSE(calculation.takeCompletion());
    // mean = (15375 x 1000 + 500) / 15376 x 64 frames; the pixel at 500 gets about 2, capped.
    EXPECT_EQ(map.entry(7), 509);
    EXPECT_EQ(map.entry(0), 255);  // 0.99997 truncated
    // A second calculation starts from zero sums.
    calculation.start();
    image.fill(1000);
    for (int i = 0; i < GainCalculation::kFrames; ++i) calculation.add(image, map);
    EXPECT_EQ(map.entry(7), 256);
}

TEST(SoftwareGain, OnlyGainsBetweenZeroAndTwoOtherThanOneChangeTheValueTowardZero) {
    struct Case {
        std::int16_t entry;
        int value, expected;
    } cases[] = {
        {0x0080, -7, -3}, {0x0080, 7, 3},  {0x0180, 101, 151}, {0x01FF, -100, -199},
        {0x0100, -7, -7}, {0x0200, -7, -7}, {0x0300, -7, -7},  {0, -7, -7},
        {-256, -7, -7},
        // Beyond 16 bits the value saturates: a bright pixel never turns dark.
        {0x012B, 32766, 32767}, {0x01FD, -20000, -32768},
    };
    for (const Case& c : cases) {
        GainMap map;
        map.setEntry(3, c.entry);
        UtilityImage image;
        image.fill(0);
        image[3] = static_cast<std::int16_t>(c.value);
        correctGainInSoftware(image, map);
        EXPECT_EQ(image[3], c.expected) << c.entry << " " << c.value;
    }
}

TEST(GainEntries, TypedGainsAreTruncatedTimes256AndKeepTheirLow16Bits) {
    EXPECT_EQ(gainEntryFromTyped(1.5), 384);
    EXPECT_EQ(gainEntryFromTyped(0.999), 255);
    EXPECT_EQ(gainEntryFromTyped(-0.5), -128);
    EXPECT_EQ(gainEntryFromTyped(200.0), static_cast<std::int16_t>(51200));
    EXPECT_EQ(gainEntryFromTyped(256.0), 0);
    EXPECT_EQ(gainEntryFromTyped(1e300), 0);  // a multiple of 65536 far beyond any integer type
}

TEST(GainMapLayout, EntriesAreBigEndianAndTheCameraHoldsTheRowsTheOtherWayUp) {
    GainMap map;
    EXPECT_EQ(map.bytes()[0], 0x01);
    EXPECT_EQ(map.bytes()[1], 0x00);
    map.setEntry(pixelIndex(5, 0), 0x1234);
    map.setRow(2, 300);
    map.setColumn(9, 200);
    EXPECT_EQ(map.bytes()[10], 0x12);
    EXPECT_EQ(map.bytes()[11], 0x34);
    EXPECT_FALSE(map.rowUniform(2));  // column 9 crosses it
    EXPECT_TRUE(map.columnUniform(9));
    EXPECT_NEAR(map.rowMean(2), (123 * 300 + 200) / 256.0 / 124, 1e-12);

    std::array<std::uint8_t, kGainMapBytes> camera{};
    map.toCamera(camera.data());
    // Display row 0 is camera row 123.
    EXPECT_EQ(camera[123 * 248 + 10], 0x12);
    GainMap back;
    back.fromCamera(camera.data());
    EXPECT_EQ(back.bytes(), map.bytes());
}

class GainFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("kestrom-gain-" + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string write(const std::string& name, std::size_t size, std::uint8_t byte) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << std::string(size, static_cast<char>(byte));
        return path;
    }
    fs::path folder;
};

TEST_F(GainFiles, ShortAndLongFilesLoadWhatTheMapHoldsAndTheRestStaysZero) {
    struct Case {
        std::size_t size, read;
    } cases[] = {{30000, 30000}, {40000, 30752}, {30752, 30752}, {0, 0}, {1, 1}};
    for (const Case& c : cases) {
        GainMap map;
        const GainFileLoad load = loadGainMapFile(write("map.gcp", c.size, 0x02), map);
        EXPECT_TRUE(load.opened);
        EXPECT_EQ(load.bytesRead, c.read) << c.size;
        for (std::size_t i = 0; i < kGainMapBytes; ++i)
            if (map.bytes()[i] != (i < c.read ? 0x02 : 0x00)) {
                ADD_FAILURE() << "byte " << i << " of a " << c.size << "-byte file";
                break;
            }
    }
}

TEST_F(GainFiles, WhatIsNoFileIsAFileErrorAndASavedDefaultMapIsAllOneZero) {
    GainMap map;
    EXPECT_FALSE(loadGainMapFile((folder / "absent.gcp").string(), map).opened);
    EXPECT_FALSE(loadGainMapFile(folder.string(), map).opened);

    GainMap unity;
    const std::string path = (folder / "unity.gcc").string();
    EXPECT_EQ(saveGainMapFile(path, unity), std::nullopt);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), kGainMapBytes);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        ASSERT_EQ(bytes[i], 0x01) << i;
        ASSERT_EQ(bytes[i + 1], 0x00) << i;
    }
    // A folder that is not there: reported, nothing written.
    EXPECT_NE(saveGainMapFile((folder / "gone" / "map.gcc").string(), unity), std::nullopt);
}

}  // namespace
}  // namespace kestrom
