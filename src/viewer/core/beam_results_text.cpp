#include "viewer/core/beam_results_text.h"

#include <algorithm>
#include <cmath>

#include "viewer/core/picture_format.h"

namespace kestrom {

double binning(const VasprelHeader& header) {
    return std::ldexp(1.0, std::clamp<std::int32_t>(header.CaptureResolution, -16, 16));
}

std::vector<BeamResultsLine> beamResultsLines(const VasprelHeader& h,
                                              const BeamResultsTextSettings& settings) {
    std::vector<BeamResultsLine> lines;
    auto chosen = [&](BeamResultBit bit) { return (settings.which >> bit) & 1; };
    const double n = binning(h);
    const double micronsX = h.PixelHScale, micronsY = h.PixelVScale;

    if (chosen(kResultTotal)) {
        const double total = n * n * (settings.apertureShown ? h.ApertureTotal : h.FrameTotal);
        lines.push_back({"Total", settings.calibrated
                                      ? formatScientific(total * settings.energyPerCount) +
                                            settings.unitsText
                                      : formatGrouped(total, 0)});
    }
    if (chosen(kResultPeakMin)) {
        auto level = [&](double counts) {
            return settings.calibrated
                       ? formatScientific(counts * settings.energyDensityFactor) +
                             settings.unitsText + "/cm\u00B2"
                       : formatGrouped(counts, 2);
        };
        lines.push_back({"Peak", level(h.Peak)});
        lines.push_back({"Min", level(h.Valley)});
    }
    auto millimetres = [n](double pixels, double microns) {
        return formatGrouped(pixels * n * microns * 0.001, 2) + "mm";
    };
    if (chosen(kResultCentroid)) {
        lines.push_back({"Centroid X", millimetres(h.Centroidx, micronsX)});
        lines.push_back({"Centroid Y", millimetres(h.Centroidy, micronsY)});
    }
    if (chosen(kResultWidth)) {
        lines.push_back({"Width X", millimetres(h.BeamWidthx, micronsX)});
        lines.push_back({"Width Y", millimetres(h.BeamWidthy, micronsY)});
    }
    return lines;
}

}  // namespace kestrom
