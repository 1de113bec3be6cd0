// The rules the utilities' map readers keep for any bytes; the fuzz target and its corpus test
// check them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom::fuzz {

// Feeds the bytes to the bad-pixel file reader, to the camera's bad-pixel map decoder and to the
// gain-map file reader. Answers "" when every rule held, else the rule that broke.
std::string mapFileFault(const std::uint8_t* data, std::size_t size);

}  // namespace kestrom::fuzz
