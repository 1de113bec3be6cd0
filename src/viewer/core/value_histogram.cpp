// Allocation, present values and clearing of the value histogram.
#include "viewer/core/value_histogram.h"

namespace kestrom {

ValueHistogram::ValueHistogram()
    : entries_(new Entry[kEntries]()),
      present_(new std::uint64_t[kWords]()),
      // One more than the values: the branch-free note writes a slot before it counts.
      firsts_(new std::uint16_t[kEntries + 1]()) {}

void ValueHistogram::endPass(std::size_t valuesPresent) {
    firstCount_ = valuesPresent;
    for (std::size_t n = 0; n < firstCount_; ++n)
        present_[firsts_[n] >> 6] |= std::uint64_t{1} << (firsts_[n] & 63);
}

void ValueHistogram::clear() {
    for (std::size_t n = 0; n < firstCount_; ++n) {
        entries_[firsts_[n]] = {};
        present_[firsts_[n] >> 6] = 0;
    }
    firstCount_ = 0;
}

}  // namespace kestrom
