// The bad-pixel list and its marking rules, the camera's map layout, the files, and the repair.
#include <gtest/gtest.h>

#include <sstream>

#include "maintenance/core/bad_pixel_list.h"
#include "maintenance/core/bad_pixel_map.h"
#include "maintenance/core/pixel_repair.h"

namespace kestrom {
namespace {

std::vector<PixPoint> listed(const BadPixelList& list) { return list.toVector(); }

BadPixelList filled(int count) {
    BadPixelList list;
    for (int i = 0; i < count; ++i) list.addFront(i % 124, 1 + i / 124);
    return list;
}

TEST(BadPixelMarking, MarkingAListedPixelMovesItToTheFrontAndKeepsTheCount) {
    BadPixelList list;
    for (auto [x, y] : {std::pair{3, 4}, {5, 6}, {7, 8}}) markWithMouse(list, MarkMode::Pixel, false, x, y);
    const MarkOutcome outcome = markWithMouse(list, MarkMode::Pixel, false, 3, 4);
    EXPECT_FALSE(outcome.limitReached);
    EXPECT_EQ(listed(list), (std::vector<PixPoint>{{3, 4}, {7, 8}, {5, 6}}));
}

TEST(BadPixelMarking, ARowOnAThousandPointsAddsTwentyThreeAndWarnsOnce) {
    BadPixelList list = filled(1000);
    const MarkOutcome outcome = markWithMouse(list, MarkMode::Row, false, 0, 100);
    EXPECT_TRUE(outcome.limitReached);
    EXPECT_EQ(list.size(), 1023);
    for (int i = 0; i < 23; ++i) EXPECT_TRUE(list.contains(i, 100)) << i;
    EXPECT_FALSE(list.contains(23, 100));
    // Full: a single pixel is refused, one that is listed already moves to the front.
    EXPECT_TRUE(markWithMouse(list, MarkMode::Pixel, false, 50, 50).limitReached);
    EXPECT_FALSE(markWithMouse(list, MarkMode::Pixel, false, 5, 100).limitReached);
    EXPECT_EQ(list.points().front(), (PixPoint{5, 100}));
    EXPECT_EQ(list.size(), 1023);
}

TEST(BadPixelMarking, ShiftRemovesThePixelRowOrColumnAndNothingElse) {
    struct Case {
        MarkMode mode;
        int x, y;
        std::vector<PixPoint> left;
    } cases[] = {
        {MarkMode::Pixel, 5, 9, {{9, 9}, {9, 20}, {20, 9}}},
        {MarkMode::Row, 60, 9, {{9, 20}}},
        {MarkMode::Column, 9, 60, {{5, 9}, {20, 9}}},
    };
    for (const Case& c : cases) {
        BadPixelList list;
        for (PixPoint p : std::vector<PixPoint>{{20, 9}, {9, 20}, {9, 9}, {5, 9}}) list.addFront(p.column, p.row);
        markWithMouse(list, c.mode, true, c.x, c.y);
        EXPECT_EQ(listed(list), c.left) << static_cast<int>(c.mode);
    }
}

TEST(BadPixelMarking, MarkingARowOrColumnTakesTheWholeLineOnceAndClicksOffTheImageDoNothing) {
    BadPixelList list;
    list.addFront(4, 7);
    markWithMouse(list, MarkMode::Row, false, 60, 7);
    EXPECT_EQ(list.size(), 124);
    EXPECT_EQ(list.points().front(), (PixPoint{123, 7}));
    markWithMouse(list, MarkMode::Column, false, 4, 60);
    EXPECT_EQ(list.size(), 124 + 123);
    for (auto [x, y] : {std::pair{-1, 5}, {5, 124}, {124, 0}})
        EXPECT_FALSE(markWithMouse(list, MarkMode::Pixel, false, x, y).changed);
    EXPECT_FALSE(list.isGood(-1, 0));
    EXPECT_TRUE(list.isGood(0, 0));
}

std::vector<std::uint8_t> entries(std::initializer_list<std::pair<int, int>> words) {
    std::vector<std::uint8_t> bytes;
    for (auto [a, b] : words)
        for (int w : {a, b}) {
            bytes.push_back(static_cast<std::uint8_t>(w >> 8));
            bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
        }
    return bytes;
}

TEST(CameraBadPixelMap, EntriesAreCameraColumnAndRowPlusOneAndTheZeroEntryEndsTheMap) {
    std::vector<std::uint8_t> buffer(kBadPixelReadSize, 0);
    const auto map = entries({{1, 124}, {124, 1}, {0, 5}, {125, 3}, {0, 0}, {9, 9}});
    std::copy(map.begin(), map.end(), buffer.begin());
    BadPixelList list;
    list.addFront(50, 50);
    decodeCameraBadPixelMap(buffer.data(), buffer.size(), list);
    // Newest first: the last entry read is at the front; (0, 5) and (125, 3) are off the image.
    EXPECT_EQ(listed(list), (std::vector<PixPoint>{{123, 123}, {0, 0}}));

    BadPixelList one;
    one.addFront(123, 0);
    EXPECT_EQ(encodeCameraBadPixelMap(one), entries({{124, 124}, {0, 0}}));
}

TEST(CameraBadPixelMap, AMapReadStopsAfter512Entries) {
    std::vector<std::uint8_t> buffer;
    for (int i = 0; i < 600; ++i) {
        const auto e = entries({{1 + i % 124, 1 + i / 124}});
        buffer.insert(buffer.end(), e.begin(), e.end());
    }
    BadPixelList list;
    decodeCameraBadPixelMap(buffer.data(), buffer.size(), list);
    EXPECT_EQ(list.size(), 512);
}

TEST(CameraBadPixelMap, TheWriteIsSortedByRowWithTheCamerasExchangeSort) {
    BadPixelList list;
    for (PixPoint p : std::vector<PixPoint>{{5, 9}, {1, 2}, {7, 2}}) list.addFront(p.column, p.row);
    int steps = 0;
    EXPECT_EQ(encodeCameraBadPixelMap(list, [&] { ++steps; }), entries({{6, 115}, {2, 122}, {8, 122}, {0, 0}}));
    EXPECT_GT(steps, 0);
}

TEST(CameraBadPixelMap, SixHundredPointsSendTheNewest512) {
    BadPixelList list = filled(600);
    const std::vector<std::uint8_t> buffer = encodeCameraBadPixelMap(list);
    ASSERT_EQ(buffer.size(), 513u * 4);
    BadPixelList sent;
    decodeCameraBadPixelMap(buffer.data(), buffer.size(), sent);
    ASSERT_EQ(sent.size(), 512);
    // The 88 oldest (the first added) stay out.
    for (int i = 0; i < 600; ++i) EXPECT_EQ(sent.contains(i % 124, 1 + i / 124), i >= 88) << i;
}

TEST(BadPixelFiles, SavedLinesReadBackInTheSameOrderAfterASecondSave) {
    BadPixelList list;
    for (PixPoint p : std::vector<PixPoint>{{0, 0}, {123, 5}, {17, 123}}) list.addFront(p.column, p.row);
    const std::string text = encodeBadPixelFile(list);
    EXPECT_EQ(text, "17, 123\r\n123, 5\r\n0, 0\r\n");
    // Each point read goes to the front, so a file reads back in reverse; saved again it is the
    // file's order reversed once more.
    std::istringstream in(text);
    BadPixelList read;
    EXPECT_EQ(readBadPixelFile(in, read, kMaxLoadedPoints), std::nullopt);
    EXPECT_EQ(listed(read), (std::vector<PixPoint>{{0, 0}, {123, 5}, {17, 123}}));
}

TEST(BadPixelFiles, JunkLinesAndPositionsOffTheImageAreSkippedAndAValueThatIsNoNumberEndsTheRead) {
    struct Case {
        std::string text;
        std::vector<PixPoint> points;
        std::optional<std::string> error;
    } cases[] = {
        {"no comma here\n\n3, 4\n", {{3, 4}}, std::nullopt},
        {"124, 5\r\n-1, 5\r\n5, 124\r\n6, 7\r\n", {{6, 7}}, std::nullopt},
        {"3, 4\r\n5, x\r\n7, 8\r\n", {{3, 4}}, "x"},
        {"3, 4\nabc, 9\n", {{3, 4}}, "abc"},
        // The row follows the comma with the space this program writes, or without it.
        {"12,34\r\n7,8\r\n", {{7, 8}, {12, 34}}, std::nullopt},
        {"5,  7\n", {{5, 7}}, std::nullopt},
        {"5,\n", {}, ""},
        {"3, 4\n3, 4\n", {{3, 4}, {3, 4}}, std::nullopt},
        {"99999999999, 1\n", {}, "99999999999"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        BadPixelList list;
        EXPECT_EQ(readBadPixelFile(in, list, kMaxLoadedPoints), c.error) << c.text;
        EXPECT_EQ(listed(list), c.points) << c.text;
    }
}

TEST(BadPixelFiles, AHugeFileStopsAtTheDetectorsPixelCountAndAHugeLineIsNotHeldWhole) {
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "1, 2\n";
    std::istringstream in(text);
    BadPixelList list;
    EXPECT_EQ(readBadPixelFile(in, list, kMaxLoadedPoints), std::nullopt);
    EXPECT_EQ(list.size(), static_cast<int>(kMaxLoadedPoints));
    // One point removes all its repeats.
    EXPECT_EQ(list.remove(1, 2), static_cast<int>(kMaxLoadedPoints));
    EXPECT_TRUE(list.empty());

    // Only the start of a line longer than any real one is looked at (here: no comma in it), and
    // the lines after it are read.
    std::istringstream line(std::string(3 << 20, '7') + ", 1\n4, 5\n");
    BadPixelList other;
    EXPECT_EQ(readBadPixelFile(line, other, kMaxLoadedPoints), std::nullopt);
    EXPECT_EQ(listed(other), (std::vector<PixPoint>{{4, 5}}));
}

UtilityImage imageOf(int value) {
    UtilityImage image;
    image.fill(static_cast<std::int16_t>(value));
    return image;
}

void put(UtilityImage& image, int x, int y, int value) {
    image[static_cast<std::size_t>(pixelIndex(x, y))] = static_cast<std::int16_t>(value);
}

int at(const UtilityImage& image, int x, int y) { return image[static_cast<std::size_t>(pixelIndex(x, y))]; }

TEST(PixelRepair, FourGoodNeighboursWeighThePairThatDiffersLessMore) {
    struct Case {
        int l, r, u, d, expected;
    } cases[] = {
        {100, 100, 200, 300, 100},  // the row pair agrees: it alone counts
        {100, 300, 200, 200, 200},  // the column pair agrees
        {100, 200, 100, 400, 175},  // (300 x 300 + 500 x 100) / 400 / 2
        {10, 10, 10, 10, 10},       // all equal: the mean
        {1, 2, 1, 2, 2},            // 1.5 rounds up
        {-5, -6, -5, -6, -6},       // -5.5 rounds away from zero
    };
    for (const Case& c : cases) {
        UtilityImage image = imageOf(0);
        put(image, 9, 10, c.l);
        put(image, 11, 10, c.r);
        put(image, 10, 9, c.u);
        put(image, 10, 11, c.d);
        BadPixelList list;
        list.addFront(10, 10);
        repairBadPixels(image, list);
        EXPECT_EQ(at(image, 10, 10), c.expected) << c.l << " " << c.r << " " << c.u << " " << c.d;
    }
}

TEST(PixelRepair, WithoutFourGoodNeighboursTheGoodOnesOfTheEightAreAveraged) {
    UtilityImage image = imageOf(0);
    put(image, 1, 0, 10);
    put(image, 0, 1, 20);
    put(image, 1, 1, 40);
    BadPixelList corner;
    corner.addFront(0, 0);
    repairBadPixels(image, corner);
    EXPECT_EQ(at(image, 0, 0), 23);  // (10 + 20 + 40) / 3 = 23.3

    // A bad neighbour is left out whatever it holds, so the list's order does not matter.
    UtilityImage inner = imageOf(100);
    put(inner, 11, 10, 30000);
    put(inner, 10, 10, -30000);
    BadPixelList pair;
    pair.addFront(11, 10);
    pair.addFront(10, 10);
    repairBadPixels(inner, pair);
    EXPECT_EQ(at(inner, 10, 10), 100);
    EXPECT_EQ(at(inner, 11, 10), 100);

    // Nothing good around: 0.
    BadPixelList block;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) block.addFront(x, y);
    UtilityImage lone = imageOf(500);
    repairBadPixels(lone, block);
    EXPECT_EQ(at(lone, 1, 1), 0);
    EXPECT_EQ(at(lone, 2, 2), 500);  // (3, 2), (2, 3), (3, 3) are good
}

}  // namespace
}  // namespace kestrom
