// "Make Gain Table": 64 processed frames of an evenly lit detector summed per pixel, then each
// pixel's gain = mean sum / its sum, capped at 1.99, as the map's fixed-point entries.
#pragma once

#include <vector>

#include "maintenance/core/gain_map.h"
#include "maintenance/core/utility_image.h"

namespace kestrom {

class GainCalculation {
  public:
    static constexpr int kFrames = 64;
    static constexpr double kLargestGain = 1.99;

    GainCalculation() : sums_(kMapPixels, 0.0f) {}

    void start() { remaining_ = kFrames; }
    bool running() const { return remaining_ > 0; }
    int framesRemaining() const { return remaining_; }

    // Adds a frame while running; with the last one the map is computed and the completion flag set.
    void add(const UtilityImage& image, GainMap& map);
    // The completion flag, cleared by reading it.
    bool takeCompletion();

    // The map from per-pixel sums (single precision, as accumulated).
    static void computeMap(const std::vector<float>& sums, GainMap& map);

  private:
    int remaining_ = 0;
    bool complete_ = false;
    std::vector<float> sums_;
};

}  // namespace kestrom
