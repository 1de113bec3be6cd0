// Pixel rows of elliptical apertures and their cut to the frame.
#include "viewer/core/aperture_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace kestrom {
namespace {

struct Row {
    int row, first, last;
    bool operator==(const Row&) const = default;
};

std::vector<Row> rowsOf(const ApertureList& list) {
    std::vector<Row> rows;
    for (const ApertureTriplet& t : list) rows.push_back({t.row, t.first, t.last});
    return rows;
}

void PrintTo(const Row& r, std::ostream* os) {
    *os << "(" << r.row << "," << r.first << "," << r.last << ")";
}

struct EllipseCase {
    const char* name;
    ApertureStruct aperture;
    int width, height;
    std::vector<Row> ellipse;  // as the region gives it
    std::vector<Row> clipped;  // cut to the frame
};

class EllipseTest : public ::testing::TestWithParam<EllipseCase> {};

TEST_P(EllipseTest, RowsAndTheirCut) {
    const EllipseCase& e = GetParam();
    const auto rows = ellipseRows(e.aperture, e.height);
    ASSERT_TRUE(rows);
    EXPECT_EQ(rowsOf(*rows), e.ellipse);
    EXPECT_EQ(rowsOf(clipToFrame(*rows, e.width, e.height)), e.clipped);
}

// Tips of the ellipse that cover no pixel position are left out; a row of the frame's right is
// kept in place with no pixel (first past last).
INSTANTIATE_TEST_SUITE_P(
    Ellipses, EllipseTest,
    ::testing::Values(
        EllipseCase{"Inside",
                    {5, 5, 4, 2},
                    20,
                    20,
                    {{4, 5, 5}, {5, 3, 7}, {6, 5, 5}},
                    {{4, 5, 5}, {5, 3, 7}, {6, 5, 5}}},
        EllipseCase{"TipsBetweenPixels", {0.5, 3, 6, 2}, 3, 10, {{3, 0, 3}}, {{3, 0, 2}}},
        EllipseCase{"PastTheBottom",
                    {2, 4, 2, 4},
                    10,
                    5,
                    {{2, 2, 2}, {3, 2, 2}, {4, 1, 3}, {5, 2, 2}},
                    {{2, 2, 2}, {3, 2, 2}, {4, 1, 3}}},
        EllipseCase{"RightOfTheFrame", {9.5, 1, 3, 2}, 4, 5, {{1, 8, 11}}, {{1, 4, 3}}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(EllipseRows, NoExtentOrNoNumberGivesNoRows) {
    for (ApertureStruct a : {ApertureStruct{5, 5, 0, 3}, ApertureStruct{5, 5, 3, -1},
                             ApertureStruct{5, std::nan(""), 3, 3}})
        EXPECT_TRUE(ellipseRows(a, 20)->empty());
}

TEST(WholeFrameAperture, EveryRowWhole) {
    EXPECT_EQ(rowsOf(wholeFrameAperture(4, 3)),
              (std::vector<Row>{{0, 0, 3}, {1, 0, 3}, {2, 0, 3}}));
}

}  // namespace
}  // namespace kestrom

namespace kestrom {
namespace {

// The pixels of a width x height frame that a list holds, row by row, and the rows it gives one
// after the other from its first.
std::vector<std::vector<bool>> heldPixels(const ApertureList& list, int width, int height) {
    std::vector<std::vector<bool>> held(height, std::vector<bool>(width, false));
    for (const ApertureTriplet& t : list)
        for (int k = std::max<int>(t.first, 0); k <= std::min<int>(t.last, width - 1); ++k)
            held[t.row][k] = true;
    return held;
}

bool consecutive(const ApertureList& list) {
    for (std::size_t i = 1; i < list.size(); ++i)
        if (list[i].row != list[i - 1].row + 1) return false;
    return true;
}

// The pixels whose centres lie inside the turned ellipse, by testing every one.
std::vector<std::vector<bool>> insideEllipse(const ApertureStruct& a, int width, int height) {
    std::vector<std::vector<bool>> inside(height, std::vector<bool>(width, false));
    const double c = std::cos(a.angle), s = std::sin(a.angle);
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x) {
            const double dx = x - a.centerX, dy = r - a.centerY;
            const double u = (dx * c + dy * s) / (a.extentX / 2);
            const double v = (-dx * s + dy * c) / (a.extentY / 2);
            inside[r][x] = u * u + v * v <= 1;
        }
    return inside;
}

// A turned ellipse cut to the frame holds exactly the pixels whose centres lie inside it, in
// consecutive rows: one thinner than a pixel that passes between the centres of a row keeps that
// row (holding none) so that the rows below it are still found, and rows of an ellipse left of
// the frame hold no pixel of column 0.
TEST(TurnedEllipse, HoldsThePixelsInsideTheTurnedEllipse) {
    const double pi = std::acos(-1.0);
    struct Case {
        const char* name;
        ApertureStruct aperture;
    };
    const Case cases[] = {
        {"30 degrees", {30.3, 20.7, 40, 12, pi / 6}},
        {"-45 degrees", {30.1, 19.6, 40, 12, -pi / 4}},
        {"steep, across the left edge", {10.5, 35.2, 9, 30, 1.2}},
        {"small, nearly a half turn", {5, 5, 3, 1, 2.9}},
        {"thinner than a pixel, between the centres of rows", {20.5, 20.0, 30, 0.3, 1.3}},
        {"left of the frame", {1.0, 30.0, 40, 4, 1.0}},
        {"reaching past the right edge", {62.0, 30.0, 40, 4, -1.0}},
    };
    constexpr int kWidth = 64, kHeight = 64;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rows = ellipseRows(c.aperture, kHeight);
        ASSERT_TRUE(rows);
        const ApertureList clipped = clipToFrame(*rows, kWidth, kHeight);
        EXPECT_TRUE(consecutive(*rows));
        EXPECT_TRUE(consecutive(clipped));
        const auto held = heldPixels(clipped, kWidth, kHeight);
        const auto inside = insideEllipse(c.aperture, kWidth, kHeight);
        for (int r = 0; r < kHeight; ++r)
            for (int x = 0; x < kWidth; ++x)
                EXPECT_EQ(held[r][x], inside[r][x]) << "column " << x << ", row " << r;
    }
    ApertureStruct unturned{30.3, 20.7, 40, 12, 0}, halfTurn = unturned;
    halfTurn.angle = pi;
    EXPECT_EQ(rowsOf(*ellipseRows(halfTurn, 64)), rowsOf(*ellipseRows(unturned, 64)));
}

}  // namespace
}  // namespace kestrom
