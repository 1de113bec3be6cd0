// The built-in palettes' colours. Between the anchor colours that each ramp must pass through, the
// ramps are interpolated in OKLab; the grey ramp follows its gamma curve.
#include "viewer/core/pal_tables.h"

#include <cmath>

#include "viewer/core/palette_oklab.h"

namespace kestrom {
namespace {

constexpr PaletteEntry staticEntry(std::uint32_t rrggbb) { return hexEntry(rrggbb, 0); }
constexpr PaletteEntry special(std::uint32_t rrggbb) { return hexEntry(rrggbb, kNoCollapse); }

SpecialColours specialSet(std::array<std::uint32_t, 26> named) {
    SpecialColours set{};  // 165..170: black, flags 0
    for (std::size_t i = 0; i < named.size(); ++i) set[i] = special(named[i]);
    return set;
}

RampTable anchoredRamp(std::uint32_t belowScale, std::span<const RampAnchor> anchors) {
    RampTable ramp{};
    interpolateRamp(ramp, anchors, kNoCollapse);
    ramp[0] = hexEntry(belowScale, kNoCollapse);
    return ramp;
}

}  // namespace

const std::array<PaletteEntry, kStaticColours>& systemStaticColours() {
    static const std::array<PaletteEntry, kStaticColours> colours = {
        staticEntry(0x000000), staticEntry(0x800000), staticEntry(0x008000), staticEntry(0x808000),
        staticEntry(0x000080), staticEntry(0x800080), staticEntry(0x008080), staticEntry(0xC0C0C0),
        staticEntry(0x404040), staticEntry(0x202020),
        staticEntry(0xE0E0E0), staticEntry(0xA0A0A0), staticEntry(0x808080), staticEntry(0xFF0000),
        staticEntry(0x00FF00), staticEntry(0xFFFF00), staticEntry(0x0000FF), staticEntry(0xFF00FF),
        staticEntry(0x00FFFF), staticEntry(0xFFFFFF),
    };
    return colours;
}

// Saturation, AboveScale, Background2D, TextColor2D, Aperture2D, Background3D, TextColor3D,
// Fill3D, Special2D, seven unnamed blacks, GridColor, GridTextColor, XSymbolColor, XCurveColor,
// YSymbolColor, YCurveColor, XCurrentColor, YCurrentColor, XExcludeColor, YExcludeColor.
// Named entries of one set differ at least by one unit, so that none is taken for another.
const SpecialColours& screenSpecialColours() {
    static const SpecialColours set = specialSet({
        0xFEFFFF, 0xC0C0C0, 0x000001, 0xFFFFFE, 0xFEFEFE, 0xB4B4B4, 0x000001, 0xB4B4B5, 0x00FE00,
        0, 0, 0, 0, 0, 0, 0,
        0x606060, 0xA0A0A0, 0xFF5500, 0xC84300, 0xFFFF00, 0xFFFF01, 0xFE6100, 0x0061FE, 0x400000,
        0x000040,
    });
    return set;
}

const SpecialColours& printerSpecialColours() {
    static const SpecialColours set = specialSet({
        0xFCFDFE, 0xC0C0C0, 0xFFFEFF, 0x000100, 0x010001, 0xFFFFFE, 0x000001, 0xFFFFFD, 0x00FE00,
        0, 0, 0, 0, 0, 0, 0,
        0x606060, 0x010101, 0xFF5500, 0xFF5400, 0x00FE00, 0x00FE01, 0xFE6100, 0x0061FE, 0x400000,
        0x000040,
    });
    return set;
}

// Dark purple through magenta, blue, cyan, green and yellow to red; white on top.
const RampTable& colourRamp() {
    static constexpr RampAnchor anchors[] = {
        {1, 0x28003C},   {8, 0x730073},   {16, 0xDC0096},  {20, 0xBE00FF},  {27, 0x0000FF},
        {32, 0x0000CD},  {44, 0x009BFF},  {50, 0x00F5FF},  {56, 0x00FF00},  {67, 0x00BE00},
        {85, 0xFFFF00},  {106, 0xFF8000}, {127, 0xFF0000}, {128, 0xFFFFFF},
    };
    static const RampTable ramp = anchoredRamp(0x404040, anchors);
    return ramp;
}

// Grey levels 255 × ((k − 1)/127)^0.712, truncated: the curve that gives exactly the levels of
// the grey palette, 0, 8, 13, 38, 55, 93, 125, 154, 181, 207, 231, 255 at entries 1, 2, 3, 10,
// 16, 32, 48, 64, 80, 96, 112, 128.
const RampTable& greyRamp() {
    static const RampTable ramp = [] {
        RampTable r{};
        r[0] = hexEntry(0x4040FF, kNoCollapse);
        for (int k = 1; k < kRampTableEntries; ++k) {
            auto v = static_cast<std::uint8_t>(255.0 * std::pow((k - 1) / 127.0, 0.712));
            r[static_cast<std::size_t>(k)] = {v, v, v, kNoCollapse};
        }
        return r;
    }();
    return ramp;
}

const RampTable& blackRamp() {
    static const RampTable ramp = [] {
        RampTable r;
        r.fill(hexEntry(0x000000, kNoCollapse));
        r[0] = hexEntry(0x4040FF, kNoCollapse);
        return r;
    }();
    return ramp;
}

// Near black through purple, magenta, orange and yellow to white; the top entry is black.
const RampTable& purpleRamp() {
    static constexpr RampAnchor anchors[] = {
        {0, 0x090000},   {10, 0x7D007D},  {21, 0xFD00FD},  {22, 0xFF03F9},  {44, 0xFF7F41},
        {64, 0xFFBA22},  {87, 0xFFFE00},  {88, 0xFFFF04},  {107, 0xFFFF81}, {127, 0xFFFFFF},
    };
    static const RampTable ramp = [] {
        RampTable r = anchoredRamp(0x090000, anchors);
        r[128] = hexEntry(0x000000, 0);
        return r;
    }();
    return ramp;
}

// Black through navy and blue, violet, red and orange to yellow and white; the top entry is black.
const RampTable& blueRamp() {
    static constexpr RampAnchor anchors[] = {
        {1, 0x000409},   {10, 0x001B36},  {32, 0x0052A4},  {50, 0x007FFE},  {51, 0x047DFA},
        {64, 0x5E50A0},  {87, 0xFD0001},  {88, 0xFF0600},  {100, 0xFF8200}, {112, 0xFFFD00},
        {113, 0xFFFF0C}, {127, 0xFFFFFF},
    };
    static const RampTable ramp = [] {
        RampTable r = anchoredRamp(0x000000, anchors);
        r[128] = hexEntry(0x000000, 0);
        return r;
    }();
    return ramp;
}

}  // namespace kestrom
