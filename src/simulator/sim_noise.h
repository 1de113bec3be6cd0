// The detector noise of simulated frames: standard normal deviates cheap enough for every pixel of
// every frame at 48 Hz, reproducible from a seed.
#pragma once

#include <cstdint>

namespace kestrom::sim {

class NormalNoise {
public:
    explicit NormalNoise(std::uint64_t seed) : state_(seed) {}

    // Mean 0 and standard deviation 1; the values are the normal distribution's 4,096 quantiles at
    // equal steps of probability, so they reach about 3.5 standard deviations.
    double next() {
        if (left_ == 0) {
            bits_ = splitmix();
            left_ = 5;
        }
        const auto index = static_cast<unsigned>(bits_ & 0xFFFu);
        bits_ >>= 12;
        --left_;
        return table()[index];
    }

private:
    static const double* table();
    std::uint64_t splitmix() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::uint64_t state_;
    std::uint64_t bits_ = 0;
    int left_ = 0;
};

}  // namespace kestrom::sim
