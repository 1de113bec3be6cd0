// The second-moment widths of a frame. Every row of the window keeps its exact integer sums
// (value, value x column, value x column², about the frame's middle column); a new window only
// sums the columns that entered or left a row, or the row afresh where that is shorter. The
// ground is taken off in closed form afterwards, so no pass converts a pixel.
#include "viewer/core/second_moment_widths.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "viewer/core/moment_row_sums.h"
#include "viewer/core/second_moment_start.h"

namespace kestrom {
namespace {

constexpr double kNoTurn = 1e-12;  // a cosine or sine this small is taken as none
// A call of the row sums costs about as much as summing this many more pixels: a row is summed
// afresh unless the columns that changed are fewer by that much.
constexpr int kSumsCallPixels = 64;

// Moments about the frame's middle pixel: m00, m10, m01, m20, m11, m02, exact.
struct Moments {
    std::int64_t m[6] = {};

    void addRow(const RowSums& s, std::int64_t dy) {
        m[0] += s.s0;
        m[1] += s.s1;
        m[2] += dy * s.s0;
        m[3] += s.s2;
        m[4] += dy * s.s1;
        m[5] += dy * dy * s.s0;
    }
};

// The window's rows, each with its columns and their sums, of the values and of the window
// itself (every pixel 1).
class WindowRows {
  public:
    WindowRows(const std::int16_t* pixels, int width, int height)
        : pixels_(pixels), width_(width), height_(height),
          rows_(static_cast<std::size_t>(height)), middle_{width / 2, height / 2} {}

    void setWholeFrame() {
        for (int r = 0; r < height_; ++r) set(r, {0, width_ - 1});
        top_ = 0;
        bottom_ = height_ - 1;
    }

    // The rows of window.span from top to bottom; every other row empty.
    void setWindow(const RectangleRows& window, int top, int bottom) {
        top = std::max(top, 0);
        bottom = std::min(bottom, height_ - 1);
        for (int r = std::min(top, top_); r <= std::max(bottom, bottom_); ++r)
            set(r, r >= top && r <= bottom ? window.span(r) : ColumnSpan{0, -1});
        top_ = top;
        bottom_ = bottom;
    }

    void moments(Moments& values, Moments& area) const {
        values = area = {};
        for (int r = top_; r <= bottom_; ++r) {
            const Row& row = rows_[static_cast<std::size_t>(r)];
            values.addRow(row.values, r - middle_.y);
            area.addRow(row.area, r - middle_.y);
        }
    }

    double middleX() const { return middle_.x; }
    double middleY() const { return middle_.y; }

  private:
    struct Row {
        ColumnSpan span{0, -1};
        RowSums values;
        RowSums area;
    };

    void set(int r, ColumnSpan span) {
        Row& row = rows_[static_cast<std::size_t>(r)];
        if (span.last < span.first) span = {0, -1};
        const ColumnSpan old = row.span;
        if (span.first == old.first && span.last == old.last) return;
        const int fresh = span.last - span.first + 1;
        const bool hadPixels = old.last >= old.first;
        const int changed = std::abs(span.first - old.first) + std::abs(span.last - old.last);
        if (fresh <= 0) {
            row.values = {};
        } else if (!hadPixels || fresh <= changed + kSumsCallPixels) {
            row.values = sums(r, span.first, span.last);
        } else {
            // The columns that left at either side, then those that entered.
            RowSums& v = row.values;
            if (span.first > old.first) v -= sums(r, old.first, std::min(old.last, span.first - 1));
            if (span.last < old.last) v -= sums(r, std::max(old.first, span.last + 1), old.last);
            if (span.first < old.first) v += sums(r, span.first, std::min(span.last, old.first - 1));
            if (span.last > old.last) v += sums(r, std::max(span.first, old.last + 1), span.last);
        }
        row.area = areaSums(span);
        row.span = span;
    }

    RowSums sums(int r, int first, int last) const {
        return rowSums(pixels_ + static_cast<std::ptrdiff_t>(r) * width_, first, last, middle_.x);
    }

    // n pixels at d = a, a + 1, ... a + n - 1.
    RowSums areaSums(ColumnSpan span) const {
        const std::int64_t n = std::max(0, span.last - span.first + 1), a = span.first - middle_.x;
        return {n, n * a + n * (n - 1) / 2, n * a * a + a * n * (n - 1) + (n - 1) * n * (2 * n - 1) / 6};
    }

