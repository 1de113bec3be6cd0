// Whole-frame and elliptical apertures as pixel rows.
#include "viewer/core/aperture_list.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace kestrom {

ApertureList wholeFrameAperture(int width, int height) {
    ApertureList list;
    list.reserve(static_cast<std::size_t>(std::max(height, 0)));
    for (int r = 0; r < height; ++r)
        list.push_back({static_cast<std::int16_t>(r), 0, static_cast<std::int16_t>(width - 1)});
    return list;
}

namespace {

// Row j's pixels between the ellipse's edges xL and xR; nothing when none lies between them. A
// row whose pixels all lie left of column 0 holds none of the frame (0, -1), as one right of the
// frame holds none once cut to it.
std::optional<ApertureTriplet> ellipseRow(int j, double xL, double xR) {
    const double first = std::ceil(xL), last = std::floor(xR);
    if (!(first <= last)) return std::nullopt;
    // Columns outside the int16 range cannot be in any frame; the clip to the frame cuts them
    // back anyway.
    return ApertureTriplet{static_cast<std::int16_t>(j),
                           static_cast<std::int16_t>(std::clamp(first, 0.0, 32767.0)),
                           static_cast<std::int16_t>(std::clamp(last, -1.0, 32767.0))};
}

}  // namespace

std::optional<ApertureList> ellipseRows(const ApertureStruct& aperture, int height) {
    const double cx = aperture.centerX, cy = aperture.centerY;
    const double a = aperture.extentX / 2, b = aperture.extentY / 2;
    const double turn = std::isfinite(aperture.angle) ? aperture.angle : 0;
    if (!(std::isfinite(cx) && std::isfinite(cy) && std::isfinite(a) && std::isfinite(b)) ||
        a <= 0 || b <= 0)
        return ApertureList{};
    const double c = std::cos(turn), s = std::sin(turn);
    // Half the ellipse's height: b itself when it is not turned.
    const double reach = turn == 0 ? b : std::sqrt(a * a * s * s + b * b * c * c);
    // Rows past the last one a frame can have, or past the int16 rows of the list, are never
    // kept, so the walk stops there whatever the centre says.
    const double lastRow = std::min({std::trunc(cy + reach + 1), double(height), 32766.0});
    // The turned ellipse's row: (x c + dy s)² / a² + (-x s + dy c)² / b² <= 1, a quadratic in x.
    const double qa = c * c / (a * a) + s * s / (b * b);
    const double qb = 2 * s * c * (1 / (a * a) - 1 / (b * b));
    const double qc = s * s / (a * a) + c * c / (b * b);
    ApertureList list;
    try {
        list.reserve(static_cast<std::size_t>(std::max(height, 0)) + 1);
        for (int j = 0; j <= lastRow; ++j) {
            const double dy = j - cy;
            std::optional<ApertureTriplet> row;
            if (turn == 0) {
                if (dy * dy > b * b) continue;
                const double half = a * std::sqrt(1 - dy * dy / (b * b));
                row = ellipseRow(j, cx - half, cx + half);
            } else {
                const double p = qb * dy, q = qc * dy * dy - 1;
                const double discriminant = p * p - 4 * qa * q;
                if (discriminant < 0) continue;
                const double root = std::sqrt(discriminant);
                row = ellipseRow(j, cx + (-p - root) / (2 * qa), cx + (-p + root) / (2 * qa));
            }
            if (!row) continue;
            // A turned ellipse thinner than a pixel can pass between the pixel centres of a row
            // and cover some again below it: that row stays in the list, holding none, so that
            // the rows follow each other.
            if (!list.empty())
                for (int gap = list.back().row + 1; gap < j; ++gap)
                    list.push_back({static_cast<std::int16_t>(gap), 0, -1});
            list.push_back(*row);
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return list;
}

ApertureList clipToFrame(const ApertureList& rows, int width, int height) {
    ApertureList list;
    for (const ApertureTriplet& t : rows) {
        if (t.row < 0) continue;
        if (t.row > height - 1) break;
        ApertureTriplet c = t;
        // A row whose pixels all lie right of the frame keeps its place in the list (rows must
        // follow each other) but holds no pixel.
        c.first = static_cast<std::int16_t>(std::clamp<int>(c.first, 0, width));
        c.last = static_cast<std::int16_t>(std::min<int>(c.last, width - 1));
        list.push_back(c);
    }
    return list;
}

}  // namespace kestrom
