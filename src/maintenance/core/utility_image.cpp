#include "maintenance/core/utility_image.h"

#include <cstring>

namespace kestrom {

void turnFrameUpsideDown(const std::int16_t* framePixels, UtilityImage& image) {
    // memcpy: the frame block need not be aligned for 16-bit words.
    for (int row = 0; row < kMapSide; ++row)
        std::memcpy(&image[static_cast<std::size_t>((kMapSide - 1 - row) * kMapSide)],
                    reinterpret_cast<const std::uint8_t*>(framePixels) + 2 * row * kMapSide, 2 * kMapSide);
}

}  // namespace kestrom
