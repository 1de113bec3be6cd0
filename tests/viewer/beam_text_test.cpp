// The results text and its number formats, and the palette the surface chooses.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

#include "viewer/core/beam_results_text.h"
#include "viewer/core/beam_warnings_record.h"
#include "viewer/core/palette_choice.h"
#include "viewer/core/picture_format.h"
#include "viewer/core/second_moment_record.h"

namespace kestrom {
namespace {

TEST(PictureFormat, GroupedAndScientific) {
    struct Case {
        double value;
        int decimals;
        const char* grouped;
    };
    for (const Case& c : {Case{0, 0, "0"}, Case{999, 0, "999"}, Case{1000, 0, "1,000"},
                          Case{1234567.4, 0, "1,234,567"}, Case{2.5, 0, "3"}, Case{-2.5, 0, "-3"},
                          Case{-1234.5, 2, "-1,234.50"}, Case{0.125, 2, "0.13"},
                          Case{0.004, 2, "0.00"}, Case{-0.004, 2, "0.00"},
                          Case{1e20, 0, "100,000,000,000,000,000,000"},
                          Case{std::numeric_limits<double>::quiet_NaN(), 2, "0.00"}})
        EXPECT_EQ(formatGrouped(c.value, c.decimals), c.grouped) << c.value;
    EXPECT_EQ(formatScientific(12345), "1.235e+04");
    EXPECT_EQ(formatScientific(0), "0.000e+00");
    EXPECT_EQ(formatScientific(-0.00123), "-1.230e-03");
    EXPECT_EQ(formatScientific(9.9996e-7), "1.000e-06");
    EXPECT_EQ(formatScientific(std::numeric_limits<double>::infinity()), "0.000e+00");
}

class ResultsText : public ::testing::Test {
  protected:
    void SetUp() override {
        header.CaptureResolution = 1;  // two detector pixels a side
        header.PixelHScale = 85;
        header.PixelVScale = 100;
        header.FrameTotal = 1234.4;
        header.ApertureTotal = 1000;
        header.Peak = 4095.125;
        header.Valley = -3;
        header.Centroidx = 61.5;
        header.Centroidy = 10;
        header.BeamWidthx = 12.488;
        header.BeamWidthy = 0;
    }
    VasprelHeader header{};
};

TEST_F(ResultsText, CountsInBitOrder) {
    BeamResultsTextSettings s;
    s.which = 0b1'1011;  // total, peak and min, centroid, widths
    EXPECT_EQ(beamResultsLines(header, s),
              (std::vector<BeamResultsLine>{{"Total", "4,938"},
                                            {"Peak", "4,095.13"},
                                            {"Min", "-3.00"},
                                            {"Centroid X", "10.46mm"},
                                            {"Centroid Y", "2.00mm"},
                                            {"Width X", "2.12mm"},
                                            {"Width Y", "0.00mm"}}));
    s.which = 0b0101'0001;  // bits 0, 4 and 6, the first choice: bit 6 has no line
    s.apertureShown = true;
    EXPECT_EQ(beamResultsLines(header, s),
              (std::vector<BeamResultsLine>{
                  {"Total", "4,000"}, {"Width X", "2.12mm"}, {"Width Y", "0.00mm"}}));
}

// Warnings recorded in the header: one line after the results chosen, naming each; none without.
TEST_F(ResultsText, WarningsAsOneLineAfterTheResults) {
    BeamResultsTextSettings s;
    s.which = 0b1'0000;  // widths
    const std::vector<BeamResultsLine> plain = beamResultsLines(header, s);
    struct Case {
        BeamWarnings warnings;
        const char* line;
    };
    const Case cases[] = {
        {{.widerThanDetector = true}, "wider than the detector"},
        {{.atFrameEdge = true, .lonePeak = true}, "at the frame's edge, peak is a lone pixel"},
        {{true, true, true, true},
         "wider than the detector, at the frame's edge, peak is a lone pixel, second moments "
         "lost the beam"},
    };
    for (const Case& c : cases) {
        VasprelHeader h = header;
        recordBeamWarnings(h, c.warnings);
        std::vector<BeamResultsLine> expected = plain;
        expected.push_back({"Warning", c.line});
        EXPECT_EQ(beamResultsLines(h, s), expected);
    }
    ASSERT_EQ(plain.size(), 2u);
}

TEST_F(ResultsText, CalibratedEnergyUnits) {
    BeamResultsTextSettings s;
    s.which = 0b11;
    s.calibrated = true;
    s.apertureShown = true;
    s.energyPerCount = 2.5e-4;
    s.energyDensityFactor = 0.5;
    s.unitsText = " mJ";
    EXPECT_EQ(beamResultsLines(header, s),
              (std::vector<BeamResultsLine>{{"Total", "1.000e+00 mJ"},
                                            {"Peak", "2.048e+03 mJ/cm\u00B2"},
                                            {"Min", "-1.500e+00 mJ/cm\u00B2"}}));
}

// Second-moment widths recorded in the header: their axes in millimetres, each direction by its
// own pitch (0.17 mm across, 0.2 mm down with the binning of 2), so that a beam round in pixels
// is elliptical on the detector and its major axis runs down (90 degrees).
TEST_F(ResultsText, SecondMomentAxesInMillimetres) {
    BeamResultsTextSettings s;
    s.which = 0b1'1000;  // centroid, widths
    header.unused284 = kSecondMomentTag;
    header.BeamWidthx = 40;
    header.BeamWidthy = 16;
    header.Mean = 0;
    EXPECT_EQ(beamResultsLines(header, s),
              (std::vector<BeamResultsLine>{{"Centroid X", "10.46mm"},
                                            {"Centroid Y", "2.00mm"},
                                            {"D\u03C3 major", "6.80mm"},
                                            {"D\u03C3 minor", "3.20mm"},
                                            {"Azimuth", "0.0\u00B0"},
                                            {"Ellipticity", "0.471"},
                                            {"Eff. diam.", "\u2013"}}));
    header.BeamWidthx = header.BeamWidthy = 20;
    s.which = 0b1'0000;
    EXPECT_EQ(beamResultsLines(header, s),
              (std::vector<BeamResultsLine>{{"D\u03C3 major", "4.00mm"},
                                            {"D\u03C3 minor", "3.40mm"},
                                            {"Azimuth", "90.0\u00B0"},
                                            {"Ellipticity", "0.850"},
                                            {"Eff. diam.", "\u2013"}}));
    // Square pixels: round; a beam along the axes at -30 degrees keeps its turn.
    header.PixelVScale = 85;
    EXPECT_EQ(beamResultsLines(header, s)[4], (BeamResultsLine{"Eff. diam.", "3.40mm"}));
    EXPECT_EQ(beamResultsLines(header, s)[2], (BeamResultsLine{"Azimuth", "\u2013"}));
    header.BeamWidthx = 30;
    header.BeamWidthy = 10;
    header.Mean = -30;
    const std::vector<BeamResultsLine> turned = beamResultsLines(header, s);
    EXPECT_EQ(turned[0], (BeamResultsLine{"D\u03C3 major", "5.10mm"}));
    EXPECT_EQ(turned[2], (BeamResultsLine{"Azimuth", "-30.0\u00B0"}));
}

TEST(PaletteChoice, KindForEveryCombination) {
    struct Case {
        bool printer, threeD;
        int showColor;
        bool colour;
        std::optional<int> kind;
    };
    const Case cases[] = {
        {false, false, 0, true, 0},  {false, false, 0, false, 2}, {false, false, 5, true, 12},
        {false, false, 6, true, 2},  {false, false, 2, true, {}}, {false, true, 0, true, 1},
        {false, true, 0, false, 3},  {false, true, 1, false, 1},  {false, true, 2, true, 4},
        {false, true, 3, true, 5},   {false, true, 4, true, 3},   {false, true, 5, true, {}},
        {true, false, 0, true, 6},   {true, false, 0, false, 8},  {true, false, 5, true, 13},
        {true, false, 6, true, 8},   {true, true, 0, true, 7},    {true, true, 0, false, 9},
        {true, true, 2, true, 10},   {true, true, 3, true, 11},   {true, true, 6, true, {}},
        {false, false, 7, true, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(surfacePaletteKind(c.printer, c.threeD, c.showColor, c.colour), c.kind)
            << c.printer << c.threeD << " " << c.showColor << c.colour;
}

}  // namespace
}  // namespace kestrom
