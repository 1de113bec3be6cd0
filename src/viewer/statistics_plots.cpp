#include "viewer/statistics_plots.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "viewer/core/picture_format.h"

namespace kestrom {
namespace {

const QColor kFirst(200, 40, 40);
const QColor kSecond(30, 90, 200);

// The plot's area inside its frame, with room for the scale's text.
QRectF plotArea(const QWidget& w, const QFontMetrics& m) {
    return QRectF(m.height() + 4, m.height() + 4, w.width() - 2 * m.height() - 8,
                  w.height() - 2 * m.height() - 8);
}

void caption(QPainter& p, const QWidget& w, const QString& text) {
    p.setPen(w.palette().color(QPalette::WindowText));
    p.drawText(QRect(0, 0, w.width(), p.fontMetrics().height() + 2), Qt::AlignCenter, text);
}

}  // namespace

CentroidPlot::CentroidPlot(const BeamStatistics& statistics, QWidget* parent)
    : QWidget(parent), statistics_(statistics) {
    setMinimumSize(160, 160);
}

void CentroidPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QFontMetrics m = p.fontMetrics();
    caption(p, *this, "Centroid (\u00B5m from the mean)");
    QRectF area = plotArea(*this, m);
    const double side = std::min(area.width(), area.height());
    area = QRectF(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(area);
    p.drawLine(QPointF(area.center().x(), area.top()), QPointF(area.center().x(), area.bottom()));
    p.drawLine(QPointF(area.left(), area.center().y()), QPointF(area.right(), area.center().y()));
    const int n = statistics_.size();
    if (n == 0) return;
    const double mx = statistics_.summary(BeamQuantity::CentroidX).mean;
    const double my = statistics_.summary(BeamQuantity::CentroidY).mean;
    double reach = 0.5;  // µm: a steady beam is not blown up to fill the plot with noise
    for (int i = 0; i < n; ++i) {
        const BeamSample& s = statistics_.sample(i);
        reach = std::max({reach, std::abs(s.value(BeamQuantity::CentroidX) - mx) * 1000,
                          std::abs(s.value(BeamQuantity::CentroidY) - my) * 1000});
    }
    reach *= 1.1;
    const double k = side / 2 / reach;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < n; ++i) {
        const BeamSample& s = statistics_.sample(i);
        const QPointF at(area.center().x() + (s.value(BeamQuantity::CentroidX) - mx) * 1000 * k,
                         area.center().y() + (s.value(BeamQuantity::CentroidY) - my) * 1000 * k);
        // The newest point stands out from the ones before it.
        p.setBrush(i == n - 1 ? kFirst : kSecond);
        p.drawEllipse(at, i == n - 1 ? 3.0 : 1.6, i == n - 1 ? 3.0 : 1.6);
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(0, height() - m.height() - 2, width(), m.height()), Qt::AlignCenter,
               QString::fromStdString("\u00B1" + formatGrouped(reach, 2) + " \u00B5m"));
}

WidthPlot::WidthPlot(const BeamStatistics& statistics, QWidget* parent)
    : QWidget(parent), statistics_(statistics) {
    setMinimumSize(200, 160);
}

void WidthPlot::setNames(const QString& first, const QString& second) {
    names_[0] = first;
    names_[1] = second;
    update();
}

void WidthPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QFontMetrics m = p.fontMetrics();
    caption(p, *this, "Widths (mm) over time");
    const QRectF whole = plotArea(*this, m);
    const int n = statistics_.size();
    // One band each, upper and lower, on a scale of its own: the two widths lie far apart, and
    // on one scale the changes of either would be a flat line.
    const struct {
        BeamQuantity quantity;
        QColor colour;
        const QString& name;
    } series[] = {{BeamQuantity::WidthX, kFirst, names_[0]},
                  {BeamQuantity::WidthY, kSecond, names_[1]}};
    // Each band keeps a line above its curve for its upper scale and its name, and one below for
    // its lower scale, so that no text lies over the curve.
    const double strip = m.height() + 2;
    for (int band = 0; band < 2; ++band) {
        const auto& line = series[band];
        const QRectF bandArea(whole.left(), whole.top() + band * whole.height() / 2, whole.width(),
                              whole.height() / 2);
        const QRectF area = bandArea.adjusted(0, strip, 0, -strip);
        p.setPen(palette().color(QPalette::Mid));
        p.setBrush(Qt::NoBrush);
        p.drawRect(area);
        p.setPen(line.colour);
        p.drawText(QPointF(bandArea.right() - m.horizontalAdvance(line.name) - 4,
                           bandArea.top() + m.ascent() + 1),
                   line.name);
        if (n == 0 || area.height() <= 0) continue;
        const QuantitySummary s = statistics_.summary(line.quantity);
        // A width that does not change still gets a scale around it.
        const double pad =
            std::max((s.maximum - s.minimum) * 0.1, std::max(std::abs(s.maximum), 1.0) * 1e-4);
        const double low = s.minimum - pad, high = s.maximum + pad;
        const double t0 = statistics_.sample(0).seconds;
        const double span = std::max(statistics_.sample(n - 1).seconds - t0, 1e-9);
        auto at = [&](int i) {
            const BeamSample& sample = statistics_.sample(i);
            return QPointF(area.left() + (sample.seconds - t0) / span * area.width(),
                           area.bottom() - (sample.value(line.quantity) - low) / (high - low) *
                                               area.height());
        };
        QPainterPath path(at(0));
        for (int i = 1; i < n; ++i) path.lineTo(at(i));
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(line.colour, 1.5));
        p.drawPath(path);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QPointF(bandArea.left() + 3, bandArea.top() + m.ascent() + 1),
                   QString::fromStdString(formatGrouped(high, 4)));
        p.drawText(QPointF(bandArea.left() + 3, bandArea.bottom() - m.descent() - 1),
                   QString::fromStdString(formatGrouped(low, 4)));
        if (band == 1)
            p.drawText(QRectF(0, height() - m.height() - 2, width(), m.height()), Qt::AlignCenter,
                       QString::fromStdString(formatGrouped(span, 1) + " s"));
    }
}

}  // namespace kestrom
