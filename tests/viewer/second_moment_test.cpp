// Second-moment widths: analytic Gaussian beams clean and over a noisy ground, beams along and
// across the axes and turned either way, a beam whose window the frame cuts, frames with no beam;
// the window's rows and the exact row sums against plain counting.
#include "viewer/core/second_moment_widths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "second_moment_cases.h"
#include "viewer/core/moment_row_sums.h"

namespace kestrom {
namespace {

using test::Ground;
using test::TurnedBeam;
using test::turnedBeamPixels;

SecondMomentWidths widthsOf(const std::vector<std::int16_t>& pixels, int width = 124,
                            int height = 124) {
    return secondMomentWidths(pixels.data(), width, height);
}

void expectFinite(const SecondMomentWidths& w) {
    for (double v : {w.background, w.backgroundDeviation, w.centroidX, w.centroidY, w.sigmaXX,
                     w.sigmaYY, w.sigmaXY, w.widthX, w.widthY, w.major, w.minor, w.azimuthRadians,
                     w.ellipticity, w.effectiveDiameter})
        EXPECT_TRUE(std::isfinite(v));
}

// Each beam clean and over a ground of 1000 with noise of 20 r.m.s.: the diameters within
// 0.5 % (a round beam's effective diameter, whose axes the noise alone sets apart), the azimuth
// within 0.2 degrees where the beam is not round, the centroid within a twentieth of a pixel.
TEST(SecondMomentWidths, GaussianBeamsCleanAndOverANoisyGround) {
    for (const TurnedBeam& beam : test::accuracyBeams())
        for (const Ground& ground : {Ground{}, Ground{1000, 20, 1}}) {
            SCOPED_TRACE(std::string(beam.name) + (ground.noise > 0 ? ", noisy" : ", clean"));
            const SecondMomentWidths w = widthsOf(turnedBeamPixels(beam, ground));
            expectFinite(w);
            const double tolerance = ground.noise > 0 ? 0.005 : 0.0005;
            EXPECT_NEAR(w.centroidX, beam.x, 0.05);
            EXPECT_NEAR(w.centroidY, beam.y, 0.05);
            EXPECT_NEAR(w.background, ground.offset, ground.noise > 0 ? 2 : 0.01);
            EXPECT_NEAR(w.backgroundDeviation, ground.noise, 2);
            EXPECT_TRUE(w.converged);
            const bool round = beam.diameterU == beam.diameterV;
            EXPECT_EQ(w.round, round);
            if (round) {
                EXPECT_NEAR(w.effectiveDiameter / beam.diameterU, 1, tolerance);
                EXPECT_EQ(w.azimuthRadians, 0);
                EXPECT_GT(w.ellipticity, 0.98);
            } else {
                EXPECT_NEAR(w.major / beam.diameterU, 1, tolerance);
                EXPECT_NEAR(w.minor / beam.diameterV, 1, tolerance);
                EXPECT_NEAR(w.azimuthDegrees(), beam.angleDegrees, 0.2);
                EXPECT_NEAR(w.ellipticity, beam.diameterV / beam.diameterU, 0.01);
                EXPECT_EQ(w.effectiveDiameter, 0);
            }
        }
}

// Beams whose whole-frame moments the ground's noise pulls far off, so that the windows placed
// from them collapse onto a line of pixels (no width across it), hold no energy at all, or keep
// most of the frame around a faint beam: the widths are still the beam's. The faint beam's noise
// alone moves its widths by up to a tenth.
TEST(SecondMomentWidths, NoisyStartsStillFindTheBeam) {
    struct Case {
        const char* name;
        TurnedBeam beam;
        Ground ground;
        double peak;
        double tolerance;  // of the diameters
        double azimuthTolerance;
    };
    const TurnedBeam small{"16.8 x 5.2 at -54", 16.8, 5.2, -54};
    const TurnedBeam faint{"12 x 6 at 30", 12, 6, 30, 70, 60};
    const Case cases[] = {
        {"collapsing onto a line", small, {100, 12, 20}, 15000, 0.01, 0.5},
        {"windows holding nothing", small, {100, 12, 21}, 15000, 0.01, 0.5},
        {"faint beam, window keeping the frame", faint, {150, 25, 9}, 4000, 0.15, 5},
        {"faint beam, collapsing onto a line", faint, {150, 25, 11}, 4000, 0.15, 5},
        {"faint beam, first window holding nothing", faint, {150, 25, 25}, 4000, 0.15, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SecondMomentWidths w =
            widthsOf(turnedBeamPixels(c.beam, c.ground, 124, 124, c.peak));
        expectFinite(w);
        EXPECT_FALSE(w.degenerate);
        EXPECT_NEAR(w.major / c.beam.diameterU, 1, c.tolerance);
        EXPECT_NEAR(w.minor / c.beam.diameterV, 1, c.tolerance);
        EXPECT_NEAR(w.azimuthDegrees(), c.beam.angleDegrees, c.azimuthTolerance);
        EXPECT_NEAR(w.centroidX, c.beam.x, 0.2);
        EXPECT_NEAR(w.centroidY, c.beam.y, 0.2);
    }
}

// A frame of nothing but the ground's noise whose whole-frame pass holds a little energy: the
// windows find no beam from either start, and say so beside their zero widths.
TEST(SecondMomentWidths, WindowsThatLoseTheBeamFromEveryStartSaySo) {
    const SecondMomentWidths w =
        widthsOf(turnedBeamPixels({"none", 4, 4, 0}, {100, 12, 1}, 124, 124, 0));
    expectFinite(w);
    EXPECT_TRUE(w.degenerate);
    EXPECT_EQ(w.major, 0);
    EXPECT_EQ(w.minor, 0);
    EXPECT_EQ(w.centroidX, 0);
    EXPECT_NEAR(w.background, 100, 2);
}

// The principal axis nearer x carries widthX; the azimuth is the major axis', turned from +x
// toward +y (rows grow downward), in (-90, 90].
TEST(SecondMomentWidths, AxesAndAzimuthOfBeamsTurnedEitherWay) {
    struct Case {
        TurnedBeam beam;
        double azimuth;
        bool majorNearX;
    };
    const Case cases[] = {
        {{"along x", 40, 16, 0}, 0, true},         {{"along y", 40, 16, 90}, 90, false},
        {{"turned +30", 30, 10, 30}, 30, true},    {{"turned -30", 30, 10, -30}, -30, true},
        {{"turned +60", 30, 10, 60}, 60, false},   {{"turned -40", 30, 10, -40}, -40, true},
        {{"minor first", 10, 30, 20}, -70, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.beam.name);
        const SecondMomentWidths w = widthsOf(turnedBeamPixels(c.beam));
        // The axis along y is +90 or, a hair past it, -90: one and the same.
        const double turn = std::remainder(w.azimuthDegrees() - c.azimuth, 180.0);
        EXPECT_NEAR(turn, 0, 0.01) << w.azimuthDegrees();
        EXPECT_EQ(w.widthX == w.major, c.majorNearX);
        EXPECT_EQ(w.widthY == w.minor, c.majorNearX);
        EXPECT_EQ(w.sigmaXX >= w.sigmaYY, c.majorNearX);
        EXPECT_NEAR(w.major, std::max(c.beam.diameterU, c.beam.diameterV), 0.01);
        EXPECT_NEAR(w.minor, std::min(c.beam.diameterU, c.beam.diameterV), 0.01);
        if (c.azimuth != 0 && c.azimuth != 90) {
            EXPECT_EQ(w.sigmaXY < 0, c.azimuth < 0);
        }
    }
}

// The window reaches past the frame's left edge; the beam itself hardly does.
TEST(SecondMomentWidths, ABeamNearTheEdgeWhoseWindowTheFrameCuts) {
    TurnedBeam beam{"near the edge", 12, 12, 0, 10.0, 40.5};
    const SecondMomentWidths w = widthsOf(turnedBeamPixels(beam));
    expectFinite(w);
    ASSERT_LT(w.centroidX - 1.5 * w.widthX, 0);
    EXPECT_NEAR(w.centroidX, beam.x, 0.1);
    EXPECT_NEAR(w.effectiveDiameter / 12, 1, 0.005);

    TurnedBeam turned{"turned at the edge", 30, 10, 30, 15.0, 62.0};
    const SecondMomentWidths t = widthsOf(turnedBeamPixels(turned));
    expectFinite(t);
    ASSERT_LT(t.centroidX - 1.5 * t.major * std::cos(t.azimuthRadians), 0);
    EXPECT_NEAR(t.azimuthDegrees(), 30, 0.5);
    EXPECT_NEAR(t.minor / 10, 1, 0.01);
}

TEST(SecondMomentWidths, FramesWithoutABeamGiveZerosAndNoNumberLeftUndefined) {
    const std::vector<std::int16_t> dark(124 * 124, 0), flat(124 * 124, 500);
    std::vector<std::int16_t> single(124 * 124, 0);
    single[40 * 124 + 70] = 9000;
    for (const auto& frame : {dark, flat}) {
        const SecondMomentWidths w = widthsOf(frame);
        expectFinite(w);
        EXPECT_EQ(w.major, 0);
        EXPECT_EQ(w.centroidX, 0);
        EXPECT_EQ(w.ellipticity, 0);
        EXPECT_FALSE(w.round);
        EXPECT_FALSE(w.degenerate);
    }
    const SecondMomentWidths w = widthsOf(single);
    expectFinite(w);
    EXPECT_EQ(w.centroidX, 70);
    EXPECT_EQ(w.centroidY, 40);
    EXPECT_EQ(w.major, 0);
    EXPECT_EQ(w.minor, 0);
    EXPECT_EQ(w.ellipticity, 0);
    EXPECT_EQ(w.effectiveDiameter, 0);
    EXPECT_EQ(w.azimuthRadians, 0);

    const std::int16_t one = 7;
    const SecondMomentWidths tiny = secondMomentWidths(&one, 1, 1);
    expectFinite(tiny);
    EXPECT_EQ(tiny.major, 0);
    EXPECT_EQ(secondMomentWidths(nullptr, 124, 124).major, 0);
}

// Every row's span holds exactly the pixels whose centres lie in the turned rectangle.
TEST(SecondMomentWidths, WindowRowsHoldThePixelsInsideTheTurnedRectangle) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> position(-20, 80), half(0.2, 40), turn(-3.2, 3.2);
    const int width = 64, height = 64;
    for (int k = 0; k < 200; ++k) {
        TurnedRectangle w{position(random), position(random), half(random), half(random),
                          k % 5 == 0 ? 0.0 : turn(random)};
        if (k % 7 == 0) w.angle = std::acos(-1.0) / 2;
        const double c = std::cos(w.angle), s = std::sin(w.angle);
        for (int r = 0; r < height; ++r) {
            const ColumnSpan span = rectangleSpan(w, r, width);
            for (int x = 0; x < width; ++x) {
                const double dx = x - w.centreX, dy = r - w.centreY;
                const double u = dx * c + dy * s, v = -dx * s + dy * c;
                // Centres within a hair of an edge may go either way.
                if (std::abs(std::abs(u) - w.halfU) < 1e-9 || std::abs(std::abs(v) - w.halfV) < 1e-9)
                    continue;
                const bool inside = std::abs(u) <= w.halfU && std::abs(v) <= w.halfV;
                EXPECT_EQ(inside, x >= span.first && x <= span.last)
                    << "rectangle " << k << ", row " << r << ", column " << x;
            }
        }
    }
}

// The packed sums equal plain 64-bit counting, at the extreme values and on the longest rows.
TEST(SecondMomentWidths, RowSumsAreExactAtAnyValueAndLength) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> value(-32768, 32767);
    for (int length : {1, 7, 8, 9, 124, 128, 129, 300, 1024})
        for (int fill : {0, 1, 2}) {
            std::vector<std::int16_t> row(static_cast<std::size_t>(length));
            for (auto& v : row)
                v = static_cast<std::int16_t>(fill == 0 ? 32767 : fill == 1 ? -32768 : value(random));
            for (const auto& [first, last] : {std::pair{0, length - 1},
                                              std::pair{length / 3, length - 1},
                                              std::pair{0, length / 2}}) {
                const int reference = length / 2 + 3;
                RowSums plain;
                for (int k = first; k <= last; ++k) {
                    const std::int64_t d = k - reference;
                    plain.s0 += row[k];
                    plain.s1 += row[k] * d;
                    plain.s2 += row[k] * d * d;
                }
                EXPECT_EQ(rowSums(row.data(), first, last, reference), plain)
                    << "length " << length << ", fill " << fill << ", " << first << ".." << last;
            }
        }
}

}  // namespace
}  // namespace kestrom
