// The colours of the built-in palettes: the system's static colours, the special colours of the
// screen and printer sets, and the ramp tables.
#pragma once

#include <array>

#include "viewer/core/palette_layout.h"
#include "viewer/core/palette_types.h"

namespace kestrom {

using RampTable = std::array<PaletteEntry, kRampTableEntries>;
using SpecialColours = std::array<PaletteEntry, kSpecialEntries>;

// Entries 0..9 and then 246..255, flags 0: black, white, the primaries and their mixes at full
// and half strength, and greys, so that a pure colour drawn on a palette image finds itself.
const std::array<PaletteEntry, kStaticColours>& systemStaticColours();

// Entries 139..170.
const SpecialColours& screenSpecialColours();
const SpecialColours& printerSpecialColours();

// The ramp tables: the below-scale entry and the 128 ramp entries.
const RampTable& colourRamp();
const RampTable& greyRamp();
const RampTable& blackRamp();
const RampTable& purpleRamp();
const RampTable& blueRamp();

// The single colours of the red and green 3-D palettes.
inline constexpr PaletteEntry kRedRampColour = hexEntry(0xE60000, kNoCollapse);
inline constexpr PaletteEntry kGreenRampColour = hexEntry(0x00964B, kNoCollapse);

}  // namespace kestrom
