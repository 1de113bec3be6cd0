// The frame bitmap stretched onto a true-colour image: each target pixel takes the colour of the
// source pixel it covers (no smoothing), through the palette.
#pragma once

#include <array>
#include <cstdint>

#include "viewer/core/beam_geometry.h"
#include "viewer/core/indexed_bitmap.h"

namespace kestrom {

// Target pixels as 0xAARRGGBB words, the layout of an RGB32 image.
struct RgbImageView {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // words per row
};

using RgbTable = std::array<std::uint32_t, 256>;

// The source rectangle (inside the bitmap) onto the target rectangle; target pixels outside the
// image are left out. A target pixel shows the source pixel under its centre: source column
// left + (x - target left + 0.5) * source width / target width, rounded down; rows alike.
void stretchIndexed(const IndexedBitmap& bitmap, const BeamRect& source, const BeamRect& target,
                    const RgbTable& colours, const RgbImageView& image);

}  // namespace kestrom
