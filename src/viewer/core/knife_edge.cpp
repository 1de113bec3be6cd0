// The two crossings of a cumulative profile.
#include "viewer/core/knife_edge.h"

namespace kestrom {

KnifeEdgeCrossings knifeEdgeCrossings(const std::int32_t* sums, int count, double low,
                                      double high) {
    KnifeEdgeCrossings out;
    if (count <= 0) return out;
    // S ends as the sum before the column where the profile reaches `low`. The bound keeps a
    // profile that never gets there (negative sums) on the last column.
    double s = 0;
    int i = 0;
    while (low > s && i < count) s += sums[i++];
    if (i > 0) s -= sums[--i];
    out.low = sums[i] != 0 ? (low - s) / sums[i] + i : i;

    double s2 = s;
    int j = i;
    while (high > s2 && j < count) s2 += sums[j++];
    if (j > i) s2 -= sums[--j];
    out.high = sums[j] != 0 ? (high - s2) / sums[j] + j : out.low;
    return out;
}

}  // namespace kestrom
