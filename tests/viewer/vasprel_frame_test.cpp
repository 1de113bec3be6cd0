// The frame container: its block layout, its index errors and its pixel copy, for 16- and 32-bit
// pixels.
#include "viewer/core/vasprel_frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

namespace kestrom {
namespace {

// The sanitizers' allocators end the program on an impossible size instead of failing it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedAllocator = true;
#elif defined(__has_feature)
constexpr bool kSanitizedAllocator =
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitizedAllocator = false;
#endif

template <typename T>
class FrameLayout : public ::testing::Test {};
using PixelTypes = ::testing::Types<std::int16_t, std::int32_t>;
TYPED_TEST_SUITE(FrameLayout, PixelTypes);

TYPED_TEST(FrameLayout, HeaderAndPixelsSitAtTheirOffsetsInABlockJustLargeEnough) {
    struct Size {
        std::int32_t rows, columns;
    };
    for (Size s : {Size{124, 124}, Size{3, 5}, Size{1, 1}, Size{0, 0}}) {
        SCOPED_TRACE(std::to_string(s.rows) + " x " + std::to_string(s.columns));
        TVasprelFrame<TypeParam> frame(s.rows, s.columns);
        ASSERT_TRUE(frame.allocated());
        const auto* header = reinterpret_cast<const std::uint8_t*>(frame.GetHeader());
        const auto* data = reinterpret_cast<const std::uint8_t*>(frame.data());
        EXPECT_EQ(data - header, 2048);
        const std::size_t front = sizeof(TypeParam) == 2 ? 1056 : 528;
        EXPECT_EQ(frame.blockSize(),
                  (static_cast<std::size_t>(s.rows * s.columns) + front) * sizeof(TypeParam));
        EXPECT_EQ(frame.rows(), s.rows);
        EXPECT_EQ(frame.columns(), s.columns);
    }
}

TYPED_TEST(FrameLayout, ANewHeaderHoldsTheVersionAndSizeAndZeroesElsewhere) {
    TVasprelFrame<TypeParam> frame(124, 100);
    const VasprelHeader& h = *frame.GetHeader();
    EXPECT_STREQ(h.Version, "h2.90");
    EXPECT_EQ(h.Height, 124);
    EXPECT_EQ(h.Width, 100);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&h);
    for (std::size_t i = 24; i < sizeof h; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
    for (std::size_t i = 6; i < 8; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TYPED_TEST(FrameLayout, ASizeThatCannotBeHeldLeavesTheFrameEmptyWithoutThrowing) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Size {
        std::int32_t rows, columns;
    };
    std::vector<Size> sizes{{-1, 124}, {124, -1}, {kMax, -kMax}};
    // 32-bit pixels of this size need a block larger than memory can be indexed (16-bit ones:
    // FrameMemory below).
    if (sizeof(TypeParam) == 4) sizes.push_back({kMax, kMax});
    for (Size s : sizes) {
        SCOPED_TRACE(std::to_string(s.rows) + " x " + std::to_string(s.columns));
        std::unique_ptr<TVasprelFrame<TypeParam>> frame;
        ASSERT_NO_THROW(frame = std::make_unique<TVasprelFrame<TypeParam>>(s.rows, s.columns));
        EXPECT_FALSE(frame->allocated());
        EXPECT_EQ(frame->GetHeader(), nullptr);
        EXPECT_EQ(frame->data(), nullptr);
        EXPECT_THROW(frame->Row(0), AccessViolation);
        EXPECT_THROW(frame->Pixel(0, 0), AccessViolation);
        std::int16_t source[4] = {};
        frame->CopyPixels(source);  // nothing to copy into, and no crash
    }
}

TYPED_TEST(FrameLayout, RowsAndPixelsAreRowByRowFromTheCopiedValues) {
    TVasprelFrame<TypeParam> frame(3, 4);
    std::vector<std::int16_t> source(12);
    std::iota(source.begin(), source.end(), -6);
    source[11] = -32768;
    frame.CopyPixels(source.data());
    EXPECT_EQ(frame.Pixel(0, 0), -6);
    EXPECT_EQ(frame.Pixel(1, 2), 0);
    EXPECT_EQ(frame.Pixel(2, 3), -32768);  // widened by value in a 32-bit frame
    EXPECT_EQ(frame.Row(1), frame.data() + 4);
    EXPECT_EQ(frame.Row(2)[1], 3);
}

// Each index just outside the header's Height or Width, and one the header allows but the block
// does not hold (a header loaded with a larger size).
TYPED_TEST(FrameLayout, IndexesOutsideTheFrameRaiseTheAccessViolationWithItsText) {
    TVasprelFrame<TypeParam> frame(3, 4);
    struct Case {
        std::int32_t row, column;
    };
    for (Case c : {Case{-1, 0}, Case{3, 0}, Case{0, -1}, Case{0, 4},
                   Case{std::numeric_limits<std::int32_t>::min(), 0}}) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column));
        try {
            frame.Pixel(c.row, c.column);
            ADD_FAILURE() << "no exception";
        } catch (const AccessViolation& e) {
            EXPECT_STREQ(e.what(), "Invalid x,y index");
        }
    }
    for (std::int32_t y : {-1, 3, std::numeric_limits<std::int32_t>::max()}) {
        SCOPED_TRACE(y);
        try {
            frame.Row(y);
            ADD_FAILURE() << "no exception";
        } catch (const AccessViolation& e) {
            EXPECT_STREQ(e.what(), "Invalid y index");
        }
    }
    EXPECT_NO_THROW(frame.Pixel(2, 3));
    EXPECT_NO_THROW(frame.Row(2));

    frame.GetHeader()->Height = 10;
    frame.GetHeader()->Width = 10;
    EXPECT_THROW(frame.Row(3), AccessViolation);
    EXPECT_THROW(frame.Row(1), AccessViolation);  // 10 pixels from 10 on run past the 12 held
    EXPECT_THROW(frame.Pixel(1, 5), AccessViolation);
    EXPECT_NO_THROW(frame.Pixel(0, 3));
}

TEST(FrameMemory, AFrameLargerThanTheMemoryIsLeftEmptyWithoutThrowing) {
    if (kSanitizedAllocator)
        GTEST_SKIP()
            << "the sanitizer's allocator ends the program on a request this large instead of "
               "failing it; the ordinary build runs this test";
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    std::unique_ptr<TVasprelFrame<std::int16_t>> frame;
    ASSERT_NO_THROW(frame = std::make_unique<TVasprelFrame<std::int16_t>>(kMax, kMax));
    EXPECT_FALSE(frame->allocated());
    EXPECT_EQ(frame->GetHeader(), nullptr);
    EXPECT_EQ(frame->data(), nullptr);
}

TEST(FrameCopy, CopiesHeightTimesWidthValuesAndNeverMoreThanTheBlockHolds) {
    TVasprelFrame<std::int16_t> frame(2, 2);
    std::vector<std::int16_t> source(100, 7);
    frame.GetHeader()->Height = 10;  // as a header loaded from a file of another size
    frame.GetHeader()->Width = 10;
    frame.CopyPixels(source.data());  // ASan would see a write past the block
    for (std::int32_t i = 0; i < 4; ++i) EXPECT_EQ(frame.data()[i], 7);

    TVasprelFrame<std::int16_t> smaller(2, 2);
    smaller.GetHeader()->Height = 1;  // the header asks for the first row only
    smaller.CopyPixels(source.data());
    EXPECT_EQ(smaller.data()[1], 7);
    EXPECT_EQ(smaller.data()[2], 0);
}

}  // namespace
}  // namespace kestrom
