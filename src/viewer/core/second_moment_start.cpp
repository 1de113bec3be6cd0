// The moments of the pixels that stand clear of the ground's noise. Over the whole frame, the
// noise of every pixel weighs with the square of its distance from the beam and can give moments
// of any size, or none; above a few deviations only the beam, and a rare stray pixel, remain.
#include "viewer/core/second_moment_start.h"

#include <cmath>

namespace kestrom {

std::optional<MomentEstimate> momentsClearOfNoise(const std::int16_t* pixels, int width, int height,
                                                  double ground, double deviation) {
    const double level = ground + kClearOfNoise * deviation;
    double m0 = 0, m1 = 0, m2 = 0, m11 = 0, m20 = 0, m02 = 0;
    // Columns and rows about the frame's middle, so that the squares stay small beside the sums.
    const double middleX = width / 2, middleY = height / 2;
    for (int r = 0; r < height; ++r) {
        const std::int16_t* row = pixels + static_cast<std::ptrdiff_t>(r) * width;
        const double dy = r - middleY;
        for (int k = 0; k < width; ++k) {
            if (!(row[k] > level)) continue;
            const double v = row[k] - level, dx = k - middleX;
            m0 += v;
            m1 += v * dx;
            m2 += v * dy;
            m20 += v * dx * dx;
            m11 += v * dx * dy;
            m02 += v * dy * dy;
        }
    }
    if (!(m0 > 0)) return std::nullopt;
    const double mx = m1 / m0, my = m2 / m0;
    return MomentEstimate{middleX + mx, middleY + my, m20 / m0 - mx * mx, m02 / m0 - my * my,
                          m11 / m0 - mx * my};
}

}  // namespace kestrom
