// The value histogram of the beam results: per signed 16-bit pixel value its count and the sums
// of the columns and rows where it occurs, with a record of the values present.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kestrom {

class ValueHistogram {
    // An entry's four fields as one vector (GCC and clang), added in one go.
    using Lanes = std::uint32_t __attribute__((vector_size(16)));

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

    // One pass of adds, with the histogram's pointers held in locals so that they stay in
    // registers while pixels are stored around them. A value present is marked with a plain byte
    // store: marking bits in shared words, or appending to a list, would chain every pixel of a
    // flat background through one word in memory or one counter.
    class Pass {
      public:
        // Counts the pixels first..last of a row and calls each(column, value) for every one of
        // them, for the sums kept beside the histogram. An entry takes its count, column and row
        // in one 16-byte add, the column stepping along in the same register. A run of equal
        // values is summed in a register and added once: a flat ground or a saturated plateau
        // would otherwise chain every one of its pixels through the same entry in memory.
        template <typename Each>
        void addRow(const std::int16_t* pixels, int first, int last, int row, Each each) {
            if (first > last) return;
            Lanes step = {1, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(row), 0};
            std::uint32_t runIndex = index(pixels[first]);
            Lanes run = {};
            for (int k = first; k <= last; ++k) {
                const std::int16_t v = pixels[k];
                const auto i = index(v);
                if (i != runIndex) {
                    addRun(runIndex, run);
                    runIndex = i;
                    run = Lanes{};
                }
                run += step;
                step += kNextColumn;
                each(k, v);
            }
            addRun(runIndex, run);
        }

      private:
        friend class ValueHistogram;
        Pass(Entry* entries, std::uint8_t* present) : entries_(entries), present_(present) {}
        void addRun(std::uint32_t i, Lanes run) {
            addLanes(entries_[i], run);
            present_[i] = 1;
        }
        Entry* entries_;
        std::uint8_t* present_;
    };
    Pass beginPass() { return Pass(entries_.get(), present_.get()); }
    // The lowest and highest value the pass added, so that walks and clearing keep to them.
    void endPass(int lowest, int highest);

    // Takes out the pixels first..last of a row, added before; their values stay among those
    // present, with what is left.
    void removeRow(const std::int16_t* pixels, int first, int last, int row) {
        Lanes step = {1, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(row), 0};
        for (int k = first; k <= last; ++k) {
            addLanes(entries_[index(pixels[k])], -step);
            step += kNextColumn;
        }
    }
    const Entry& at(int value) const { return entries_[index(value)]; }

    // Calls visit(value, entry) for every value present, from `from` down to `to` (both
    // included), until visit returns false. Absent values are passed over eight at a time, so a
    // level search costs about the values a frame holds, not the 65,536 it could.
    template <typename Visit>
    void walkDown(int from, int to, Visit visit) const;
    // The same from `from` up to `to`, for the dense low levels of a ground, eight at a time.
    template <typename Visit>
    void walkUp(int from, int to, Visit visit) const;

    // Zeroes the entries of the values present: as good as zeroing all 1 MiB, at a fraction of
    // the memory traffic.
    void clear();

  private:
    static constexpr Lanes kNextColumn = {0, 1, 0, 0};
    static void addLanes(Entry& entry, Lanes add) {
        Lanes lanes;
        std::memcpy(&lanes, &entry, sizeof lanes);
        lanes += add;
        std::memcpy(&entry, &lanes, sizeof lanes);
    }
    static_assert(sizeof(Entry) == sizeof(Lanes));

    static std::uint32_t index(int value) { return static_cast<std::uint32_t>(value + 32768); }
    std::uint64_t presentWord(std::uint32_t i) const {
        std::uint64_t word;
        std::memcpy(&word, present_.get() + i, sizeof word);
        return word;
    }

    std::unique_ptr<Entry[]> entries_;
    std::unique_ptr<std::uint8_t[]> present_;  // 1 for each value present
    // The index range that may hold values present; empty when low > high.
    std::uint32_t low_ = kEntries;
    std::uint32_t high_ = 0;
};

template <typename Visit>
void ValueHistogram::walkDown(int from, int to, Visit visit) const {
    if (from > 32767) from = 32767;
    if (to < -32768) to = -32768;
    if (from < to || low_ > high_) return;
    const std::uint32_t hi = std::min(index(from), high_), lo = std::max(index(to), low_);
    if (hi < lo) return;
    // Eight values a word, from the top word down; within a word the highest byte set first.
    const auto last = static_cast<std::int64_t>(lo / 8);
    for (std::int64_t g = hi / 8; g >= last; --g) {
        // Runs of 32 absent values at once, common above a beam's shoulders.
        while (g - 3 >= last && (presentWord(static_cast<std::uint32_t>(g - 3) * 8) |
                                 presentWord(static_cast<std::uint32_t>(g - 3) * 8 + 8) |
                                 presentWord(static_cast<std::uint32_t>(g - 3) * 8 + 16) |
                                 presentWord(static_cast<std::uint32_t>(g - 3) * 8 + 24)) == 0)
            g -= 4;
        if (g < last) break;
        const auto base = static_cast<std::uint32_t>(g) * 8;
        std::uint64_t word = presentWord(base);
        if (hi - base < 7) word &= (std::uint64_t{1} << ((hi - base + 1) * 8)) - 1;
        if (lo > base) word &= ~std::uint64_t{0} << ((lo - base) * 8);
        while (word) {
            const int byte = (63 - std::countl_zero(word)) / 8;
            word &= ~(std::uint64_t{0xFF} << (byte * 8));
            const std::uint32_t i = base + static_cast<std::uint32_t>(byte);
            if (!visit(static_cast<int>(i) - 32768, entries_[i])) return;
        }
    }
}

template <typename Visit>
void ValueHistogram::walkUp(int from, int to, Visit visit) const {
    if (from < -32768) from = -32768;
    if (to > 32767) to = 32767;
    if (from > to || low_ > high_) return;
    const std::uint32_t lo = std::max(index(from), low_), hi = std::min(index(to), high_);
    if (lo > hi) return;
    // From the bottom word up; within a word the lowest byte set first.
    for (std::uint32_t g = lo / 8; g <= hi / 8; ++g) {
        const std::uint32_t base = g * 8;
        std::uint64_t word = presentWord(base);
        if (hi - base < 7) word &= (std::uint64_t{1} << ((hi - base + 1) * 8)) - 1;
        if (lo > base) word &= ~std::uint64_t{0} << ((lo - base) * 8);
        while (word) {
            const int byte = std::countr_zero(word) / 8;
            word &= ~(std::uint64_t{0xFF} << (byte * 8));
            const std::uint32_t i = base + static_cast<std::uint32_t>(byte);
            if (!visit(static_cast<int>(i) - 32768, entries_[i])) return;
        }
    }
}

}  // namespace kestrom
