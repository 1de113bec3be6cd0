// Rules of the map readers: what a bad-pixel file or camera map lists lies on the detector and
// survives being written and read again; a value that is no number is named from the file's own
// text; a gain file fills the map from its start and leaves the rest zero.
#include "fuzz/map_file_fault.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <vector>

#include "maintenance/core/bad_pixel_map.h"
#include "maintenance/core/gain_map.h"

namespace kestrom::fuzz {
namespace {

std::vector<PixPoint> sorted(std::vector<PixPoint> points) {
    std::sort(points.begin(), points.end(),
              [](PixPoint a, PixPoint b) { return a.row != b.row ? a.row < b.row : a.column < b.column; });
    return points;
}

bool allOnDetector(const BadPixelList& list) {
    return std::all_of(list.points().begin(), list.points().end(),
                       [](PixPoint p) { return onDetector(p.column, p.row); });
}

std::string badPixelFileFault(std::string_view bytes) {
    std::istringstream in{std::string(bytes)};
    BadPixelList list;
    const std::optional<std::string> error = readBadPixelFile(in, list, kMaxLoadedPoints);
    if (!allOnDetector(list)) return "a point off the detector was listed";
    if (static_cast<std::size_t>(list.size()) > kMaxLoadedPoints) return "more points than the limit";
    if (error && bytes.find(*error) == std::string_view::npos) return "the bad value is not the file's text";
    // Written and read again: the same points, in the reverse order (each goes to the front).
    std::istringstream again(encodeBadPixelFile(list));
    BadPixelList back;
    if (readBadPixelFile(again, back, kMaxLoadedPoints)) return "its own file does not read";
    std::vector<PixPoint> reversed = list.toVector();
    std::reverse(reversed.begin(), reversed.end());
    if (back.toVector() != reversed) return "its own file reads back other points";
    return "";
}

std::string cameraMapFault(std::string_view bytes) {
    BadPixelList list;
    decodeCameraBadPixelMap(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                            std::min(bytes.size(), kBadPixelReadSize), list);
    if (!allOnDetector(list)) return "a map entry off the detector was listed";
    if (list.size() > kMaxMapEntries) return "more than 512 map entries";
    const std::vector<std::uint8_t> sent = encodeCameraBadPixelMap(list);
    if (sent.size() != static_cast<std::size_t>(list.size() + 1) * 4) return "the write is not n + 1 entries";
    if (!std::all_of(sent.end() - 4, sent.end(), [](std::uint8_t b) { return b == 0; })) return "no zero entry";
    for (std::size_t i = 4; i + 4 < sent.size(); i += 4)
        if ((sent[i + 2] << 8 | sent[i + 3]) < (sent[i - 2] << 8 | sent[i - 1])) return "the write is not in row order";
    BadPixelList back;
    decodeCameraBadPixelMap(sent.data(), sent.size(), back);
    if (sorted(back.toVector()) != sorted(list.toVector())) return "the write reads back other points";
    return "";
}

std::string gainFileFault(std::string_view bytes) {
    GainMap map;
    const std::size_t n = decodeGainMapFile(bytes, map);
    if (n != std::min(bytes.size(), kGainMapBytes)) return "the gain file's length taken wrongly";
    for (std::size_t i = 0; i < kGainMapBytes; ++i) {
        const std::uint8_t want = i < n ? static_cast<std::uint8_t>(bytes[i]) : 0;
        if (map.bytes()[i] != want) return "gain byte " + std::to_string(i) + " is not the file's";
    }
    return "";
}

}  // namespace

std::string mapFileFault(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (auto check : {badPixelFileFault, cameraMapFault, gainFileFault})
        if (std::string fault = check(bytes); !fault.empty()) return fault;
    return "";
}

}  // namespace kestrom::fuzz
