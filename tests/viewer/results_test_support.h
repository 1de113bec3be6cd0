// Test frames of the beam results: a frame of a given size with a live camera's header, filled
// with flat values, single pixels or Gaussian beams; and the plain reference the results of an
// aperture are held to.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "viewer/core/aperture_list.h"
#include "viewer/core/results.h"
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

// The results of an aperture's pixels taken plainly, to hold the evaluation's against: raw sums,
// the first extremes in row-major order, the profile sums and the centroid of the brightest whole
// levels that hold 86.5 % of the total.
struct Reference {
    std::int64_t total = 0;
    int maximum = -32768, least = 32767;
    PixelPosition peak, minimum;
    std::vector<std::int32_t> columns, rows;
    double centroidX = 0, centroidY = 0;
    std::vector<int> values;  // of every pixel, highest first

    std::int64_t atOrAbove(int level) const {
        return std::count_if(values.begin(), values.end(), [level](int v) { return v >= level; });
    }
};

inline Reference referenceOver(const Frame16& frame, const ApertureList& aperture) {
    Reference ref;
    ref.columns.assign(frame.columns(), 0);
    ref.rows.assign(frame.rows(), 0);
    struct Pixel {
        int v, k, r;
    };
    std::vector<Pixel> pixels;
    for (const ApertureTriplet& t : aperture)
        for (int k = t.first; k <= t.last; ++k) {
            const int v = frame.Pixel(t.row, k);
            if (pixels.empty() || v > ref.maximum) ref.maximum = v, ref.peak = {k, t.row};
            if (pixels.empty() || v < ref.least) ref.least = v, ref.minimum = {k, t.row};
            pixels.push_back({v, k, t.row});
            ref.total += v;
            ref.columns[k] += v;
            ref.rows[t.row] += v;
        }
    // Whole levels from the top until they hold 86.5 % of the total.
    std::stable_sort(pixels.begin(), pixels.end(), [](auto& a, auto& b) { return a.v > b.v; });
    double e = 0, x = 0, y = 0;
    for (std::size_t i = 0; i < pixels.size() && e < 0.865 * double(ref.total);) {
        const int level = pixels[i].v;
        for (; i < pixels.size() && pixels[i].v == level; ++i)
            e += level, x += double(level) * pixels[i].k, y += double(level) * pixels[i].r;
    }
    if (e > 0) ref.centroidX = x / e, ref.centroidY = y / e;
    for (const Pixel& p : pixels) ref.values.push_back(p.v);
    return ref;
}

// The aperture's total and extremes as the header holds them (counts: raw values over 2), and
// where its minimum lies.
inline void expectTotalAndExtremes(const VasprelHeader& h, PixelPosition valley,
                                   const Reference& ref) {
    EXPECT_EQ(double(h.ApertureTotal), ref.total / 2.0);
    EXPECT_EQ(double(h.Peak), ref.maximum / 2.0);
    EXPECT_EQ(h.PeakLocx, ref.peak.column);
    EXPECT_EQ(h.PeakLocy, ref.peak.row);
    EXPECT_EQ(double(h.Valley), ref.least / 2.0);
    EXPECT_EQ(valley.column, ref.minimum.column);
    EXPECT_EQ(valley.row, ref.minimum.row);
}

}  // namespace kestrom::test
