// The warnings of an evaluated beam, from its pixels and its aperture.
#include "viewer/core/beam_warnings.h"

#include <algorithm>
#include <cmath>

#include "viewer/core/second_moment_start.h"
#include "viewer/core/second_moment_widths.h"

namespace kestrom {
namespace {

// Counts the longest run of consecutive pixels above level along one border, run by run.
class BorderRun {
  public:
    explicit BorderRun(int needed) : needed_(needed) {}
    void next(bool above) {
        run_ = above ? run_ + 1 : 0;
        reached_ = reached_ || run_ >= needed_;
    }
    bool reached() const { return reached_; }

  private:
    int needed_;
    int run_ = 0;
    bool reached_ = false;
};

bool runsOnAtTheEdge(const EvaluatedBeam& b, double level) {
    auto above = [&](int column, int row) {
        return b.pixels[static_cast<std::ptrdiff_t>(row) * b.width + column] > level;
    };
    BorderRun left(std::min(kEdgeRun, b.height)), right(std::min(kEdgeRun, b.height));
    for (const ApertureTriplet& t : b.aperture) {
        const int first = std::max<int>(t.first, 0), last = std::min<int>(t.last, b.width - 1);
        const bool holds = first <= last;
        if (holds && (t.row == 0 || t.row == b.height - 1)) {
            BorderRun along(std::min(kEdgeRun, b.width));
            for (int k = first; k <= last; ++k) along.next(above(k, t.row));
            if (along.reached()) return true;
        }
        left.next(holds && first == 0 && above(0, t.row));
        right.next(holds && last == b.width - 1 && above(b.width - 1, t.row));
        if (left.reached() || right.reached()) return true;
    }
    return false;
}

// The ground's level from the corners' squares, and its noise from the differences of
// neighbouring pixels there: a beam that reaches into the corners raises their deviation with
// its slope, but hardly the differences.
struct Ground {
    double level, noise;
};
Ground groundOf(const EvaluatedBeam& b) {
    const int side = cornerSide(b.width, b.height);
    const int sx = std::min(side, b.width), sy = std::min(side, b.height);
    double squares = 0;
    int count = 0;
    for (int top : {0, b.height - sy})
        for (int left : {0, b.width - sx})
            for (int r = top; r < top + sy; ++r) {
                const std::int16_t* row = b.pixels + static_cast<std::ptrdiff_t>(r) * b.width;
                for (int c = left; c + 1 < left + sx; ++c) {
                    const double d = row[c + 1] - row[c];
                    squares += d * d;
                    ++count;
                }
            }
    return {cornerGround(b.pixels, b.width, b.height).level,
            count ? std::sqrt(squares / count / 2) : 0};
}

bool standsAlone(const EvaluatedBeam& b, const Ground& ground) {
    const double peak = b.peak - ground.level;
    if (!(peak > 2 * kClearOfNoise * ground.noise) || !(peak > 0)) return false;
    bool anyNeighbour = false;
    double highest = 0;
    for (int r = std::max(b.peakRow - 1, 0); r <= std::min(b.peakRow + 1, b.height - 1); ++r)
        for (int k = std::max(b.peakColumn - 1, 0); k <= std::min(b.peakColumn + 1, b.width - 1);
             ++k) {
            if (r == b.peakRow && k == b.peakColumn) continue;
            const double v = b.pixels[static_cast<std::ptrdiff_t>(r) * b.width + k] - ground.level;
            highest = anyNeighbour ? std::max(highest, v) : v;
            anyNeighbour = true;
        }
    return anyNeighbour && highest < kLoneNeighbours * peak;
}

}  // namespace

BeamWarnings beamWarnings(const EvaluatedBeam& b) {
    BeamWarnings w;
    w.secondMomentsLost = b.secondMomentsLost;
    w.widerThanDetector = b.widthX > b.width || b.widthY > b.height;
    if (!b.pixels || b.width < 1 || b.height < 1) return w;
    const Ground ground = groundOf(b);
    const double level = std::max(b.valley + kEdgeLevel * (b.peak - b.valley),
                                  ground.level + kClearOfNoise * ground.noise);
    w.atFrameEdge = b.peak > b.valley && runsOnAtTheEdge(b, level);
    w.lonePeak = standsAlone(b, ground);
    return w;
}

}  // namespace kestrom
