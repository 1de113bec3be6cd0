// The colour lookup table of the beam views: a palette index for every signed 16-bit value that
// a frame pixel, shifted down by the display scale, can take.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kestrom {

class BeamLut {
  public:
    // displayScale: the index s (0..5, 1X..32X); scaleBase in camera counts; pixelBits and ac from
    // the frame's header. The band of 256 shifted values from the scale base maps two values to
    // a ramp entry (11..139); below it entry 10, above it 140, at saturation 139.
    void Make(int displayScale, std::int32_t scaleBase, std::int32_t pixelBits, std::int32_t ac);

    std::uint8_t operator[](int index) const {
        return table_[static_cast<std::size_t>(index + 32768)];
    }
    // The entry a frame pixel shows in.
    std::uint8_t pixelEntry(std::int16_t value) const { return (*this)[value >> shift_]; }
    int shift() const { return shift_; }

    // The frame's pixels through the table into the bitmap's bytes.
    void fill(const std::int16_t* pixels, std::size_t count, std::uint8_t* out) const;

  private:
    std::array<std::uint8_t, 65536> table_{};
    int shift_ = 7;
};

}  // namespace kestrom
