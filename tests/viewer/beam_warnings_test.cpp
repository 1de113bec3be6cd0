// The warnings beside the beam results: frames whose numbers are wrong without showing it, and
// ordinary beams that must give none; how the header records them.
#include "viewer/core/beam_warnings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "results_test_support.h"
#include "second_moment_cases.h"
#include "viewer/core/beam_warnings_record.h"
#include "viewer/core/results.h"

namespace kestrom {

void PrintTo(const BeamWarnings& w, std::ostream* os) {
    *os << "{wide " << w.widerThanDetector << ", edge " << w.atFrameEdge << ", lone peak "
        << w.lonePeak << ", second moments lost " << w.secondMomentsLost << "}";
}

namespace {

using test::Gaussian;

struct WarningCase {
    const char* name;
    WidthMethod method;
    test::Ground ground;
    std::vector<Gaussian> beams;
    std::vector<std::pair<PixelPosition, std::int16_t>> pixels;
    BeamWarnings expected;
};

void PrintTo(const WarningCase& c, std::ostream* os) { *os << c.name; }

class BeamWarningTest : public ::testing::TestWithParam<WarningCase> {};

TEST_P(BeamWarningTest, WarnsOfWhatTheNumbersHide) {
    const WarningCase& c = GetParam();
    auto frame = test::liveFrame();
    const std::vector<std::int16_t> ground =
        test::turnedBeamPixels({"ground", 4, 4, 0}, c.ground, 124, 124, 0);
    std::copy(ground.begin(), ground.end(), frame->data());
    for (const Gaussian& beam : c.beams) test::addGaussian(*frame, beam);
    for (const auto& [p, v] : c.pixels) test::set(*frame, p.column, p.row, v);
    ScriptedDialogs dialogs;
    TResults results(dialogs);
    results.SetWidthMethod(c.method);
    results.Compute(frame.get());
    EXPECT_EQ(results.warnings(), c.expected);
    EXPECT_EQ(recordedBeamWarnings(*frame->GetHeader()), c.expected);
}

constexpr BeamWarnings kNone{};
constexpr BeamWarnings kWide{.widerThanDetector = true};
constexpr BeamWarnings kEdge{.atFrameEdge = true};
constexpr BeamWarnings kLone{.lonePeak = true};
// The knife edge takes no ground off: on a ground of 100 a small beam's widths are the frame's.
const test::Ground kNoisy{0, 12, 3};
const Gaussian kBeam{61.3, 58.7, 7, 5, 16000};

INSTANTIATE_TEST_SUITE_P(
    Frames, BeamWarningTest,
    ::testing::Values(
        WarningCase{"OrdinaryBeam", WidthMethod::KnifeEdge, kNoisy, {kBeam}, {}, kNone},
        WarningCase{"OrdinaryBeamBySecondMoments", WidthMethod::SecondMoment, kNoisy, {kBeam},
                    {}, kNone},
        WarningCase{"SmallBeamBetweenPixels", WidthMethod::KnifeEdge, kNoisy,
                    {{40.5, 80.5, 1.2, 1.0, 20000}}, {}, kNone},
        WarningCase{"BeamNearButClearOfTheEdge", WidthMethod::KnifeEdge, kNoisy,
                    {{20, 60, 4, 4, 16000}}, {}, kNone},
        // The flat frame's knife edge is 99.2 x 1.561 pixels, 15.49 mm on a detector of 12.4.
        WarningCase{"FlatFrame", WidthMethod::KnifeEdge, {1000, 0, 1}, {}, {}, kWide},
        WarningCase{"BeamFillingTheFrame", WidthMethod::KnifeEdge, {},
                    {{61.5, 61.5, 60, 60, 16000}}, {}, {.widerThanDetector = true, .atFrameEdge = true}},
        WarningCase{"BeamCutByTheLeftEdge", WidthMethod::KnifeEdge, kNoisy,
                    {{2, 60, 6, 6, 16000}}, {}, kEdge},
        WarningCase{"BeamCutByTheBottomEdge", WidthMethod::SecondMoment, kNoisy,
                    {{70, 122, 5, 3, 16000}}, {}, kEdge},
        WarningCase{"StuckPixelInTheAperture", WidthMethod::KnifeEdge, kNoisy, {kBeam},
                    {{{80, 58}, 32766}}, kLone},
        WarningCase{"StuckPixelOutsideTheAperture", WidthMethod::KnifeEdge, kNoisy, {kBeam},
                    {{{110, 15}, 32766}}, kNone},
        WarningCase{"SinglePixel", WidthMethod::KnifeEdge, {}, {}, {{{61, 40}, 1000}}, kLone},
        WarningCase{"SecondMomentsFindNoBeam", WidthMethod::SecondMoment, {100, 12, 1}, {}, {},
                    {.secondMomentsLost = true}}),
    [](const auto& param) { return std::string(param.param.name); });

// Warnings are recorded with their tag; a frame without warnings clears the tag but keeps
// another writer's bytes in the reserved area.
TEST(BeamWarningsRecord, RecordedWithTheirTagAndClearedOnlyOverIt) {
    VasprelHeader h{};
    const BeamWarnings all{true, true, true, true};
    recordBeamWarnings(h, all);
    EXPECT_EQ(recordedBeamWarnings(h), all);
    recordBeamWarnings(h, kEdge);
    EXPECT_EQ(recordedBeamWarnings(h), kEdge);
    recordBeamWarnings(h, {});
    EXPECT_EQ(recordedBeamWarnings(h), kNone);
    EXPECT_TRUE(std::all_of(std::begin(h.reserved305), std::end(h.reserved305),
                            [](std::uint8_t b) { return b == 0; }));

    std::memset(h.reserved305, 0xA5, sizeof h.reserved305);
    const VasprelHeader other = h;
    EXPECT_EQ(recordedBeamWarnings(h), kNone);
    recordBeamWarnings(h, {});
    EXPECT_EQ(std::memcmp(&h, &other, sizeof h), 0);
}

}  // namespace
}  // namespace kestrom
