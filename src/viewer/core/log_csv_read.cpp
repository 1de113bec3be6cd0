// Text log records read back, strictly: exactly the frame's lines and values.
#include "viewer/core/log_csv_read.h"

#include <charconv>

#include "viewer/core/frame_record.h"

namespace kestrom {

namespace {

// The line starting at `at`, without its ending; `at` moves past the ending.
std::string_view nextLine(std::string_view text, std::size_t& at) {
    std::size_t end = text.find_first_of("\n\r", at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end;
    if (at < text.size()) {
        const char first = text[at++];
        const char second = first == '\n' ? '\r' : '\n';
        // LF CR and CR LF are one ending; a bare CR is none of the accepted ones.
        if (at < text.size() && text[at] == second) ++at;
        else if (first == '\r') at = std::string_view::npos;
    }
    return line;
}

std::string shown(std::string_view field) {
    std::string text(field.substr(0, 16));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
    return text + (field.size() > 16 ? "..." : "");
}

}  // namespace

std::optional<CsvPixels> parseFrameCsv(std::string_view text, std::string& why) {
    CsvPixels pixels{};
    std::size_t at = 0;
    for (int row = 0; row < frame_block::kHeight; ++row) {
        const std::string lineName = "line " + std::to_string(row + 1);
        if (at == std::string_view::npos) {
            why = "line " + std::to_string(row) + " ends in a lone CR";
            return std::nullopt;
        }
        if (at >= text.size()) {
            why = "it holds " + std::to_string(row) + " lines, not " + std::to_string(frame_block::kHeight);
            return std::nullopt;
        }
        std::string_view line = nextLine(text, at);
        int column = 0;
        std::size_t start = 0;
        while (true) {
            std::size_t comma = line.find(',', start);
            std::string_view field = line.substr(start, comma == std::string_view::npos ? line.size() - start : comma - start);
            if (column < frame_block::kWidth) {
                std::int16_t value = 0;
                auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
                if (field.empty() || error != std::errc{} || end != field.data() + field.size()) {
                    why = lineName + " has \"" + shown(field) + "\" where a value from -32768 to 32767 belongs";
                    return std::nullopt;
                }
                pixels[static_cast<std::size_t>(row * frame_block::kWidth + column)] = value;
            }
            ++column;
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (column != frame_block::kWidth) {
            why = lineName + " holds " + std::to_string(column) + " values, not " + std::to_string(frame_block::kWidth);
            return std::nullopt;
        }
    }
    if (at == std::string_view::npos) {
        why = "line " + std::to_string(frame_block::kHeight) + " ends in a lone CR";
        return std::nullopt;
    }
    if (at < text.size()) {
        why = "it goes on after line " + std::to_string(frame_block::kHeight);
        return std::nullopt;
    }
    return pixels;
}

FrameCsvRead readFrameCsv(const std::string& path) {
    FrameCsvRead read;
    const std::string quoted = "\"" + path + "\"";
    CappedFileRead file = readFileCapped(path, kFrameCsvMaxSize);
    if ((read.error = frameFileOpenError(file, quoted))) return read;
    if (file.outcome == CappedFileRead::Outcome::TooLarge) {
        read.error = quoted + " is not a text log record: it is longer than one (" +
                     std::to_string(kFrameCsvMaxSize) + " bytes)";
        return read;
    }
    if (file.data.empty()) {
        read.error = quoted + " is not a text log record: it is empty";
        return read;
    }
    std::string why;
    if (auto pixels = parseFrameCsv(file.data, why))
        read.pixels = *pixels;
    else
        read.error = quoted + " is not a text log record: " + why;
    return read;
}

}  // namespace kestrom
