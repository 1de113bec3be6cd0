// The viewer's printout on a page: what it shows at the top, the image with its overlays fitted
// below, and the results under the image, all in type that reads on paper.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <functional>
#include <string>
#include <vector>

#include "viewer/core/beam_results_text.h"

class QPainter;

namespace kestrom {

struct Printout {
    std::vector<std::string> header;  // the first line is the page's title
    std::vector<BeamResultsLine> results;
    QSize surfaceSize;                // the image keeps the surface's proportions
    // The surface's picture at a size in pixels and the resolution it will be printed at.
    std::function<QImage(QSize size, double dotsPerInch)> picture;
};

// On the page (device pixels at `resolution` dots per inch). The image takes the page's width,
// or less where the header and the results would not fit under it.
void drawPrintout(QPainter& painter, const QRect& page, int resolution, const Printout& printout);

}  // namespace kestrom
