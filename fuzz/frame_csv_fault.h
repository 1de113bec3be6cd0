// What the text-log-record reader must hold to on any bytes at all: the check behind its fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom::fuzz {

// Runs the bytes through the ".CSV" reader and compares the outcome with the rules: a refusal says
// why; taken pixels write back as a record that reads back to the same pixels, and a record in
// the viewer's own form (LF CR endings) writes back byte for byte. Returns the first rule broken,
// or an empty text.
std::string frameCsvFault(const std::uint8_t* data, std::size_t size);

}  // namespace kestrom::fuzz
