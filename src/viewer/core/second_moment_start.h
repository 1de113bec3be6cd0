// A start for the second moments' windows that the noise of the ground cannot pull away: the
// moments of the pixels that stand clear of that noise.
#pragma once

#include <cstdint>
#include <optional>

namespace kestrom {

// Centroid and second moments sigma_x², sigma_y², sigma_xy², in pixels.
struct MomentEstimate {
    double x, y, xx, yy, xy;
};

// Every pixel more than kClearOfNoise deviations above the ground counts with what it holds above
// the ground, every other pixel not at all. Nothing when no pixel stands clear.
std::optional<MomentEstimate> momentsClearOfNoise(const std::int16_t* pixels, int width, int height,
                                                  double ground, double deviation);

inline constexpr double kClearOfNoise = 4.0;

}  // namespace kestrom
