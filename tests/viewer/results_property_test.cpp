// The beam results over random apertures and beams, seeded: the aperture holds exactly the pixels
// whose centres lie inside its ellipse, a TResults that has evaluated other frames gives what a
// fresh one gives, and the totals, extremes, centroid, widths, effective area and bloom equal a
// plain computation over the aperture's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "results_test_support.h"
#include "second_moment_cases.h"
#include "viewer/core/knife_edge.h"
#include "viewer/core/results.h"

namespace kestrom {
namespace {

using test::Reference;
using test::referenceOver;

// Where a pixel centre lies against the ellipse: inside, outside, or within a hair of its edge,
// where the two ways of testing may round differently.
enum class Side { Inside, Outside, OnTheEdge };

class EllipseSides {
  public:
    explicit EllipseSides(const ApertureStruct& a)
        : a_(a), c_(std::cos(a.angle)), s_(std::sin(a.angle)) {}
    Side of(int column, int row) const {
        const double dx = column - a_.centerX, dy = row - a_.centerY;
        const double u = (dx * c_ + dy * s_) / (a_.extentX / 2);
        const double v = (-dx * s_ + dy * c_) / (a_.extentY / 2);
        const double d = u * u + v * v - 1;
        if (std::abs(d) < 1e-9) return Side::OnTheEdge;
        return d < 0 ? Side::Inside : Side::Outside;
    }

  private:
    ApertureStruct a_;
    double c_, s_;
};

// Every pixel of the frame that the list holds, and the list's rows one after the other.
void expectEllipseHeld(const ApertureList& list, const ApertureStruct& a, int width, int height) {
    std::vector<std::vector<bool>> held(height, std::vector<bool>(width, false));
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) {
            ASSERT_EQ(list[i].row, list[i - 1].row + 1) << "rows of the aperture";
        }
        for (int k = list[i].first; k <= list[i].last; ++k) held[list[i].row][k] = true;
    }
    const EllipseSides sides(a);
    for (int r = 0; r < height; ++r)
        for (int k = 0; k < width; ++k) {
            const Side side = sides.of(k, r);
            if (side != Side::OnTheEdge) {
                EXPECT_EQ(held[r][k], side == Side::Inside) << "column " << k << ", row " << r;
            }
        }
}

void expectWholeFrame(const ApertureList& list, int width, int height) {
    ASSERT_EQ(static_cast<int>(list.size()), height);
    for (int r = 0; r < height; ++r) {
        EXPECT_EQ(list[r].row, r);
        EXPECT_EQ(list[r].first, 0);
        EXPECT_EQ(list[r].last, width - 1);
    }
}

bool ellipseHoldsAPixel(const ApertureStruct& a, int width, int height) {
    const EllipseSides sides(a);
    for (int r = 0; r < height; ++r)
        for (int k = 0; k < width; ++k)
            if (sides.of(k, r) == Side::Inside) return true;
    return false;
}

struct RandomFrame {
    std::string name;
    int width, height;
    std::vector<std::int16_t> pixels;
};

// A turned Gaussian beam of any size anywhere (partly off the frame too), on a ground of either
// sign with or without noise, at times saturated, with a stray hot pixel, or on a frame of an odd
// size.
RandomFrame randomFrame(std::mt19937& random, int index) {
    std::uniform_real_distribution<double> unit(0, 1);
    const bool oddSize = index % 5 == 4;
    RandomFrame f;
    f.width = oddSize ? 1 + static_cast<int>(unit(random) * 130) : 124;
    f.height = oddSize ? 1 + static_cast<int>(unit(random) * 130) : 124;
    const double sigmaU = 0.3 + 20 * unit(random) * unit(random);
    const double sigmaV = 0.3 + 20 * unit(random) * unit(random);
    const test::TurnedBeam beam{"random", 4 * sigmaU, 4 * sigmaV, -90 + 180 * unit(random),
                                -10 + (f.width + 20) * unit(random),
                                -10 + (f.height + 20) * unit(random)};
    const test::Ground ground{-300 + 700 * unit(random), index % 3 == 0 ? 0 : 30 * unit(random),
                              static_cast<unsigned>(index + 1)};
    const double peak = index % 7 == 0 ? 40000 : 500 + 30000 * unit(random);
    f.pixels = test::turnedBeamPixels(beam, ground, f.width, f.height, peak);
    if (index % 4 == 1) {
        const auto at = static_cast<std::size_t>(unit(random) * f.pixels.size());
        f.pixels[std::min(at, f.pixels.size() - 1)] = 32767;
    }
    f.name = "frame " + std::to_string(index) + ": " + std::to_string(f.width) + " x " +
             std::to_string(f.height) + ", beam " + std::to_string(beam.diameterU) + " x " +
             std::to_string(beam.diameterV) + " at " + std::to_string(beam.angleDegrees) + " (" +
             std::to_string(beam.x) + ", " + std::to_string(beam.y) + "), ground " +
             std::to_string(ground.offset) + " noise " + std::to_string(ground.noise);
    return f;
}

std::unique_ptr<test::Frame16> frameOf(const RandomFrame& f) {
    auto frame = test::liveFrame(f.width, f.height);
    std::copy(f.pixels.begin(), f.pixels.end(), frame->data());
    return frame;
}

// The knife-edge widths of a reference's profile sums, as the header holds them (counts: raw
// values over 2).
struct Widths {
    double x = 0, y = 0;
};
Widths knifeEdgeOf(const Reference& ref) {
    const double total = ref.total / 2.0;
    const double low = std::trunc(std::trunc(total * 0.1) * 2);
    const double high = std::trunc(std::trunc(total * 0.9) * 2);
    if (!(total > 0) || low == 0 || high == 0) return {};
    const int width = static_cast<int>(ref.columns.size());
    const int height = static_cast<int>(ref.rows.size());
    const KnifeEdgeCrossings x = knifeEdgeCrossings(ref.columns.data(), width, low, high);
    const KnifeEdgeCrossings y = knifeEdgeCrossings(ref.rows.data(), height, low, high);
    return {(x.high - x.low) * 1.561, (y.high - y.low) * 1.561};
}

