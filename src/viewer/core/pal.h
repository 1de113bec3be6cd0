// TPal: the fourteen built-in palettes, built on demand and shared by every user in the program.
#pragma once

#include "viewer/core/pal_tables.h"
#include "viewer/core/palette_types.h"

namespace kestrom {

// Kinds 0..13: colour, grey, black, red, green, purple and blue ramps with the screen or the
// printer colours, for the 2-D or the 3-D view. The cache of shared palettes belongs to the whole
// program; every TPal uses the same one, on the main thread only.
class TPal {
  public:
    static constexpr int kKinds = 14;

    TPal();
    ~TPal();
    TPal(const TPal&) = delete;
    TPal& operator=(const TPal&) = delete;

    // The shared palette of a kind, built on first use; counts one more user. None for a kind
    // outside 0..13.
    PaletteHandle GetPalette(int kind);
    // Counts one user less of the shared palette that handle is; the last one deletes it from the
    // cache. No handle, and handles the cache does not hold, change nothing.
    void ReturnPalette(const PaletteHandle& handle);

    // A new palette of a kind 0..13 of its own, not shared; none for other kinds.
    static PaletteHandle CreatePalette(int kind);
    // The two builders: from a ramp table, or with one colour for the whole ramp.
    static PaletteHandle CreatePal(const RampTable& ramp, bool printer, bool threeD);
    static PaletteHandle CreatePal(const PaletteEntry& colour, bool printer, bool threeD);

    // How many users the shared palette of a kind has (0 when there is none).
    static int users(int kind);
};

}  // namespace kestrom
