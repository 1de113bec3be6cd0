// The data array taken from a frame's pixels.
#include "subscriber/subscriber_arrays.h"

#include "camera_records/console_block.h"

namespace kestrom {

DataArray dataArrayFromPixels(const std::int16_t* pixels) {
    constexpr std::size_t rows = frame_block::kHeight;
    constexpr std::size_t columns = frame_block::kWidth;
    DataArray array;
    array.dim0 = rows;
    array.dim1 = columns;
    array.values.resize(rows * columns);
    // The pixels come row after row; the array runs down each column.
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < columns; ++c) array.values[r + rows * c] = pixels[r * columns + c] / 2.0;
    return array;
}

}  // namespace kestrom
