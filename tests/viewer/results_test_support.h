// Test frames of the beam results: a frame of a given size with a live camera's header, filled
// with flat values, single pixels or Gaussian beams.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "viewer/core/vasprel_frame.h"

namespace kestrom::test {

using Frame16 = TVasprelFrame<std::int16_t>;

// A live frame's header: 14 significant bits (two raw values per count), 85 µm pixels.
inline std::unique_ptr<Frame16> liveFrame(int width = 124, int height = 124) {
    auto frame = std::make_unique<Frame16>(height, width);
    VasprelHeader& h = *frame->GetHeader();
    h.PixelBits = 14;
    h.CaptureResolution = 0;
    h.PixelHScale = 85;
    h.PixelVScale = 85;
    h.Flags = vasprel::kValidData;
    return frame;
}

inline void fill(Frame16& frame, std::int16_t value) {
    std::fill_n(frame.data(), frame.rows() * frame.columns(), value);
}

inline void set(Frame16& frame, int column, int row, std::int16_t value) {
    frame.data()[row * frame.columns() + column] = value;
}

struct Gaussian {
    double x, y;            // centre, pixel coordinates
    double sigmaX, sigmaY;  // standard deviations, pixels
    double peak;            // raw value at the centre
    double cutoff = 0;      // in sigmas; beyond it the beam is zero (0: never cut)
};

// Adds the beam, each pixel sampled at its centre and rounded.
inline void addGaussian(Frame16& frame, const Gaussian& g) {
    for (int r = 0; r < frame.rows(); ++r)
        for (int c = 0; c < frame.columns(); ++c) {
            const double u = (c - g.x) / g.sigmaX, v = (r - g.y) / g.sigmaY;
            if (g.cutoff > 0 && u * u + v * v > g.cutoff * g.cutoff) continue;
            std::int16_t& p = frame.data()[r * frame.columns() + c];
            const double value = p + std::round(g.peak * std::exp(-0.5 * (u * u + v * v)));
            p = static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
        }
}

}  // namespace kestrom::test
