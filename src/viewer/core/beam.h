// TBeam: the state of a beam view that the 2-D and the 3-D view share (frame, display and view
// rectangles, zoom, cursor, display scale and lookup table, scroll bars), with the zoom and the
// screen mapping. The drawing and pointer operations are the views' own.
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/core/beam_canvas.h"
#include "viewer/core/beam_geometry.h"
#include "viewer/core/beam_lut.h"
#include "viewer/core/palette_layout.h"
#include "viewer/core/palette_types.h"
#include "viewer/core/vasprel_frame.h"

namespace kestrom {

// A frame pixel the owner wants marked.
struct PixPoint {
    int column = 0;
    int row = 0;
    friend bool operator==(const PixPoint&, const PixPoint&) = default;
};

// What a scroll bar of the view shows; the surface puts it on its bar.
struct ScrollBarState {
    bool visible = false;
    int minimum = 0;
    int maximum = 0;
    int smallChange = 1;
    int largeChange = 1;
    int position = 0;
    friend bool operator==(const ScrollBarState&, const ScrollBarState&) = default;
};

enum class PointerShape { Default, Cross };

struct BeamColours {
    ColorRef background = 0;
    ColorRef fill = 0;
    ColorRef aperture = 0;
    ColorRef text = 0;
    // The cursor with its profiles, and the palette entry of the crosshair: light on the screen's
    // dark ground, dark on the printer's white paper.
    ColorRef cursor = 0xFFFFFF;
    int crosshairIndex = kSaturationIndex;
};

// Everything a switch between the 2-D and the 3-D view carries over.
struct BeamViewState {
    int frameWidth = 0;
    int frameHeight = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    BeamColours colours;
    bool showImage = false;
    bool showCrosshair = false;
    bool showAperture = false;
    bool showCursor = false;
    bool solid = false;
    BeamRect display;
    int zoom = 0;
    bool zoomToCursor = false;
    bool zoomInDirection = true;
    BeamRect view;
    int cursorColumn = 0;
    int cursorRow = 0;
    int displayScale = 0;
    std::int32_t scaleBase = 0;
    ScrollBarState horzBar;
    ScrollBarState vertBar;
    std::vector<PixPoint> pixPoints;
    bool showPixPoints = false;
};

class TBeam {
  public:
    using Frame = TVasprelFrame<std::int16_t>;

    virtual ~TBeam() = default;

    virtual void SetCanvas(BeamCanvas* canvas) { canvas_ = canvas; }
    virtual void SetPalette(const PaletteHandle& palette) { palette_ = palette; }
    virtual void SetSolid3D(bool on) { state_.solid = on; }
    virtual void SetFrame(Frame* frame);
    virtual void SetZoom(int level);
    void SetZoomToCursor(bool on);
    void SetScaleBase(std::int32_t counts) { state_.scaleBase = counts; }
    // 0..5 (1X..32X); larger values are ignored.
    void SetDisplayScale(int index);
    virtual void HorzScrollBarChange(int position) { state_.horzBar.position = position; }
    virtual void VertScrollBarChange(int position) { state_.vertBar.position = position; }
    virtual void SetPixPointList(std::vector<PixPoint> points) { state_.pixPoints = std::move(points); }
    virtual void SetShowPixPoint(bool on) { state_.showPixPoints = on; }
    virtual void BeamCrosshair() {}
    virtual void BeamCursor() {}
    // Keeps the view inside the frame, then the cursor inside the view.
    void CheckZoomRect();
    // The zoom cycle: in while the shown height stays above 32 rows, then out again.
    virtual void DblClick();
    virtual void Paint() {}
    // Takes over the whole view state of the other view.
    virtual void AssignFrom(const TBeam& other);

    virtual void MouseDown(int, int) {}
    virtual void MouseMove(int, int) {}
    virtual void MouseUp(int, int) {}
    // The display rectangle for the control's size: the largest strip of the frame's aspect,
    // right-aligned or top-aligned.
    virtual void Resize();

    void SetClientSize(int width, int height);
    void SetColours(const BeamColours& colours) { state_.colours = colours; }
    void SetShowImage(bool on) { state_.showImage = on; }
    void SetShowCrosshair(bool on) { state_.showCrosshair = on; }
    void SetShowAperture(bool on) { state_.showAperture = on; }
    void SetShowCursor(bool on) { state_.showCursor = on; }

    // Client point of a frame position (column, row, fractional); pixel centres are c + 0.5.
    BeamPoint toClient(double column, double row) const;
    double kx() const;
    double ky() const;

    Frame* frame() const { return frame_; }
    const BeamViewState& state() const { return state_; }
    const BeamLut& lut() const { return lut_; }
    PointerShape pointerShape() const { return pointer_; }
    bool dragging() const { return dragging_; }
    BeamPoint cursor() const { return {state_.cursorColumn, state_.cursorRow}; }

  protected:
    // The header's 15-bit values scaled down to camera counts: 2^(15 - bits), bits kept to 1..15.
    static int countShift(const Frame& frame);
    void makeLut();
    // The view for level z around (cx, cy), then CheckZoomRect.
    void placeView(int cx, int cy);

    BeamViewState state_;
    Frame* frame_ = nullptr;
    BeamCanvas* canvas_ = nullptr;
    PaletteHandle palette_;
    BeamLut lut_;
    PointerShape pointer_ = PointerShape::Default;
    bool dragging_ = false;
};

}  // namespace kestrom
