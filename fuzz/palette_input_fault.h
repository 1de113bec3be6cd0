// The rules the palette readers keep for any bytes; the fuzz target and its corpus test check them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom::fuzz {

// Feeds the bytes to the palette-file reader and, split into lines, to the palette's text lines.
// Answers "" when every rule held, else the rule that broke.
std::string paletteInputFault(const std::uint8_t* data, std::size_t size);

}  // namespace kestrom::fuzz
