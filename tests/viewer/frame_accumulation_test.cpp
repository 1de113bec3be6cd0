// The view window's handling of received frames: orientation, averaging and summing.
#include "viewer/core/frame_accumulation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kestrom {
namespace {

FrameBlockBytes blockOf(std::int16_t value) {
    FrameBlockBytes block{};
    std::int16_t* p = framePixels(block);
    for (std::size_t i = 0; i < frame_block::kPixelCount; ++i) p[i] = value;
    return block;
}

TEST(ReceiveFrameBlock, WithoutALensTheFirstRowGoesToTheBottom) {
    FrameBlockBytes block{};
    std::int16_t* p = framePixels(block);
    for (int r = 0; r < 124; ++r)
        for (int c = 0; c < 124; ++c) p[r * 124 + c] = static_cast<std::int16_t>(r * 200 + c);
    block[frame_block::kConsoleBlockOffset] = 0xAB;
    block[frame_block::kSize - 1] = 0xCD;
    FrameBlockBytes buffer{};
    receiveFrameBlock(block.data(), buffer, false);
    EXPECT_EQ(framePixels(buffer)[123 * 124 + 5], 5);
    EXPECT_EQ(framePixels(buffer)[0 * 124 + 7], 123 * 200 + 7);
    EXPECT_EQ(buffer[frame_block::kConsoleBlockOffset], 0xAB);
    EXPECT_EQ(buffer[frame_block::kSize - 1], 0xCD);
    receiveFrameBlock(block.data(), buffer, true);
    EXPECT_EQ(buffer, block);
}

TEST(ReceiveFrameBlock, TheAcWordIsReadMostSignificantByteFirst) {
    FrameBlockBytes block{};
    const std::uint8_t ac[] = {0x00, 0x00, 0x01, 0x02};
    std::memcpy(block.data() + frame_block::kConsoleBlockOffset + 84, ac, 4);
    EXPECT_EQ(trailerAc(block), 258);
    block[frame_block::kConsoleBlockOffset + 84] = 0xFF;
    EXPECT_LT(trailerAc(block), 0);
}

// Which frames are shown, and with what, for each target.
TEST(FrameAccumulator, ShowsTheAverageOrSumOfTheFramesBefore) {
    struct Case {
        const char* what;
        bool sum;
        int n;
        std::vector<std::int16_t> frames;  // every pixel of frame k holds frames[k]
        std::vector<std::int16_t> shown;   // what is shown, in order
    };
    const Case cases[] = {
        {"no target", false, 0, {5, 6}, {5, 6}},
        {"average of 1 shows every frame", false, 1, {5, 6}, {5, 6}},
        {"average of 3 shows frames 4 and 8", false, 3, {3, 4, 6, 99, -1, -2, -4, 99, 7},
         {4, -2}},
        {"a sum beyond the largest value saturates", true, 2, {20000, 20000, 1}, {32767}},
        {"a sum below the smallest value saturates", true, 2, {-20000, -20000, 1}, {-32768}},
        {"a sum within the range is exact", true, 3, {10000, -3000, 20000, 1}, {27000}},
        {"sum of 1 shows every frame", true, 1, {7, 8}, {7, 8}},
    };
    for (const Case& c : cases) {
        FrameAccumulator accumulator;
        if (c.sum)
            accumulator.setSum(c.n);
        else
            accumulator.setAverage(c.n);
        std::vector<std::int16_t> shown;
        for (std::int16_t value : c.frames) {
            FrameBlockBytes block = blockOf(value);
            if (accumulator.add(framePixels(block)) != FrameAccumulator::Step::Accumulated) {
                shown.push_back(framePixels(block)[0]);
                EXPECT_EQ(framePixels(block)[frame_block::kPixelCount - 1], shown.back()) << c.what;
            }
        }
        EXPECT_EQ(shown, c.shown) << c.what;
    }
}

// Counts are taken between 2 and 256: fewer show every frame, more are taken as 256, so that no
// sum of 32-bit pixels can overflow however many frames were asked for.
TEST(FrameAccumulator, CountsAreBoundedAt256) {
    const std::pair<int, int> cases[] = {{1, 0}, {2, 2}, {256, 256}, {257, 256}, {999, 256}, {1 << 30, 256}};
    for (auto [asked, target] : cases) {
        FrameAccumulator accumulator;
        accumulator.setAverage(asked);
        EXPECT_EQ(accumulator.averageTarget(), target) << asked;
        accumulator.setSum(asked);
        EXPECT_EQ(accumulator.sumTarget(), target) << asked;
    }
}

TEST(FrameAccumulator, ANewModeStartsAfresh) {
    FrameAccumulator accumulator;
    accumulator.setAverage(2);
    FrameBlockBytes block = blockOf(100);
    accumulator.add(framePixels(block));
    accumulator.setAverage(2);  // the first frame's sum is gone
    for (std::int16_t v : {std::int16_t{10}, std::int16_t{20}}) {
        block = blockOf(v);
        EXPECT_EQ(accumulator.add(framePixels(block)), FrameAccumulator::Step::Accumulated);
    }
    block = blockOf(0);
    EXPECT_EQ(accumulator.add(framePixels(block)), FrameAccumulator::Step::Replaced);
    EXPECT_EQ(framePixels(block)[0], 15);
    accumulator.reset();
    EXPECT_EQ(accumulator.add(framePixels(block)), FrameAccumulator::Step::Shown);
}

}  // namespace
}  // namespace kestrom
