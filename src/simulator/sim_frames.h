// The physical picture a camera takes: beam, detector flaws, noise, gain and offset, in detector counts.
#pragma once

#include <cstdint>

#include "simulator/sim_detector.h"
#include "simulator/sim_driver.h"
#include "simulator/sim_noise.h"

namespace kestrom::sim {

// What the camera's settings and state make of the light at the moment of a frame.
struct FrameConditions {
    double seconds = 0.0;           // simulated time, moves a drifting beam
    double gainFactor = 1.0;        // gain word relative to the 1X entry of the method's table
    double signalScale = 1.0;       // detector response at the chop rate
    double baselineCounts = 0.0;    // level set by the offset bias
    bool darkPatternRemoved = false;    // the camera is calibrated
};

// 14-bit detector counts, saturating like the converter does.
inline constexpr int kMaxCounts = 16383;
inline constexpr int kMinCounts = -8192;

// Writes 15376 pixels of detector counts into the caller's buffer (host order, any alignment).
void synthesiseCounts(const BeamConfig& beam, const DetectorPattern& detector, const FrameConditions& at,
                      NormalNoise& noise, std::uint8_t* pixels);

// Scales counts to the 15-bit values that frames carry (×2) and returns the brightest pixel.
std::int16_t scaleToFrameValues(std::uint8_t* pixels);

}  // namespace kestrom::sim
