// Frame synthesis: a Gaussian or top-hat beam, or even light, seen through the detector, with noise.
#include "simulator/sim_frames.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "simulator/sim_pixels.h"

namespace kestrom::sim {

namespace {

// Power 1.0 at gain 1X fills about half of the 14-bit range.
constexpr double kCountsPerPower = 8192.0;
// A drifting beam wanders on a small closed path instead of leaving the detector.
constexpr double kDriftRadius = 4.0;

struct Centre {
    double x, y;
};

Centre beamCentre(const BeamConfig& beam, double seconds) {
    if (beam.driftPixelsPerSecond <= 0.0) return {beam.x, beam.y};
    double w = beam.driftPixelsPerSecond / kDriftRadius;
    return {beam.x + kDriftRadius * std::sin(w * seconds), beam.y + kDriftRadius * std::sin(0.7 * w * seconds)};
}

// The beam is separable in x and y, so one profile per axis serves the whole frame.
void beamProfile(const BeamConfig& beam, double centre, double width, std::array<double, kWidth>& out) {
    double w = std::max(width, 0.5);
    for (int i = 0; i < kWidth; ++i) {
        double d = i - centre;
        if (beam.shape == BeamConfig::Shape::Uniform)
            out[i] = 1.0;
        else if (beam.shape == BeamConfig::Shape::TopHat)
            out[i] = std::abs(d) <= w ? 1.0 : 0.0;
        else
            out[i] = std::exp(-2.0 * d * d / (w * w));
    }
}

}  // namespace

void synthesiseCounts(const BeamConfig& beam, const DetectorPattern& detector, const FrameConditions& at,
                      NormalNoise& noise, std::uint8_t* pixels) {
    Centre c = beamCentre(beam, at.seconds);
    std::array<double, kWidth> px{}, py{};
    beamProfile(beam, c.x, beam.widthX, px);
    beamProfile(beam, c.y, beam.widthY, py);

    const double peak = beam.power * kCountsPerPower * at.gainFactor * at.signalScale;
    // The noise figure is given on the 15-bit frame scale; counts are half of that.
    const double sigma = std::max(beam.noise, 0.0) * 0.5 * std::max(at.gainFactor, 0.0);

    for (int row = 0; row < kHeight; ++row) {
        for (int column = 0; column < kWidth; ++column) {
            int i = row * kWidth + column;
            double counts = at.baselineCounts + peak * detector.responsivity[i] * px[column] * py[row];
            if (!at.darkPatternRemoved) counts += 0.5 * detector.darkOffset[i];
            if (sigma > 0.0) counts += sigma * noise.next();
            counts = std::clamp(std::floor(counts + 0.5), double(kMinCounts), double(kMaxCounts));
            storePixel(pixels, i, static_cast<std::int16_t>(counts));
        }
    }
    for (const DetectorPattern::BadPixel& b : detector.badPixels)
        storePixel(pixels, b.row * kWidth + b.column, b.counts);
}

std::int16_t scaleToFrameValues(std::uint8_t* pixels) {
    std::int16_t brightest = INT16_MIN;
    for (int i = 0; i < kPixels; ++i) {
        int counts = std::clamp<int>(loadPixel(pixels, i), kMinCounts, kMaxCounts);
        auto value = static_cast<std::int16_t>(counts * 2);
        storePixel(pixels, i, value);
        brightest = std::max(brightest, value);
    }
    return brightest;
}

}  // namespace kestrom::sim
