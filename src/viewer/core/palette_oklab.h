// Ramps that step evenly to the eye: colours between anchor colours, interpolated in OKLab.
#pragma once

#include <cstdint>
#include <span>

#include "viewer/core/palette_types.h"

namespace kestrom {

// A colour the ramp must pass through exactly: hex RRGGBB at one entry of the ramp.
struct RampAnchor {
    int entry;
    std::uint32_t rrggbb;
};

// Sets entries first.entry .. last.entry of ramp: each anchor exactly, the entries between two
// anchors on the straight line between them in OKLab (so equal steps look equal), every one with
// the given flags. Anchors come in rising entry order and lie inside the ramp.
void interpolateRamp(std::span<PaletteEntry> ramp, std::span<const RampAnchor> anchors,
                     std::uint8_t flags);

// How different two colours look: their distance in OKLab (black to white is 1).
double oklabDistance(const PaletteEntry& a, const PaletteEntry& b);

}  // namespace kestrom
