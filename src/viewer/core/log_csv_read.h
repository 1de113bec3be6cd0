// Reading a text log record (".CSV") back: the pixels of its 124 lines of 124 values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "camera_records/console_block.h"

namespace kestrom {

using CsvPixels = std::array<std::int16_t, frame_block::kPixelCount>;

// The widest record this reader takes: every value "-32768", each line ending in two bytes.
inline constexpr std::size_t kFrameCsvMaxSize = frame_block::kPixelCount * 7 + frame_block::kHeight * 2;

// The record's pixels, row after row. Each line ends as the viewer writes it (LF CR), or as an
// editor may have saved it (CR LF, LF); the last line may lack its ending. Anything else is
// refused and why goes to `why` ("line 3 holds 12 values, not 124").
std::optional<CsvPixels> parseFrameCsv(std::string_view text, std::string& why);

struct FrameCsvRead {
    CsvPixels pixels{};
    std::optional<std::string> error;  // naming the file, as the frame-record reader does
};
FrameCsvRead readFrameCsv(const std::string& path);

}  // namespace kestrom
