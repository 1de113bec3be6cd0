// The fixed flaws of one camera's detector: responsivity spread, dark pattern and bad pixels.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrom::sim {

struct DetectorPattern {
    struct BadPixel {
        int column, row;        // camera coordinates, 0..123
        std::int16_t counts;    // what the pixel shows whatever the light
    };
    std::vector<float> responsivity;    // per pixel, about 1.0 with a few per cent spread
    std::vector<float> darkOffset;      // per pixel, 15-bit units; calibration removes it
    std::vector<BadPixel> badPixels;

    // The same serial number always gives the same detector.
    static DetectorPattern forSerial(std::uint16_t serial);
};

}  // namespace kestrom::sim
