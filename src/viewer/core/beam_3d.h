// TBeam3D: the frame as a surface over the frame plane, height = pixel value, colour = the 2-D
// lookup table, drawn as a wire frame whose hidden lines the filled underlay removes. The two
// scroll bars set the rotation (0..360) and the tilt (0..90); a drag pans a zoomed view, turned
// by the rotation.
#pragma once

#include "viewer/core/beam.h"
#include "viewer/core/indexed_bitmap.h"
#include "viewer/core/render3d.h"

namespace kestrom {

class TBeam3D : public TBeam {
  public:
    static constexpr int kDefaultTilt = 30;
    static constexpr int kDefaultRotation = 45;

    void SetPalette(const PaletteHandle& palette) override;
    void SetFrame(Frame* frame) override;
    void SetZoom(int level) override;
    void HorzScrollBarChange(int position) override;
    void VertScrollBarChange(int position) override;
    void Paint() override;
    void AssignFrom(const TBeam& other) override;

    void MouseDown(int x, int y) override;
    void MouseMove(int x, int y) override;
    void MouseUp(int x, int y) override;

    // The mean of the k x k pixels whose top-left pixel is (column, row).
    double PixelValue(int column, int row, int k) const;
    // The vertex grid of the view: its step, positions, heights and colours.
    void CreateVertex();

    int tilt() const { return tilt_; }
    int rotation() const { return rotation_; }
    int gridStep() const { return k_; }
    double diagonal() const { return d_; }
    const VertexGrid& grid() const { return grid_; }
    // The picture Paint draws: the control's size, in the palette's indices.
    const IndexedBitmap& bitmap() const { return bitmap_; }
    // Draws the surface into bitmap() without a canvas (Paint, pictures, the bench).
    void render();

  private:
    void setBars();
    std::uint8_t nearestIndex(ColorRef colour) const;

    VertexGrid grid_;
    int k_ = 1;
    double d_ = 0;
    int tilt_ = kDefaultTilt;
    int rotation_ = kDefaultRotation;
    IndexedBitmap bitmap_;
    Renderer3D renderer_;
    BeamPoint pressPoint_{};
    BeamRect pressView_{};
    bool panning_ = false;
};

}  // namespace kestrom
