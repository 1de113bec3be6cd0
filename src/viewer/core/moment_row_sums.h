// Exact sums of a row's pixels for the moments of a beam.
#pragma once

#include <cstdint>

namespace kestrom {

// Over some columns of a row: the values, the values times d and times d², d the column less a
// reference column. Exact for rows up to 1,024 pixels at any values.
struct RowSums {
    std::int64_t s0 = 0, s1 = 0, s2 = 0;

    RowSums& operator+=(const RowSums& o) {
        s0 += o.s0;
        s1 += o.s1;
        s2 += o.s2;
        return *this;
    }
    RowSums& operator-=(const RowSums& o) {
        s0 -= o.s0;
        s1 -= o.s1;
        s2 -= o.s2;
        return *this;
    }
    friend bool operator==(const RowSums&, const RowSums&) = default;
};

// The columns first..last of the row (none when last < first).
RowSums rowSums(const std::int16_t* row, int first, int last, int reference);

}  // namespace kestrom
