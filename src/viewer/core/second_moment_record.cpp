#include "viewer/core/second_moment_record.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrom {

std::optional<RecordedSecondMoment> recordedSecondMoment(const VasprelHeader& h) {
    if (h.unused284 != kSecondMomentTag) return std::nullopt;
    RecordedSecondMoment r{};
    r.centroidX = h.Centroidx;
    r.centroidY = h.Centroidy;
    r.widthX = h.BeamWidthx;
    r.widthY = h.BeamWidthy;
    r.major = std::max(r.widthX, r.widthY);
    r.minor = std::min(r.widthX, r.widthY);
    // A header from a file may hold anything: a width below zero or no number is no width.
    if (!(r.minor >= 0) || !std::isfinite(r.major)) r.major = r.minor = 0;
    r.ellipticity = r.major > 0 ? r.minor / r.major : 0;
    r.round = r.major > 0 && r.ellipticity > kRoundEllipticity;
    const double azimuth = h.Mean;
    r.azimuthDegrees = r.round || !std::isfinite(azimuth) ? 0 : azimuth;
    r.effectiveDiameter = r.round ? std::sqrt((r.widthX * r.widthX + r.widthY * r.widthY) / 2) : 0;
    return r;
}

void recordSecondMoment(VasprelHeader& h, const SecondMomentWidths& w) {
    h.unused284 = kSecondMomentTag;
    h.Mean = w.azimuthDegrees();
}

void clearSecondMomentRecord(VasprelHeader& h) {
    if (h.unused284 != kSecondMomentTag) return;
    h.unused284 = 0;
    h.Mean = 0;
}

double xAxisTurn(double azimuthRadians, double widthX, double widthY) {
    // A round beam has no azimuth: its axes are the frame's.
    if (widthX >= widthY || azimuthRadians == 0) return azimuthRadians;
    // The major axis lies nearer y: the axis nearer x is a quarter turn from it.
    return azimuthRadians > 0 ? azimuthRadians - std::numbers::pi / 2
                              : azimuthRadians + std::numbers::pi / 2;
}

}  // namespace kestrom
