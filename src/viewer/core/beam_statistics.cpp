#include "viewer/core/beam_statistics.h"

#include <algorithm>
#include <cmath>

#include "common/number_text.h"
#include "viewer/core/log_csv.h"

namespace kestrom {

BeamStatistics::BeamStatistics(int frames)
    : capacity_(std::clamp(frames, 1, kMaxFrames)),
      ring_(static_cast<std::size_t>(capacity_)) {}

void BeamStatistics::setFrames(int frames) {
    frames = std::clamp(frames, 1, kMaxFrames);
    if (frames == capacity_) return;
    const int kept = std::min(frames, size());
    std::vector<BeamSample> newest;
    newest.reserve(static_cast<std::size_t>(kept));
    for (int i = size() - kept; i < size(); ++i) newest.push_back(sample(i));
    capacity_ = frames;
    ring_.assign(static_cast<std::size_t>(capacity_), BeamSample{});
    reset();
    for (const BeamSample& s : newest) add(s);
}

void BeamStatistics::reset() {
    next_ = count_ = removedSinceResum_ = 0;
    sums_ = {};
    for (Extremes& e : extremes_) e = {};
}

const BeamSample& BeamStatistics::sample(int i) const {
    return bySequence(next_ - count_ + static_cast<std::uint64_t>(i));
}

void BeamStatistics::add(const BeamSample& s) {
    if (count_ == ring_.size()) {
        // The oldest leaves the window.
        const BeamSample& old = bySequence(next_ - count_);
        for (int q = 0; q < kBeamQuantities; ++q) {
            const double d = old.values[q] - sums_[q].shift;
            sums_[q].sum -= d;
            sums_[q].squares -= d * d;
        }
        --count_;
        ++removedSinceResum_;
    }
    const std::uint64_t sequence = next_++;
    ring_[sequence % ring_.size()] = s;
    ++count_;
    const std::uint64_t oldest = next_ - count_;
    for (int q = 0; q < kBeamQuantities; ++q) {
        if (count_ == 1) sums_[q] = {s.values[q], 0, 0};
        const double d = s.values[q] - sums_[q].shift;
        sums_[q].sum += d;
        sums_[q].squares += d * d;
        Extremes& e = extremes_[q];
        for (auto* list : {&e.least, &e.most}) {
            while (!list->empty() && list->front() < oldest) list->pop_front();
        }
        while (!e.least.empty() && bySequence(e.least.back()).values[q] >= s.values[q])
            e.least.pop_back();
        e.least.push_back(sequence);
        while (!e.most.empty() && bySequence(e.most.back()).values[q] <= s.values[q])
            e.most.pop_back();
        e.most.push_back(sequence);
    }
    // What the removals took away drifts by a rounding each; once a window's worth has gone, the
    // sums are taken afresh, one pass per window: still constant time per frame.
    if (removedSinceResum_ >= ring_.size()) resum();
}

void BeamStatistics::resum() {
    removedSinceResum_ = 0;
    for (int q = 0; q < kBeamQuantities; ++q) {
        Sums fresh{sample(0).values[q], 0, 0};
        for (int i = 0; i < size(); ++i) {
            const double d = sample(i).values[q] - fresh.shift;
            fresh.sum += d;
            fresh.squares += d * d;
        }
        sums_[q] = fresh;
    }
}

QuantitySummary BeamStatistics::summary(BeamQuantity quantity) const {
    QuantitySummary out;
    if (count_ == 0) return out;
    const int q = static_cast<int>(quantity);
    const Sums& s = sums_[q];
    const auto n = static_cast<double>(count_);
    const double meanShifted = s.sum / n;
    out.mean = s.shift + meanShifted;
    if (count_ > 1)
        out.deviation = std::sqrt(std::max(0.0, (s.squares - n * meanShifted * meanShifted) / (n - 1)));
    out.minimum = bySequence(extremes_[q].least.front()).values[q];
    out.maximum = bySequence(extremes_[q].most.front()).values[q];
    return out;
}

PointingStability pointingStability(const BeamStatistics& statistics) {
    PointingStability p;
    p.deviationX = statistics.summary(BeamQuantity::CentroidX).deviation;
    p.deviationY = statistics.summary(BeamQuantity::CentroidY).deviation;
    const double diameter = (statistics.summary(BeamQuantity::WidthX).mean +
                             statistics.summary(BeamQuantity::WidthY).mean) / 2;
    if (diameter > 0) {
        p.fractionX = p.deviationX / diameter;
        p.fractionY = p.deviationY / diameter;
    }
    return p;
}

namespace {

std::string number(double v) { return formatGeneral(std::isfinite(v) ? v : 0.0, 10); }

}  // namespace

std::string statisticsCsv(const BeamStatistics& statistics,
                          const std::array<std::string, kBeamQuantities>& names) {
    std::string text = "Time (s)";
    for (const std::string& name : names) text += "," + csvField(name);
    text += "\r\n";
    for (int i = 0; i < statistics.size(); ++i) {
        const BeamSample& s = statistics.sample(i);
        text += number(s.seconds);
        for (double v : s.values) text += "," + number(v);
        text += "\r\n";
    }
    const struct {
        const char* name;
        double QuantitySummary::*field;
    } rows[] = {{"Mean", &QuantitySummary::mean},
                {"Standard deviation", &QuantitySummary::deviation},
                {"Minimum", &QuantitySummary::minimum},
                {"Maximum", &QuantitySummary::maximum}};
    for (const auto& row : rows) {
        text += row.name;
        for (int q = 0; q < kBeamQuantities; ++q)
            text += "," + number(statistics.summary(static_cast<BeamQuantity>(q)).*row.field);
        text += "\r\n";
    }
    return text;
}

}  // namespace kestrom
