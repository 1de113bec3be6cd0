// The statistics of the last N results against a direct computation over the same N frames, a
// steady quantity far from zero, changing N, the pointing stability and the CSV export.
#include "viewer/core/beam_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace kestrom {
namespace {

QuantitySummary direct(const std::vector<BeamSample>& all, int frames, int q) {
    const int n = std::min<int>(frames, static_cast<int>(all.size()));
    QuantitySummary s;
    std::vector<double> v;
    for (int i = static_cast<int>(all.size()) - n; i < static_cast<int>(all.size()); ++i)
        v.push_back(all[static_cast<std::size_t>(i)].values[static_cast<std::size_t>(q)]);
    double sum = 0;
    for (double x : v) sum += x;
    s.mean = sum / n;
    double squares = 0;
    for (double x : v) squares += (x - s.mean) * (x - s.mean);
    s.deviation = n > 1 ? std::sqrt(squares / (n - 1)) : 0;
    s.minimum = *std::min_element(v.begin(), v.end());
    s.maximum = *std::max_element(v.begin(), v.end());
    return s;
}

void expectSummary(const BeamStatistics& stats, const std::vector<BeamSample>& all) {
    for (int q = 0; q < kBeamQuantities; ++q) {
        const QuantitySummary want = direct(all, stats.frames(), q);
        const QuantitySummary got = stats.summary(static_cast<BeamQuantity>(q));
        const double scale = std::max(1.0, std::abs(want.mean));
        EXPECT_NEAR(got.mean, want.mean, 1e-9 * scale) << "quantity " << q;
        EXPECT_NEAR(got.deviation, want.deviation, 1e-6 * std::max(want.deviation, 1e-3))
            << "quantity " << q;
        EXPECT_EQ(got.minimum, want.minimum) << "quantity " << q;
        EXPECT_EQ(got.maximum, want.maximum) << "quantity " << q;
    }
}

// After every frame, for windows of 1, 7 and 100 frames over 1000 frames: a wandering total, a
// steady peak of 30,000 with a noise of 0.01, centroids that drift, widths with outliers.
TEST(BeamStatistics, EqualsADirectComputationOverTheSameFrames) {
    for (int frames : {1, 7, 100}) {
        SCOPED_TRACE(frames);
        BeamStatistics stats(frames);
        std::mt19937 random(11);
        std::normal_distribution<double> noise(0, 1);
        std::vector<BeamSample> all;
        for (int i = 0; i < 1000; ++i) {
            BeamSample s;
            s.seconds = i / 48.0;
            s.values = {1e7 + 1e5 * std::sin(i * 0.01) + 1e3 * noise(random),
                        30000 + 0.01 * noise(random),
                        5.27 + 0.001 * i + 0.004 * noise(random),
                        5.1 + 0.004 * noise(random),
                        i % 50 == 0 ? 9.0 : 2.4 + 0.01 * noise(random),
                        -1 + noise(random)};
            all.push_back(s);
            stats.add(s);
            ASSERT_EQ(stats.size(), std::min(i + 1, frames));
            expectSummary(stats, all);
            if (HasFailure()) return;
        }
        EXPECT_EQ(stats.sample(0).seconds, all[all.size() - static_cast<std::size_t>(frames)].seconds);
    }
}

TEST(BeamStatistics, ChangingTheFrameCountKeepsTheNewestAndResetEmpties) {
    BeamStatistics stats;
    EXPECT_EQ(stats.frames(), 100);
    std::vector<BeamSample> all;
    for (int i = 0; i < 150; ++i) {
        BeamSample s;
        s.seconds = i;
        s.values.fill(i * 1.5);
        all.push_back(s);
        stats.add(s);
    }
    stats.setFrames(10);
    ASSERT_EQ(stats.size(), 10);
    EXPECT_EQ(stats.sample(0).seconds, 140);
    expectSummary(stats, all);
    stats.setFrames(1000);
    EXPECT_EQ(stats.size(), 10);
    BeamSample s;
    s.seconds = 150;
    all.push_back(s);
    stats.add(s);
    std::vector<BeamSample> kept(all.end() - 11, all.end());
    expectSummary(stats, kept);
    stats.setFrames(0);
    EXPECT_EQ(stats.frames(), 1);
    stats.reset();
    EXPECT_EQ(stats.size(), 0);
    EXPECT_EQ(stats.summary(BeamQuantity::Peak).mean, 0);
    EXPECT_EQ(stats.summary(BeamQuantity::Peak).deviation, 0);
}

TEST(BeamStatistics, PointingStabilityAndCsv) {
    BeamStatistics stats(4);
    const double x[] = {1.0, 1.2, 0.8, 1.0}, y[] = {2.0, 2.0, 2.0, 2.4};
    for (int i = 0; i < 4; ++i) {
        BeamSample s;
        s.seconds = i * 0.5;
        s.values = {100, 50, x[i], y[i], 4, 2};
        stats.add(s);
    }
    const PointingStability p = pointingStability(stats);
    EXPECT_NEAR(p.deviationX, std::sqrt(0.08 / 3), 1e-12);
    EXPECT_NEAR(p.deviationY, 0.2, 1e-12);
    EXPECT_NEAR(p.fractionX, p.deviationX / 3, 1e-12);
    EXPECT_NEAR(p.fractionY, 0.2 / 3, 1e-12);

    const std::string csv = statisticsCsv(
        stats, {"Total", "Peak", "Centroid X (mm)", "Centroid Y (mm)", "Width X, mm", "Width Y"});
    std::vector<std::string> lines;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0],
              "Time (s),Total,Peak,Centroid X (mm),Centroid Y (mm),\"Width X, mm\",Width Y\r");
    EXPECT_EQ(lines[2], "0.5,100,50,1.2,2,4,2\r");
    EXPECT_EQ(lines[5].substr(0, 9), "Mean,100,");
    EXPECT_EQ(lines[7], "Minimum,100,50,0.8,2,4,2\r");
    EXPECT_EQ(lines[8], "Maximum,100,50,1.2,2.4,4,2\r");
    EXPECT_EQ(statisticsCsv(BeamStatistics{}, {"a", "b", "c", "d", "e", "f"}).substr(0, 23),
              "Time (s),a,b,c,d,e,f\r\nM");
}

}  // namespace
}  // namespace kestrom
