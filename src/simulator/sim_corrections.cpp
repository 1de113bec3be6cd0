// Bad-pixel repair and gain-map multiplication as the camera does them on its own frames.
#include "simulator/sim_corrections.h"

#include <cmath>

#include "camera_records/byte_order.h"
#include "simulator/sim_pixels.h"

namespace kestrom::sim {

namespace {
constexpr std::size_t kMaxBadPixelEntries = 512;
}

std::vector<int> badPixelIndices(const Bytes& map) {
    std::vector<int> indices;
    for (std::size_t i = 0; i < kMaxBadPixelEntries && 4 * i + 4 <= map.size(); ++i) {
        int column = readBE16(&map[4 * i]);
        int row = readBE16(&map[4 * i + 2]);
        if (column == 0 && row == 0) break;
        if (column < 1 || column > kWidth || row < 1 || row > kHeight) continue;
        indices.push_back((row - 1) * kWidth + (column - 1));
    }
    return indices;
}

bool hasBadPixelEntries(const Bytes& map) {
    return map.size() >= 4 && (readBE16(&map[0]) != 0 || readBE16(&map[2]) != 0);
}

void repairBadPixels(const std::vector<int>& indices, std::uint8_t* pixels) {
    if (indices.empty()) return;
    std::vector<bool> listed(kPixels, false);
    for (int i : indices) listed[i] = true;
    for (int i : indices) {
        int row = i / kWidth, column = i % kWidth;
        long sum = 0;
        int count = 0;
        // Direct neighbours first; a pixel boxed in by bad ones takes the diagonals as well.
        for (int ring = 1; ring <= 2 && count == 0; ++ring) {
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    if (dr == 0 && dc == 0) continue;
                    if (ring == 1 && dr != 0 && dc != 0) continue;
                    int r = row + dr, c = column + dc;
                    if (r < 0 || r >= kHeight || c < 0 || c >= kWidth) continue;
                    int n = r * kWidth + c;
                    if (listed[n]) continue;
                    sum += loadPixel(pixels, n);
                    ++count;
                }
            }
        }
        storePixel(pixels, i, count == 0 ? 0 : static_cast<std::int16_t>(sum / count));
    }
}

void applyGainMap(const Bytes& map, std::uint8_t* pixels) {
    if (map.size() < kGainMapSize) return;
    for (int i = 0; i < kPixels; ++i) {
        auto entry = static_cast<std::int16_t>(readBE16(&map[2 * i]));
        long scaled = static_cast<long>(loadPixel(pixels, i)) * entry / 256;
        storePixel(pixels, i, clampPixel(static_cast<double>(scaled)));
    }
}

Bytes factoryBadPixelMap(const DetectorPattern& detector) {
    Bytes map((detector.badPixels.size() + 1) * 4, 0);
    for (std::size_t i = 0; i < detector.badPixels.size(); ++i) {
        writeBE16(&map[4 * i], static_cast<std::uint16_t>(detector.badPixels[i].column + 1));
        writeBE16(&map[4 * i + 2], static_cast<std::uint16_t>(detector.badPixels[i].row + 1));
    }
    return map;
}

Bytes factoryGainMap(const DetectorPattern& detector) {
    Bytes map(kGainMapSize);
    for (int i = 0; i < kPixels; ++i)
        writeBE16(&map[2 * i], static_cast<std::uint16_t>(std::lround(256.0 / detector.responsivity[i])));
    return map;
}

Bytes unityGainMap() {
    Bytes map(kGainMapSize);
    for (int i = 0; i < kPixels; ++i) writeBE16(&map[2 * i], 256);
    return map;
}

}  // namespace kestrom::sim
