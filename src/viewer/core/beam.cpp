#include "viewer/core/beam.h"

#include <algorithm>
#include <cmath>

namespace kestrom {

void TBeam::SetFrame(Frame* frame) {
    frame_ = frame;
    if (!frame) return;
    state_.frameWidth = frame->GetHeader()->Width;
    state_.frameHeight = frame->GetHeader()->Height;
    makeLut();
}

void TBeam::makeLut() {
    const VasprelHeader& h = *frame_->GetHeader();
    lut_.Make(state_.displayScale, state_.scaleBase, h.PixelBits, h.AC);
}

int TBeam::countShift(const Frame& frame) {
    return 15 - std::clamp<std::int32_t>(frame.GetHeader()->PixelBits, 1, 15);
}

void TBeam::SetDisplayScale(int index) {
    if (index < 0 || index > 5) return;
    state_.displayScale = index;
}

void TBeam::SetZoomToCursor(bool on) {
    state_.zoomToCursor = on;
    if (on) SetZoom(state_.zoom);
}

void TBeam::SetZoom(int level) {
    level = std::clamp(level, 0, 15);
    if (!frame_) {
        state_.zoom = level;
        return;
    }
    // A level that halves the frame below two pixels would leave no view to show.
    while (level > 0 && ((state_.frameWidth >> level) < 2 || (state_.frameHeight >> level) < 2))
        --level;
    const BeamRect& v = state_.view;
    if (level == 0) {
        state_.zoom = 0;
        state_.view = {0, 0, state_.frameWidth, state_.frameHeight};
        CheckZoomRect();
        return;
    }
    int cx = (v.left + v.right) / 2, cy = (v.top + v.bottom) / 2;
    if (level != state_.zoom) {
        state_.zoom = level;
        if (state_.zoomToCursor) {
            cx = state_.cursorColumn;
            cy = state_.cursorRow;
        }
    }
    placeView(cx, cy);
}

void TBeam::placeView(int cx, int cy) {
    const int w = state_.frameWidth >> state_.zoom, h = state_.frameHeight >> state_.zoom;
    state_.view = {cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
    CheckZoomRect();
}

void TBeam::CheckZoomRect() {
    BeamRect& v = state_.view;
    if (v.left < 0) {
        v.right -= v.left;
        v.left = 0;
    }
    if (v.top < 0) {
        v.bottom -= v.top;
        v.top = 0;
    }
    if (v.right >= state_.frameWidth) {
        v.left -= v.right - state_.frameWidth;
        v.right = state_.frameWidth;
    }
    if (v.bottom >= state_.frameHeight) {
        v.top -= v.bottom - state_.frameHeight;
        v.bottom = state_.frameHeight;
    }
    int& c = state_.cursorColumn;
    int& r = state_.cursorRow;
    if (c < v.left) c = v.left;
    if (c >= v.right) c = v.right - 1;
    if (r < v.top) r = v.top;
    if (r >= v.bottom) r = v.bottom - 1;
}

void TBeam::DblClick() {
    if (!frame_) return;
    const int z = state_.zoom;
    if (state_.zoomInDirection && (state_.frameHeight >> z) > 32) {
        SetZoom(z + 1);
    } else if (z > 0) {
        SetZoom(z - 1);
        state_.zoomInDirection = z == 1;
    }
}

void TBeam::AssignFrom(const TBeam& other) {
    state_ = other.state_;
    frame_ = other.frame_;
    palette_ = other.palette_;
    lut_ = other.lut_;
}

void TBeam::SetClientSize(int width, int height) {
    state_.clientWidth = std::max(width, 0);
    state_.clientHeight = std::max(height, 0);
}

void TBeam::Resize() {
    if (!frame_ || state_.frameWidth <= 0 || state_.frameHeight <= 0) return;
    const int boxW = state_.clientWidth, boxH = state_.clientHeight;
    const double aspect = static_cast<double>(state_.frameWidth) / state_.frameHeight;
    if (boxH > 0 && static_cast<double>(boxW) / boxH >= aspect) {
        const int w = static_cast<int>(std::trunc(aspect * boxH));
        state_.display = {boxW - w, 0, boxW, boxH};
    } else {
        const int h = static_cast<int>(std::trunc(boxW / aspect));
        state_.display = {0, 0, boxW, h};
    }
}

double TBeam::kx() const {
    const int w = state_.view.width();
    return w > 0 ? static_cast<double>(state_.display.width()) / w : 0;
}

double TBeam::ky() const {
    const int h = state_.view.height();
    return h > 0 ? static_cast<double>(state_.display.height()) / h : 0;
}

BeamPoint TBeam::toClient(double column, double row) const {
    return {static_cast<int>(
                std::trunc((column - state_.view.left) * kx() + state_.display.left + 0.5)),
            static_cast<int>(std::trunc((row - state_.view.top) * ky() + state_.display.top + 0.5))};
}

}  // namespace kestrom
