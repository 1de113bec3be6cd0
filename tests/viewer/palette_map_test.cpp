// The user-defined palette: its text lines, its named colours and its user count.
#include <gtest/gtest.h>

#include <optional>

#include "platform/dialog_service.h"
#include "viewer/core/pal.h"
#include "viewer/core/palette_items.h"
#include "viewer/core/palette_map.h"

namespace kestrom {
namespace {

// A block whose every entry has a colour of its own, so a colour names its entry.
LogPalette distinctBlock() {
    LogPalette block;
    for (int i = 0; i < kPaletteSize; ++i)
        block.entries[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i),
                                                      static_cast<std::uint8_t>(255 - i),
                                                      static_cast<std::uint8_t>(i ^ 0x5A), 0};
    return block;
}

class PaletteMapTest : public ::testing::Test {
  protected:
    ScriptedDialogs dialogs;
    TPaletteMap map{dialogs};

    // The block as the next palette build makes it from these lines.
    const LogPalette& rebuiltWith(std::vector<std::string> lines) {
        map.setItems(std::move(lines));
        map.FreePalette();
        map.GetAPalette();
        return map.GetLogPalette();
    }
};

TEST_F(PaletteMapTest, OneLineChangesItsEntryAndNoOther) {
    map.SetPalette(distinctBlock());
    map.setItems({"140 255 0 0"});
    EXPECT_EQ(map.AboveScale(), 0x0000FFu);   // red
    LogPalette expected = distinctBlock();
    expected.entries[140] = {255, 0, 0, kNoCollapse};
    EXPECT_EQ(map.GetLogPalette(), expected);
    EXPECT_TRUE(dialogs.boxes.empty());
}

struct LineCase {
    const char* line;
    std::optional<int> entry;            // the entry it sets; none: ignored
    PaletteEntry colour = {};
    bool junk = false;
};

TEST_F(PaletteMapTest, LinesAreReadAsTheirFourNumbers) {
    const LineCase cases[] = {
        {"5 1 2 3", 5, {1, 2, 3, 4}},
        {" \t5   1\t2 3  words after the numbers", 5, {1, 2, 3, 4}},
        {"5.9 1.9 -0.5 2.7", 5, {1, 0, 2, 4}},
        {"-0.5 7 8 9", 0, {7, 8, 9, 4}},
        {"255 1 2 3", 255, {1, 2, 3, 4}},
        {"5 256 300 -1", 5, {0, 44, 255, 4}},          // the low 8 bits
        {"5 1e3 -257 4e20", 5, {232, 255, 0, 4}},
        {"+5 +1 2 3", 5, {1, 2, 3, 4}},
        {"5 1 2 3\r", 5, {1, 2, 3, 4}},
        {"300 1 2 3", std::nullopt},
        {"256 1 2 3", std::nullopt},
        {"-1 1 2 3", std::nullopt},
        {"", std::nullopt, {}, true},
        {"abc", std::nullopt, {}, true},
        {"5 1 2", std::nullopt, {}, true},
        {"5,1,2,3", std::nullopt, {}, true},
        {"5 1 2 x", std::nullopt, {}, true},
        {"nan 1 2 3", std::nullopt, {}, true},
        {"5 inf 2 3", std::nullopt, {}, true},
        {"5 1e999 2 3", std::nullopt, {}, true},
        {"0x10 1 2 3", std::nullopt, {}, true},
        {"+-5 1 2 3", std::nullopt, {}, true},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(std::string("line \"") + c.line + "\"");
        map.SetPalette(distinctBlock());
        dialogs.boxes.clear();
        LogPalette expected = distinctBlock();
        if (c.entry) expected.entries[static_cast<std::size_t>(*c.entry)] = c.colour;
        EXPECT_EQ(rebuiltWith({c.line}), expected);
        ASSERT_EQ(dialogs.boxes.size(), c.junk ? 1u : 0u);
        if (c.junk) {
            EXPECT_EQ(dialogs.boxes[0].caption, "Error");
        }
    }
}

TEST_F(PaletteMapTest, JunkLinesAreNamedOnceForEachNewSetOfLines) {
    std::vector<std::string> lines = {"1 2 3 4", "junk", "2 3 4 5", std::string(200, 'x') + "\x01"};
    rebuiltWith(lines);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              "Palette lines that are not an entry number with red, green and blue were ignored:\n"
              "line 2: \"junk\"\n"
              "line 4: \"" + std::string(40, 'x') + "...\"\n");
    EXPECT_EQ(map.MakeColor(1), colorOf({2, 3, 4, 0}));
    EXPECT_EQ(map.MakeColor(2), colorOf({3, 4, 5, 0}));

    map.FreePalette();
    map.GetAPalette();
    EXPECT_EQ(dialogs.boxes.size(), 1u) << "the same lines again";
    rebuiltWith(lines);
    EXPECT_EQ(dialogs.boxes.size(), 2u) << "lines set anew";
}

