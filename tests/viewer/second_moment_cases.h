// The analytic Gaussian beams of the second-moment widths' accuracy: each case a beam of known
// 1/e² diameters turned by a known angle, sampled at the pixel centres, clean or over a ground
// with noise.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace kestrom::test {

struct TurnedBeam {
    const char* name;
    double diameterU;  // 1/e² diameter along the direction angle
    double diameterV;  // across it
    double angleDegrees;
    double x = 61.3;  // centre
    double y = 62.6;
};

// The cases the widths are held to, along x, along y, turned both ways and round.
inline const std::vector<TurnedBeam>& accuracyBeams() {
    static const std::vector<TurnedBeam> beams = {{"round 40", 40, 40, 0},
                                                  {"40 x 24 at 30", 40, 24, 30},
                                                  {"30 x 10 at 45", 30, 10, 45},
                                                  {"round 12", 12, 12, 0}};
    return beams;
}

struct Ground {
    double offset = 0;
    double noise = 0;  // r.m.s.
    unsigned seed = 1;
};

inline constexpr double kBeamPeak = 28000;  // raw values, 85 % of the range

// width x height pixels, row by row: the beam's peak at its centre over the ground, rounded.
inline std::vector<std::int16_t> turnedBeamPixels(const TurnedBeam& beam, const Ground& ground = {},
                                                  int width = 124, int height = 124,
                                                  double peak = kBeamPeak) {
    std::vector<std::int16_t> pixels(static_cast<std::size_t>(width) * height);
    const double a = beam.angleDegrees * std::numbers::pi / 180;
    const double c = std::cos(a), s = std::sin(a);
    const double su = beam.diameterU / 4, sv = beam.diameterV / 4;
    std::mt19937 random(ground.seed);
    std::normal_distribution<double> noise(0, ground.noise > 0 ? ground.noise : 1);
    for (int r = 0; r < height; ++r)
        for (int k = 0; k < width; ++k) {
            const double dx = k - beam.x, dy = r - beam.y;
            const double u = (dx * c + dy * s) / su, v = (-dx * s + dy * c) / sv;
            double value = ground.offset + peak * std::exp(-0.5 * (u * u + v * v));
            if (ground.noise > 0) value += noise(random);
            pixels[static_cast<std::size_t>(r) * width + k] =
                static_cast<std::int16_t>(std::clamp(std::round(value), -32768.0, 32767.0));
        }
    return pixels;
}

}  // namespace kestrom::test
