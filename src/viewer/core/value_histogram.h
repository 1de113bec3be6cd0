// The value histogram of the beam results: per signed 16-bit pixel value its count and the sums
// of the columns and rows where it occurs, with a record of the values present.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>

namespace kestrom {

class ValueHistogram {
  public:
    struct Entry {
        std::uint32_t count;
        std::uint32_t columns;
        std::uint32_t rows;
        std::uint32_t unused;
    };
    static constexpr int kEntries = 65536;

    // Throws std::bad_alloc when the 1 MiB of entries cannot be had.
    ValueHistogram();

    void add(std::int16_t value, int column, int row) {
        const auto i = index(value);
        Entry& e = entries_[i];
        ++e.count;
        e.columns += static_cast<std::uint32_t>(column);
        e.rows += static_cast<std::uint32_t>(row);
        present_[i >> 6] |= std::uint64_t{1} << (i & 63);
    }
    const Entry& at(int value) const { return entries_[index(value)]; }

    // Calls visit(value, entry) for every value present, from `from` down to `to` (both
    // included), until visit returns false. The walk skips absent values, so a level search
    // costs the number of values a frame holds, not the 65,536 it could.
    template <typename Visit>
    void walkDown(int from, int to, Visit visit) const;

    // Zeroes the entries of the values present: as good as zeroing all 1 MiB, at a fraction of
    // the memory traffic.
    void clear();

  private:
    static constexpr int kWords = kEntries / 64;
    static std::uint32_t index(int value) { return static_cast<std::uint32_t>(value + 32768); }

    std::unique_ptr<Entry[]> entries_;
    std::unique_ptr<std::uint64_t[]> present_;
};

template <typename Visit>
void ValueHistogram::walkDown(int from, int to, Visit visit) const {
    if (from > 32767) from = 32767;
    if (to < -32768) to = -32768;
    if (from < to) return;
    const std::uint32_t hi = index(from), lo = index(to);
    for (int w = static_cast<int>(hi >> 6); w >= static_cast<int>(lo >> 6); --w) {
        std::uint64_t bits = present_[w];
        const auto base = static_cast<std::uint32_t>(w) << 6;
        if (base + 63 > hi) bits &= ~std::uint64_t{0} >> (63 - (hi - base));
        if (base < lo) bits &= ~std::uint64_t{0} << (lo - base);
        while (bits) {
            const int bit = 63 - std::countl_zero(bits);
            bits &= ~(std::uint64_t{1} << bit);
            const std::uint32_t i = base + static_cast<std::uint32_t>(bit);
            if (!visit(static_cast<int>(i) - 32768, entries_[i])) return;
        }
    }
}

}  // namespace kestrom
