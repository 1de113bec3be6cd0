// The texts the viewer writes beside the image: the cursor's read-out, the printout's header and
// the backing that sets texts off from the image.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "results_test_support.h"
#include "viewer/core/cursor_readout.h"
#include "viewer/core/legible_text.h"
#include "viewer/core/printout_header.h"

namespace kestrom {
namespace {

// Pixel (column 7, row 3) holds 1,000; pixels are 100 µm wide and 50 µm high.
TEST(CursorReadout, ColumnRowMillimetresAndValueOfThePixelUnderTheCursor) {
    struct Case {
        const char* what;
        int column, row;
        std::int32_t pixelBits, binning;
        bool calibrated;
        std::string text;
    };
    const Case cases[] = {
        {"14-bit counts are half the value", 7, 3, 14, 0, false,
         "Column 7, Row 3 (0.70mm, 0.15mm)  Value 1,000 (500.0 counts)"},
        {"12-bit counts are an eighth", 7, 3, 12, 0, false,
         "Column 7, Row 3 (0.70mm, 0.15mm)  Value 1,000 (125.0 counts)"},
        {"binned pixels are twice as far apart", 7, 3, 14, 1, false,
         "Column 7, Row 3 (1.40mm, 0.30mm)  Value 1,000 (500.0 counts)"},
        {"calibrated, an energy density as the peak's", 7, 3, 14, 0, true,
         "Column 7, Row 3 (0.70mm, 0.15mm)  Value 2.500e-03 mJ/cm\u00B2 (500.0 counts)"},
        {"the last pixel", 123, 123, 14, 0, false,
         "Column 123, Row 123 (12.30mm, 6.15mm)  Value 0 (0.0 counts)"},
        {"left of the frame", -1, 3, 14, 0, false, ""},
        {"below the frame", 7, 124, 14, 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto frame = test::liveFrame();
        test::fill(*frame, 0);
        test::set(*frame, 7, 3, 1000);
        frame->GetHeader()->PixelBits = c.pixelBits;
        frame->GetHeader()->CaptureResolution = c.binning;
        frame->GetHeader()->PixelHScale = 100;
        frame->GetHeader()->PixelVScale = 50;
        BeamResultsTextSettings settings;
        settings.calibrated = c.calibrated;
        settings.energyDensityFactor = 2.5e-6;
        settings.unitsText = " mJ";
        EXPECT_EQ(cursorReadoutText(*frame, c.column, c.row, settings), c.text);
    }
}

TEST(PrintoutHeader, SaysWhichCameraWhenHowItWasSetAndHowTheWidthsWereTaken) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 11;
    local.tm_hour = 14;
    local.tm_min = 30;
    local.tm_sec = 5;
    local.tm_isdst = -1;
    const LogTime at = std::chrono::system_clock::from_time_t(std::mktime(&local));
    struct Case {
        std::int32_t method, chopRate, lockin, gain, pixelCorrection, gainCorrection;
        WidthMethod widths;
        int averageOf, sumOf;
        bool calibrated;
        std::string settings, treatment;
    };
    const Case cases[] = {
        {1, 0, 0, 410, 0, 1, WidthMethod::KnifeEdge, 0, 0, false,
         "Chopped, 24 Hz, camera gain 410, bad-pixel correction off, gain correction on",
         "Widths by the knife edge, each frame"},
        {1, 1, 0, 820, 1, 1, WidthMethod::SecondMoment, 8, 0, true,
         "Chopped, 48 Hz, camera gain 820, bad-pixel correction on, gain correction on",
         "Widths by the second moments (ISO 11146), the average of 8 frames, calibrated in mJ"},
        {0, 0, 1, 4095, 1, 0, WidthMethod::KnifeEdge, 0, 16, false,
         "Pulsed, Lockin, camera gain 4095, bad-pixel correction on, gain correction off",
         "Widths by the knife edge, the sum of 16 frames"},
        {0, 0, 0, 0, 0, 0, WidthMethod::KnifeEdge, 0, 0, false,
         "Pulsed, Auto, camera gain 0, bad-pixel correction off, gain correction off",
         "Widths by the knife edge, each frame"},
        {7, 0, 0, 1, 0, 0, WidthMethod::KnifeEdge, 0, 0, false,
         "Method 7, camera gain 1, bad-pixel correction off, gain correction off",
         "Widths by the knife edge, each frame"},
    };
    for (const Case& c : cases) {
        PrintoutFacts f;
        f.caption = "Kestrom III Viewer, Bench A - 1234";
        f.printedAt = at;
        f.settings.setWord(ConsoleBlock::kMethod, c.method);
        f.settings.setWord(ConsoleBlock::kChopRate, c.chopRate);
        f.settings.setWord(ConsoleBlock::kPulseLockin, c.lockin);
        f.settings.setWord(ConsoleBlock::kGain, c.gain);
        f.settings.setWord(ConsoleBlock::kPixelCorrection, c.pixelCorrection);
        f.settings.setWord(ConsoleBlock::kGainCorrection, c.gainCorrection);
        f.widthMethod = c.widths;
        f.averageOf = c.averageOf;
        f.sumOf = c.sumOf;
        f.calibrated = c.calibrated;
        f.unitsText = " mJ";
        const std::vector<std::string> expected = {f.caption, "Printed 2026-12-11 14:30:05",
                                                   c.settings, c.treatment};
        EXPECT_EQ(printoutHeaderLines(f), expected);
    }
}

TEST(LegibleText, ABackingOfBlackOrWhiteWhicheverTheTextStandsOutFrom) {
    struct Case {
        const char* what;
        ColorRef text, backing;
    };
    const Case cases[] = {
        {"white", 0xFFFFFF, 0x000000},       {"yellow", 0x00FFFF, 0x000000},
        {"green", 0x00FF00, 0x000000},       {"orange", 0x0080FF, 0x000000},
        {"dark purple", 0x3C0028, 0xFFFFFF}, {"blue", 0xFF0000, 0xFFFFFF},
        {"red", 0x0000FF, 0x000000},         {"black", 0x000001, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(backingFor(c.text), c.backing);
        // Whichever it is, the text can be read on it.
        EXPECT_GE(contrastRatio(c.text, backingFor(c.text)), 4.5);
    }
    EXPECT_DOUBLE_EQ(contrastRatio(0x000000, 0xFFFFFF), 21);
    EXPECT_DOUBLE_EQ(contrastRatio(0x123456, 0x123456), 1);
}

}  // namespace
}  // namespace kestrom
