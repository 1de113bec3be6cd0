// The value histogram's walks over the values present: every value in the range once, in order,
// whatever words of eight the range starts and ends in; and rows added and taken out again.
#include "viewer/core/value_histogram.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace kestrom {
namespace {

struct WalkCase {
    const char* name;
    std::vector<std::int16_t> values;
    int from, to;  // the walk up goes from `from` to `to`, the walk down from `to` to `from`
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class WalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WalkTest, VisitsEveryValuePresentInTheRangeOnceInOrder) {
    const WalkCase& c = GetParam();
    ValueHistogram histogram;
    ValueHistogram::Pass pass = histogram.beginPass();
    std::set<int> present(c.values.begin(), c.values.end());
    pass.addRow(c.values.data(), 0, static_cast<int>(c.values.size()) - 1, 3, [](int, int) {});
    histogram.endPass(*present.begin(), *present.rbegin());

    std::vector<int> up, expectedUp;
    for (int v : present)
        if (v >= c.from && v <= c.to) expectedUp.push_back(v);
    histogram.walkUp(c.from, c.to, [&](int v, const ValueHistogram::Entry& entry) {
        up.push_back(v);
        EXPECT_GT(entry.count, 0u) << v;
        return true;
    });
    EXPECT_EQ(up, expectedUp);

    std::vector<int> down;
    histogram.walkDown(c.to, c.from, [&](int v, const ValueHistogram::Entry&) {
        down.push_back(v);
        return true;
    });
    EXPECT_EQ(down, std::vector<int>(expectedUp.rbegin(), expectedUp.rend()));

    // A visit that answers false ends the walk there.
    int visits = 0;
    histogram.walkUp(c.from, c.to, [&](int, const ValueHistogram::Entry&) { return ++visits < 2; });
    EXPECT_EQ(visits, std::min<int>(2, static_cast<int>(expectedUp.size())));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, WalkTest,
    ::testing::Values(
        WalkCase{"AllOfThem", {5, -3, 100, 101, 7, 8, 9, 15, 16, 3000}, -32768, 32767},
        WalkCase{"EndsInsideWords", {0, 1, 2, 6, 7, 8, 9, 14, 15, 16, 17, 23}, 1, 16},
        WalkCase{"OneWord", {8, 9, 10, 11, 12, 13, 14, 15}, 10, 13},
        WalkCase{"OneValue", {40, 41, 42}, 41, 41}, WalkCase{"NoneInTheRange", {10, 200}, 11, 199},
        WalkCase{"ExtremesOfTheRange", {-32768, -32767, 0, 32766, 32767}, -32768, 32767},
        WalkCase{"BeyondTheValuesPresent", {-5, 5}, -30000, 30000},
        WalkCase{"RangeOutsideSixteenBits", {-32768, 32767, 12}, -70000, 70000}),
    [](const auto& param) { return std::string(param.param.name); });

// Entries take the count and the sums of the columns and rows of their pixels; a row taken out
// again leaves what the other rows put in.
TEST(ValueHistogramRows, RowsAddAndTakeOutCountsAndSums) {
    ValueHistogram histogram;
    const std::int16_t rowA[] = {7, 7, -2, 7, 5};
    const std::int16_t rowB[] = {7, 5, 5};
    ValueHistogram::Pass pass = histogram.beginPass();
    int seen = 0;
    pass.addRow(rowA, 0, 4, 10, [&](int column, std::int16_t value) {
        EXPECT_EQ(value, rowA[column]);
        ++seen;
    });
    pass.addRow(rowB, 1, 2, 11, [&](int, std::int16_t) { ++seen; });
    histogram.endPass(-2, 7);
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(histogram.at(7).count, 3u);
    EXPECT_EQ(histogram.at(7).columns, 0u + 1 + 3);
    EXPECT_EQ(histogram.at(7).rows, 30u);
    EXPECT_EQ(histogram.at(5).count, 3u);
    EXPECT_EQ(histogram.at(5).columns, 4u + 1 + 2);
    EXPECT_EQ(histogram.at(5).rows, 10u + 11 + 11);

    histogram.removeRow(rowA, 1, 3, 10);
    EXPECT_EQ(histogram.at(7).count, 1u);
    EXPECT_EQ(histogram.at(7).columns, 0u);
    EXPECT_EQ(histogram.at(-2).count, 0u);
    EXPECT_EQ(histogram.at(-2).columns, 0u);
    EXPECT_EQ(histogram.at(-2).rows, 0u);
    EXPECT_EQ(histogram.at(5).count, 3u);

    histogram.clear();
    int left = 0;
    histogram.walkUp(-32768, 32767, [&](int, const ValueHistogram::Entry&) { return ++left > 0; });
    EXPECT_EQ(left, 0);
    EXPECT_EQ(histogram.at(5).count, 0u);
}

}  // namespace
}  // namespace kestrom
