// The 2-D view's picture: the frame bitmap stretched onto the display, the aperture ellipse, the
// cursor and its profiles.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "viewer/core/beam_2d.h"
#include "viewer/core/second_moment_record.h"

namespace kestrom {
namespace {

constexpr ColorRef kRed = 0x0000FF;

int truncated(double v) { return static_cast<int>(std::trunc(v)); }

}  // namespace

void TBeam2D::Paint() {
    if (!frame_ || bitmap_.pixels.empty() || !state_.showImage || !canvas_) return;
    if (state_.display.empty() || state_.view.empty()) return;
    BeamCrosshair();
    canvas_->stretchBitmap(bitmap_, state_.view, state_.display);
    if (state_.showAperture) {
        if (const std::optional<ApertureEllipse> e = apertureEllipse()) {
            const BeamRect& d = state_.display;
            if (e->enclosesDisplay)
                canvas_->ellipse({d.left, d.top, d.left + d.width() - 1, d.top + d.height() - 1},
                                 kRed, d);
            else if (e->turn != 0)
                canvas_->turnedEllipse(e->centreX, e->centreY, e->a, e->b, e->turn,
                                       state_.colours.aperture, d);
            else
                canvas_->ellipse(e->box, state_.colours.aperture, d);
        }
    }
    if (state_.showCursor) BeamCursor();
}

std::optional<TBeam2D::ApertureEllipse> TBeam2D::apertureEllipse() const {
    if (!frame_) return std::nullopt;
    const VasprelHeader& h = *frame_->GetHeader();
    const double major = h.Major, minor = h.Minor;
    const double k = kx();
    if (!(major > 0 && minor > 0) || !std::isfinite(major) || !std::isfinite(minor) || !(k > 0))
        return std::nullopt;
    // The aperture's centre is a pixel position like the centroid it comes from, so it is mapped
    // as the centre of that pixel; its left edge would put the ellipse half a pixel up and left
    // of the beam, many screen pixels when zoomed in.
    const BeamPoint c = toClient(h.CenterXLoc + 0.5, h.CenterYLoc + 0.5);
    const double a = k * major, b = k * minor;
    const double x = c.x, y = c.y;
    // Beyond what a client rectangle can hold, the box is no longer a number of pixels.
    constexpr double kLimit = 1 << 24;
    if (a > kLimit || b > kLimit) return ApertureEllipse{{}, true};
    ApertureEllipse e;
    e.box = {truncated(x - a / 2), truncated(y - b / 2), truncated(x + a / 2 + 0.5),
             truncated(y + b / 2 + 0.5)};
    if (const std::optional<RecordedSecondMoment> iso = recordedSecondMoment(h)) {
        const double turn =
            xAxisTurn(iso->azimuthDegrees * std::numbers::pi / 180, iso->widthX, iso->widthY);
        if (std::isfinite(turn)) e.turn = turn;
    }
    e.centreX = x;
    e.centreY = y;
    e.a = a / 2;
    e.b = b / 2;
    const double cosine = std::cos(e.turn), sine = std::sin(e.turn);
    auto inside = [&](double px, double py) {
        const double dx = px - x, dy = py - y;
        const double u = (dx * cosine + dy * sine) / (a / 2);
        const double v = (-dx * sine + dy * cosine) / (b / 2);
        return u * u + v * v;
    };
    const BeamRect& d = state_.display;
    // Unturned, the two corners stand for all four; a turned ellipse may miss the other two.
    e.enclosesDisplay = !(inside(d.left, d.top) > 1.1 || inside(d.right, d.bottom) > 1.1 ||
                          (e.turn != 0 && (inside(d.right, d.top) > 1.1 ||
                                           inside(d.left, d.bottom) > 1.1)));
    return e;
}

BeamPoint TBeam2D::cursorPoint() const {
    BeamPoint p = toClient(state_.cursorColumn + 0.5, state_.cursorRow + 0.5);
    const BeamRect& d = state_.display;
    if (p.x < 0) p.x = 0;
    if (p.x >= d.right) p.x = d.right - 2;
    if (p.y < 0) p.y = 0;
    if (p.y >= d.bottom) p.y = d.bottom - 2;
    return p;
}

void TBeam2D::BeamCursor() {
    if (!frame_ || !canvas_) return;
    const BeamRect& d = state_.display;
    const BeamPoint p = cursorPoint();
    const ColorRef colour = state_.colours.cursor;
    for (int y : {p.y, p.y + 1})
        canvas_->line({d.left, y}, {d.right - 1, y}, colour, PenStyle::Dash);
    for (int x : {p.x, p.x + 1})
        canvas_->line({x, d.top}, {x, d.bottom - 1}, colour, PenStyle::Dash);
    canvas_->polyline(horizontalProfile(), colour);
    canvas_->polyline(verticalProfile(), colour);
}

double TBeam2D::profileCounts(int column, int row) const {
    const std::int16_t v = frame_->data()[row * state_.frameWidth + column];
    return std::ldexp(std::max<int>(v, 0), -countShift(*frame_));
}

// Each profile's height is its pixel's counts, full scale reaching a third of the display.
std::vector<BeamPoint> TBeam2D::horizontalProfile() const {
    std::vector<BeamPoint> points;
    if (!frame_) return points;
    const BeamRect& d = state_.display;
    const double perCount = d.height() / 3.0 / (std::ldexp(1.0, 15 - countShift(*frame_)) - 1);
    const int row = std::clamp(state_.cursorRow, 0, state_.frameHeight - 1);
    for (int c = std::max(state_.view.left, 0); c < std::min(state_.view.right, state_.frameWidth);
         ++c)
        points.push_back(
            {toClient(c + 0.5, 0).x, d.bottom - truncated(profileCounts(c, row) * perCount) - 1});
    return points;
}

std::vector<BeamPoint> TBeam2D::verticalProfile() const {
    std::vector<BeamPoint> points;
    if (!frame_) return points;
    const BeamRect& d = state_.display;
    const double perCount = d.width() / 3.0 / (std::ldexp(1.0, 15 - countShift(*frame_)) - 1);
    const int column = std::clamp(state_.cursorColumn, 0, state_.frameWidth - 1);
    for (int r = std::max(state_.view.top, 0); r < std::min(state_.view.bottom, state_.frameHeight);
         ++r)
        points.push_back(
            {d.left + truncated(profileCounts(column, r) * perCount), toClient(0, r + 0.5).y});
    return points;
}

}  // namespace kestrom
