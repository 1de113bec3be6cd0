// What the beam views draw on: the surface's off-screen image, in the colours of its palette.
// The viewer's window system implements it; the views only say what goes where.
#pragma once

#include <vector>

#include "viewer/core/beam_geometry.h"
#include "viewer/core/indexed_bitmap.h"
#include "viewer/core/palette_types.h"

namespace kestrom {

enum class PenStyle { Solid, Dash };

class BeamCanvas {
  public:
    virtual ~BeamCanvas() = default;
    // The source rectangle of the bitmap stretched onto the target, one source pixel to a block of
    // target pixels, no smoothing.
    virtual void stretchBitmap(const IndexedBitmap& bitmap, const BeamRect& source,
                               const BeamRect& target) = 0;
    // The ellipse inscribed in box (right and bottom exclusive), pen width 1, no fill, drawn only
    // inside clip.
    virtual void ellipse(const BeamRect& box, ColorRef colour, const BeamRect& clip) = 0;
    // The ellipse of semi-axes a and b around the centre, the a axis turned by angle (radians)
    // from +x toward +y (down), pen width 1, no fill, drawn only inside clip.
    virtual void turnedEllipse(double centreX, double centreY, double a, double b, double angle,
                               ColorRef colour, const BeamRect& clip) = 0;
    // A line from a to b, both ends drawn, pen width 1.
    virtual void line(BeamPoint a, BeamPoint b, ColorRef colour, PenStyle style) = 0;
    virtual void polyline(const std::vector<BeamPoint>& points, ColorRef colour) = 0;
};

}  // namespace kestrom
