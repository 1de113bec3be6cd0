// A frame drawn through the surface for the command line: its options and what the picture holds.
#include "viewer/tools/frame_render.h"

#include <gtest/gtest.h>

#include <QColor>

#include "platform/dialog_service.h"
#include "results_test_support.h"
#include "viewer/core/results.h"
#include "viewer/core/pal.h"
#include "viewer/core/palette_layout.h"

namespace kestrom {
namespace {

TEST(FrameRenderOptions, ReadFromTheirText) {
    FrameRenderOptions o;
    EXPECT_EQ(parseRenderOption("--scale", "8X", o), std::nullopt);
    EXPECT_EQ(o.displayScale, 3);
    EXPECT_EQ(parseRenderOption("--scale", "16", o), std::nullopt);
    EXPECT_EQ(o.displayScale, 4);
    EXPECT_EQ(parseRenderOption("--size", "320x200", o), std::nullopt);
    EXPECT_EQ(o.size, QSize(320, 200));
    EXPECT_EQ(parseRenderOption("--cursor", "10,123", o), std::nullopt);
    ASSERT_TRUE(o.cursor);
    EXPECT_EQ(*o.cursor, (PixPoint{10, 123}));
    EXPECT_EQ(parseRenderOption("--hide", "crosshair,colorbar", o), std::nullopt);
    EXPECT_FALSE(o.crosshair);
    EXPECT_FALSE(o.colorBar);
    EXPECT_TRUE(o.results);
    EXPECT_EQ(parseRenderOption("--palette", "printer", o), std::nullopt);
    EXPECT_EQ(o.colours, FrameRenderOptions::Colours::Printer);

    struct Bad {
        const char* name;
        const char* value;
    };
    for (const Bad& b : {Bad{"--scale", "3X"}, Bad{"--scale", "X"}, Bad{"--size", "20"},
                         Bad{"--size", "9x9"}, Bad{"--cursor", "124,0"}, Bad{"--cursor", "5"},
                         Bad{"--zoom", "3"}, Bad{"--base", "-1"}, Bad{"--base", "12a"},
                         Bad{"--hide", "crosshair,frame"}, Bad{"--palette", "red"},
                         Bad{"--colour", "x"}}) {
        FrameRenderOptions before;
        EXPECT_NE(parseRenderOption(b.name, b.value, before), std::nullopt) << b.name << " " << b.value;
    }
}

TEST(FrameRender, DrawsTheBeamWithItsResultsAndColourBar) {
    auto frame = test::liveFrame();
    test::fill(*frame, 100);
    test::addGaussian(*frame, {62, 62, 8, 8, 20000});
    ScriptedDialogs dialogs;
    TResults(dialogs).Compute(frame.get());
    FrameRenderOptions o;
    o.size = {400, 300};
    const QImage image = renderFrame(*frame, o);
    ASSERT_EQ(image.size(), QSize(400, 300));
    const PaletteHandle palette = TPal::CreatePalette(0);
    auto colour = [&](int entry) { return QColor(qRgb(palette->entries()[entry].red,
                                                      palette->entries()[entry].green,
                                                      palette->entries()[entry].blue)); };
    // The display is the right-aligned 300 x 300 square; the results text is written at the left
    // in the text colour, the colour bar's top number in the saturation colour at the right.
    int text = 0, bar = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 100; ++x)
            if (image.pixelColor(x, y) == colour(kTextColor2DIndex)) ++text;
        for (int x = 340; x < 400; ++x)
            if (image.pixelColor(x, y) == colour(kSaturationIndex)) ++bar;
    }
    EXPECT_GT(text, 50);
    EXPECT_GT(bar, 10);
}

}  // namespace
}  // namespace kestrom
