// What the frame-record reader must hold to on any bytes at all: the check behind its fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom::fuzz {

// Runs the bytes through the record reader (as a ".RAW" file's contents), through the header text
// of whatever header they hold, and through the intermediate "FrameHeader" reader and writer (as
// that file's contents), and compares the outcome with the rules: only a whole record of a
// 124 x 124 frame is taken, and then byte for byte; the merged header text fits before the raw
// header and holds every header key with its value. Returns the first rule broken, or an empty
// text.
std::string frameRecordFault(const std::uint8_t* data, std::size_t size);

}  // namespace kestrom::fuzz
