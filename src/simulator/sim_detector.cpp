// A camera's detector flaws, drawn once from its serial number.
#include "simulator/sim_detector.h"

#include <algorithm>
#include <random>

#include "simulator/sim_pixels.h"

namespace kestrom::sim {

namespace {
constexpr int kBadPixelCount = 6;
constexpr float kResponsivitySpread = 0.03f;
constexpr float kDarkSpread = 80.0f;
}  // namespace

DetectorPattern DetectorPattern::forSerial(std::uint16_t serial) {
    std::mt19937_64 rng(0x4B65737472306DULL ^ (std::uint64_t(serial) * 0x9E3779B97F4A7C15ULL));
    std::normal_distribution<float> spread(0.0f, 1.0f);
    DetectorPattern p;
    p.responsivity.resize(kPixels);
    p.darkOffset.resize(kPixels);
    for (int i = 0; i < kPixels; ++i) {
        p.responsivity[i] = std::clamp(1.0f + kResponsivitySpread * spread(rng), 0.85f, 1.15f);
        p.darkOffset[i] = kDarkSpread * spread(rng);
    }
    std::uniform_int_distribution<int> position(0, kWidth - 1);
    while (static_cast<int>(p.badPixels.size()) < kBadPixelCount) {
        int column = position(rng), row = position(rng);
        bool taken = std::any_of(p.badPixels.begin(), p.badPixels.end(),
                                 [&](const BadPixel& b) { return b.column == column && b.row == row; });
        if (taken) continue;
        // Alternate stuck-high (saturated) and stuck-low (dead) pixels.
        std::int16_t counts = p.badPixels.size() % 2 == 0 ? std::int16_t{16383} : std::int16_t{0};
        p.badPixels.push_back({column, row, counts});
    }
    return p;
}

}  // namespace kestrom::sim
