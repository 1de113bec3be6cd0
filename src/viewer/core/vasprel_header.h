// The 320-byte header of a frame: in memory with the frame, and written raw into frame records.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace kestrom {

// A double stored in its 8 bytes at any offset. The header's doubles sit at offsets that are not
// multiples of 8, where a plain double (or a reference to one) would be misaligned; this reads
// and writes like a double and can be bound to a reference safely.
struct UnalignedDouble {
    unsigned char bytes[8];

    operator double() const {
        double v;
        std::memcpy(&v, bytes, sizeof v);
        return v;
    }
    UnalignedDouble& operator=(double v) {
        std::memcpy(bytes, &v, sizeof v);
        return *this;
    }
    UnalignedDouble& operator+=(double v) { return *this = double(*this) + v; }
    UnalignedDouble& operator-=(double v) { return *this = double(*this) - v; }
};
static_assert(sizeof(UnalignedDouble) == 8 && alignof(UnalignedDouble) == 1);

// The layout is a file format: little-endian fields at fixed offsets, doubles unaligned. A raw
// copy of the bytes is the header, on this host as in the file.
struct VasprelHeader {
    char Version[8];                 // zero-terminated text, "h2.90" for our frames
    UnalignedDouble DateTime;        // day count; never set here, zero unless loaded
    std::int32_t Height;             // rows
    std::int32_t Width;              // columns
    std::int32_t PixelBits;          // significant bits of the camera's values (14 live)
    std::int32_t CaptureResolution;  // binning exponent: a pixel covers 2^n x 2^n detector pixels
    UnalignedDouble PixelHScale;     // pixel pitch in micrometres
    UnalignedDouble PixelVScale;
    std::int32_t Interlaced;
    // Results, written after every computed frame.
    UnalignedDouble FrameTotal;
    UnalignedDouble ApertureTotal;
    UnalignedDouble ApertureFrac;
    UnalignedDouble Peak;
    UnalignedDouble Valley;
    std::int32_t PeakLocx;
    std::int32_t PeakLocy;
    UnalignedDouble Centroidx;
    UnalignedDouble Centroidy;
    UnalignedDouble BeamWidthx;
    UnalignedDouble BeamWidthy;
    UnalignedDouble Diameter;
    UnalignedDouble Divergencex;
    UnalignedDouble Divergencey;
    UnalignedDouble EffectiveArea;  // mm²
    std::int32_t ZLocation;         // carried
    std::int32_t WheelA;            // carried
    UnalignedDouble FilterA;        // carried
    std::int32_t WheelB;            // carried
    UnalignedDouble FilterB;        // carried
    UnalignedDouble BloomTop;
    UnalignedDouble BloomBottom;
    // Pass/fail verdicts of the monitoring step, which stays off: zero.
    std::int32_t FlagPass;
    std::int32_t FlagFail;
    std::int32_t FlagFrameTotal;
    std::int32_t FlagBeamWidthx;
    std::int32_t FlagBeamWidthy;
    std::int32_t FlagDivergencex;
    std::int32_t FlagDivergencey;
    std::int32_t FlagEffectiveArea;
    // The aperture.
    UnalignedDouble CenterXLoc;
    UnalignedDouble CenterYLoc;
    UnalignedDouble Major;
    UnalignedDouble Minor;
    std::int32_t Flags;         // kValidData: the frame holds data that may be shown
    std::int32_t AC;            // the camera's AC word of the frame
    std::int32_t RS;            // carried
    std::int32_t unused284;     // carried
    UnalignedDouble Mean;       // carried
    UnalignedDouble Deviation;  // carried
    // A byte, not a bool: a header loaded from a file may hold any value here.
    std::uint8_t Exclude;
    std::uint8_t reserved305[15];  // zero
};

static_assert(std::endian::native == std::endian::little,
              "frame headers and files are in the host's order, which must be little-endian");
static_assert(sizeof(VasprelHeader) == 320, "VasprelHeader must be exactly 320 bytes");
static_assert(std::is_trivially_copyable_v<VasprelHeader> &&
                  std::is_standard_layout_v<VasprelHeader>,
              "VasprelHeader is copied as raw bytes");
