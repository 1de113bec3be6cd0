// The colour bar's numbers: camera counts at the top of the scale and a ladder of sixteenths of
// its range, each shown in the palette entry its value shows in.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrom {

struct ColorBarNumber {
    std::int64_t counts = 0;
    int paletteIndex = 0;
    friend bool operator==(const ColorBarNumber&, const ColorBarNumber&) = default;
};

// In drawing order, top line first. displayScale 0..5, scaleBase in counts, pixelBits and ac
// from the frame's header.
std::vector<ColorBarNumber> colorBarNumbers(int displayScale, std::int32_t scaleBase,
                                            std::int32_t pixelBits, std::int32_t ac);

// The bar's width in characters: one more than the powers of ten below the full scale (six for
// 14 bits).
int colorBarCharacters(std::int32_t pixelBits);

}  // namespace kestrom
