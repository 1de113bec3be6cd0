#include "viewer/core/legible_text.h"

#include <algorithm>
#include <cmath>

namespace kestrom {
namespace {

constexpr ColorRef kBlack = 0x000000;
constexpr ColorRef kWhite = 0xFFFFFF;

// A channel of 0..255 as the light it gives, undoing the display's gamma.
double linear(unsigned channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

double relativeLuminance(ColorRef colour) {
    return 0.2126 * linear(colour & 0xFF) + 0.7152 * linear((colour >> 8) & 0xFF) +
           0.0722 * linear((colour >> 16) & 0xFF);
}

double contrastRatio(ColorRef a, ColorRef b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

ColorRef backingFor(ColorRef text) {
    return contrastRatio(text, kBlack) >= contrastRatio(text, kWhite) ? kBlack : kWhite;
}

}  // namespace kestrom
