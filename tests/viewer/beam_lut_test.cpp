// The colour lookup table and the colour bar: which palette entry a camera count shows in, and
// the numbers the bar writes in those entries.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "viewer/core/beam_lut.h"
#include "viewer/core/color_bar.h"

namespace kestrom {
namespace {

struct LutCase {
    const char* what;
    int scale;
    std::int32_t base;  // counts
    std::int32_t ac;
    int value;  // 15-bit pixel value (two per count for 14 bits)
    int entry;
};

class LutEntries : public ::testing::TestWithParam<LutCase> {};

TEST_P(LutEntries, PixelShowsInItsEntry) {
    const LutCase& c = GetParam();
    BeamLut lut;
    lut.Make(c.scale, c.base, 14, c.ac);
    EXPECT_EQ(lut.pixelEntry(static_cast<std::int16_t>(c.value)), c.entry) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LutEntries,
    ::testing::Values(
        // 1X, base 0: counts 0..127 (values 0..255) in the first ramp entry, 16128 counts on
        // in saturation.
        LutCase{"count 0", 0, 0, 0, 0, 11}, LutCase{"count 127", 0, 0, 0, 255, 11},
        LutCase{"count 128", 0, 0, 0, 256, 12}, LutCase{"count 16127", 0, 0, 0, 32255, 136},
        LutCase{"count 16128", 0, 0, 0, 32256, 139}, LutCase{"top value", 0, 0, 0, 32767, 139},
        LutCase{"negative", 0, 0, 0, -1, 10}, LutCase{"most negative", 0, 0, 0, -32768, 10},
        // The base moves the band: below it entry 10.
        LutCase{"below base", 0, 1024, 0, 2047, 10}, LutCase{"at base", 0, 1024, 0, 2048, 11},
        // 2X: the band is 8192 counts; above it entry 140 until saturation.
        LutCase{"2X band top", 1, 0, 0, 16383, 138}, LutCase{"2X above", 1, 0, 0, 16384, 140},
        LutCase{"2X saturated", 1, 0, 0, 32256, 139},
        // 32X: 512 counts of band, one ramp entry per 4 counts.
        LutCase{"32X count 3", 5, 0, 0, 7, 11}, LutCase{"32X count 4", 5, 0, 0, 8, 12},
        LutCase{"32X count 511", 5, 0, 0, 1023, 138}, LutCase{"32X count 512", 5, 0, 0, 1024, 140},
        // The AC word lowers the saturation level by its counts.
        LutCase{"AC lowers saturation", 0, 0, 256, 31743, 134},
        LutCase{"AC saturation", 0, 0, 256, 31744, 139}));

// An odd start of the band gives its first index alone the first entry and its last index 139.
TEST(BeamLut, OddBandStartPairsFromTheNextIndex) {
    BeamLut lut;
    lut.Make(5, 2, 14, 0);  // the band starts at index 1
    EXPECT_EQ(lut[0], 10);
    EXPECT_EQ(lut[1], 11);
    EXPECT_EQ(lut[2], 12);
    EXPECT_EQ(lut[3], 12);
    EXPECT_EQ(lut[256], 139);
    EXPECT_EQ(lut[257], 140);
}

// A header with a nonsense number of bits neither crashes nor leaves the table unbuilt.
TEST(BeamLut, HeaderBitsOutsideTheCameraRangeAreKeptToIt) {
    for (std::int32_t bits : {-5, 0, 7, 16, 1000}) {
        BeamLut lut;
        lut.Make(0, 0, bits, 0);
        EXPECT_EQ(lut.pixelEntry(-1), 10) << bits;
        EXPECT_GE(lut.pixelEntry(32767), 11) << bits;
    }
}

TEST(BeamLut, FillMapsEveryPixel) {
    BeamLut lut;
    lut.Make(0, 0, 14, 0);
    const std::vector<std::int16_t> pixels{-5, 0, 256, 32767};
    std::vector<std::uint8_t> out(pixels.size());
    lut.fill(pixels.data(), pixels.size(), out.data());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{10, 11, 12, 139}));
}

using Bar = std::vector<ColorBarNumber>;

TEST(ColorBar, NumbersAtEachScale) {
    struct Case {
        int scale;
        std::int32_t base, ac;
        Bar expected;
    };
    const Case cases[] = {
        // 1X: the two saturation numbers, then every sixteenth below the top from the base.
        {0, 0, 0, {{16383, 139}, {16128, 139}, {15360, 131}, {14336, 123}, {13312, 115},
                   {12288, 107}, {11264, 99}, {10240, 91}, {9216, 83}, {8192, 75}, {7168, 67},
                   {6144, 59}, {5120, 51}, {4096, 43}, {3072, 35}, {2048, 27}, {1024, 19},
                   {0, 11}}},
        // 2X from 0: the band's top in 138, no saturation number.
        {1, 0, 0, {{8191, 138}, {7680, 131}, {7168, 123}, {6656, 115}, {6144, 107}, {5632, 99},
                   {5120, 91}, {4608, 83}, {4096, 75}, {3584, 67}, {3072, 59}, {2560, 51},
                   {2048, 43}, {1536, 35}, {1024, 27}, {512, 19}, {0, 11}}},
        // 2X from 12000 runs into saturation: the top value, then the saturation level.
        {1, 12000, 0, {{16383, 139}, {16128, 139}, {16096, 75}, {15584, 67}, {15072, 59},
                       {14560, 51}, {14048, 43}, {13536, 35}, {13024, 27}, {12512, 19},
                       {12000, 11}}},
    };
    for (const Case& c : cases) {
        const Bar bar = colorBarNumbers(c.scale, c.base, 14, c.ac);
        EXPECT_EQ(bar, c.expected) << "scale " << c.scale << " base " << c.base;
    }
}

TEST(ColorBar, WidthInCharacters) {
    EXPECT_EQ(colorBarCharacters(14), 6);  // 1, 10, 100, 1000, 10000 below 16384
    EXPECT_EQ(colorBarCharacters(8), 4);
    EXPECT_EQ(colorBarCharacters(-3), 2);  // nonsense bits are kept to one
}

}  // namespace
}  // namespace kestrom
