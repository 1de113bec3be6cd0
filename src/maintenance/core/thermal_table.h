// A thermal camera's temperature table: 7688 single-precision values, little-endian in the
// camera's requests; the used part ends at the first 0. Its text files hold one value a line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrom {

inline constexpr std::size_t kThermalEntries = 7688;
inline constexpr std::size_t kThermalTableBytes = 4 * kThermalEntries;  // 30752

struct ThermalTable {
    std::array<float, kThermalEntries> entries{};

    bool empty() const { return entries[0] == 0.0f; }
    // Entries before the first 0.
    std::size_t used() const;

    void toBytes(std::uint8_t* buffer) const;
    void fromBytes(const std::uint8_t* buffer);
};

// The file's text read as decimal numbers one after another: as many as the file's length over
// four (at most 7688); where the text ends or holds no number the rest stays 0.
ThermalTable parseThermalFile(std::string_view text);

// One line per used entry, ended by CR LF: "%.5f" where that reads back as the same value,
// otherwise the shortest text that does ("3e-06").
std::string formatThermalFile(const ThermalTable& table);

}  // namespace kestrom
