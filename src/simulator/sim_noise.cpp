#include "simulator/sim_noise.h"

#include <array>
#include <cmath>

namespace kestrom::sim {

namespace {

constexpr int kLevels = 4096;

// The quantile of probability p, found by halving the interval on the distribution function.
double normalQuantile(double p) {
    double low = -10, high = 10;
    for (int i = 0; i < 80; ++i) {
        const double mid = 0.5 * (low + high);
        (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p ? low : high) = mid;
    }
    return 0.5 * (low + high);
}

std::array<double, kLevels> makeTable() {
    std::array<double, kLevels> t{};
    double squares = 0;
    for (int k = 0; k < kLevels; ++k) {
        t[k] = normalQuantile((k + 0.5) / kLevels);
        squares += t[k] * t[k];
    }
    // The cut tails take a little of the spread; scaled back to exactly 1.
    const double scale = 1.0 / std::sqrt(squares / kLevels);
    for (double& v : t) v *= scale;
    return t;
}

}  // namespace

const double* NormalNoise::table() {
    static const std::array<double, kLevels> t = makeTable();
    return t.data();
}

}  // namespace kestrom::sim
