#include "viewer/core/color_bar.h"

#include <algorithm>

#include "viewer/core/palette_layout.h"

namespace kestrom {
namespace {

std::int64_t fullScale(std::int32_t pixelBits) {
    return std::int64_t{1} << std::clamp<std::int32_t>(pixelBits, 1, 15);
}

}  // namespace

std::vector<ColorBarNumber> colorBarNumbers(int displayScale, std::int32_t scaleBase,
                                            std::int32_t pixelBits, std::int32_t ac) {
    const int s = std::clamp(displayScale, 0, 5);
    const std::int64_t m = fullScale(pixelBits), b = scaleBase, r = m >> s, step = r / 16;
    const std::int64_t a = std::max<std::int32_t>(ac, 0);
    std::vector<ColorBarNumber> numbers;
    std::int64_t top, limit;
    if (s != 0) {
        if (b + r > m - a - 1) numbers.push_back({m - a - 1, kSaturationIndex});
        const std::int64_t f = m - m / 64 - a;
        if (f < b + r) {
            numbers.push_back({f, kSaturationIndex});
            top = f;
            limit = f + 1;
        } else {
            numbers.push_back({b + r - 1, kFirstRampIndex + kRampEntries - 1});
            top = b + r;
            limit = b + r + 1;
        }
    } else {
        top = b + r - a - 1;
        limit = b + r - r / 64 - a;
        numbers.push_back({top, kSaturationIndex});
        numbers.push_back({limit, kSaturationIndex});
    }
    // A full scale under 16 counts has no ladder steps.
    if (step <= 0) return numbers;
    std::int64_t j = 0;
    if (top > b) j = (top - b + step - 1) / step;
    for (std::int64_t k = std::min<std::int64_t>(j, 16) - 1; k >= 0; --k) {
        const std::int64_t value = b + k * step;
        if (value < limit) numbers.push_back({value, kFirstRampIndex + 8 * static_cast<int>(k)});
    }
    return numbers;
}

int colorBarCharacters(std::int32_t pixelBits) {
    const std::int64_t m = fullScale(pixelBits);
    int powers = 0;
    for (std::int64_t p = 1; p < m; p *= 10) ++powers;
    return 1 + powers;
}

}  // namespace kestrom
