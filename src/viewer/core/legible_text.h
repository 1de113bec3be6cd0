// Text drawn over the image: a backing that sets it off from whatever lies under it, the image's
// colours, the screen's black or the paper's white.
#pragma once

#include "viewer/core/palette_types.h"

namespace kestrom {

// The luminance of a colour as the eye weighs its red, green and blue, 0 (black) to 1 (white).
double relativeLuminance(ColorRef colour);
// How far apart two colours stand in luminance, 1 (the same) to 21 (black and white).
double contrastRatio(ColorRef a, ColorRef b);
// Black or white, whichever a text of this colour stands out from the more.
ColorRef backingFor(ColorRef text);

}  // namespace kestrom