    const std::int16_t* pixels_;
    int width_;
    int height_;
    std::vector<Row> rows_;
    int top_ = 0;
    int bottom_ = -1;
    struct {
        int x, y;
    } middle_;
};

// Centroid and second moments of one pass, what the window holds and the ground taken off.
struct Pass {
    double x, y, xx, yy, xy;
    double sum, pixels;  // of the values, before the ground is taken off
    double ground;
    double cornerEnergy;  // what the window holds above the corners' ground
};

// Nothing when the window holds no energy above the ground, which is the corners' or, where more
// pixels lie outside the window (of the whole frame's pass) than in the corners, theirs.
bool passOf(const WindowRows& rows, const Pass* frame, CornerGround corners, Pass& pass) {
    Moments values, area;
    rows.moments(values, area);
    pass.sum = static_cast<double>(values.m[0]);
    pass.pixels = static_cast<double>(area.m[0]);
    pass.ground = corners.level;
    pass.cornerEnergy = pass.sum - corners.level * pass.pixels;
    if (frame && frame->pixels - pass.pixels >= corners.pixels)
        pass.ground = (frame->sum - pass.sum) / (frame->pixels - pass.pixels);
    double m[6];
    for (int i = 0; i < 6; ++i)
        m[i] = static_cast<double>(values.m[i]) - pass.ground * static_cast<double>(area.m[i]);
    if (!(m[0] > 0)) return false;
    const double mx = m[1] / m[0], my = m[2] / m[0];
    pass.x = rows.middleX() + mx;
    pass.y = rows.middleY() + my;
    pass.xx = m[3] / m[0] - mx * mx;
    pass.yy = m[5] / m[0] - my * my;
    pass.xy = m[4] / m[0] - mx * my;
    return std::isfinite(pass.x) && std::isfinite(pass.y) && std::isfinite(pass.xx) &&
           std::isfinite(pass.yy) && std::isfinite(pass.xy);
}

}  // namespace

double SecondMomentWidths::azimuthDegrees() const { return azimuthRadians * 180 / std::numbers::pi; }

PrincipalAxes principalAxes(double xx, double yy, double xy) {
    const double t = xx + yy, r = std::hypot(xx - yy, 2 * xy);
    constexpr double k = 2 * std::numbers::sqrt2;
    double angle = 0.5 * std::atan2(2 * xy, xx - yy);
    if (angle <= -std::numbers::pi / 2) angle += std::numbers::pi;
    return {k * std::sqrt(std::max(0.0, t + r)), k * std::sqrt(std::max(0.0, t - r)), angle};
}

int cornerSide(int width, int height) { return std::max(1, std::min(width, height) / 8); }

CornerGround cornerGround(const std::int16_t* pixels, int width, int height) {
    const int side = cornerSide(width, height);
    const int sx = std::min(side, width), sy = std::min(side, height);
    std::int64_t sum = 0, squares = 0;
    int count = 0;
    for (int top : {0, height - sy})
        for (int left : {0, width - sx})
            for (int r = top; r < top + sy; ++r) {
                const std::int16_t* row = pixels + static_cast<std::ptrdiff_t>(r) * width + left;
                for (int c = 0; c < sx; ++c) {
                    sum += row[c];
                    squares += std::int64_t{row[c]} * row[c];
                }
                count += sx;
            }
    const double mean = static_cast<double>(sum) / count;
    return {mean, count,
            std::sqrt(std::max(0.0, static_cast<double>(squares) / count - mean * mean))};
}


ColumnSpan rectangleSpan(const TurnedRectangle& w, int row, int width) {
    return RectangleRows(w, width).span(row);
}

RectangleRows::RectangleRows(const TurnedRectangle& window, int width)
    : w_(window), c_(std::cos(window.angle)), s_(std::sin(window.angle)),
      cInverse_(std::abs(c_) < kNoTurn ? 0 : 1 / c_),
      sInverse_(std::abs(s_) < kNoTurn ? 0 : 1 / s_), width_(width) {}

ColumnSpan RectangleRows::span(int row) const {
    const double dy = row - w_.centreY;
    // |dx c + dy s| <= halfU and |-dx s + dy c| <= halfV, each an interval of dx (or all of them
    // or none when the row runs along that side).
    double lo = -1e300, hi = 1e300;
    auto limit = [&](double inverse, double offset, double half) {
        if (inverse == 0) {
            if (std::abs(offset) > half) hi = lo - 1;
            return;
        }
        double a = (-half - offset) * inverse, b = (half - offset) * inverse;
        if (a > b) std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
    };
    limit(cInverse_, dy * s_, w_.halfU);
    limit(-sInverse_, dy * c_, w_.halfV);
    if (!(lo <= hi)) return {0, -1};
    const double first = std::max(0.0, std::ceil(w_.centreX + lo));
    const double last = std::min(double(width_ - 1), std::floor(w_.centreX + hi));
    if (!(first <= last)) return {0, -1};
    return {static_cast<int>(first), static_cast<int>(last)};
}

namespace {

// Where one start of the windows ends: the last pass and its axes, or a beam lost.
struct Settled {
    Pass pass;
    PrincipalAxes axes;
    int passes = 0;
    bool converged = false;
    bool lost = false;
};

// A window of three widths holds all of a beam. One that leaves more energy outside than it
// holds, by more than the ground's noise can account for, has lost it: the corners' mean is
// uncertain by its deviation over the root of their pixels, and every pixel outside adds its
// own noise.
bool lostTheBeam(const Pass& window, const Pass& frame, CornerGround corners) {
    const double outside = frame.cornerEnergy - window.cornerEnergy;
    const double pixelsOutside = frame.pixels - window.pixels;
    const double noise =
        corners.deviation * (pixelsOutside / std::sqrt(corners.pixels) + std::sqrt(pixelsOutside));
    return !(outside <= window.cornerEnergy + noise);
}

// The windows from the centroid and moments of start until they stand still, each taking its
// ground from the pixels outside it where those are enough (frame: the whole frame's pass).
Settled settle(WindowRows& rows, const Pass& frame, CornerGround corners, const Pass& start,
               int width, int height) {
    Settled s{start, principalAxes(start.xx, start.yy, start.xy)};
    for (int k = 0; k < kMaxPasses; ++k) {
        // A window must hold the pixels on either side of the centroid's: one narrower than three
        // pixels holds a line of them, whose moments across are none whatever the beam, and the
        // next window would be no wider. A round beam's axes point wherever the noise turns them,
        // pass after pass: its window stays with the frame's.
        const double turn = s.axes.minor > kRoundEllipticity * s.axes.major ? 0 : s.axes.angle;
        const TurnedRectangle window{s.pass.x, s.pass.y,
                                     std::max(kLeastHalfWindow, kWindowWidths / 2 * s.axes.major),
                                     std::max(kLeastHalfWindow, kWindowWidths / 2 * s.axes.minor),
                                     turn};
        const double reach = window.halfU * std::abs(std::sin(turn)) +
                             window.halfV * std::abs(std::cos(turn));
        rows.setWindow(RectangleRows(window, width),
                       static_cast<int>(std::max(-1.0, std::floor(s.pass.y - reach))),
                       static_cast<int>(std::min(double(height), std::ceil(s.pass.y + reach))));
        Pass next;
        if (!passOf(rows, &frame, corners, next) || lostTheBeam(next, frame, corners)) {
            s.pass.ground = next.ground;
            s.lost = true;
            return s;
        }
        const PrincipalAxes nextAxes = principalAxes(next.xx, next.yy, next.xy);
        s.passes = k + 1;
        const double change = std::max({std::abs(next.x - s.pass.x), std::abs(next.y - s.pass.y),
                                        std::abs(nextAxes.major - s.axes.major),
                                        std::abs(nextAxes.minor - s.axes.minor)});
        s.pass = next;
        s.axes = nextAxes;
        if (change <= kConvergence * s.axes.minor) {
            s.converged = true;
            break;
        }
    }
    return s;
}

}  // namespace

SecondMomentWidths secondMomentWidths(const std::int16_t* pixels, int width, int height) {
    SecondMomentWidths out;
    if (!pixels || width < 1 || height < 1) return out;
    const CornerGround corners = cornerGround(pixels, width, height);
    out.background = corners.level;
    out.backgroundDeviation = corners.deviation;

    // The first pass takes the whole frame, over the corners' ground.
    WindowRows rows(pixels, width, height);
    rows.setWholeFrame();
    Pass frame;
    if (!passOf(rows, nullptr, corners, frame)) return out;
    Settled s = settle(rows, frame, corners, frame, width, height);

    // The noise of a whole frame can give moments far from the beam's: windows that lose it, or
    // windows that keep most of the frame around a small faint beam. The windows start again from
    // the pixels clear of the noise, and stand where they hold fewer pixels: a beam that fills
    // the frame brings them back to where they were.
    const double framePixels = double(width) * height;
    if (s.lost || s.pass.pixels > framePixels / 2) {
        const std::optional<MomentEstimate> clear =
            momentsClearOfNoise(pixels, width, height, corners.level, corners.deviation);
        if (clear) {
            Pass start = frame;
            start.x = clear->x;
            start.y = clear->y;
            start.xx = clear->xx;
            start.yy = clear->yy;
            start.xy = clear->xy;
            const Settled again = settle(rows, frame, corners, start, width, height);
            if (!again.lost && (s.lost || again.pass.pixels < s.pass.pixels)) s = again;
        }
    }
    if (s.lost) {
        out = SecondMomentWidths{s.pass.ground, out.backgroundDeviation};
        out.degenerate = true;
        return out;
    }
    const Pass& pass = s.pass;
    const PrincipalAxes& axes = s.axes;
    out.passes = s.passes;
    out.converged = s.converged;

    out.background = pass.ground;
    out.centroidX = pass.x;
    out.centroidY = pass.y;
    out.sigmaXX = pass.xx;
    out.sigmaYY = pass.yy;
    out.sigmaXY = pass.xy;
    out.major = axes.major;
    out.minor = axes.minor;
    // The principal axis nearer x is the major one when sigma_x² is the larger (or equal).
    const bool majorNearX = pass.xx >= pass.yy;
    out.widthX = majorNearX ? axes.major : axes.minor;
    out.widthY = majorNearX ? axes.minor : axes.major;
    if (out.major > 0) {
        out.ellipticity = out.minor / out.major;
        out.round = out.ellipticity > kRoundEllipticity;
    }
    out.azimuthRadians = out.major > 0 && !out.round ? axes.angle : 0;
    if (out.round)
        out.effectiveDiameter = std::sqrt((out.widthX * out.widthX + out.widthY * out.widthY) / 2);
    return out;
}

}  // namespace kestrom
