// Which palette entry holds what: the static colours, the ramp and the named colours of the displays.
#pragma once

namespace kestrom {

// Entries 0..9 and 246..255 are the system's static colours.
inline constexpr int kStaticColours = 20;
inline constexpr int kFirstUpperStaticIndex = 246;

// The ramp table: the below-scale entry, then the ramp proper, lowest value first.
inline constexpr int kBelowScaleIndex = 10;
inline constexpr int kFirstRampIndex = 11;
inline constexpr int kRampEntries = 128;
inline constexpr int kRampTableEntries = kRampEntries + 1;

inline constexpr int kSaturationIndex = 139;
inline constexpr int kAboveScaleIndex = 140;
inline constexpr int kBackground2DIndex = 141;
inline constexpr int kTextColor2DIndex = 142;
inline constexpr int kAperture2DIndex = 143;
inline constexpr int kBackground3DIndex = 144;
inline constexpr int kTextColor3DIndex = 145;
inline constexpr int kFill3DIndex = 146;
inline constexpr int kSpecial2DIndex = 147;
inline constexpr int kGridColorIndex = 155;
inline constexpr int kGridTextColorIndex = 156;
inline constexpr int kXSymbolColorIndex = 157;
inline constexpr int kXCurveColorIndex = 158;
inline constexpr int kYSymbolColorIndex = 159;
inline constexpr int kYCurveColorIndex = 160;
inline constexpr int kXCurrentColorIndex = 161;
inline constexpr int kYCurrentColorIndex = 162;
inline constexpr int kXExcludeColorIndex = 163;
inline constexpr int kYExcludeColorIndex = 164;

// The special colours of a set fill entries 139..170.
inline constexpr int kFirstSpecialIndex = kSaturationIndex;
inline constexpr int kSpecialEntries = 32;

}  // namespace kestrom
