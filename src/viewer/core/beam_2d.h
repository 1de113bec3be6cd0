// TBeam2D: the flat false-colour view of a frame, one bitmap pixel per frame pixel stretched onto
// the display rectangle, with the crosshair, the aperture ellipse, the cursor and its profiles,
// zoomed and panned with the mouse or the scroll bars.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "viewer/core/beam.h"
#include "viewer/core/indexed_bitmap.h"

namespace kestrom {

class TBeam2D : public TBeam {
  public:
    void SetPalette(const PaletteHandle& palette) override;
    // The frame through the lookup table into the frame bitmap; a frame of another size puts the
    // cursor in its middle and shows it whole.
    void SetFrame(Frame* frame) override;
    void SetZoom(int level) override;
    void HorzScrollBarChange(int position) override;
    void VertScrollBarChange(int position) override;
    void SetPixPointList(std::vector<PixPoint> points) override;
    void SetShowPixPoint(bool on) override;
    // Paints the crosshair into the frame bitmap when it is shown, keeping the pixels under it,
    // and puts them back when it is not.
    void BeamCrosshair() override;
    void BeamCursor() override;
    void Paint() override;
    void AssignFrom(const TBeam& other) override;

    void MouseDown(int x, int y) override;
    void MouseMove(int x, int y) override;
    void MouseUp(int x, int y) override;

    const IndexedBitmap& frameBitmap() const { return bitmap_; }
    bool crosshairSaved() const { return crosshairSave_.has_value(); }

    // The overlays' geometry, as Paint draws it.
    struct ApertureEllipse {
        BeamRect box;  // of the ellipse unturned
        bool enclosesDisplay = false;  // drawn in red inscribed in the display then
        // The second moments' aperture turns with the beam's axes: its centre, semi-axes and
        // turn on the client; box alone serves when turn is 0.
        double centreX = 0, centreY = 0, a = 0, b = 0, turn = 0;
    };
    std::optional<ApertureEllipse> apertureEllipse() const;
    BeamPoint cursorPoint() const;
    std::vector<BeamPoint> horizontalProfile() const;
    std::vector<BeamPoint> verticalProfile() const;

  private:
    void fillBitmap();
    void markPixPoints();
    void updateScrollBars();
    // Counts of a pixel for the profiles, negative values as 0.
    double profileCounts(int column, int row) const;
    // The frame positions of the crosshair's two bars, 64 pixels each.
    template <typename Visit>
    void crosshairPixels(Visit visit);

    IndexedBitmap bitmap_;
    std::optional<std::array<std::uint8_t, 128>> crosshairSave_;
    // The pan's starting point.
    BeamPoint pressPoint_;
    BeamRect pressView_;
    BeamPoint pressCursor_;
    enum class Drag { None, Cursor, Pan } drag_ = Drag::None;
};

}  // namespace kestrom
