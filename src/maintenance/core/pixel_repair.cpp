#include "maintenance/core/pixel_repair.h"

#include <cmath>
#include <cstdlib>

namespace kestrom {

namespace {

// Half away from zero, then toward zero.
std::int16_t roundedToPixel(double estimate) {
    const double rounded = estimate >= 0 ? estimate + 0.5 : estimate - 0.5;
    return static_cast<std::int16_t>(static_cast<int>(std::trunc(rounded)));
}

}  // namespace

std::int16_t repairedValue(const UtilityImage& image, const BadPixelList& list, int x, int y) {
    auto at = [&](int px, int py) { return static_cast<int>(image[static_cast<std::size_t>(pixelIndex(px, py))]); };
    if (list.isGood(x - 1, y) && list.isGood(x + 1, y) && list.isGood(x, y - 1) && list.isGood(x, y + 1)) {
        const int l = at(x - 1, y), r = at(x + 1, y), u = at(x, y - 1), d = at(x, y + 1);
        const int h = std::abs(r - l);
        const int v = std::abs(u - d);
        if (h + v > 0)
            return roundedToPixel((static_cast<double>(l + r) * v + static_cast<double>(u + d) * h) / (h + v) * 0.5);
        return roundedToPixel((l + r + u + d) * 0.25);
    }
    double sum = 0;
    int good = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if ((dx == 0 && dy == 0) || !list.isGood(x + dx, y + dy)) continue;
            sum += at(x + dx, y + dy);
            ++good;
        }
    return good == 0 ? std::int16_t{0} : roundedToPixel(sum / good);
}

void repairBadPixels(UtilityImage& image, const BadPixelList& list) {
    for (const PixPoint& p : list.points())
        image[static_cast<std::size_t>(pixelIndex(p.column, p.row))] = repairedValue(image, list, p.column, p.row);
}

}  // namespace kestrom
