#include "viewer/core/bitmap_stretch.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kestrom {

void stretchIndexed(const IndexedBitmap& bitmap, const BeamRect& source, const BeamRect& target,
                    const RgbTable& colours, const RgbImageView& image) {
    const BeamRect s{std::max(source.left, 0), std::max(source.top, 0),
                     std::min(source.right, bitmap.width), std::min(source.bottom, bitmap.height)};
    if (s.empty() || target.empty() || s != source) return;
    const int x0 = std::max(target.left, 0), x1 = std::min(target.right, image.width);
    const int y0 = std::max(target.top, 0), y1 = std::min(target.bottom, image.height);
    if (x0 >= x1 || y0 >= y1) return;
    const std::int64_t sw = s.width(), tw = target.width(), sh = s.height(), th = target.height();
    std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
    for (int x = x0; x < x1; ++x)
        columns[static_cast<std::size_t>(x - x0)] =
            s.left + static_cast<int>((2 * (x - target.left) + 1) * sw / (2 * tw));
    // Rows that show the same source row are copies of the first.
    int previousRow = -1;
    const std::uint32_t* previous = nullptr;
    for (int y = y0; y < y1; ++y) {
        const int row = s.top + static_cast<int>((2 * (y - target.top) + 1) * sh / (2 * th));
        std::uint32_t* out = image.pixels + static_cast<std::ptrdiff_t>(y) * image.stride + x0;
        if (row == previousRow) {
            std::memcpy(out, previous, sizeof(std::uint32_t) * columns.size());
            continue;
        }
        const std::uint8_t* in = bitmap.pixels.data() + static_cast<std::ptrdiff_t>(row) * bitmap.width;
        for (std::size_t i = 0; i < columns.size(); ++i) out[i] = colours[in[columns[i]]];
        previousRow = row;
        previous = out;
    }
}

}  // namespace kestrom
