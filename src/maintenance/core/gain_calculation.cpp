#include "maintenance/core/gain_calculation.h"

#include <algorithm>
#include <cmath>

namespace kestrom {

void GainCalculation::add(const UtilityImage& image, GainMap& map) {
    if (remaining_ <= 0) return;
    for (int i = 0; i < kMapPixels; ++i) sums_[static_cast<std::size_t>(i)] += image[static_cast<std::size_t>(i)];
    if (--remaining_ > 0) return;
    computeMap(sums_, map);
    complete_ = true;
    std::fill(sums_.begin(), sums_.end(), 0.0f);
}

bool GainCalculation::takeCompletion() {
    const bool was = complete_;
    complete_ = false;
    return was;
}

void GainCalculation::computeMap(const std::vector<float>& sums, GainMap& map) {
    map.setAll(0);
    double total = 0;
    for (float s : sums) total += s;
    const double mean = total * (1.0 / kMapPixels);
    for (int i = 0; i < kMapPixels; ++i) {
        const float sum = sums[static_cast<std::size_t>(i)];
        double gain = sum == 0.0f ? 1.0 : mean / sum;
        if (gain > kLargestGain) gain = kLargestGain;
        if (gain > 0) map.setEntry(i, static_cast<std::int16_t>(std::trunc(gain * 256.0)));
    }
}

}  // namespace kestrom
