// Exact sums of a row's pixels for the moments of a beam: value, value x column and
// value x column², eight or more pixels at a time.
#include "viewer/core/moment_row_sums.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrom {
namespace {

// A row is summed in stretches of up to kStretch pixels, the column counted from the stretch's
// middle, so that d² fits 16 bits and every sum 32 bits: eight pixels go through one packed
// multiply-add per sum, and nothing is converted until the stretch ends.
constexpr int kStretch = 128;
constexpr int kHalfStretch = kStretch / 2;

void addStretch(RowSums& sums, std::int64_t t0, std::int64_t t1, std::int64_t t2, int middle,
                int reference) {
    const std::int64_t a = middle - reference;
    sums.s0 += t0;
    sums.s1 += a * t0 + t1;
    sums.s2 += a * a * t0 + 2 * a * t1 + t2;
}

// The columns start..end - 1 one at a time.
void addPlainStretch(RowSums& sums, const std::int16_t* row, int start, int end, int middle,
                     int reference) {
    std::int64_t t0 = 0, t1 = 0, t2 = 0;
    for (int k = start; k < end; ++k) {
        const std::int64_t d = k - middle;
        t0 += row[k];
        t1 += row[k] * d;
        t2 += row[k] * d * d;
    }
    addStretch(sums, t0, t1, t2, middle, reference);
}

#if defined(__SSE2__)
// Offsets from a stretch's middle and their squares, a block of eight pixels at a time; padded by
// a block on each side for the last block of a stretch, read ending at the stretch's end.
struct StretchWeights {
    alignas(16) std::int16_t d[kStretch + 16];
    alignas(16) std::int16_t d2[kStretch + 16];
};
constexpr StretchWeights kWeights = [] {
    StretchWeights w{};
    for (int k = 0; k < kStretch + 16; ++k) {
        const int d = k - 8 - kHalfStretch;
        w.d[k] = static_cast<std::int16_t>(d);
        w.d2[k] = static_cast<std::int16_t>(d * d);
    }
    return w;
}();

// The largest a lane of the squares' sum can reach: each lane takes every fourth pair of pixels,
// all at the highest value.
constexpr bool squaresFitLanes() {
    for (int lane = 0; lane < 4; ++lane) {
        std::int64_t sum = 0;
        for (int k = 2 * lane; k < kStretch; k += 8)
            sum += 32768LL * (kWeights.d2[k + 8] + kWeights.d2[k + 9]);
        if (sum > 2147483647LL) return false;
    }
    return true;
}
static_assert(squaresFitLanes());

// Lanes first..7 of a block kept, for the last block of a stretch, which overlaps the one before.
alignas(16) constexpr std::int16_t kTailMasks[8][8] = {
    {-1, -1, -1, -1, -1, -1, -1, -1}, {0, -1, -1, -1, -1, -1, -1, -1},
    {0, 0, -1, -1, -1, -1, -1, -1},   {0, 0, 0, -1, -1, -1, -1, -1},
    {0, 0, 0, 0, -1, -1, -1, -1},     {0, 0, 0, 0, 0, -1, -1, -1},
    {0, 0, 0, 0, 0, 0, -1, -1},       {0, 0, 0, 0, 0, 0, 0, -1}};

std::int64_t laneSum(__m128i v) {
    alignas(16) std::int32_t l[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(l), v);
    return std::int64_t{l[0]} + l[1] + l[2] + l[3];
}

}  // namespace

RowSums rowSums(const std::int16_t* row, int first, int last, int reference) {
    RowSums sums;
    auto load = [](const std::int16_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    const __m128i ones = _mm_set1_epi16(1);
    for (int start = first; start <= last; start += kStretch) {
        const int end = std::min(last + 1, start + kStretch);
        const int middle = start + kHalfStretch;
        if (end - start < 8) {
            addPlainStretch(sums, row, start, end, middle, reference);
            continue;
        }
        __m128i a0 = _mm_setzero_si128(), a1 = _mm_setzero_si128(), a2 = _mm_setzero_si128();
        auto add = [&](__m128i v, int at) {
            a0 = _mm_add_epi32(a0, _mm_madd_epi16(v, ones));
            a1 = _mm_add_epi32(a1, _mm_madd_epi16(v, load(kWeights.d + at + 8)));
            a2 = _mm_add_epi32(a2, _mm_madd_epi16(v, load(kWeights.d2 + at + 8)));
        };
        int k = start;
        for (; k + 8 <= end; k += 8) add(load(row + k), k - start);
        if (k < end) {
            const __m128i mask =
                _mm_load_si128(reinterpret_cast<const __m128i*>(kTailMasks[8 - (end - k)]));
            add(_mm_and_si128(load(row + end - 8), mask), end - 8 - start);
        }
        addStretch(sums, laneSum(a0), laneSum(a1), laneSum(a2), middle, reference);
    }
    return sums;
}
#else
}  // namespace

RowSums rowSums(const std::int16_t* row, int first, int last, int reference) {
    RowSums sums;
    for (int start = first; start <= last; start += kStretch) {
        const int end = std::min(last + 1, start + kStretch);
        addPlainStretch(sums, row, start, end, start + kHalfStretch, reference);
    }
    return sums;
}
#endif

}  // namespace kestrom
