#include "viewer/core/palette_choice.h"

#include <array>

#include "viewer/core/palette_layout.h"

namespace kestrom {

std::optional<int> surfacePaletteKind(bool printer, bool threeD, int showColor, bool colour) {
    constexpr int kNone = -1;
    // Per view: the kinds for colour choices 1..6; choice 0 follows the colour flag.
    struct Row {
        int colourKind;
        int greyKind;
        std::array<int, 6> chosen;
    };
    constexpr Row kScreen2D{0, 2, {kNone, kNone, kNone, kNone, 12, 2}};
    constexpr Row kScreen3D{1, 3, {1, 4, 5, 3, kNone, kNone}};
    constexpr Row kPrinter2D{6, 8, {kNone, kNone, kNone, kNone, 13, 8}};
    constexpr Row kPrinter3D{7, 9, {7, 10, 11, 9, kNone, kNone}};
    const Row& row = printer ? (threeD ? kPrinter3D : kPrinter2D) : (threeD ? kScreen3D : kScreen2D);
    int kind = kNone;
    if (showColor == 0)
        kind = colour ? row.colourKind : row.greyKind;
    else if (showColor >= 1 && showColor <= 6)
        kind = row.chosen[static_cast<std::size_t>(showColor - 1)];
    if (kind == kNone) return std::nullopt;
    return kind;
}

BeamColours surfaceColours(const Palette& palette, bool threeD, bool printer) {
    BeamColours c;
    c.background = palette.color(threeD ? kBackground3DIndex : kBackground2DIndex);
    c.fill = palette.color(kFill3DIndex);
    c.aperture = palette.color(kAperture2DIndex);
    c.text = palette.color(threeD ? kTextColor3DIndex : kTextColor2DIndex);
    if (printer) {
        c.cursor = palette.color(kTextColor2DIndex);
        c.crosshairIndex = kTextColor2DIndex;
    }
    return c;
}

}  // namespace kestrom
