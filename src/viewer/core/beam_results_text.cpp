#include "viewer/core/beam_results_text.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "viewer/core/picture_format.h"
#include "viewer/core/second_moment_record.h"

namespace kestrom {

SecondMomentAxes secondMomentAxes(const RecordedSecondMoment& r, double mmX, double mmY) {
    // The second moments again from the widths along the axes nearer x and y and their turn,
    // each direction then scaled by its own pitch.
    const double turn = xAxisTurn(r.azimuthDegrees * std::numbers::pi / 180, r.widthX, r.widthY);
    const double c = std::cos(turn), s = std::sin(turn);
    const double u = r.widthX * r.widthX / 16, v = r.widthY * r.widthY / 16;
    const double xx = (u * c * c + v * s * s) * mmX * mmX;
    const double yy = (u * s * s + v * c * c) * mmY * mmY;
    const double xy = (u - v) * s * c * mmX * mmY;
    const PrincipalAxes axes = principalAxes(xx, yy, xy);
    SecondMomentAxes out{axes.major, axes.minor, 0, 0, 0, false};
    if (axes.major > 0) {
        out.ellipticity = axes.minor / axes.major;
        out.round = out.ellipticity > kRoundEllipticity;
    }
    if (out.round)
        out.effectiveDiameter = 2 * std::numbers::sqrt2 * std::sqrt(std::max(0.0, xx + yy));
    else if (axes.major > 0)
        out.azimuthDegrees = axes.angle * 180 / std::numbers::pi;
    return out;
}

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
    const std::optional<RecordedSecondMoment> iso = recordedSecondMoment(h);
    if (chosen(kResultWidth) && iso) {
        // The axes turn, so the pitch of each direction goes into them before they are taken.
        const SecondMomentAxes a = secondMomentAxes(*iso, n * micronsX * 0.001, n * micronsY * 0.001);
        constexpr const char* kNotThisBeam = "\u2013";
        lines.push_back({"D\u03C3 major", formatGrouped(a.major, 2) + "mm"});
        lines.push_back({"D\u03C3 minor", formatGrouped(a.minor, 2) + "mm"});
        lines.push_back({"Azimuth", a.round ? kNotThisBeam : formatGrouped(a.azimuthDegrees, 1) + "\u00B0"});
        lines.push_back({"Ellipticity", formatGrouped(a.ellipticity, 3)});
        lines.push_back({"Eff. diam.", a.round ? formatGrouped(a.effectiveDiameter, 2) + "mm" : kNotThisBeam});
    } else if (chosen(kResultWidth)) {
        lines.push_back({"Width X", millimetres(h.BeamWidthx, micronsX)});
        lines.push_back({"Width Y", millimetres(h.BeamWidthy, micronsY)});
    }
    return lines;
}

}  // namespace kestrom
