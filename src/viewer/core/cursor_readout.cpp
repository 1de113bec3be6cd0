#include "viewer/core/cursor_readout.h"

#include <algorithm>
#include <cmath>

#include "viewer/core/picture_format.h"

namespace kestrom {

std::string cursorReadoutText(const TVasprelFrame<std::int16_t>& frame, int column, int row,
                              const BeamResultsTextSettings& settings) {
    const VasprelHeader* h = frame.GetHeader();
    if (!h || !frame.data()) return {};
    const int columns = std::min<std::int32_t>(h->Width, frame.columns());
    const int rows = std::min<std::int32_t>(h->Height, frame.rows());
    if (column < 0 || row < 0 || column >= columns || row >= rows) return {};
    const std::int16_t value =
        frame.data()[static_cast<std::size_t>(row) * static_cast<std::size_t>(frame.columns()) +
                     static_cast<std::size_t>(column)];
    // Positions as the centroid gives them: a pixel's index times the pitch of its binned pixels.
    const double n = binning(*h);
    const double x = column * n * h->PixelHScale * 0.001, y = row * n * h->PixelVScale * 0.001;
    const double counts = std::ldexp(value, -(15 - std::clamp<std::int32_t>(h->PixelBits, 1, 15)));
    const std::string level =
        settings.calibrated ? formatScientific(value * settings.energyDensityFactor) +
                                  settings.unitsText + "/cm\u00B2"
                            : formatGrouped(value, 0);
    return "Column " + std::to_string(column) + ", Row " + std::to_string(row) + " (" +
           formatGrouped(x, 2) + "mm, " + formatGrouped(y, 2) + "mm)  Value " + level + " (" +
           formatGrouped(counts, 1) + " counts)";
}

}  // namespace kestrom
