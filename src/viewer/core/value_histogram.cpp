// Allocation, present range and clearing of the value histogram.
#include "viewer/core/value_histogram.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kestrom {

ValueHistogram::ValueHistogram()
    : entries_(new Entry[kEntries]()), present_(new std::uint8_t[kEntries]()) {}

void ValueHistogram::endPass(int lowest, int highest) {
    if (lowest > highest) return;
    low_ = std::min(low_, index(lowest));
    high_ = std::max(high_, index(highest));
}

void ValueHistogram::clear() {
    if (low_ <= high_)
        for (std::uint32_t base = low_ / 8 * 8; base <= high_; base += 8) {
            std::uint64_t word = presentWord(base);
            if (!word) continue;
            while (word) {
                const int byte = std::countr_zero(word) / 8;
                word &= ~(std::uint64_t{0xFF} << (byte * 8));
                entries_[base + static_cast<std::uint32_t>(byte)] = {};
            }
            std::memset(present_.get() + base, 0, 8);
        }
    low_ = kEntries;
    high_ = 0;
}

}  // namespace kestrom
