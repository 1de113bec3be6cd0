#include "viewer/core/beam_3d.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "viewer/core/beam_canvas.h"

namespace kestrom {
namespace {

// A view's rows are at most this many frame rows per grid step apart before the step is halved.
constexpr int kLeastRows = 119;

}  // namespace

void TBeam3D::SetPalette(const PaletteHandle& palette) {
    TBeam::SetPalette(palette);
    bitmap_.palette = palette;
}

std::uint8_t TBeam3D::nearestIndex(ColorRef colour) const {
    if (!palette_) return 0;
    const int r = static_cast<int>(colour & 0xFF), g = static_cast<int>((colour >> 8) & 0xFF),
              b = static_cast<int>((colour >> 16) & 0xFF);
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < kPaletteSize; ++i) {
        const PaletteEntry& e = palette_->entries()[static_cast<std::size_t>(i)];
        const long distance = (e.red - r) * (e.red - r) + (e.green - g) * (e.green - g) + (e.blue - b) * (e.blue - b);
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

double TBeam3D::PixelValue(int column, int row, int k) const {
    if (!frame_ || k < 1) return 0;
    // One pixel per vertex, the usual case: read straight from the row.
    if (k == 1 && row >= 0 && column >= 0 && row < state_.frameHeight && column < state_.frameWidth) {
        if (const std::int16_t* r = frame_->Row(row)) return r[column];
    }
    double sum = 0;
    int n = 0;
    for (int r = row; r < row + k; ++r)
        for (int c = column; c < column + k; ++c) {
            if (r < 0 || c < 0 || r >= state_.frameHeight || c >= state_.frameWidth) continue;
            sum += frame_->Pixel(r, c);
            ++n;
        }
    return n ? sum / n : 0;
}

void TBeam3D::CreateVertex() {
    grid_ = VertexGrid{};
    if (!frame_) return;
    const BeamRect& v = state_.view;
    const int vw = v.width(), vh = v.height();
    d_ = std::sqrt(static_cast<double>(vw) * vw + static_cast<double>(vh) * vh);
    const int capture = std::clamp<int>(frame_->GetHeader()->CaptureResolution, 0, 30);
    int k = std::max((4 >> capture) >> std::clamp(state_.zoom, 0, 30), 1);
    while (k > 1 && vh / k <= kLeastRows) k /= 2;
    k_ = k;
    const int columns = vw / k, rows = vh / k;
    if (columns <= 0 || rows <= 0) return;
    grid_.columns = columns;
    grid_.rows = rows;
    grid_.vertices.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    grid_.colours.resize(grid_.vertices.size());
    const int s = state_.displayScale;
    const double base = static_cast<double>(state_.scaleBase) * (1 << countShift(*frame_));
    const double height = (d_ / 2.0) * (1 << s) / 32767.0;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const double value = PixelValue(v.left + j * k, v.bottom - i * k - k, k);
            const std::size_t at = static_cast<std::size_t>(i * columns + j);
            grid_.vertices[at] = {static_cast<double>(j * k - vw / 2), static_cast<double>(i * k - vh / 2),
                                  (value - base) * height};
            const int index = std::clamp(static_cast<int>(std::trunc(value + 0.5)) >> (7 - s), -32768, 32767);
            grid_.colours[at] = lut_[index];
        }
}

void TBeam3D::SetFrame(Frame* frame) {
    if (!frame) {
        frame_ = nullptr;
        return;
    }
    const bool resized = frame->GetHeader()->Width != state_.frameWidth || frame->GetHeader()->Height != state_.frameHeight;
    TBeam::SetFrame(frame);
    if (resized) state_.view = {0, 0, state_.frameWidth, state_.frameHeight};
    Resize();
    CreateVertex();
}

void TBeam3D::SetZoom(int level) {
    TBeam::SetZoom(level);
    CreateVertex();
}

void TBeam3D::setBars() {
    state_.horzBar = {true, 0, 360, 15, 90, rotation_};
    state_.vertBar = {true, 0, 90, 10, 30, tilt_};
}

void TBeam3D::AssignFrom(const TBeam& other) {
    TBeam::AssignFrom(other);
    setBars();
    Resize();
    CreateVertex();
}

void TBeam3D::HorzScrollBarChange(int position) {
    rotation_ = std::clamp(position, 0, 360);
    setBars();
}

void TBeam3D::VertScrollBarChange(int position) {
    tilt_ = std::clamp(position, 0, 90);
    setBars();
}

void TBeam3D::render() {
    const int w = state_.clientWidth, h = state_.clientHeight;
    if (bitmap_.width != w || bitmap_.height != h) bitmap_.resize(w, h);
    bitmap_.palette = palette_;
    renderer_.begin(bitmap_, nearestIndex(state_.colours.background));
    if (!frame_ || !state_.showImage || grid_.vertices.empty()) return;
    const BeamRect& d = state_.display;
    renderer_.setViewport(d);
    renderer_.setProjection({-d_ / 2, d_ / 2, -d_ / 3, 2 * d_ / 3, -2 * d_ / 3, 2 * d_ / 3});
    renderer_.setView(tilt_, rotation_);
    renderer_.setGrid(grid_);
    renderer_.drawWires();
    renderer_.fillCells(nearestIndex(state_.colours.fill), 1.0, 1.0);
}

void TBeam3D::Paint() {
    if (!frame_ || !state_.showImage || !canvas_) return;
    render();
    if (bitmap_.width <= 0 || bitmap_.height <= 0) return;
    const BeamRect whole{0, 0, bitmap_.width, bitmap_.height};
    canvas_->stretchBitmap(bitmap_, whole, whole);
}

void TBeam3D::MouseDown(int x, int y) {
    if (!frame_ || state_.zoom <= 0) return;
    panning_ = true;
    dragging_ = true;
    pressPoint_ = {x, y};
    pressView_ = state_.view;
}

void TBeam3D::MouseMove(int x, int y) {
    if (!panning_) return;
    const BeamRect& d = state_.display;
    const int z = state_.zoom;
    const int vw = std::max(pressView_.width(), 1), vh = std::max(pressView_.height(), 1);
    int dx = static_cast<int>(std::trunc(static_cast<double>((pressPoint_.x - x) * (d.width() / (4 << z))) / vw));
    int dy = static_cast<int>(std::trunc(static_cast<double>((pressPoint_.y - y) * (d.height() / (4 << z))) / vh));
    // The drag moves the surface as it is seen, turned by the rotation.
    const int r = rotation_;
    if (r >= 45 && r <= 134) {
        std::tie(dx, dy) = std::pair{-dy, dx};
    } else if (r >= 135 && r <= 224) {
        std::tie(dx, dy) = std::pair{-dx, -dy};
    } else if (r >= 225 && r <= 314) {
        std::tie(dx, dy) = std::pair{dy, -dx};
    }
    state_.view = {pressView_.left + dx, pressView_.top + dy, pressView_.right + dx, pressView_.bottom + dy};
    // The view is kept inside the frame; the cursor stays where it was, as it is not shown in 3-D.
    const int column = state_.cursorColumn, row = state_.cursorRow;
    CheckZoomRect();
    state_.cursorColumn = column;
    state_.cursorRow = row;
    CreateVertex();
}

void TBeam3D::MouseUp(int, int) {
    panning_ = false;
    dragging_ = false;
}

}  // namespace kestrom
