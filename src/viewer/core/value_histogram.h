// The value histogram of the beam results: per signed 16-bit pixel value its count and the sums
// of the columns and rows where it occurs, with a record of the values present.
#pragma once

#include <bit>
#include <cstddef>
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

    // One pass of adds, with the histogram's pointers and count held in locals so that they
    // stay in registers while pixels are stored around them. The first time a value comes it is
    // noted, without a branch: marking the present values straight into their 64-bit words
    // would chain every pixel of a flat background through the same word in memory.
    class Pass {
      public:
        void add(std::int16_t value, int column, int row) {
            const auto i = index(value);
            Entry& e = entries_[i];
            const std::uint32_t before = e.count;
            firsts_[count_] = static_cast<std::uint16_t>(i);
            count_ += before == 0;
            e.count = before + 1;
            e.columns += static_cast<std::uint32_t>(column);
            e.rows += static_cast<std::uint32_t>(row);
        }
        std::size_t valuesPresent() const { return count_; }

      private:
        friend class ValueHistogram;
        Pass(Entry* entries, std::uint16_t* firsts, std::size_t count)
            : entries_(entries), firsts_(firsts), count_(count) {}
        Entry* entries_;
        std::uint16_t* firsts_;
        std::size_t count_;
    };
    Pass beginPass() { return Pass(entries_.get(), firsts_.get(), firstCount_); }
    // Marks the values present, for the walks; valuesPresent is the pass's.
    void endPass(std::size_t valuesPresent);

    // Takes out one pixel added before; the value stays among those present, with what is left.
    void remove(std::int16_t value, int column, int row) {
        Entry& e = entries_[index(value)];
        --e.count;
        e.columns -= static_cast<std::uint32_t>(column);
        e.rows -= static_cast<std::uint32_t>(row);
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
    // The values present, in the order they first came.
    std::unique_ptr<std::uint16_t[]> firsts_;
    std::size_t firstCount_ = 0;
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
