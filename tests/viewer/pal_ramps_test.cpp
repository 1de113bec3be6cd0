// The ramp tables: they pass through every colour they must, and step evenly to the eye between.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "viewer/core/pal_tables.h"
#include "viewer/core/palette_oklab.h"

namespace kestrom {
namespace {

struct Anchor {
    int entry;
    std::uint32_t rrggbb;
};

struct RampCase {
    const char* name;
    const RampTable& ramp;
    std::vector<Anchor> anchors;   // entry 0 first
};

std::vector<RampCase> ramps() {
    return {
        {"colour", colourRamp(),
         {{0, 0x404040}, {1, 0x28003C}, {8, 0x730073}, {16, 0xDC0096}, {20, 0xBE00FF},
          {27, 0x0000FF}, {32, 0x0000CD}, {44, 0x009BFF}, {50, 0x00F5FF}, {56, 0x00FF00},
          {67, 0x00BE00}, {85, 0xFFFF00}, {106, 0xFF8000}, {127, 0xFF0000}, {128, 0xFFFFFF}}},
        {"grey", greyRamp(),
         {{0, 0x4040FF}, {1, 0x000000}, {2, 0x080808}, {3, 0x0D0D0D}, {10, 0x262626},
          {16, 0x373737}, {32, 0x5D5D5D}, {48, 0x7D7D7D}, {64, 0x9A9A9A}, {80, 0xB5B5B5},
          {96, 0xCFCFCF}, {112, 0xE7E7E7}, {128, 0xFFFFFF}}},
        {"purple", purpleRamp(),
         {{0, 0x090000}, {10, 0x7D007D}, {21, 0xFD00FD}, {22, 0xFF03F9}, {44, 0xFF7F41},
          {64, 0xFFBA22}, {87, 0xFFFE00}, {88, 0xFFFF04}, {107, 0xFFFF81}, {127, 0xFFFFFF}}},
        {"blue", blueRamp(),
         {{0, 0x000000}, {1, 0x000409}, {10, 0x001B36}, {32, 0x0052A4}, {50, 0x007FFE},
          {51, 0x047DFA}, {64, 0x5E50A0}, {87, 0xFD0001}, {88, 0xFF0600}, {100, 0xFF8200},
          {112, 0xFFFD00}, {113, 0xFFFF0C}, {127, 0xFFFFFF}}},
    };
}

TEST(Ramps, PassThroughEveryAnchorWithFlagsFour) {
    for (const RampCase& r : ramps()) {
        for (const Anchor& a : r.anchors)
            EXPECT_EQ(r.ramp[static_cast<std::size_t>(a.entry)], hexEntry(a.rrggbb, kNoCollapse))
                << r.name << " entry " << a.entry;
    }
}

TEST(Ramps, TopEntryOfPurpleAndBlueIsBlackWithFlagsZeroAndTheRestFlagsFour) {
    for (const RampCase& r : ramps()) {
        bool blackTop = std::string(r.name) == "purple" || std::string(r.name) == "blue";
        for (int k = 0; k < kRampTableEntries; ++k) {
            PaletteEntry e = r.ramp[static_cast<std::size_t>(k)];
            if (blackTop && k == 128)
                EXPECT_EQ(e, hexEntry(0, 0)) << r.name;
            else
                EXPECT_EQ(e.flags, kNoCollapse) << r.name << " entry " << k;
        }
    }
}

TEST(Ramps, GreyRisesWithEveryEntryAndStaysGrey) {
    const RampTable& g = greyRamp();
    for (int k = 2; k < kRampTableEntries; ++k) {
        EXPECT_GT(g[k].red, g[k - 1].red) << "entry " << k;
        EXPECT_TRUE(g[k].red == g[k].green && g[k].green == g[k].blue) << "entry " << k;
    }
}

// Between two anchors the entries lie evenly apart in OKLab: no step much larger than another,
// so no band looks wider or harder than its neighbours.
TEST(Ramps, StepEvenlyBetweenAnchors) {
    for (const RampCase& r : ramps()) {
        if (std::string(r.name) == "grey") continue;   // its own gamma curve
        for (std::size_t i = 1; i + 1 < r.anchors.size(); ++i) {
            int from = r.anchors[i].entry, to = r.anchors[i + 1].entry;
            if (to - from < 4) continue;
            std::vector<double> steps;
            for (int k = from; k < to; ++k)
                steps.push_back(oklabDistance(r.ramp[static_cast<std::size_t>(k)],
                                              r.ramp[static_cast<std::size_t>(k + 1)]));
            auto [low, high] = std::minmax_element(steps.begin(), steps.end());
            double mean = oklabDistance(r.ramp[static_cast<std::size_t>(from)],
                                        r.ramp[static_cast<std::size_t>(to)]) /
                          (to - from);
            EXPECT_LT(*high, 1.5 * mean + 0.004) << r.name << " entries " << from << ".." << to;
            EXPECT_GT(*low, 0.5 * mean - 0.004) << r.name << " entries " << from << ".." << to;
        }
    }
}

}  // namespace
}  // namespace kestrom
