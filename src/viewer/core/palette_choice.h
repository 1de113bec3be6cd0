// Which built-in palette the surface shows, and the named colours it draws with.
#pragma once

#include <optional>

#include "viewer/core/beam.h"
#include "viewer/core/palette_types.h"

namespace kestrom {

// The palette kind for the printer or screen colours, the 2-D or 3-D view, the colour choice
// (0: follow the colour flag; 1..6 a ramp of its own) and the colour flag; none where the
// combination has no palette, and the one in use stays.
std::optional<int> surfacePaletteKind(bool printer, bool threeD, int showColor, bool colour);

// Background, fill, aperture and text colours of a palette for the 2-D or the 3-D view. On the
// printer's palettes the cursor, its profiles and the crosshair take the text colour, which shows
// on white paper; on the screen's they are white and the saturation colour.
BeamColours surfaceColours(const Palette& palette, bool threeD, bool printer);

}  // namespace kestrom
