// The self-contained copies a host takes of the last frame, status block and factory record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrom {

// Two dimensions of doubles, the first index varying fastest in memory: element [i, j] is
// values[i + dim0 * j]. Before the first frame it is 1 x 1 and holds 0.
struct DataArray {
    std::size_t dim0 = 1;
    std::size_t dim1 = 1;
    std::vector<double> values{0.0};

    double at(std::size_t i, std::size_t j) const { return values[i + dim0 * j]; }
};

// Bytes; before the first frame or attach it holds a single 0.
using ByteArray = std::vector<std::uint8_t>;

// The frame's pixels (124 lines of 124 signed values) as the data array: element [r, c] is the
// pixel at row r, column c, divided by 2.
DataArray dataArrayFromPixels(const std::int16_t* pixels);

}  // namespace kestrom
