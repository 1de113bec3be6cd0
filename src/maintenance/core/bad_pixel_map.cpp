#include "maintenance/core/bad_pixel_map.h"

#include <streambuf>
#include <utility>

#include "common/number_text.h"

namespace kestrom {

namespace {

std::uint16_t bigEndianWord(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// A line of at most limit characters; the rest of a longer line is passed over, so that a file
// without line ends cannot fill the memory.
bool readBoundedLine(std::istream& in, std::string& line, std::size_t limit) {
    line.clear();
    bool any = false;
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) return false;
    for (int c; (c = buffer->sbumpc()) != std::char_traits<char>::eof();) {
        any = true;
        if (c == '\n') return true;
        if (line.size() < limit) line.push_back(static_cast<char>(c));
    }
    return any;
}

constexpr std::size_t kLongestLine = 4096;

void putBigEndian(std::vector<std::uint8_t>& out, std::uint16_t word) {
    out.push_back(static_cast<std::uint8_t>(word >> 8));
    out.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

}  // namespace

void decodeCameraBadPixelMap(const std::uint8_t* buffer, std::size_t size, BadPixelList& list) {
    list.clear();
    for (int i = 0; i < kMaxMapEntries && static_cast<std::size_t>(4 * i + 4) <= size; ++i) {
        const std::uint16_t first = bigEndianWord(buffer + 4 * i);
        const std::uint16_t second = bigEndianWord(buffer + 4 * i + 2);
        if (first == 0 && second == 0) break;
        const int column = first - 1;
        const int row = kMapSide - second;
        if (onDetector(column, row)) list.addFront(column, row);
    }
}

std::vector<std::uint8_t> encodeCameraBadPixelMap(const BadPixelList& list, const std::function<void()>& step) {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> entries;
    for (const PixPoint& p : list.points()) {
        if (static_cast<int>(entries.size()) == kMaxMapEntries) break;
        entries.emplace_back(static_cast<std::uint16_t>(p.column + 1), static_cast<std::uint16_t>(kMapSide - p.row));
    }
    // The camera takes its map in row order. Entries of one row end up in the order the camera's
    // own exchange sort gives them, which is not always the list's.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t j = i; j < entries.size(); ++j)
            if (entries[j].second < entries[i].second) std::swap(entries[i], entries[j]);
        if (step) step();
    }
    std::vector<std::uint8_t> out;
    out.reserve((entries.size() + 1) * 4);
    for (const auto& [first, second] : entries) {
        putBigEndian(out, first);
        putBigEndian(out, second);
    }
    out.insert(out.end(), 4, 0);
    return out;
}

std::string encodeBadPixelFile(const BadPixelList& list) {
    std::string text;
    for (const PixPoint& p : list.points())
        text += std::to_string(p.column) + ", " + std::to_string(p.row) + "\r\n";
    return text;
}

std::optional<std::string> readBadPixelFile(std::istream& in, BadPixelList& list, std::size_t maxPoints) {
    std::string line;
    std::size_t added = 0;
    while (added < maxPoints && readBoundedLine(in, line, kLongestLine)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t comma = line.find(',');
        if (comma == std::string::npos) continue;
        // The row follows the comma, after the space this program writes there or none, as a
        // user may type it.
        const std::string columnText = line.substr(0, comma);
        const std::size_t rowStart = line.find_first_not_of(" \t", comma + 1);
        const std::string rowText = rowStart == std::string::npos ? std::string() : line.substr(rowStart);
        const std::optional<int> column = parseInteger(columnText);
        if (!column) return columnText;
        const std::optional<int> row = parseInteger(rowText);
        if (!row) return rowText;
        if (!onDetector(*column, *row)) continue;
        list.addFront(*column, *row);
        ++added;
    }
    return std::nullopt;
}

}  // namespace kestrom
