// Text log records of frame blocks.
#include "viewer/core/log_csv.h"

#include <charconv>
#include <cstring>

#include "camera_records/console_block.h"

namespace kestrom {

std::string frameCsvText(const std::uint8_t* frameBlock) {
    std::string text;
    // "-32768," is the widest value.
    text.reserve(frame_block::kPixelCount * 7 + frame_block::kHeight * 2);
    char number[8];
    for (int row = 0; row < frame_block::kHeight; ++row) {
        for (int column = 0; column < frame_block::kWidth; ++column) {
            std::int16_t value;
            std::memcpy(&value, frameBlock + 2 * (row * frame_block::kWidth + column),
                        sizeof value);
            if (column > 0) text += ',';
            auto end = std::to_chars(number, number + sizeof number, value).ptr;
            text.append(number, end);
        }
        text += "\n\r";
    }
    return text;
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\n\r") == std::string_view::npos) return std::string(text);
    std::string field = "\"";
    for (char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
}

}  // namespace kestrom
