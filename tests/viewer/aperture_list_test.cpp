// Pixel rows of elliptical apertures and their cut to the frame.
#include "viewer/core/aperture_list.h"

#include <gtest/gtest.h>

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

// A turned ellipse's rows hold exactly the pixel positions inside it; a turn of a half circle
// gives the ellipse unturned.
TEST(TurnedEllipse, RowsHoldThePixelsInsideTheTurnedEllipse) {
    const double pi = std::acos(-1.0);
    for (const ApertureStruct& a :
         {ApertureStruct{30.3, 20.7, 40, 12, pi / 6}, ApertureStruct{30.1, 19.6, 40, 12, -pi / 4},
          ApertureStruct{10.5, 35.2, 9, 30, 1.2}, ApertureStruct{5, 5, 3, 1, 2.9}}) {
        const auto rows = ellipseRows(a, 64);
        ASSERT_TRUE(rows);
        const double c = std::cos(a.angle), s = std::sin(a.angle);
        std::vector<Row> expected;
        for (int r = 0; r < 64; ++r) {
            int first = 1000, last = -1;
            for (int x = -40; x < 100; ++x) {
                const double dx = x - a.centerX, dy = r - a.centerY;
                const double u = (dx * c + dy * s) / (a.extentX / 2);
                const double v = (-dx * s + dy * c) / (a.extentY / 2);
                if (u * u + v * v > 1) continue;
                first = std::min(first, std::max(x, 0));
                last = std::max(last, x);
            }
            if (last >= 0) expected.push_back({r, first, last});
        }
        EXPECT_EQ(rowsOf(*rows), expected) << a.angle;
    }
    ApertureStruct unturned{30.3, 20.7, 40, 12, 0}, halfTurn = unturned;
    halfTurn.angle = pi;
    EXPECT_EQ(rowsOf(*ellipseRows(halfTurn, 64)), rowsOf(*ellipseRows(unturned, 64)));
}

}  // namespace
}  // namespace kestrom
