// Beam results of known frames: flat and empty frames, single pixels, ties, apertures, Gaussian
// beams of known width, bloom blocks at the sides, and damaged input.
#include "viewer/core/results.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "results_test_support.h"
#include "second_moment_cases.h"
#include "viewer/core/second_moment_record.h"
#include "viewer/core/knife_edge.h"

namespace kestrom {
namespace {

using test::addGaussian;
using test::fill;
using test::Gaussian;
using test::liveFrame;
using test::Reference;
using test::referenceOver;
using test::set;

constexpr double kMmPerPixel = 0.085;                     // 85 µm pixels, no binning
constexpr double kMradPerPixel = kMmPerPixel / 8 * 1000;  // over the 400 / 50 mm distance
constexpr double kPixelArea = kMmPerPixel * kMmPerPixel;
constexpr double kSinglePixelWidth = 0.8 * 1.561;  // crossings at +0.1 and +0.9

// Every double of the results and of the aperture, by name, so a NaN names its field.
std::vector<std::pair<std::string, double>> doubles(const VasprelHeader& h) {
    return {{"FrameTotal", h.FrameTotal},
            {"ApertureTotal", h.ApertureTotal},
            {"ApertureFrac", h.ApertureFrac},
            {"Peak", h.Peak},
            {"Valley", h.Valley},
            {"Centroidx", h.Centroidx},
            {"Centroidy", h.Centroidy},
            {"BeamWidthx", h.BeamWidthx},
            {"BeamWidthy", h.BeamWidthy},
            {"Diameter", h.Diameter},
            {"Divergencex", h.Divergencex},
            {"Divergencey", h.Divergencey},
            {"EffectiveArea", h.EffectiveArea},
            {"BloomTop", h.BloomTop},
            {"BloomBottom", h.BloomBottom},
            {"CenterXLoc", h.CenterXLoc},
            {"CenterYLoc", h.CenterYLoc},
            {"Major", h.Major},
            {"Minor", h.Minor}};
}

void expectSound(const TResults& results, const test::Frame16& frame) {
    const VasprelHeader& h = *frame.GetHeader();
    for (const auto& [name, value] : doubles(h)) EXPECT_TRUE(std::isfinite(value)) << name;
    EXPECT_GE(h.PeakLocx, 0);
    EXPECT_LT(h.PeakLocx, frame.columns());
    EXPECT_GE(h.PeakLocy, 0);
    EXPECT_LT(h.PeakLocy, frame.rows());
    for (const ApertureTriplet& t : results.apertureList()) {
        EXPECT_GE(t.row, 0);
        EXPECT_LT(t.row, frame.rows());
        EXPECT_GE(t.first, 0);
        EXPECT_LE(t.last, frame.columns() - 1);
    }
}

// Cases of a table print as their names.
template <typename Case>
requires requires(const Case& c) { std::string(c.name); }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ResultsTest : public ::testing::Test {
  protected:
    ScriptedDialogs dialogs;
    TResults results{dialogs};
};

TEST_F(ResultsTest, BuffersAreReadyWithoutAMessage) {
    EXPECT_TRUE(results.buffersReady());
    EXPECT_TRUE(dialogs.boxes.empty());
}

// A zero frame after a beam frame: nothing is left over from the beam, every pixel counts for
// the effective area (each is at 80 % of a peak of 0), and the carried fields stay.
TEST_F(ResultsTest, ZeroFrameHasOnlyEffectiveAreaAndCarriedFields) {
    auto frame = liveFrame();
    addGaussian(*frame, {60, 50, 5, 4, 12000});
    results.Compute(frame.get());
    ASSERT_GT(frame->GetHeader()->BeamWidthx, 0);

    fill(*frame, 0);
    VasprelHeader& h = *frame->GetHeader();
    h.ZLocation = 1234;
    h.WheelA = 3;
    h.FilterA = 0.5;
    h.WheelB = 4;
    h.FilterB = 1.5;
    results.Compute(frame.get());

    for (const auto& [name, value] : doubles(h)) {
        if (name != "EffectiveArea") {
            EXPECT_EQ(value, 0) << name;
        }
    }
    EXPECT_EQ(h.PeakLocx, 0);
    EXPECT_EQ(h.PeakLocy, 0);
    EXPECT_DOUBLE_EQ(h.EffectiveArea, 124 * 124 * kPixelArea);
    EXPECT_EQ(h.ZLocation, 1234);
    EXPECT_EQ(h.WheelA, 3);
    EXPECT_EQ(double(h.FilterA), 0.5);
    EXPECT_EQ(h.WheelB, 4);
    EXPECT_EQ(double(h.FilterB), 1.5);
}

// A single pixel of 1000 raw (500 counts) anywhere, corners and sides included.
struct SinglePixelCase {
    int x, y;
};

class SinglePixelTest : public ResultsTest,
                        public ::testing::WithParamInterface<SinglePixelCase> {};

TEST_P(SinglePixelTest, PeakCentroidAndWidthsOfOnePixel) {
    const auto [x, y] = GetParam();
    auto frame = liveFrame();
    set(*frame, x, y, 1000);
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    EXPECT_EQ(double(h.Peak), 500);
    EXPECT_EQ(h.PeakLocx, x);
    EXPECT_EQ(h.PeakLocy, y);
    EXPECT_EQ(double(h.Centroidx), x);
    EXPECT_EQ(double(h.Centroidy), y);
    EXPECT_NEAR(h.BeamWidthx, kSinglePixelWidth, 1e-9);
    EXPECT_NEAR(h.BeamWidthy, kSinglePixelWidth, 1e-9);
    EXPECT_NEAR(h.Diameter, 1.2488, 1e-9);
    EXPECT_EQ(double(h.FrameTotal), 500);
    EXPECT_EQ(double(h.ApertureTotal), 500);
    EXPECT_EQ(double(h.CenterXLoc), x);
    EXPECT_EQ(double(h.CenterYLoc), y);
    EXPECT_NEAR(h.Major, 2 * kSinglePixelWidth, 1e-9);
    EXPECT_NEAR(h.Minor, 2 * kSinglePixelWidth, 1e-9);
    EXPECT_DOUBLE_EQ(h.EffectiveArea, kPixelArea);
    expectSound(results, *frame);
}

INSTANTIATE_TEST_SUITE_P(Positions, SinglePixelTest,
                         ::testing::Values(SinglePixelCase{61, 40}, SinglePixelCase{0, 0},
                                           SinglePixelCase{123, 123}, SinglePixelCase{0, 123},
                                           SinglePixelCase{123, 0}, SinglePixelCase{0, 70},
                                           SinglePixelCase{80, 123}));

// Equal extremes: the first in row-major order wins, for the peak and for the minimum.
struct TieCase {
    const char* name;
    std::int16_t value;
    std::vector<PixelPosition> pixels;  // all set to value on a background of 100
    PixelPosition expected;
};

class TieTest : public ResultsTest, public ::testing::WithParamInterface<TieCase> {};

TEST_P(TieTest, FirstInRowMajorOrder) {
    const TieCase& tie = GetParam();
    auto frame = liveFrame();
    fill(*frame, 100);
    for (const PixelPosition& p : tie.pixels) set(*frame, p.column, p.row, tie.value);
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    if (tie.value > 100) {
        EXPECT_EQ(h.PeakLocx, tie.expected.column);
        EXPECT_EQ(h.PeakLocy, tie.expected.row);
    } else {
        EXPECT_EQ(results.valleyLocation().column, tie.expected.column);
        EXPECT_EQ(results.valleyLocation().row, tie.expected.row);
        EXPECT_EQ(double(h.Valley), tie.value / 2.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Extremes, TieTest,
    ::testing::Values(TieCase{"PeaksInOneRow", 5000, {{90, 60}, {30, 60}}, {30, 60}},
                      TieCase{"PeaksInTwoRows", 5000, {{30, 61}, {90, 60}}, {90, 60}},
                      TieCase{"MinimaInOneRow", -4000, {{70, 50}, {50, 50}}, {50, 50}},
                      TieCase{"MinimaInTwoRows", -4000, {{50, 51}, {70, 50}}, {70, 50}},
                      // Rows are searched eight pixels at a time, the last few one by one.
                      TieCase{"PeaksInTheLastColumns", 5000, {{122, 60}, {121, 60}}, {121, 60}},
                      TieCase{"PeaksInTheLastAndFirstColumns", 5000, {{123, 60}, {0, 60}}, {0, 60}},
                      TieCase{"PeaksInOneBlockOfEight", 5000, {{13, 60}, {10, 60}}, {10, 60}},
                      TieCase{"MinimaInTheLastColumns", -4000, {{123, 50}, {120, 50}}, {120, 50}}),
    [](const auto& param) { return std::string(param.param.name); });

// A saturated square beam on a ground of the other sign, whose aperture lies inside the square:
// every pixel of the aperture holds the range's end, and so do its peak and minimum, found at
// its first pixel, whatever pixel (0, 0) holds.
struct RangeEndCase {
    const char* name;
    std::int16_t square, ground;
    int side;
};

class RangeEndTest : public ResultsTest, public ::testing::WithParamInterface<RangeEndCase> {};

TEST_P(RangeEndTest, ExtremesOfAnApertureOfOneValueAreThatValue) {
    const RangeEndCase& c = GetParam();
    auto frame = liveFrame();
    fill(*frame, c.ground);
    const int from = 62 - c.side / 2;
    for (int r = from; r < from + c.side; ++r)
        for (int k = from; k < from + c.side; ++k) set(*frame, k, r, c.square);
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    const ApertureList& aperture = results.apertureList();
    const auto first = std::find_if(aperture.begin(), aperture.end(),
                                    [](const ApertureTriplet& t) { return t.first <= t.last; });
    ASSERT_NE(first, aperture.end());
    for (const ApertureTriplet& t : aperture)
        for (int k = t.first; k <= t.last; ++k) ASSERT_EQ(frame->Pixel(t.row, k), c.square);
    EXPECT_EQ(double(h.Peak), c.square / 2.0);
    EXPECT_EQ(double(h.Valley), c.square / 2.0);
    EXPECT_EQ(h.PeakLocx, first->first);
    EXPECT_EQ(h.PeakLocy, first->row);
    EXPECT_EQ(results.valleyLocation().column, first->first);
    EXPECT_EQ(results.valleyLocation().row, first->row);
}

INSTANTIATE_TEST_SUITE_P(
    Squares, RangeEndTest,
    ::testing::Values(RangeEndCase{"HighestOnANegativeGround", 32767, -8192, 60},
                      RangeEndCase{"LowestOnAPositiveGround", -32768, 4096, 40}),
    [](const auto& param) { return std::string(param.param.name); });

// A beam pixel of 9000 and a far pixel of 500: the whole frame's widths include the far pixel,
// the aperture placed from them (about 1.3 pixels across the beam) leaves it out.
class BeamAndStrayPixel : public ResultsTest {
  protected:
    void SetUp() override {
        set(*frame, 60, 60, 9000);
        set(*frame, 2, 2, 500);
        results.Compute(frame.get());
    }
    std::unique_ptr<test::Frame16> frame = liveFrame();
    // Whole frame: 10 % at 950 raw, 90 % at 8550 raw of 9500; the stray pixel lies before both.
    static constexpr double kWholeFrameWidth =
        ((8550.0 - 500) / 9000 - (950.0 - 500) / 9000) * 1.561;
};

TEST_F(BeamAndStrayPixel, FrameTotalCoversTheFrameApertureTotalTheAperture) {
    const VasprelHeader& h = *frame->GetHeader();
    EXPECT_EQ(double(h.FrameTotal), 4750);
    EXPECT_EQ(double(h.ApertureTotal), 4500);
    EXPECT_NEAR(h.BeamWidthx, kSinglePixelWidth, 1e-9);
    EXPECT_NEAR(h.BeamWidthy, kSinglePixelWidth, 1e-9);
    EXPECT_NEAR(h.Major, 2 * kWholeFrameWidth, 1e-9);
}

TEST_F(BeamAndStrayPixel, DivergenceFollowsTheWholeFrameWidths) {
    const VasprelHeader& h = *frame->GetHeader();
    EXPECT_NEAR(h.Divergencex, kWholeFrameWidth * kMradPerPixel, 1e-9);
    EXPECT_NEAR(h.Divergencey, kWholeFrameWidth * kMradPerPixel, 1e-9);
    EXPECT_GT(std::abs(h.Divergencex - h.BeamWidthx * kMradPerPixel), 0.5);
}

// A bright ring around a dark disk: the whole frame's total is positive, but the aperture placed
// from its widths lies inside the disk and has none. No widths then, as no centroid; the
// divergence stays the whole frame's.
TEST_F(ResultsTest, ApertureWithoutAPositiveTotalHasNoWidths) {
    auto frame = liveFrame();
    for (int r = 0; r < 124; ++r)
        for (int k = 0; k < 124; ++k) {
            const int d2 = (k - 62) * (k - 62) + (r - 62) * (r - 62);
            if (d2 <= 8 * 8) set(*frame, k, r, d2 <= 5 * 5 ? -30000 : 25000);
        }
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    ASSERT_GT(h.FrameTotal, 0);
    ASSERT_LT(h.ApertureTotal, 0);
    ASSERT_GT(h.Major, 0);
    EXPECT_EQ(double(h.BeamWidthx), 0);
    EXPECT_EQ(double(h.BeamWidthy), 0);
    EXPECT_EQ(double(h.Diameter), 0);
    EXPECT_EQ(double(h.Centroidx), 0);
    EXPECT_EQ(double(h.Centroidy), 0);
    EXPECT_NEAR(h.Divergencex, h.Major / 2 * kMradPerPixel, 1e-9);
}

// Knife-edge widths of a Gaussian: the 10 %-90 % distance is 2 x 1.2816 sigma, so the width is
// 4.001 sigma; the centroid is the beam's centre. Sampling at pixel centres and rounding to
// integers keeps both within the stated tolerances.
struct GaussianCase {
    const char* name;
    Gaussian beam;
    std::int16_t background;
};

class GaussianTest : public ResultsTest, public ::testing::WithParamInterface<GaussianCase> {};

TEST_P(GaussianTest, WidthsAndCentroidMatchTheBeam) {
    const GaussianCase& g = GetParam();
    auto frame = liveFrame();
    fill(*frame, g.background);
    addGaussian(*frame, g.beam);
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    const double knifeEdgeSigmas = 2 * 1.2815516 * 1.561;
    EXPECT_NEAR(h.BeamWidthx, knifeEdgeSigmas * g.beam.sigmaX,
                0.01 * knifeEdgeSigmas * g.beam.sigmaX);
    EXPECT_NEAR(h.BeamWidthy, knifeEdgeSigmas * g.beam.sigmaY,
                0.01 * knifeEdgeSigmas * g.beam.sigmaY);
    EXPECT_NEAR(h.Diameter, (h.BeamWidthx + h.BeamWidthy) / 2, 1e-12);
    EXPECT_NEAR(h.Centroidx, g.beam.x, 0.05);
    EXPECT_NEAR(h.Centroidy, g.beam.y, 0.05);
    EXPECT_NEAR(h.Peak, (g.beam.peak + g.background) / 2, 0.5 * g.beam.peak * 0.01);
    // The aperture is twice the whole frame's widths across, and those are the divergence's.
    EXPECT_NEAR(h.Divergencex, h.Major / 2 * kMradPerPixel, 1e-9);
    EXPECT_NEAR(h.Divergencey, h.Minor / 2 * kMradPerPixel, 1e-9);
    EXPECT_NEAR(h.Major / 2, h.BeamWidthx, 0.01 * h.BeamWidthx);
    // Pixels at 80 % of the peak and more: an ellipse of 2 ln 1.25 sigma^2.
    const double area = M_PI * g.beam.sigmaX * g.beam.sigmaY * 2 * std::log(1.25);
    EXPECT_NEAR(h.EffectiveArea / kPixelArea, area, 0.15 * area + 2);
    expectSound(results, *frame);
}

INSTANTIATE_TEST_SUITE_P(Beams, GaussianTest,
                         ::testing::Values(GaussianCase{"Round", {61.5, 61.5, 6, 6, 16000}, 0},
                                           GaussianCase{"Elliptical", {61.3, 58.7, 7, 4, 16000}, 0},
                                           GaussianCase{"Small", {40.25, 80.75, 2.5, 3, 20000}, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

// Frames on a noisy ground, whose ellipse holds most of the frame, and on an empty ground, whose
// ellipse is small: the results inside the ellipse equal those taken afresh from its pixels (a
// plain reference), whichever way the ellipse's histogram was made.
struct GroundCase {
    const char* name;
    int ground, noise;      // raw
    bool ellipseHoldsMost;  // more of the frame lies inside the ellipse than outside
    std::vector<Gaussian> beams;
    std::vector<std::pair<PixelPosition, std::int16_t>> pixels;
};

class GroundTest : public ResultsTest, public ::testing::WithParamInterface<GroundCase> {};

TEST_P(GroundTest, EllipseResultsEqualAFreshEvaluation) {
    const GroundCase& g = GetParam();
    auto frame = liveFrame();
    std::mt19937 random(11);
    std::normal_distribution<double> noise(g.ground, g.noise);
    for (int i = 0; i < 124 * 124; ++i)
        frame->data()[i] =
            static_cast<std::int16_t>(g.noise ? std::round(noise(random)) : g.ground);
    for (const Gaussian& beam : g.beams) addGaussian(*frame, beam);
    for (const auto& [p, v] : g.pixels) set(*frame, p.column, p.row, v);
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();

    std::int64_t inside = 0;
    for (const ApertureTriplet& t : results.apertureList()) inside += t.last - t.first + 1;
    EXPECT_EQ(inside > 124 * 124 - inside, g.ellipseHoldsMost) << inside << " pixels inside";

    const Reference ref = referenceOver(*frame, results.apertureList());
    std::int64_t all = 0;
    for (int i = 0; i < 124 * 124; ++i) all += frame->data()[i];
    EXPECT_EQ(double(h.FrameTotal), all / 2.0);
    test::expectTotalAndExtremes(h, results.valleyLocation(), ref);
    EXPECT_NEAR(h.Centroidx, ref.centroidX, 1e-9);
    EXPECT_NEAR(h.Centroidy, ref.centroidY, 1e-9);
    const double low = std::trunc(std::trunc(h.ApertureTotal * 0.1) * 2);
    const double high = std::trunc(std::trunc(h.ApertureTotal * 0.9) * 2);
    const KnifeEdgeCrossings x = knifeEdgeCrossings(ref.columns.data(), 124, low, high);
    const KnifeEdgeCrossings y = knifeEdgeCrossings(ref.rows.data(), 124, low, high);
    EXPECT_NEAR(h.BeamWidthx, (x.high - x.low) * 1.561, 1e-9);
    EXPECT_NEAR(h.BeamWidthy, (y.high - y.low) * 1.561, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Grounds, GroundTest,
    ::testing::Values(
        GroundCase{"NoisyGround", 100, 12, true, {{61.3, 58.7, 7, 5, 16000}}, {}},
        GroundCase{"HotPixelsOutsideTheEllipse",
                   100,
                   12,
                   true,
                   {{70.2, 64.9, 6, 9, 12000}},
                   {{{1, 0}, 32000}, {{122, 123}, -5000}}},
        GroundCase{"TwoBeams", 60, 10, true, {{30, 40, 5, 5, 9000}, {90, 80, 7, 4, 14000}}, {}},
        GroundCase{"EmptyGround", 0, 0, false, {{50.5, 60.5, 5, 7, 16000}}, {}},
        // An offset ground: the centroid's levels are found from the minimum up, in few crowded
        // levels, in a flat one, or, past a few hundred levels, from the peak down after all.
        GroundCase{"FlatOffsetUnderABeam", 500, 0, true, {{61.3, 58.7, 7, 5, 16000}}, {}},
        GroundCase{"WideNoiseOnAnOffset", 3000, 400, true, {{50, 70, 6, 8, 20000}}, {}},
        GroundCase{"LowOffsetUnderANarrowBeam", 2, 0, false, {{70.5, 40.5, 3, 3, 30000}}, {}},
        // Values that only pixels outside the ellipse hold stay among the values present, with
        // nothing left in them.
        GroundCase{"MidLevelPixelsOutsideTheEllipse",
                   100,
                   12,
                   true,
                   {{61.3, 58.7, 7, 5, 16000}},
                   {{{0, 0}, 3001}, {{123, 0}, 3002}, {{0, 123}, 7003}, {{123, 123}, 51}}}),
    [](const auto& param) { return std::string(param.param.name); });

// The centroid's levels end where the energy above them reaches 86.5 % of the total: a bright
// pixel that holds exactly that share leaves the ground out, one raw value less takes it in. The
// aperture's centre is the whole frame's centroid. On a ground of 1 the levels are found from the
// minimum up; a pixel of 0 in the ground has them found from the peak down.
struct ShareCase {
    const char* name;
    bool zeroPixel;
    std::int16_t bright;  // at column 2, row 5 of an 8 x 8 frame
    bool groundCounts;
};

class CentroidShareTest : public ResultsTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(CentroidShareTest, LevelsStopWhereTheShareIsReached) {
    const ShareCase& c = GetParam();
    auto frame = liveFrame(8, 8);
    fill(*frame, 1);
    if (c.zeroPixel) set(*frame, 7, 0, 0);
    set(*frame, 2, 5, c.bright);
    std::int64_t total = 0;
    for (int i = 0; i < 64; ++i) total += frame->data()[i];
    ASSERT_EQ(std::ceil(0.865 * double(total)) == c.bright, !c.groundCounts) << "total " << total;

    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    const Reference ref = referenceOver(*frame, wholeFrameAperture(8, 8));
    EXPECT_NEAR(h.CenterXLoc, ref.centroidX, 1e-12);
    EXPECT_NEAR(h.CenterYLoc, ref.centroidY, 1e-12);
    if (c.groundCounts) {
        EXPECT_GT(std::abs(h.CenterXLoc - 2) + std::abs(h.CenterYLoc - 5), 0.1);
    } else {
        EXPECT_EQ(double(h.CenterXLoc), 2);
        EXPECT_EQ(double(h.CenterYLoc), 5);
    }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, CentroidShareTest,
                         ::testing::Values(ShareCase{"FromBelowExactShare", false, 404, false},
                                           ShareCase{"FromBelowShortOfTheShare", false, 403, true},
                                           ShareCase{"FromAboveExactShare", true, 398, false},
                                           ShareCase{"FromAboveShortOfTheShare", true, 397, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// Frames without the valid-data flag are computed just the same; the flag is the display's
// business and is left as it is.
TEST_F(ResultsTest, InvalidDataFlagChangesNothing) {
    auto valid = liveFrame(), invalid = liveFrame();
    addGaussian(*valid, {50.4, 70.2, 5, 6, 15000});
    addGaussian(*invalid, {50.4, 70.2, 5, 6, 15000});
    invalid->GetHeader()->Flags = 0;
    results.Compute(valid.get());
    results.Compute(invalid.get());
    EXPECT_EQ(invalid->GetHeader()->Flags, 0);
    invalid->GetHeader()->Flags = vasprel::kValidData;
    EXPECT_EQ(std::memcmp(valid->GetHeader(), invalid->GetHeader(), sizeof(VasprelHeader)), 0);
}

// Only the results block and the aperture are written: the monitoring verdicts, the camera
// description and the fields after the aperture keep what they hold.
TEST_F(ResultsTest, WritesOnlyResultsAndAperture) {
    auto frame = liveFrame();
    addGaussian(*frame, {60, 60, 5, 5, 15000});
    VasprelHeader& h = *frame->GetHeader();
    h.FlagPass = 7;
    h.FlagEffectiveArea = -1;
    h.AC = 99;
    h.Mean = 3.5;
    h.Exclude = 1;
    const VasprelHeader before = h;
    results.Compute(frame.get());
    EXPECT_EQ(std::memcmp(&before, &h, 52), 0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&before) + 208,
                          reinterpret_cast<const char*>(&h) + 208, 32),
              0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&before) + 272,
                          reinterpret_cast<const char*>(&h) + 272, 48),
              0);
}

// Bloom blocks: 10 rows at the top (40 raw) and the bottom (120 raw) edge, in the centroid's
// column; near a side the block is cut to the frame and the level stays the mean of what it
// holds.
struct BloomCase {
    double beamX;
    bool blockPastASide;  // the centroid's block of columns k - 5..k + 4 reaches past the frame
};

class BloomTest : public ResultsTest, public ::testing::WithParamInterface<BloomCase> {};

TEST_P(BloomTest, MeanOfTheEdgeRowsInTheCentroidColumn) {
    auto frame = liveFrame();
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 124; ++c) {
            set(*frame, c, r, 40);
            set(*frame, c, 123 - r, 120);
        }
    addGaussian(*frame, {GetParam().beamX, 62, 3, 5, 30000, 5});
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    const int k = static_cast<int>(h.Centroidx + 0.5);
    EXPECT_EQ(k - 5 < 0 || k + 4 > 123, GetParam().blockPastASide) << "centroid " << h.Centroidx;
    EXPECT_DOUBLE_EQ(h.BloomTop, 20);
    EXPECT_DOUBLE_EQ(h.BloomBottom, 60);
    expectSound(results, *frame);
}

INSTANTIATE_TEST_SUITE_P(CentroidColumns, BloomTest,
                         ::testing::Values(BloomCase{61, false}, BloomCase{1, true},
                                           BloomCase{123, true}));

// Flat frames, the extremes of the pixel range included.
struct FlatCase {
    const char* name;
    std::int16_t value;
    double width;     // both widths
    double centroid;  // both coordinates
    double effectivePixels;
    double bloom;
};

class FlatFrameTest : public ResultsTest, public ::testing::WithParamInterface<FlatCase> {};

TEST_P(FlatFrameTest, ResultsOfAFlatFrame) {
    const FlatCase& f = GetParam();
    auto frame = liveFrame();
    fill(*frame, f.value);
    results.Compute(frame.get());
    const VasprelHeader& h = *frame->GetHeader();
    EXPECT_EQ(double(h.Peak), f.value / 2.0);
    EXPECT_EQ(double(h.Valley), f.value / 2.0);
    EXPECT_EQ(double(h.FrameTotal), f.value / 2.0 * 124 * 124);
    EXPECT_EQ(h.PeakLocx, 0);
    EXPECT_EQ(h.PeakLocy, 0);
    EXPECT_NEAR(h.BeamWidthx, f.width, 1e-6);
    EXPECT_NEAR(h.BeamWidthy, f.width, 1e-6);
    EXPECT_NEAR(h.Centroidx, f.centroid, 1e-9);
    EXPECT_NEAR(h.Centroidy, f.centroid, 1e-9);
    EXPECT_DOUBLE_EQ(h.EffectiveArea, f.effectivePixels * kPixelArea);
    EXPECT_DOUBLE_EQ(h.BloomTop, f.bloom);
    EXPECT_DOUBLE_EQ(h.BloomBottom, f.bloom);
    expectSound(results, *frame);
}

// A flat positive frame: 10 % and 90 % fall at 12.4 and 111.6 columns. A negative total has no
// knife edge and no centroid; a negative peak leaves no pixel at 80 % of it.
constexpr double kFlatWidth = 99.2 * 1.561;
INSTANTIATE_TEST_SUITE_P(
    Values, FlatFrameTest,
    ::testing::Values(FlatCase{"Zero", 0, 0, 0, 124 * 124, 0},
                      FlatCase{"Positive", 1000, kFlatWidth, 61.5, 124 * 124, 500},
                      FlatCase{"Highest", 32767, kFlatWidth, 61.5, 124 * 124, 16383.5},
                      FlatCase{"Negative", -1000, 0, 0, 0, -500},
                      FlatCase{"Lowest", -32768, 0, 0, 0, -16384}),
    [](const auto& param) { return std::string(param.param.name); });

// Damaged or odd input of every kind yields numbers, never NaN, and no read outside the frame
// (the sanitizer build checks the reads).
TEST_F(ResultsTest, OddFramesGiveFiniteResults) {
    enum class Ground { Flat, Noise, ExtremeCheckerboard };
    struct Odd {
        const char* name;
        int width, height;
        Ground ground;
        std::int16_t level;  // of the flat ground
        std::optional<Gaussian> beam;
    };
    const std::vector<Odd> cases = {
        {"noise over the whole range", 124, 124, Ground::Noise, 0, {}},
        {"checkerboard of extremes", 124, 124, Ground::ExtremeCheckerboard, 0, {}},
        {"beam in the corner", 124, 124, Ground::Flat, 0, Gaussian{0, 0, 8, 8, 20000}},
        {"beam at the far corner", 124, 124, Ground::Flat, 0, Gaussian{123, 123, 12, 3, 20000}},
        {"beam on the right edge", 124, 124, Ground::Flat, 0, Gaussian{123.4, 60, 3, 20, 20000}},
        {"beam on negative ground", 124, 124, Ground::Flat, -3000, Gaussian{30, 90, 5, 5, 20000}},
        {"one column", 1, 50, Ground::Flat, 0, Gaussian{0, 20, 1, 4, 9000}},
        {"one row", 50, 1, Ground::Flat, 0, Gaussian{20, 0, 4, 1, 9000}},
        {"widest frame", 1024, 8, Ground::Flat, 0, Gaussian{1000, 4, 40, 2, 30000}},
    };
    std::mt19937 random(7);
    std::uniform_int_distribution<int> anyValue(-32768, 32767);
    for (const Odd& odd : cases) {
        SCOPED_TRACE(odd.name);
        auto frame = liveFrame(odd.width, odd.height);
        fill(*frame, odd.level);
        for (int r = 0; r < frame->rows(); ++r)
            for (int c = 0; c < frame->columns(); ++c) {
                if (odd.ground == Ground::Noise)
                    set(*frame, c, r, static_cast<std::int16_t>(anyValue(random)));
                if (odd.ground == Ground::ExtremeCheckerboard)
                    set(*frame, c, r, (r + c) % 2 ? 32767 : -32768);
            }
        if (odd.beam) addGaussian(*frame, *odd.beam);
        results.Compute(frame.get());
        expectSound(results, *frame);
    }
}

// A bright pixel swept over every position of a small frame, and beams of every width at every
// side: the aperture never leaves the frame.
TEST_F(ResultsTest, ApertureStaysInsideTheFrameForEveryPosition) {
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) {
            SCOPED_TRACE(testing::Message() << "pixel at " << x << "," << y);
            auto frame = liveFrame(13, 9);
            fill(*frame, 10);
            set(*frame, x, y, 30000);
            results.Compute(frame.get());
            expectSound(results, *frame);
            EXPECT_EQ(frame->GetHeader()->PeakLocx, x);
            EXPECT_EQ(frame->GetHeader()->PeakLocy, y);
        }
    for (double sigma : {0.3, 2.0, 9.0})
        for (double x : {-3.0, 0.0, 40.5, 62.0})
            for (double y : {-2.0, 0.0, 30.0, 47.0}) {
                SCOPED_TRACE(testing::Message()
                             << "beam at " << x << "," << y << " sigma " << sigma);
                auto frame = liveFrame(63, 48);
                addGaussian(*frame, {x, y, sigma, sigma * 1.5, 25000});
                results.Compute(frame.get());
                expectSound(results, *frame);
            }
}

// A header that does not describe its block, and headers with scales that are no numbers.
TEST_F(ResultsTest, HeaderThatDoesNotFitClearsTheResults) {
    auto frame = liveFrame();
    addGaussian(*frame, {60, 60, 5, 5, 15000});
    VasprelHeader& h = *frame->GetHeader();
    h.Width = 2000;
    h.FrameTotal = 123;
    h.ZLocation = 77;
    results.Compute(frame.get());
    EXPECT_EQ(double(h.FrameTotal), 0);
    EXPECT_EQ(double(h.Peak), 0);
    EXPECT_EQ(h.ZLocation, 77);
    results.Compute(nullptr);  // no frame: nothing to do
}

TEST_F(ResultsTest, UnusableScalesGiveZeroNotNaN) {
    auto frame = liveFrame();
    addGaussian(*frame, {60, 60, 5, 5, 15000});
    VasprelHeader& h = *frame->GetHeader();
    h.PixelHScale = std::nan("");
    h.PixelVScale = 1e308;
    h.CaptureResolution = 2000000000;
    h.PixelBits = -2147483647 - 1;
    results.Compute(frame.get());
    for (const auto& [name, value] : doubles(h)) EXPECT_TRUE(std::isfinite(value)) << name;
    EXPECT_EQ(double(h.EffectiveArea), 0);
    EXPECT_EQ(double(h.Divergencex), 0);
}

TEST_F(ResultsTest, FrameArrayCountsTheFramesAfterTheFirst) {
    auto a = liveFrame(), b = liveFrame();
    TResults::Frame* one[] = {a.get(), nullptr};
    TResults::Frame* two[] = {a.get(), b.get(), nullptr};
    results.SetFrameArray(two);
    EXPECT_EQ(results.seriesFrames(), 1);
    results.SetFrameArray(one);
    EXPECT_EQ(results.seriesFrames(), 0);
    set(*a, 10, 20, 1000);
    results.SetFrame(a.get());
    EXPECT_EQ(a->GetHeader()->PeakLocx, 10);
}

// The second-moment method: the centroid and widths are the second moments', the aperture is
// turned with the beam's axes, and the header records the method in the fields the format leaves
// unused; the knife edge afterwards gives exactly what a fresh evaluation gives and clears the
// record, while another writer's bytes there are carried.
TEST_F(ResultsTest, SecondMomentMethodSetsTheWidthsTurnsTheApertureAndRecordsItself) {
    auto frame = liveFrame();
    const std::vector<std::int16_t> pixels =
        test::turnedBeamPixels({"40 x 16 at 30", 40, 16, 30}, {100, 0});
    std::copy(pixels.begin(), pixels.end(), frame->data());
    const VasprelHeader fresh = *frame->GetHeader();
    VasprelHeader& h = *frame->GetHeader();

    results.SetWidthMethod(WidthMethod::SecondMoment);
    results.Compute(frame.get());
    const SecondMomentWidths& w = results.secondMoment();
    EXPECT_NEAR(w.azimuthDegrees(), 30, 0.01);
    EXPECT_EQ(h.Centroidx, w.centroidX);
    EXPECT_EQ(h.Centroidy, w.centroidY);
    EXPECT_EQ(h.BeamWidthx, w.widthX);
    EXPECT_EQ(h.BeamWidthy, w.widthY);
    EXPECT_EQ(h.Diameter, (w.widthX + w.widthY) / 2);
    EXPECT_EQ(h.Major, 2 * w.widthX);
    EXPECT_EQ(h.Minor, 2 * w.widthY);
    EXPECT_NEAR(results.aperture().angle, w.azimuthRadians, 1e-12);
    EXPECT_EQ(h.unused284, kSecondMomentTag);
    EXPECT_EQ(h.Mean, w.azimuthDegrees());
    const std::optional<RecordedSecondMoment> recorded = recordedSecondMoment(h);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->major, w.major);
    EXPECT_EQ(recorded->azimuthDegrees, w.azimuthDegrees());
    EXPECT_NEAR(recorded->ellipticity, 0.4, 0.001);
    // The turned aperture holds the beam's far end along its major axis, which an unturned
    // ellipse of the same extents would leave out.
    const double far = 0.9 * w.major, turn = w.azimuthRadians;
    const int column = static_cast<int>(std::lround(w.centroidX + far * std::cos(turn)));
    const int row = static_cast<int>(std::lround(w.centroidY + far * std::sin(turn)));
    bool held = false;
    for (const ApertureTriplet& t : results.apertureList())
        held = held || (t.row == row && t.first <= column && column <= t.last);
    EXPECT_TRUE(held);

    results.SetWidthMethod(WidthMethod::KnifeEdge);
    results.Compute(frame.get());
    ScriptedDialogs otherDialogs;
    TResults knifeEdge(otherDialogs);
    auto again = liveFrame();
    std::copy(pixels.begin(), pixels.end(), again->data());
    *again->GetHeader() = fresh;
    knifeEdge.Compute(again.get());
    EXPECT_EQ(std::memcmp(&h, again->GetHeader(), sizeof h), 0);
    EXPECT_FALSE(recordedSecondMoment(h));

    h.unused284 = 5;
    h.Mean = 1.5;
    results.Compute(frame.get());
    EXPECT_EQ(h.unused284, 5);
    EXPECT_EQ(h.Mean, 1.5);
}

// A header from a file may say anything in the fields the record reads.
TEST_F(ResultsTest, ARecordOfNoNumbersReadsAsNoWidths) {
    VasprelHeader h{};
    h.unused284 = kSecondMomentTag;
    h.BeamWidthx = std::nan("");
    h.BeamWidthy = -3;
    h.Mean = std::numeric_limits<double>::infinity();
    const std::optional<RecordedSecondMoment> r = recordedSecondMoment(h);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->major, 0);
    EXPECT_EQ(r->ellipticity, 0);
    EXPECT_EQ(r->azimuthDegrees, 0);
    EXPECT_FALSE(r->round);
}

}  // namespace
}  // namespace kestrom
