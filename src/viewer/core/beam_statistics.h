// Statistics of the beam results over the last N frames: each quantity's mean, standard
// deviation, minimum and maximum, kept up to date in constant time per frame.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kestrom {

enum class BeamQuantity { Total, Peak, CentroidX, CentroidY, WidthX, WidthY };
inline constexpr int kBeamQuantities = 6;

struct BeamSample {
    double seconds = 0;  // since the statistics began
    std::array<double, kBeamQuantities> values{};
    double value(BeamQuantity q) const { return values[static_cast<std::size_t>(q)]; }
};

struct QuantitySummary {
    double mean = 0;
    double deviation = 0;  // of the sample (N - 1); 0 for fewer than two
    double minimum = 0;
    double maximum = 0;
};

class BeamStatistics {
  public:
    static constexpr int kDefaultFrames = 100;
    static constexpr int kMaxFrames = 100000;

    explicit BeamStatistics(int frames = kDefaultFrames);

    // Keeps the newest samples that fit the new count (1..kMaxFrames).
    void setFrames(int frames);
    int frames() const { return capacity_; }
    void add(const BeamSample& sample);
    void reset();

    int size() const { return static_cast<int>(count_); }
    // 0 the oldest kept.
    const BeamSample& sample(int i) const;
    QuantitySummary summary(BeamQuantity q) const;

  private:
    // The sums of the kept values less a shift (the first value since the sums were last taken
    // afresh), so that a steady quantity far from zero loses no digits.
    struct Sums {
        double shift = 0, sum = 0, squares = 0;
    };
    // Sequence numbers of the samples that may still become the window's extreme, oldest first.
    struct Extremes {
        std::deque<std::uint64_t> least, most;
    };
    const BeamSample& bySequence(std::uint64_t s) const { return ring_[s % ring_.size()]; }
    void resum();

    int capacity_;
    std::vector<BeamSample> ring_;
    std::uint64_t next_ = 0;  // sequence number of the next sample
    std::uint64_t count_ = 0;
    std::uint64_t removedSinceResum_ = 0;
    std::array<Sums, kBeamQuantities> sums_{};
    std::array<Extremes, kBeamQuantities> extremes_{};
};

// The pointing stability: the centroid's standard deviation along x and y (in the units of the
// centroid) and as a fraction of the mean diameter (the mean of the two widths).
struct PointingStability {
    double deviationX = 0, deviationY = 0;
    double fractionX = 0, fractionY = 0;  // 0 without a diameter
};
PointingStability pointingStability(const BeamStatistics& statistics);

// The samples as CSV lines under a header line of the given names (time first), then the
// summary: one line each for the mean, standard deviation, minimum and maximum.
std::string statisticsCsv(const BeamStatistics& statistics,
                          const std::array<std::string, kBeamQuantities>& names);

}  // namespace kestrom
