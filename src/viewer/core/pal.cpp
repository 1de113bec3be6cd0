// The built-in palettes: the two builders, the kinds and the program-wide cache with user counts.
#include "viewer/core/pal.h"

#include <algorithm>

namespace kestrom {
namespace {

struct CachedPalette {
    PaletteHandle handle;
    int users = 0;
};

struct PalCache {
    std::array<CachedPalette, TPal::kKinds> kinds;
    int liveObjects = 0;
};

PalCache& cache() {
    static PalCache c;
    return c;
}

using Entries = std::array<PaletteEntry, kPaletteSize>;

// Steps shared by both builders: the static colours, the special colours of the set and, for
// the 2-D printer palettes, near-white lowest values so that they print white.
void placeStaticAndSpecialColours(Entries& e, bool printer, bool threeD) {
    const auto& statics = systemStaticColours();
    std::copy_n(statics.begin(), 10, e.begin());
    std::copy_n(statics.begin() + 10, 10, e.begin() + kFirstUpperStaticIndex);
    const SpecialColours& special = printer ? printerSpecialColours() : screenSpecialColours();
    std::copy(special.begin(), special.end(), e.begin() + kFirstSpecialIndex);
    if (printer && !threeD) {
        e[kBelowScaleIndex] = hexEntry(0xFFFFFD, kNoCollapse);
        e[kFirstRampIndex] = hexEntry(0xFFFEFD, kNoCollapse);
    }
}

// An entry that equals a static colour in all four bytes would be drawn as that system colour;
// moving its blue by one unit keeps it apart.
void separateFromStaticColours(Entries& e) {
    const auto& statics = systemStaticColours();
    for (int i = kBelowScaleIndex; i < kFirstUpperStaticIndex; ++i) {
        PaletteEntry& entry = e[static_cast<std::size_t>(i)];
        if (std::find(statics.begin(), statics.end(), entry) == statics.end()) continue;
        entry.blue = entry.blue == 0 ? 1 : static_cast<std::uint8_t>(entry.blue - 1);
    }
}

struct KindRecipe {
    const RampTable* ramp;         // none: the single-colour builder with colour
    PaletteEntry colour;
    bool printer;
    bool threeD;
};

KindRecipe recipe(int kind) {
    switch (kind) {
        case 0: return {&colourRamp(), {}, false, false};
        case 1: return {&colourRamp(), {}, false, true};
        case 2: return {&greyRamp(), {}, false, false};
        case 3: return {&blackRamp(), {}, false, true};
        case 4: return {nullptr, kRedRampColour, false, true};
        case 5: return {nullptr, kGreenRampColour, false, true};
        case 6: return {&colourRamp(), {}, true, false};
        case 7: return {&colourRamp(), {}, true, true};
        case 8: return {&greyRamp(), {}, true, false};
        case 9: return {&blackRamp(), {}, true, true};
        case 10: return {nullptr, kRedRampColour, true, true};
        case 11: return {nullptr, kGreenRampColour, true, true};
        case 12: return {&purpleRamp(), {}, false, false};
        default: return {&blueRamp(), {}, true, false};  // 13
    }
}

bool isKind(int kind) { return kind >= 0 && kind < TPal::kKinds; }

}  // namespace

TPal::TPal() {
    // The first user of the cache starts it empty.
    if (cache().liveObjects++ == 0) cache().kinds = {};
}

// Deletes the shared palettes this object's users may still hold; a holder keeps drawing with
// its own reference, the cache no longer knows the handle, and the holder's next palette
// request gets a new one.
TPal::~TPal() {
    --cache().liveObjects;
    for (CachedPalette& c : cache().kinds) {
        if (c.users == 0) continue;
        c.handle.reset();
        c.users = 0;
    }
}

PaletteHandle TPal::GetPalette(int kind) {
    if (!isKind(kind)) return nullptr;
    CachedPalette& c = cache().kinds[static_cast<std::size_t>(kind)];
    if (!c.handle) c.handle = CreatePalette(kind);
    ++c.users;
    return c.handle;
}

void TPal::ReturnPalette(const PaletteHandle& handle) {
    if (!handle) return;
    for (CachedPalette& c : cache().kinds) {
        if (c.handle != handle) continue;
        if (--c.users <= 0) {
            c.handle.reset();
            c.users = 0;
        }
        return;
    }
}

PaletteHandle TPal::CreatePalette(int kind) {
    if (!isKind(kind)) return nullptr;
    KindRecipe r = recipe(kind);
    return r.ramp ? CreatePal(*r.ramp, r.printer, r.threeD) : CreatePal(r.colour, r.printer, r.threeD);
}

PaletteHandle TPal::CreatePal(const RampTable& ramp, bool printer, bool threeD) {
    Entries e{};
    std::copy(ramp.begin(), ramp.end(), e.begin() + kBelowScaleIndex);
    placeStaticAndSpecialColours(e, printer, threeD);
    separateFromStaticColours(e);
    return std::make_shared<const Palette>(e);
}

PaletteHandle TPal::CreatePal(const PaletteEntry& colour, bool printer, bool threeD) {
    Entries e{};
    std::fill_n(e.begin() + kBelowScaleIndex, kRampTableEntries, colour);
    placeStaticAndSpecialColours(e, printer, threeD);
    return std::make_shared<const Palette>(e);
}

int TPal::users(int kind) {
    return isKind(kind) ? cache().kinds[static_cast<std::size_t>(kind)].users : 0;
}

}  // namespace kestrom
