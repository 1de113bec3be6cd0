// The beam views' canvas over a QPainter on the surface's off-screen image.
#pragma once

#include <QImage>
#include <QPainter>

#include "viewer/core/beam_canvas.h"

namespace kestrom {

class QtBeamCanvas : public BeamCanvas {
  public:
    // painter paints on image, an RGB32 image; lines are penWidth pixels wide (more than one for
    // a picture at a printer's resolution).
    QtBeamCanvas(QImage& image, QPainter& painter, int penWidth = 1)
        : image_(image), painter_(painter), penWidth_(penWidth) {
        Q_ASSERT(image.format() == QImage::Format_RGB32);
    }

    void stretchBitmap(const IndexedBitmap& bitmap, const BeamRect& source,
                       const BeamRect& target) override;
    void ellipse(const BeamRect& box, ColorRef colour, const BeamRect& clip) override;
    void turnedEllipse(double centreX, double centreY, double a, double b, double angle,
                       ColorRef colour, const BeamRect& clip) override;
    void line(BeamPoint a, BeamPoint b, ColorRef colour, PenStyle style) override;
    void polyline(const std::vector<BeamPoint>& points, ColorRef colour) override;

  private:
    QImage& image_;
    QPainter& painter_;
    int penWidth_;
};

QColor qColorOf(ColorRef colour);

}  // namespace kestrom
