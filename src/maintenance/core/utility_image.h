// The utilities dialog's picture of a frame: 124 x 124 signed values, row after row, shown upside
// down relative to the camera (display row r is camera row 123 - r).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kestrom {

inline constexpr int kMapSide = 124;
inline constexpr int kMapPixels = kMapSide * kMapSide;

using UtilityImage = std::array<std::int16_t, kMapPixels>;

inline constexpr bool onDetector(int x, int y) { return x >= 0 && x < kMapSide && y >= 0 && y < kMapSide; }
inline constexpr int pixelIndex(int x, int y) { return y * kMapSide + x; }

// The frame's pixels (host order, camera rows) into display rows.
void turnFrameUpsideDown(const std::int16_t* framePixels, UtilityImage& image);

}  // namespace kestrom
