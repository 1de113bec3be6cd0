#include "viewer/printout.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace kestrom {
namespace {

QFont pointFont(const QFont& base, int points, bool bold = false) {
    QFont font = base;
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

// Fits width : height into the box, keeping the proportions.
QSize fitted(QSize proportions, QSize box) {
    const int w = std::max(proportions.width(), 1), h = std::max(proportions.height(), 1);
    if (static_cast<long long>(box.width()) * h <= static_cast<long long>(box.height()) * w)
        return {box.width(), static_cast<int>(static_cast<long long>(box.width()) * h / w)};
    return {static_cast<int>(static_cast<long long>(box.height()) * w / h), box.height()};
}

}  // namespace

void drawPrintout(QPainter& painter, const QRect& page, int resolution, const Printout& p) {
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(Qt::black);
    const QFont title = pointFont(painter.font(), 12, true);
    const QFont text = pointFont(painter.font(), 10);
    const QFontMetrics titleMetrics(title, painter.device());
    const QFontMetrics metrics(text, painter.device());
    const int line = metrics.height();
    const int gap = line / 2;

    int y = page.top();
    for (std::size_t i = 0; i < p.header.size(); ++i) {
        const QFontMetrics& m = i == 0 ? titleMetrics : metrics;
        painter.setFont(i == 0 ? title : text);
        painter.drawText(page.left(), y + m.ascent(), QString::fromStdString(p.header[i]));
        y += m.height();
    }
    y += gap;

    // The results and a line more stay on the page under the image.
    const int resultsHeight = static_cast<int>(p.results.size() + 1) * line + gap;
    const QSize image =
        fitted(p.surfaceSize, QSize(page.width(), std::max(page.bottom() + 1 - y - resultsHeight, 1)));
    if (p.picture && !image.isEmpty()) {
        // Drawn anew at a size near the page's, at most 2000 pixels across, at the resolution that
        // keeps its texts at their point size and its lines visible once fitted to the page.
        const double shrink = std::min(1.0, 2000.0 / std::max(image.width(), image.height()));
        const QSize pixels(std::max(1, static_cast<int>(image.width() * shrink)),
                           std::max(1, static_cast<int>(image.height() * shrink)));
        painter.drawImage(QRect(QPoint(page.left(), y), image), p.picture(pixels, resolution * shrink));
    }
    y += image.height() + gap;

    painter.setFont(text);
    const int valueX = page.left() + metrics.horizontalAdvance(QStringLiteral("XXXXXXXXXXX"));
    for (const BeamResultsLine& r : p.results) {
        const int baseline = y + metrics.ascent();
        painter.drawText(page.left(), baseline, QString::fromStdString(r.label));
        painter.drawText(valueX, baseline, QString::fromStdString(r.value));
        y += line;
    }
}

}  // namespace kestrom
