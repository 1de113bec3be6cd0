// Pixel access to a caller's frame buffer, which need not be aligned for 16-bit words.
#pragma once

#include <cstdint>
#include <cstring>

#include "camera_records/console_block.h"

namespace kestrom::sim {

inline constexpr int kWidth = frame_block::kWidth;
inline constexpr int kHeight = frame_block::kHeight;
inline constexpr int kPixels = static_cast<int>(frame_block::kPixelCount);

inline std::int16_t loadPixel(const std::uint8_t* pixels, int index) {
    std::int16_t v;
    std::memcpy(&v, pixels + 2 * index, sizeof v);
    return v;
}

inline void storePixel(std::uint8_t* pixels, int index, std::int16_t value) {
    std::memcpy(pixels + 2 * index, &value, sizeof value);
}

inline std::int16_t clampPixel(double value) {
    if (value > 32767.0) return 32767;
    if (value < -32768.0) return -32768;
    return static_cast<std::int16_t>(value);
}

}  // namespace kestrom::sim
