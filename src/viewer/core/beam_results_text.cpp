#include "viewer/core/beam_results_text.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "viewer/core/beam_warnings_record.h"
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

namespace {

// Millimetres per stored pixel along x and y: the pitch and the binning.
struct Pitch {
    double x, y;
};
Pitch millimetresPerPixel(const VasprelHeader& h) {
    const double n = binning(h);
    return {n * h.PixelHScale * 0.001, n * h.PixelVScale * 0.001};
}

}  // namespace

std::array<double, kBeamQuantities> beamResultValues(const VasprelHeader& h,
                                                     const BeamResultsTextSettings& settings) {
    const double n = binning(h);
    const auto [mmX, mmY] = millimetresPerPixel(h);
    const double total = n * n * (settings.apertureShown ? h.ApertureTotal : h.FrameTotal);
    std::array<double, kBeamQuantities> v{};
    auto set = [&v](BeamQuantity q, double value) { v[static_cast<std::size_t>(q)] = value; };
    set(BeamQuantity::Total, settings.calibrated ? total * settings.energyPerCount : total);
    set(BeamQuantity::Peak, settings.calibrated ? h.Peak * settings.energyDensityFactor : h.Peak);
    set(BeamQuantity::CentroidX, h.Centroidx * mmX);
    set(BeamQuantity::CentroidY, h.Centroidy * mmY);
    if (const std::optional<RecordedSecondMoment> iso = recordedSecondMoment(h)) {
        // The axes turn, so the pitch of each direction goes into them before they are taken.
        const SecondMomentAxes a = secondMomentAxes(*iso, mmX, mmY);
        set(BeamQuantity::WidthX, a.major);
        set(BeamQuantity::WidthY, a.minor);
    } else {
        set(BeamQuantity::WidthX, h.BeamWidthx * mmX);
        set(BeamQuantity::WidthY, h.BeamWidthy * mmY);
    }
    return v;
}

namespace {

std::vector<BeamResultsLine> chosenResultsLines(const VasprelHeader& h,
                                                const BeamResultsTextSettings& settings);

}  // namespace

std::string beamWarningsText(const BeamWarnings& w) {
    std::string text;
    auto add = [&text](bool on, const char* warning) {
        if (!on) return;
        if (!text.empty()) text += ", ";
        text += warning;
    };
    add(w.widerThanDetector, "wider than the detector");
    add(w.atFrameEdge, "at the frame's edge");
    add(w.lonePeak, "peak is a lone pixel");
    add(w.secondMomentsLost, "second moments lost the beam");
    return text;
}

std::vector<BeamResultsLine> beamResultsLines(const VasprelHeader& h,
                                              const BeamResultsTextSettings& settings) {
    std::vector<BeamResultsLine> lines = chosenResultsLines(h, settings);
    if (const BeamWarnings w = recordedBeamWarnings(h); w.any())
        lines.push_back({"Warning", beamWarningsText(w)});
    return lines;
}

namespace {

std::vector<BeamResultsLine> chosenResultsLines(const VasprelHeader& h,
                                                const BeamResultsTextSettings& settings) {
    std::vector<BeamResultsLine> lines;
    auto chosen = [&](BeamResultBit bit) { return (settings.which >> bit) & 1; };
    const auto values = beamResultValues(h, settings);
    auto value = [&values](BeamQuantity q) { return values[static_cast<std::size_t>(q)]; };
    auto millimetres = [&](BeamQuantity q) { return formatGrouped(value(q), 2) + "mm"; };

    if (chosen(kResultTotal)) {
        const double total = value(BeamQuantity::Total);
        lines.push_back({"Total", settings.calibrated ? formatScientific(total) + settings.unitsText
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
    if (chosen(kResultCentroid)) {
        lines.push_back({"Centroid X", millimetres(BeamQuantity::CentroidX)});
        lines.push_back({"Centroid Y", millimetres(BeamQuantity::CentroidY)});
    }
    if (!chosen(kResultWidth)) return lines;
    const std::optional<RecordedSecondMoment> iso = recordedSecondMoment(h);
    if (!iso) {
        lines.push_back({"Width X", millimetres(BeamQuantity::WidthX)});
        lines.push_back({"Width Y", millimetres(BeamQuantity::WidthY)});
        return lines;
    }
    const Pitch mm = millimetresPerPixel(h);
    const SecondMomentAxes a = secondMomentAxes(*iso, mm.x, mm.y);
    constexpr const char* kNotThisBeam = "\u2013";
    lines.push_back({"D\u03C3 major", millimetres(BeamQuantity::WidthX)});
    lines.push_back({"D\u03C3 minor", millimetres(BeamQuantity::WidthY)});
    lines.push_back(
        {"Azimuth", a.round ? kNotThisBeam : formatGrouped(a.azimuthDegrees, 1) + "\u00B0"});
    lines.push_back({"Ellipticity", formatGrouped(a.ellipticity, 3)});
    lines.push_back(
        {"Eff. diam.", a.round ? formatGrouped(a.effectiveDiameter, 2) + "mm" : kNotThisBeam});
    return lines;
}

}  // namespace

}  // namespace kestrom
