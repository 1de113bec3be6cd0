#include "viewer/qt_beam_canvas.h"

#include <QPen>
#include <QPolygon>

#include "viewer/core/bitmap_stretch.h"

namespace kestrom {

QColor qColorOf(ColorRef colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

void QtBeamCanvas::stretchBitmap(const IndexedBitmap& bitmap, const BeamRect& source,
                                 const BeamRect& target) {
    if (bitmap.pixels.empty() || !bitmap.palette) return;
    // Straight into the image's words: a scaled drawImage converts and scales through Qt's general
    // transform path, several times the cost of one table lookup per pixel.
    RgbTable colours;
    for (int i = 0; i < kPaletteSize; ++i)
        colours[static_cast<std::size_t>(i)] = qColorOf(bitmap.palette->color(i)).rgb();
    stretchIndexed(bitmap, source, target, colours,
                   {reinterpret_cast<std::uint32_t*>(image_.bits()), image_.width(),
                    image_.height(), static_cast<int>(image_.bytesPerLine() / 4)});
}

void QtBeamCanvas::ellipse(const BeamRect& box, ColorRef colour, const BeamRect& clip) {
    painter_.save();
    painter_.setClipRect(QRect(clip.left, clip.top, clip.width(), clip.height()));
    painter_.setPen(QPen(qColorOf(colour), penWidth_, Qt::SolidLine));
    painter_.setBrush(Qt::NoBrush);
    // The box's right and bottom are outside it; the outline runs on its last pixels.
    painter_.drawEllipse(QRect(box.left, box.top, box.width() - 1, box.height() - 1));
    painter_.restore();
}

void QtBeamCanvas::turnedEllipse(double centreX, double centreY, double a, double b,
                                 double angle, ColorRef colour, const BeamRect& clip) {
    painter_.save();
    painter_.setClipRect(QRect(clip.left, clip.top, clip.width(), clip.height()));
    painter_.setPen(QPen(qColorOf(colour), penWidth_, Qt::SolidLine));
    painter_.setBrush(Qt::NoBrush);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.translate(centreX, centreY);
    // Qt turns clockwise on the screen for positive degrees, as rows grow downward.
    painter_.rotate(angle * 180 / 3.14159265358979323846);
    painter_.drawEllipse(QPointF(0, 0), a, b);
    painter_.restore();
}

void QtBeamCanvas::line(BeamPoint a, BeamPoint b, ColorRef colour, PenStyle style) {
    painter_.setPen(QPen(qColorOf(colour), penWidth_, style == PenStyle::Dash ? Qt::DashLine : Qt::SolidLine,
                         Qt::FlatCap));
    painter_.drawLine(a.x, a.y, b.x, b.y);
}

void QtBeamCanvas::polyline(const std::vector<BeamPoint>& points, ColorRef colour) {
    if (points.empty()) return;
    QPolygon polygon(static_cast<int>(points.size()));
    for (int i = 0; i < polygon.size(); ++i)
        polygon[i] = QPoint(points[static_cast<std::size_t>(i)].x,
                            points[static_cast<std::size_t>(i)].y);
    painter_.setPen(QPen(qColorOf(colour), penWidth_, Qt::SolidLine));
    painter_.drawPolyline(polygon);
}

}  // namespace kestrom
