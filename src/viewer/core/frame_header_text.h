// The header text of a frame record: the keyed header fields as "Key=Value" lines of one INI
// section.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "viewer/core/vasprel_header.h"

namespace kestrom {

inline constexpr std::string_view kFrameHeaderSection = "Header";

// Every keyed field in header order ("Version", "DateTime", "Height", ... "Exclude"), with its
// value as the text shows it: integers in decimal, doubles in the shortest general form of up to
// 15 significant digits with "." as decimal point, "DateTime" as date and time, "Exclude" as 1 or
// 0.
std::vector<std::pair<std::string, std::string>> frameHeaderValues(const VasprelHeader& header);

// The same for the keyed fields that start at offsets begin up to end (excluded) of the header,
// such as the results block (52..207).
std::vector<std::pair<std::string, std::string>> frameHeaderValues(const VasprelHeader& header,
                                                                   std::size_t begin,
                                                                   std::size_t end);

// The text with every control character shown as '?', so that it stays on its line.
std::string oneLineText(std::string text);

// A day count as "yyyy-mm-dd hh:mm:ss", without the time when it is exactly midnight (day 0 is
// 1899-12-30). A value that is no date (not finite, or past year 9999) is written as a number.
std::string dateTimeText(double days);

// A double in the shortest general form of up to 15 significant digits ("0", "1.5", "1e+20").
std::string doubleText(double value);

}  // namespace kestrom