// The mean of the 10 x 10 block at rows top..top + 9 around column k, cut to the frame.
double bloomOf(const test::Frame16& frame, double centroidX, int top) {
    const int k = static_cast<int>(std::clamp(std::trunc(centroidX + 0.5), 0.0,
                                              double(frame.columns())));
    double sum = 0;
    int count = 0;
    for (int r = std::max(top, 0); r <= std::min(top + 9, frame.rows() - 1); ++r)
        for (int c = std::max(k - 5, 0); c <= std::min(k + 4, frame.columns() - 1); ++c) {
            sum += frame.Pixel(r, c);
            ++count;
        }
    return count ? sum / count / 2 : 0;
}

class ResultsProperties : public ::testing::TestWithParam<WidthMethod> {};

TEST_P(ResultsProperties, ApertureAndResultsEqualAPlainComputationOverItsPixels) {
    const WidthMethod method = GetParam();
    constexpr double kPixelArea = 0.085 * 0.085;
    std::mt19937 random(method == WidthMethod::KnifeEdge ? 17 : 29);
    ScriptedDialogs dialogs;
    TResults reused(dialogs);
    reused.SetWidthMethod(method);
    for (int index = 0; index < 200; ++index) {
        const RandomFrame f = randomFrame(random, index);
        SCOPED_TRACE(f.name);
        auto frame = frameOf(f), again = frameOf(f);
        reused.Compute(frame.get());
        TResults fresh(dialogs);
        fresh.SetWidthMethod(method);
        fresh.Compute(again.get());
        const VasprelHeader& h = *frame->GetHeader();

        // What was evaluated before leaves nothing behind.
        EXPECT_EQ(std::memcmp(&h, again->GetHeader(), sizeof h), 0);
        const ApertureList& list = reused.apertureList();
        ASSERT_EQ(list.size(), fresh.apertureList().size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].row, fresh.apertureList()[i].row);
            EXPECT_EQ(list[i].first, fresh.apertureList()[i].first);
            EXPECT_EQ(list[i].last, fresh.apertureList()[i].last);
        }

        // The aperture is the whole frame's centroid and twice its widths, and holds the pixels
        // inside that ellipse; the whole frame when the ellipse holds none.
        const Reference whole = referenceOver(*frame, wholeFrameAperture(f.width, f.height));
        const ApertureStruct& a = reused.aperture();
        if (method == WidthMethod::KnifeEdge && whole.total > 0) {
            const Widths w = knifeEdgeOf(whole);
            EXPECT_NEAR(a.centerX, whole.centroidX, 1e-9);
            EXPECT_NEAR(a.centerY, whole.centroidY, 1e-9);
            EXPECT_NEAR(a.extentX, 2 * w.x, 1e-9);
            EXPECT_NEAR(a.extentY, 2 * w.y, 1e-9);
        }
        const SecondMomentWidths& iso = reused.secondMoment();
        if (method == WidthMethod::SecondMoment && whole.total > 0) {
            EXPECT_EQ(a.centerX, iso.centroidX);
            EXPECT_EQ(a.centerY, iso.centroidY);
            EXPECT_EQ(a.extentX, 2 * iso.widthX);
            EXPECT_EQ(a.extentY, 2 * iso.widthY);
        }
        if (a.extentX > 0 && a.extentY > 0 && ellipseHoldsAPixel(a, f.width, f.height))
            expectEllipseHeld(list, a, f.width, f.height);
        else
            expectWholeFrame(list, f.width, f.height);

        // Inside it, every result from its pixels.
        const Reference ref = referenceOver(*frame, list);
        EXPECT_EQ(double(h.FrameTotal), whole.total / 2.0);
        test::expectTotalAndExtremes(h, reused.valleyLocation(), ref);
        const int areaLevel = static_cast<int>(std::trunc(ref.maximum * 80 * 0.01));
        EXPECT_DOUBLE_EQ(h.EffectiveArea, double(ref.atOrAbove(areaLevel)) * kPixelArea);
        if (method == WidthMethod::KnifeEdge) {
            const Widths w = knifeEdgeOf(ref);
            EXPECT_NEAR(h.Centroidx, ref.centroidX, 1e-9);
            EXPECT_NEAR(h.Centroidy, ref.centroidY, 1e-9);
            EXPECT_NEAR(h.BeamWidthx, w.x, 1e-9);
            EXPECT_NEAR(h.BeamWidthy, w.y, 1e-9);
        } else {
            EXPECT_EQ(double(h.Centroidx), iso.centroidX);
            EXPECT_EQ(double(h.BeamWidthx), iso.widthX);
            EXPECT_EQ(double(h.BeamWidthy), iso.widthY);
        }
        EXPECT_DOUBLE_EQ(h.BloomTop, bloomOf(*frame, h.Centroidx, 0));
        EXPECT_DOUBLE_EQ(h.BloomBottom, bloomOf(*frame, h.Centroidx, f.height - 10));
        if (HasFailure()) return;  // one frame's failures say it all
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, ResultsProperties,
                         ::testing::Values(WidthMethod::KnifeEdge, WidthMethod::SecondMoment),
                         [](const auto& param) {
                             return std::string(param.param == WidthMethod::KnifeEdge
                                                    ? "KnifeEdge"
                                                    : "SecondMoment");
                         });

}  // namespace
}  // namespace kestrom
