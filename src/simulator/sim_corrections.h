// The camera's own corrections: its bad-pixel and gain maps, in their stored form, applied to a frame.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/sim_detector.h"

namespace kestrom::sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kGainMapSize = 30752;
inline constexpr std::size_t kBadPixelMapSize = 2048;

// Pixel indices (row * 124 + column) listed by a stored bad-pixel map: entries of {column + 1,
// row + 1} big-endian, ended by an all-zero entry; entries outside the detector are ignored.
std::vector<int> badPixelIndices(const Bytes& map);
bool hasBadPixelEntries(const Bytes& map);

// Replaces each listed pixel by the mean of its neighbours that are not listed themselves.
void repairBadPixels(const std::vector<int>& indices, std::uint8_t* pixels);

// Multiplies each pixel by its entry / 256 (signed, big-endian, camera row order), toward zero.
void applyGainMap(const Bytes& map, std::uint8_t* pixels);

// The maps a camera leaves the factory with: its bad pixels, and entries that flatten its responsivity.
Bytes factoryBadPixelMap(const DetectorPattern& detector);
Bytes factoryGainMap(const DetectorPattern& detector);
// A gain map of 1.0 everywhere: what a camera without a map reports.
Bytes unityGainMap();

}  // namespace kestrom::sim
