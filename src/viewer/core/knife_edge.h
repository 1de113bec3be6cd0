// Knife-edge beam width along one axis, from the profile sums of the aperture.
#pragma once

#include <cstdint>

namespace kestrom {

// Where the cumulative profile crosses `low` and `high` (raw units), with linear interpolation
// inside the crossing column (row).
struct KnifeEdgeCrossings {
    double low = 0;
    double high = 0;
};

KnifeEdgeCrossings knifeEdgeCrossings(const std::int32_t* sums, int count, double low, double high);

}  // namespace kestrom
