// What the frame decoder must hold to on any bytes at all: the check behind the decoder's fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom::fuzz {

// Runs the bytes through decode() and through FrameReader, whole and in pieces whose sizes the
// bytes themselves choose, and compares the outcome with the stream's rules (40-byte frames, a
// wrong size word refused as soon as it is read, a bad frame ending the stream). Returns the first
// rule broken, or an empty text.
std::string frameStreamFault(const std::uint8_t* data, std::size_t size);

}  // namespace kestrom::fuzz
