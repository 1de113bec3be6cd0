// The text log record (".CSV"): the frame's pixel rows as decimal values; the fields of other
// CSV lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrom {

// One line per pixel row of the frame block, row 0 first: the row's 124 values in decimal
// separated by ",", each line ending with LF CR ("\n\r", in that order). Nothing else.
std::string frameCsvText(const std::uint8_t* frameBlock);

// A field of a CSV line: as it is, or in double quotes (each quote doubled) when it holds a comma,
// a quote or a line break, so that a file name cannot split its line.
std::string csvField(std::string_view text);

}  // namespace kestrom
