// The text log record (".CSV"): the frame's pixel rows as decimal values.
#pragma once

#include <cstdint>
#include <string>

namespace kestrom {

// One line per pixel row of the frame block, row 0 first: the row's 124 values in decimal
// separated by ",", each line ending with LF CR ("\n\r", in that order). Nothing else.
std::string frameCsvText(const std::uint8_t* frameBlock);

}  // namespace kestrom
