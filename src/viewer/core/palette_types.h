// The viewer's colours and palettes: a palette entry, the 1032-byte palette block and a built palette.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace kestrom {

// A colour as red | green << 8 | blue << 16, the layout of a Windows colour reference.
using ColorRef = std::uint32_t;

inline constexpr int kPaletteSize = 256;
inline constexpr std::uint16_t kPaletteVersion = 0x300;
// Flags of an entry that must never be matched to one of the system's colours.
inline constexpr std::uint8_t kNoCollapse = 4;

// One entry of a palette, four bytes in this order.
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;

    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
static_assert(sizeof(PaletteEntry) == 4);

// An entry from a colour written as hex RRGGBB, the way the palette tables are written.
constexpr PaletteEntry hexEntry(std::uint32_t rrggbb, std::uint8_t flags) {
    return {static_cast<std::uint8_t>(rrggbb >> 16), static_cast<std::uint8_t>(rrggbb >> 8),
            static_cast<std::uint8_t>(rrggbb), flags};
}

constexpr ColorRef colorOf(const PaletteEntry& e) {
    return ColorRef{e.red} | ColorRef{e.green} << 8 | ColorRef{e.blue} << 16;
}

// The palette block: a logical palette of 256 entries and four further bytes that a palette file
// carries unchanged. Same layout as the block in the file, host byte order.
struct LogPalette {
    std::uint16_t version = kPaletteVersion;
    std::uint16_t entryCount = kPaletteSize;
    std::array<PaletteEntry, kPaletteSize> entries{};
    std::array<std::uint8_t, 4> further{};

    friend bool operator==(const LogPalette&, const LogPalette&) = default;
};
static_assert(sizeof(LogPalette) == 1032);

// A palette built from 256 entries; it never changes. Whoever holds its handle can go on drawing
// with it after the palette's owner has deleted its own reference.
class Palette {
  public:
    explicit Palette(const std::array<PaletteEntry, kPaletteSize>& entries) : entries_(entries) {}

    const std::array<PaletteEntry, kPaletteSize>& entries() const { return entries_; }
    // Black for an index outside the palette.
    ColorRef color(int index) const {
        return index >= 0 && index < kPaletteSize ? colorOf(entries_[index]) : 0;
    }

  private:
    std::array<PaletteEntry, kPaletteSize> entries_;
};

using PaletteHandle = std::shared_ptr<const Palette>;

}  // namespace kestrom