static_assert(offsetof(VasprelHeader, Version) == 0);
static_assert(offsetof(VasprelHeader, DateTime) == 8);
static_assert(offsetof(VasprelHeader, Height) == 16);
static_assert(offsetof(VasprelHeader, Width) == 20);
static_assert(offsetof(VasprelHeader, PixelBits) == 24);
static_assert(offsetof(VasprelHeader, CaptureResolution) == 28);
static_assert(offsetof(VasprelHeader, PixelHScale) == 32);
static_assert(offsetof(VasprelHeader, PixelVScale) == 40);
static_assert(offsetof(VasprelHeader, Interlaced) == 48);
static_assert(offsetof(VasprelHeader, FrameTotal) == 52);
static_assert(offsetof(VasprelHeader, ApertureTotal) == 60);
static_assert(offsetof(VasprelHeader, ApertureFrac) == 68);
static_assert(offsetof(VasprelHeader, Peak) == 76);
static_assert(offsetof(VasprelHeader, Valley) == 84);
static_assert(offsetof(VasprelHeader, PeakLocx) == 92);
static_assert(offsetof(VasprelHeader, PeakLocy) == 96);
static_assert(offsetof(VasprelHeader, Centroidx) == 100);
static_assert(offsetof(VasprelHeader, Centroidy) == 108);
static_assert(offsetof(VasprelHeader, BeamWidthx) == 116);
static_assert(offsetof(VasprelHeader, BeamWidthy) == 124);
static_assert(offsetof(VasprelHeader, Diameter) == 132);
static_assert(offsetof(VasprelHeader, Divergencex) == 140);
static_assert(offsetof(VasprelHeader, Divergencey) == 148);
static_assert(offsetof(VasprelHeader, EffectiveArea) == 156);
static_assert(offsetof(VasprelHeader, ZLocation) == 164);
static_assert(offsetof(VasprelHeader, WheelA) == 168);
static_assert(offsetof(VasprelHeader, FilterA) == 172);
static_assert(offsetof(VasprelHeader, WheelB) == 180);
static_assert(offsetof(VasprelHeader, FilterB) == 184);
static_assert(offsetof(VasprelHeader, BloomTop) == 192);
static_assert(offsetof(VasprelHeader, BloomBottom) == 200);
static_assert(offsetof(VasprelHeader, FlagPass) == 208);
static_assert(offsetof(VasprelHeader, FlagFail) == 212);
static_assert(offsetof(VasprelHeader, FlagFrameTotal) == 216);
static_assert(offsetof(VasprelHeader, FlagBeamWidthx) == 220);
static_assert(offsetof(VasprelHeader, FlagBeamWidthy) == 224);
static_assert(offsetof(VasprelHeader, FlagDivergencex) == 228);
static_assert(offsetof(VasprelHeader, FlagDivergencey) == 232);
static_assert(offsetof(VasprelHeader, FlagEffectiveArea) == 236);
static_assert(offsetof(VasprelHeader, CenterXLoc) == 240);
static_assert(offsetof(VasprelHeader, CenterYLoc) == 248);
static_assert(offsetof(VasprelHeader, Major) == 256);
static_assert(offsetof(VasprelHeader, Minor) == 264);
static_assert(offsetof(VasprelHeader, Flags) == 272);
static_assert(offsetof(VasprelHeader, AC) == 276);
static_assert(offsetof(VasprelHeader, RS) == 280);
static_assert(offsetof(VasprelHeader, unused284) == 284);
static_assert(offsetof(VasprelHeader, Mean) == 288);
static_assert(offsetof(VasprelHeader, Deviation) == 296);
static_assert(offsetof(VasprelHeader, Exclude) == 304);
static_assert(offsetof(VasprelHeader, reserved305) == 305);

namespace vasprel {
inline constexpr std::size_t kHeaderSize = sizeof(VasprelHeader);
inline constexpr const char* kVersion = "h2.90";
// Bit of Flags: the frame holds valid data and may be displayed.
inline constexpr std::int32_t kValidData = 2;
}  // namespace vasprel

// The version text up to its NUL, never past the 8 bytes (a loaded header may have no NUL).
std::string versionText(const VasprelHeader& header);

}  // namespace kestrom
