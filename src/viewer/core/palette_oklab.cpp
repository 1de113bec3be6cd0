// OKLab conversions (Björn Ottosson's matrices) and the interpolation of ramps between anchors.
#include "viewer/core/palette_oklab.h"

#include <algorithm>
#include <cmath>

namespace kestrom {
namespace {

struct Lab {
    double l, a, b;
};

double toLinear(std::uint8_t channel) {
    double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::uint8_t fromLinear(double linear) {
    // A straight line in OKLab between two screen colours can leave the screen's gamut a little;
    // such a channel is held at its end.
    double c = std::clamp(linear, 0.0, 1.0);
    double s = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(std::clamp(s, 0.0, 1.0) * 255.0));
}

Lab toLab(std::uint32_t rrggbb) {
    double r = toLinear(static_cast<std::uint8_t>(rrggbb >> 16));
    double g = toLinear(static_cast<std::uint8_t>(rrggbb >> 8));
    double b = toLinear(static_cast<std::uint8_t>(rrggbb));
    double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

PaletteEntry fromLab(const Lab& lab, std::uint8_t flags) {
    double l = lab.l + 0.3963377774 * lab.a + 0.2158037573 * lab.b;
    double m = lab.l - 0.1055613458 * lab.a - 0.0638541728 * lab.b;
    double s = lab.l - 0.0894841775 * lab.a - 1.2914855480 * lab.b;
    l = l * l * l;
    m = m * m * m;
    s = s * s * s;
    return {fromLinear(4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s),
            fromLinear(-1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s),
            fromLinear(-0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s), flags};
}

}  // namespace

void interpolateRamp(std::span<PaletteEntry> ramp, std::span<const RampAnchor> anchors,
                     std::uint8_t flags) {
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const RampAnchor& from = anchors[i];
        ramp[static_cast<std::size_t>(from.entry)] = hexEntry(from.rrggbb, flags);
        if (i + 1 == anchors.size()) break;
        const RampAnchor& to = anchors[i + 1];
        Lab a = toLab(from.rrggbb);
        Lab b = toLab(to.rrggbb);
        int span = to.entry - from.entry;
        for (int k = 1; k < span; ++k) {
            double t = static_cast<double>(k) / span;
            ramp[static_cast<std::size_t>(from.entry + k)] =
                fromLab({a.l + (b.l - a.l) * t, a.a + (b.a - a.a) * t, a.b + (b.b - a.b) * t}, flags);
        }
    }
}

double oklabDistance(const PaletteEntry& a, const PaletteEntry& b) {
    auto lab = [](const PaletteEntry& e) {
        return toLab(std::uint32_t{e.red} << 16 | std::uint32_t{e.green} << 8 | e.blue);
    };
    Lab x = lab(a);
    Lab y = lab(b);
    return std::hypot(x.l - y.l, x.a - y.a, x.b - y.b);
}

}  // namespace kestrom
