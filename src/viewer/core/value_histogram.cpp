// Allocation and clearing of the value histogram.
#include "viewer/core/value_histogram.h"

#include <bit>

namespace kestrom {

ValueHistogram::ValueHistogram()
    : entries_(new Entry[kEntries]()), present_(new std::uint64_t[kWords]()) {}

void ValueHistogram::clear() {
    for (int w = 0; w < kWords; ++w) {
        std::uint64_t bits = present_[w];
        while (bits) {
            const int bit = std::countr_zero(bits);
            bits &= bits - 1;
            entries_[(static_cast<std::uint32_t>(w) << 6) + static_cast<std::uint32_t>(bit)] = {};
        }
        present_[w] = 0;
    }
}

}  // namespace kestrom
