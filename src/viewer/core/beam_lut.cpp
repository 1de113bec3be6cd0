#include "viewer/core/beam_lut.h"

#include <algorithm>

#include "viewer/core/palette_layout.h"

namespace kestrom {

void BeamLut::Make(int displayScale, std::int32_t scaleBase, std::int32_t pixelBits,
                   std::int32_t ac) {
    const int s = std::clamp(displayScale, 0, 5);
    shift_ = 7 - s;
    // A header loaded from a file may hold any number of bits; the frame's values are 15-bit, so
    // the shifts are kept to what such values can use, and all of it is done in 64 bits.
    const int k = std::clamp<std::int32_t>(pixelBits, 8, 15) - 8;
    const std::int64_t low = (std::int64_t{scaleBase} * (std::int64_t{1} << s)) >> k;
    const std::int64_t sat = (((std::int64_t{252} << k) - ac) >> k) * (std::int64_t{1} << s);
    const std::int64_t end = std::int64_t{256} << s;
    std::int64_t passedOdd = 0;
    for (std::int64_t i = -end; i < end; ++i) {
        std::uint8_t entry;
        if (i < low) {
            entry = kBelowScaleIndex;
        } else {
            if (i >= sat)
                entry = kSaturationIndex;
            else if (i >= low + 256)
                entry = kAboveScaleIndex;
            else
                entry = static_cast<std::uint8_t>(kFirstRampIndex + passedOdd);
            if (i < low + 256 && (i & 1)) ++passedOdd;
        }
        table_[static_cast<std::size_t>(i + 32768)] = entry;
    }
}

void BeamLut::fill(const std::int16_t* pixels, std::size_t count, std::uint8_t* out) const {
    const std::uint8_t* table = table_.data() + 32768;
    const int shift = shift_;
    for (std::size_t i = 0; i < count; ++i) out[i] = table[pixels[i] >> shift];
}

}  // namespace kestrom
