// Palette files: exactly the 1032-byte palette block, little-endian, no header of their own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry_store.h"
#include "viewer/core/palette_types.h"

namespace kestrom {

inline constexpr std::size_t kPaletteFileBytes = 1032;

// The message when a palette file cannot be opened at all.
inline constexpr const char* kCannotOpenInputFile = "Cannot open input file.\n";

// What reading a palette file gave: the block, or the message that says why there is none.
struct PaletteFileRead {
    std::optional<LogPalette> palette;
    std::string error;
};

// The file's bytes as a block. Anything but 1032 bytes that start with version 0x300 and 256
// entries is not a palette file.
PaletteFileRead decodePaletteFile(std::string_view bytes);
std::string encodePaletteFile(const LogPalette& palette);

// Reads a palette file without blocking on a FIFO or a device under the name.
PaletteFileRead readPaletteFile(const std::string& path);

// Replaces the file in one step, so a failed save leaves the earlier file whole.
RegistryWriteError writePaletteFile(const std::string& path, const LogPalette& palette);

}  // namespace kestrom
