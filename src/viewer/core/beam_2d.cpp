// The 2-D view's frame bitmap, crosshair, scroll bars and pointer.
#include "viewer/core/beam_2d.h"

#include <algorithm>
#include <cmath>

#include "viewer/core/palette_layout.h"

namespace kestrom {
namespace {

// A header that does not describe its own block (loaded from a record of another size) cannot be
// shown: its pixels would be read beyond the frame.
bool describesBlock(const TBeam::Frame& frame) {
    const VasprelHeader& h = *frame.GetHeader();
    return frame.data() && h.Width == frame.columns() && h.Height == frame.rows() && h.Width > 0 &&
           h.Height > 0;
}

}  // namespace

void TBeam2D::SetPalette(const PaletteHandle& palette) {
    TBeam::SetPalette(palette);
    bitmap_.palette = palette;
    if (frame_ && bitmap_.width == state_.frameWidth && bitmap_.height == state_.frameHeight) {
        fillBitmap();
        if (state_.showPixPoints) markPixPoints();
    }
}

void TBeam2D::SetFrame(Frame* frame) {
    if (!frame || !describesBlock(*frame)) {
        frame_ = nullptr;
        crosshairSave_.reset();
        return;
    }
    TBeam::SetFrame(frame);
    const int w = state_.frameWidth, h = state_.frameHeight;
    const bool sizeChanged = bitmap_.width != w || bitmap_.height != h;
    if (sizeChanged) bitmap_.resize(w, h);
    fillBitmap();
    if (sizeChanged) {
        state_.cursorColumn = w / 2;
        state_.cursorRow = h / 2;
        state_.view = {0, 0, w, h};
    }
    Resize();
    if (state_.showPixPoints) markPixPoints();
}

void TBeam2D::fillBitmap() {
    lut_.fill(frame_->data(), bitmap_.pixels.size(), bitmap_.pixels.data());
    // The new pixels lie where the crosshair was; it is painted again, from these.
    crosshairSave_.reset();
}

void TBeam2D::markPixPoints() {
    for (const PixPoint& p : state_.pixPoints)
        if (bitmap_.holds(p.column, p.row)) bitmap_.at(p.column, p.row) = kSpecial2DIndex;
}

void TBeam2D::SetPixPointList(std::vector<PixPoint> points) {
    state_.pixPoints = std::move(points);
    SetShowPixPoint(state_.showPixPoints);
}

void TBeam2D::SetShowPixPoint(bool on) {
    state_.showPixPoints = on;
    if (!frame_ || bitmap_.width != state_.frameWidth || bitmap_.height != state_.frameHeight)
        return;
    fillBitmap();
    if (on) markPixPoints();
}

void TBeam2D::SetZoom(int level) {
    TBeam::SetZoom(level);
    updateScrollBars();
}

void TBeam2D::updateScrollBars() {
    const BeamRect& v = state_.view;
    if (!frame_ || state_.zoom == 0) {
        state_.horzBar.visible = state_.vertBar.visible = false;
        return;
    }
    state_.horzBar = {true,
                      0,
                      state_.frameWidth - v.width(),
                      std::max(v.width() / 8, 1),
                      std::max(v.width() / 2, 1),
                      v.left};
    state_.vertBar = {true,
                      0,
                      state_.frameHeight - v.height(),
                      std::max(v.height() / 8, 1),
                      std::max(v.height() / 2, 1),
                      v.top};
}

namespace {

// Moves one axis of the view to start at position, the cursor with it and kept inside.
bool scrollAxis(int& first, int& end, int& cursor, int frameSize, int position) {
    if (position < 0 || position + (end - first) > frameSize) return false;
    const int shift = position - first;
    first += shift;
    end += shift;
    cursor = std::clamp(cursor + shift, first, end - 1);
    return true;
}

}  // namespace

void TBeam2D::HorzScrollBarChange(int position) {
    BeamRect& v = state_.view;
    if (frame_ && state_.zoom > 0 &&
        scrollAxis(v.left, v.right, state_.cursorColumn, state_.frameWidth, position))
        state_.horzBar.position = position;
}

void TBeam2D::VertScrollBarChange(int position) {
    BeamRect& v = state_.view;
    if (frame_ && state_.zoom > 0 &&
        scrollAxis(v.top, v.bottom, state_.cursorRow, state_.frameHeight, position))
        state_.vertBar.position = position;
}

template <typename Visit>
void TBeam2D::crosshairPixels(Visit visit) {
    const int cx = state_.frameWidth / 2, cy = state_.frameHeight / 2;
    int slot = 0;
    for (int r = cy; r <= cy + 1; ++r)
        for (int c = cx - 15; c <= cx + 16; ++c) visit(slot++, c, r);
    for (int r = cy - 15; r <= cy + 16; ++r)
        for (int c = cx; c <= cx + 1; ++c) visit(slot++, c, r);
}

void TBeam2D::BeamCrosshair() {
    if (!frame_) return;
    // A frame narrower than the crosshair keeps it to the pixels it has.
    if (state_.showCrosshair && !crosshairSave_) {
        std::array<std::uint8_t, 128>& saved = crosshairSave_.emplace();
        saved.fill(0);
        crosshairPixels([&](int slot, int c, int r) {
            if (bitmap_.holds(c, r)) saved[slot] = bitmap_.at(c, r);
        });
        crosshairPixels([&](int, int c, int r) {
            if (bitmap_.holds(c, r))
                bitmap_.at(c, r) = static_cast<std::uint8_t>(state_.colours.crosshairIndex);
        });
    } else if (!state_.showCrosshair && crosshairSave_) {
        // The vertical bar first: the horizontal one's pixels where they cross are the older.
        const std::array<std::uint8_t, 128>& saved = *crosshairSave_;
        crosshairPixels([&](int slot, int c, int r) {
            if (slot >= 64 && bitmap_.holds(c, r)) bitmap_.at(c, r) = saved[slot];
        });
        crosshairPixels([&](int slot, int c, int r) {
            if (slot < 64 && bitmap_.holds(c, r)) bitmap_.at(c, r) = saved[slot];
        });
        crosshairSave_.reset();
    }
}

void TBeam2D::AssignFrom(const TBeam& other) {
    TBeam::AssignFrom(other);
    crosshairSave_.reset();
    if (!frame_) return;
    if (bitmap_.width != state_.frameWidth || bitmap_.height != state_.frameHeight)
        bitmap_.resize(state_.frameWidth, state_.frameHeight);
    bitmap_.palette = palette_;
    fillBitmap();
    if (state_.showPixPoints) markPixPoints();
    updateScrollBars();
}

void TBeam2D::MouseDown(int x, int y) {
    if (!frame_) return;
    if (pointer_ != PointerShape::Default) {
        drag_ = Drag::Cursor;
    } else if (state_.zoom > 0) {
        drag_ = Drag::Pan;
        pressPoint_ = {x, y};
        pressView_ = state_.view;
        pressCursor_ = cursor();
    } else {
        return;
    }
    dragging_ = true;
}

void TBeam2D::MouseMove(int x, int y) {
    if (!frame_) return;
    const BeamRect& d = state_.display;
    BeamRect& v = state_.view;
    switch (drag_) {
        case Drag::Cursor: {
            if (d.empty()) return;
            x = std::clamp(x, d.left, d.right - 1);
            y = std::clamp(y, d.top, d.bottom - 1);
            state_.cursorColumn = std::clamp(
                static_cast<int>(std::trunc((x - d.left) / kx() + v.left)), v.left, v.right - 1);
            state_.cursorRow = std::clamp(
                static_cast<int>(std::trunc((y - d.top) / ky() + v.top)), v.top, v.bottom - 1);
            return;
        }
        case Drag::Pan: {
            if (pressView_.empty()) return;
            const int dw = d.width() / (4 << state_.zoom), dh = d.height() / (4 << state_.zoom);
            const int dx = (pressPoint_.x - x) * dw / pressView_.width();
            const int dy = (pressPoint_.y - y) * dh / pressView_.height();
            v = {pressView_.left + dx, pressView_.top + dy, pressView_.right + dx,
                 pressView_.bottom + dy};
            CheckZoomRect();
            state_.cursorColumn =
                std::clamp(pressCursor_.x + v.left - pressView_.left, v.left, v.right - 1);
            state_.cursorRow =
                std::clamp(pressCursor_.y + v.top - pressView_.top, v.top, v.bottom - 1);
            updateScrollBars();
            return;
        }
        case Drag::None:
            break;
    }
    pointer_ = PointerShape::Default;
    if (!state_.showCursor) return;
    const BeamPoint c = toClient(state_.cursorColumn + 0.5, state_.cursorRow + 0.5);
    if (std::hypot(x - c.x, y - c.y) < 10) pointer_ = PointerShape::Cross;
}

void TBeam2D::MouseUp(int, int) {
    drag_ = Drag::None;
    dragging_ = false;
    pointer_ = PointerShape::Default;
}

}  // namespace kestrom
