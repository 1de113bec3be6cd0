// The built-in palettes: what each kind holds, the shared cache with its user counts, and the
// separation of ramp colours from the system's static colours.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "platform/dialog_service.h"
#include "viewer/core/pal.h"
#include "viewer/core/palette_map.h"

namespace kestrom {
namespace {

PaletteEntry at(const PaletteHandle& p, int index) { return p->entries()[static_cast<std::size_t>(index)]; }
PaletteEntry c4(std::uint32_t rrggbb) { return hexEntry(rrggbb, kNoCollapse); }
PaletteEntry c0(std::uint32_t rrggbb) { return hexEntry(rrggbb, 0); }

struct KindCase {
    int kind;
    PaletteEntry below;        // entry 10
    std::optional<PaletteEntry> lowest;   // entry 11, where the ramp has an anchor
    PaletteEntry nextToTop;    // entry 137
    PaletteEntry top;          // entry 138
    PaletteEntry background;   // entry 141: screen or printer set
};

TEST(BuiltInPalettes, EachKindTakesItsRampItsColourSetAndThePrintersWhite) {
    const PaletteEntry screen = c4(0x000001), printer = c4(0xFFFEFF);
    const KindCase cases[] = {
        {0, c4(0x404040), c4(0x28003C), c4(0xFF0000), c4(0xFFFFFF), screen},
        {1, c4(0x404040), c4(0x28003C), c4(0xFF0000), c4(0xFFFFFF), screen},
        {2, c4(0x4040FF), c4(0x000000), c4(0xFDFDFD), c4(0xFFFFFF), screen},
        {3, c4(0x4040FF), c4(0x000000), c4(0x000000), c4(0x000000), screen},
        {4, c4(0xE60000), c4(0xE60000), c4(0xE60000), c4(0xE60000), screen},
        {5, c4(0x00964B), c4(0x00964B), c4(0x00964B), c4(0x00964B), screen},
        {6, c4(0xFFFFFD), c4(0xFFFEFD), c4(0xFF0000), c4(0xFFFFFF), printer},
        {7, c4(0x404040), c4(0x28003C), c4(0xFF0000), c4(0xFFFFFF), printer},
        {8, c4(0xFFFFFD), c4(0xFFFEFD), c4(0xFDFDFD), c4(0xFFFFFF), printer},
        {9, c4(0x4040FF), c4(0x000000), c4(0x000000), c4(0x000000), printer},
        {10, c4(0xE60000), c4(0xE60000), c4(0xE60000), c4(0xE60000), printer},
        {11, c4(0x00964B), c4(0x00964B), c4(0x00964B), c4(0x00964B), printer},
        // The black top entry of these two ramps equals the static black and is moved off it.
        {12, c4(0x090000), std::nullopt, c4(0xFFFFFF), c0(0x000001), screen},
        {13, c4(0xFFFFFD), c4(0xFFFEFD), c4(0xFFFFFF), c0(0x000001), printer},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        PaletteHandle p = TPal::CreatePalette(c.kind);
        ASSERT_TRUE(p);
        EXPECT_EQ(at(p, 10), c.below);
        if (c.lowest) {
            EXPECT_EQ(at(p, 11), *c.lowest);
        }
        EXPECT_EQ(at(p, 137), c.nextToTop);
        EXPECT_EQ(at(p, 138), c.top);
        EXPECT_EQ(at(p, 141), c.background);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(at(p, i), systemStaticColours()[i]) << "entry " << i;
        for (int i = 246; i < 256; ++i) EXPECT_EQ(at(p, i), systemStaticColours()[i - 236]) << "entry " << i;
    }
}

TEST(BuiltInPalettes, OnlyKindsZeroToThirteenExist) {
    EXPECT_EQ(TPal::CreatePalette(14), nullptr);
    EXPECT_EQ(TPal::CreatePalette(-1), nullptr);
    TPal pal;
    EXPECT_EQ(pal.GetPalette(14), nullptr);
    EXPECT_EQ(pal.GetPalette(-1), nullptr);
    for (int kind = 0; kind < TPal::kKinds; ++kind) EXPECT_EQ(TPal::users(kind), 0);
}

// Every case puts one entry into a copy of the colour ramp and looks at it in the built palette.
TEST(StaticColourSeparation, EntriesEqualToAStaticColourInAllFourBytesMoveTheirBlue) {
    struct Case {
        const char* what;
        PaletteEntry put;
        PaletteEntry built;
    };
    const Case cases[] = {
        {"static black", c0(0x000000), c0(0x000001)},
        {"static maroon", c0(0x800000), c0(0x800001)},
        {"static navy", c0(0x000080), c0(0x00007F)},
        {"static white", c0(0xFFFFFF), c0(0xFFFFFE)},
        {"white with flags 4", c4(0xFFFFFF), c4(0xFFFFFF)},
        {"black with flags 4", c4(0x000000), c4(0x000000)},
        {"no static colour", c0(0x800001), c0(0x800001)},
        {"static colour with other flags", hexEntry(0x008000, 1), hexEntry(0x008000, 1)},
    };
    for (const Case& c : cases) {
        RampTable ramp = colourRamp();
        ramp[40] = c.put;
        EXPECT_EQ(at(TPal::CreatePal(ramp, false, false), 50), c.built) << c.what;
        // The single-colour builder leaves its colour as it is.
        EXPECT_EQ(at(TPal::CreatePal(c.put, false, true), 50), c.put) << c.what;
    }
}

TEST(StaticColourSeparation, ReachesTheUnusedEntriesButNotTheStaticOnes) {
    PaletteHandle p = TPal::CreatePalette(0);
    for (int i = 148; i <= 154; ++i) EXPECT_EQ(at(p, i), c4(0x000000)) << "entry " << i;
    for (int i = 165; i <= 245; ++i) EXPECT_EQ(at(p, i), c0(0x000001)) << "entry " << i;
    EXPECT_EQ(at(p, 0), c0(0x000000));
    EXPECT_EQ(at(p, 255), c0(0xFFFFFF));
}

TEST(StaticColourSeparation, StaticColoursDifferFromOneAnother) {
    const auto& s = systemStaticColours();
    for (std::size_t a = 0; a < s.size(); ++a)
        for (std::size_t b = a + 1; b < s.size(); ++b) EXPECT_NE(s[a], s[b]) << a << " and " << b;
}

class PalCacheTest : public ::testing::Test {
  protected:
    TPal pal;   // the cache starts empty with the first TPal and is emptied by its end
};

TEST_F(PalCacheTest, TwoUsersShareOnePaletteAndTheLastReturnDeletesIt) {
    PaletteHandle first = pal.GetPalette(0);
    PaletteHandle second = pal.GetPalette(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(TPal::users(0), 2);

    std::weak_ptr<const Palette> cached = first;
    pal.ReturnPalette(first);
    EXPECT_EQ(TPal::users(0), 1);
    first.reset();
    EXPECT_FALSE(cached.expired()) << "the other user still has it";

    pal.ReturnPalette(second);
    second.reset();
    EXPECT_EQ(TPal::users(0), 0);
    EXPECT_TRUE(cached.expired()) << "the cache deleted it";

    PaletteHandle again = pal.GetPalette(0);
    EXPECT_EQ(TPal::users(0), 1);
    EXPECT_EQ(again->entries(), TPal::CreatePalette(0)->entries());
}

TEST_F(PalCacheTest, EveryTPalUsesTheSameCache) {
    TPal other;
    PaletteHandle a = pal.GetPalette(2);
    PaletteHandle b = other.GetPalette(2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(TPal::users(2), 2);
    other.ReturnPalette(a);
    pal.ReturnPalette(b);
    EXPECT_EQ(TPal::users(2), 0);
}

TEST_F(PalCacheTest, HandlesTheCacheDoesNotHoldChangeNothing) {
    PaletteHandle cached = pal.GetPalette(0);
    ScriptedDialogs dialogs;
    TPaletteMap map(dialogs);
    const std::optional<PaletteHandle> foreign[] = {PaletteHandle{}, TPal::CreatePalette(0),
                                                    map.GetAPalette()};
    for (const auto& handle : foreign) {
        pal.ReturnPalette(*handle);
        EXPECT_EQ(TPal::users(0), 1);
    }
    EXPECT_EQ(pal.GetPalette(0), cached);
    EXPECT_EQ(TPal::users(0), 2);
}

TEST_F(PalCacheTest, EndingOneTPalLeavesAnotherUserAPaletteToDrawWith) {
    PaletteHandle held = pal.GetPalette(1);
    {
        TPal ending;
        ending.GetPalette(1);
        EXPECT_EQ(TPal::users(1), 2);
    }
    // The cache no longer holds it; the holder's palette is whole, and returning it is harmless.
    EXPECT_EQ(TPal::users(1), 0);
    EXPECT_EQ(held->entries(), TPal::CreatePalette(1)->entries());
    pal.ReturnPalette(held);
    EXPECT_EQ(TPal::users(1), 0);

    PaletteHandle rebuilt = pal.GetPalette(1);
    EXPECT_NE(rebuilt, held);
    EXPECT_EQ(TPal::users(1), 1);
}

}  // namespace
}  // namespace kestrom
