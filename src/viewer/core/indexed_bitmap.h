// An 8-bit bitmap whose pixels are indices into a 256-entry palette: the frame bitmap of the 2-D
// view, one byte per frame pixel, row 0 at the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/core/palette_types.h"

namespace kestrom {

struct IndexedBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width x height, row-major
    PaletteHandle palette;

    void resize(int w, int h) {
        width = w;
        height = h;
        pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    }
    bool holds(int column, int row) const {
        return column >= 0 && row >= 0 && column < width && row < height;
    }
    std::uint8_t& at(int column, int row) {
        return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(column)];
    }
    std::uint8_t at(int column, int row) const {
        return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(column)];
    }
};

}  // namespace kestrom