TEST_F(PaletteMapTest, ManyJunkLinesMakeOneShortMessage) {
    rebuiltWith(std::vector<std::string>(1000, "not a line"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("line 5: \"not a line\"\nand 995 more.\n"), std::string::npos);
    EXPECT_LT(dialogs.boxes[0].text.size(), 400u);
}

TEST_F(PaletteMapTest, ALaterLineForTheSameEntryWins) {
    EXPECT_EQ(rebuiltWith({"7 1 1 1", "7 9 9 9"}).entries[7], (PaletteEntry{9, 9, 9, 4}));
}

TEST_F(PaletteMapTest, ColourPropertiesAnswerTheirEntries) {
    using Property = ColorRef (TPaletteMap::*)();
    struct Case {
        const char* name;
        Property property;
        int entry;
    };
    const Case cases[] = {
        {"Saturation", &TPaletteMap::Saturation, 139},
        {"AboveScale", &TPaletteMap::AboveScale, 140},
        {"BelowScale", &TPaletteMap::BelowScale, 10},
        {"TextColor2D", &TPaletteMap::TextColor2D, 142},
        {"Background2D", &TPaletteMap::Background2D, 141},
        {"Aperture2D", &TPaletteMap::Aperture2D, 143},
        {"Background3D", &TPaletteMap::Background3D, 144},
        {"TextColor3D", &TPaletteMap::TextColor3D, 145},
        {"Fill3D", &TPaletteMap::Fill3D, 146},
        {"Special2D", &TPaletteMap::Special2D, 147},
        {"GridColor", &TPaletteMap::GridColor, 155},
        {"GridTextColor", &TPaletteMap::GridTextColor, 156},
        {"XSymbolColor", &TPaletteMap::XSymbolColor, 157},
        {"XCurveColor", &TPaletteMap::XCurveColor, 158},
        {"YSymbolColor", &TPaletteMap::YSymbolColor, 159},
        {"YCurveColor", &TPaletteMap::YCurveColor, 160},
        {"XCurrentColor", &TPaletteMap::XCurrentColor, 161},
        {"YCurrentColor", &TPaletteMap::YCurrentColor, 162},
        {"XExcludeColor", &TPaletteMap::XExcludeColor, 163},
        {"YExcludeColor", &TPaletteMap::YExcludeColor, 164},
    };
    const LogPalette block = distinctBlock();
    map.SetPalette(block);
    for (const Case& c : cases)
        EXPECT_EQ((map.*c.property)(), colorOf(block.entries[static_cast<std::size_t>(c.entry)])) << c.name;
    EXPECT_EQ(map.PaletteColor(0), colorOf(block.entries[10]));
    EXPECT_EQ(map.PaletteColor(128), colorOf(block.entries[138]));
    EXPECT_EQ(map.PaletteColor(-11), 0u);
    EXPECT_EQ(map.PaletteColor(246), 0u);
    EXPECT_EQ(map.Entries(), 128);
}

TEST_F(PaletteMapTest, SetPaletteWritesOneLinePerEntry) {
    LogPalette block = distinctBlock();
    map.SetPalette(block);
    ASSERT_EQ(map.Items().size(), 256u);
    EXPECT_EQ(map.Items()[0], "0 0 255 90");
    EXPECT_EQ(map.Items()[255], "255 255 0 165");
    // Read back, the lines give the same colours, now with flags 4.
    for (auto& e : block.entries) e.flags = kNoCollapse;
    EXPECT_EQ(rebuiltWith(map.Items()), block);
}

TEST_F(PaletteMapTest, BuildingCountsUsersAndTheLastReturnDeletes) {
    EXPECT_EQ(map.users(), 0);
    map.setItems({"141 1 2 3"});
    EXPECT_EQ(map.Background2D(), colorOf({1, 2, 3, 0}));
    EXPECT_EQ(map.users(), 1) << "a colour property built the palette";
    map.TextColor2D();
    EXPECT_EQ(map.users(), 1) << "with a palette, a property counts nobody";

    PaletteHandle h = map.hPalette();
    EXPECT_EQ(map.hPalette(), h);
    EXPECT_EQ(map.users(), 3) << "every read of hPalette counts";

    map.ReturnPalette(TPal::CreatePalette(0));
    EXPECT_EQ(map.users(), 3) << "a handle of another palette";
    map.ReturnPalette(h);
    map.ReturnPalette(h);
    EXPECT_EQ(map.users(), 1);

    // Lines changed now take effect only with the next build.
    map.setItems({"141 9 9 9"});
    EXPECT_EQ(map.hPalette(), h);
    EXPECT_EQ(h->color(141), colorOf({1, 2, 3, 0}));
    map.ReturnPalette(h);
    map.ReturnPalette(h);
    EXPECT_EQ(map.users(), 0);
    PaletteHandle rebuilt = map.GetAPalette();
    EXPECT_NE(rebuilt, h);
    EXPECT_EQ(rebuilt->color(141), colorOf({9, 9, 9, 0}));
    EXPECT_EQ(h->color(141), colorOf({1, 2, 3, 0})) << "the old holder still draws with its palette";
}

TEST_F(PaletteMapTest, FreePaletteDeletesWhateverTheCount) {
    PaletteHandle h = map.GetAPalette();
    map.GetAPalette();
    map.FreePalette();
    EXPECT_EQ(map.users(), 0);
    EXPECT_NE(map.GetAPalette(), h);
    EXPECT_EQ(map.users(), 1);
}

TEST_F(PaletteMapTest, TheBlockGetsItsVersionAndCountWhenBuilt) {
    LogPalette odd = distinctBlock();
    odd.version = 0x123;
    odd.entryCount = 17;
    map.SetPalette(odd);
    const LogPalette& block = map.GetLogPalette();
    EXPECT_EQ(map.users(), 1);
    EXPECT_EQ(block.version, 0x300);
    EXPECT_EQ(block.entryCount, 256);
}

}  // namespace
}  // namespace kestrom
