// The gain map: one signed 16-bit big-endian entry per display pixel, gain = entry / 256, row after
// row in display orientation; the camera holds it with its rows the other way up. The ".gcp" and
// ".gcc" files are the map as it is here, 30752 bytes with no header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "maintenance/core/utility_image.h"

namespace kestrom {

inline constexpr std::size_t kGainMapBytes = 2 * kMapPixels;  // 30752
inline constexpr std::int16_t kUnityGain = 256;

class GainMap {
  public:
    GainMap() { setAll(kUnityGain); }

    std::int16_t entry(int index) const;
    std::int16_t entry(int x, int y) const { return entry(pixelIndex(x, y)); }
    void setEntry(int index, std::int16_t value);
    void setAll(std::int16_t value);
    double gain(int index) const { return entry(index) / 256.0; }

    // Mean gain of a display row or column, and whether its 124 entries are all equal.
    double rowMean(int y) const;
    double columnMean(int x) const;
    bool rowUniform(int y) const;
    bool columnUniform(int x) const;

    void setRow(int y, std::int16_t value);
    void setColumn(int x, std::int16_t value);

    // The camera's buffer, rows turned.
    void fromCamera(const std::uint8_t* buffer);
    void toCamera(std::uint8_t* buffer) const;

    std::array<std::uint8_t, kGainMapBytes>& bytes() { return bytes_; }
    const std::array<std::uint8_t, kGainMapBytes>& bytes() const { return bytes_; }

  private:
    std::array<std::uint8_t, kGainMapBytes> bytes_{};
};

// The entry for a gain typed by the user: trunc(gain x 256), its low 16 bits.
std::int16_t gainEntryFromTyped(double gain);

// With the map applied in software: each value times its gain, toward zero and held within 16
// bits, where 0 < gain < 2 and gain != 1; other entries leave the value as it is.
void correctGainInSoftware(UtilityImage& image, const GainMap& map);

struct GainFileLoad {
    bool opened = false;        // false: the file error message (also for what is not a regular file)
    std::size_t bytesRead = 0;  // fewer than 30752: the length message
};
// The map zeroed, then at most 30752 bytes from the start of the file's bytes; the number taken.
std::size_t decodeGainMapFile(std::string_view bytes, GainMap& map);
// The same from a file (only its first 30752 bytes are read).
GainFileLoad loadGainMapFile(const std::string& path, GainMap& map);
// Written whole or not at all (the name keeps what it held); the failure in the system's words.
std::optional<std::string> saveGainMapFile(const std::string& path, const GainMap& map);

}  // namespace kestrom
