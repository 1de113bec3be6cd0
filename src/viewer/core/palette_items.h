// The text form of a palette: one line per entry, "index red green blue" in decimal.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/core/palette_types.h"

namespace kestrom {

// The four numbers at the start of a line, each read as a decimal number where the one before
// ended, blanks before each allowed. None when the line does not start with four finite numbers.
struct ItemsLine {
    double index;
    double red;
    double green;
    double blue;
};
std::optional<ItemsLine> readItemsLine(std::string_view line);

// Applies the lines in order: an index that truncates to 0..255 takes the low 8 bits of the
// truncated colours with flags 4; lines with any other index are ignored, and so are lines that
// are not four numbers. Entries no line names keep their bytes. Answers the positions (from 0)
// of the lines that were not four numbers.
std::vector<std::size_t> applyItems(const std::vector<std::string>& lines, LogPalette& palette);

// Line i is "i red green blue", for i = 0..255.
std::vector<std::string> itemsFromPalette(const LogPalette& palette);

// The lines, each ended by CR LF.
std::string itemsText(const std::vector<std::string>& lines);

// The message that names the lines that were not four numbers (a few of them, shortened).
std::string junkItemsMessage(const std::vector<std::string>& lines,
                             const std::vector<std::size_t>& junk);

}  // namespace kestrom
