// The rules the factory dialog's file readers keep for any bytes; the fuzz target and its corpus
// test check them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom::fuzz {

// Feeds the bytes to the ".FAC" reader (and the record's form) and to the thermal-file reader.
// Answers "" when every rule held, else the rule that broke.
std::string factoryFileFault(const std::uint8_t* data, std::size_t size);

}  // namespace kestrom::fuzz
