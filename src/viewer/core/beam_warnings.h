// What makes a frame's beam results wrong without their numbers showing it: a beam wider than the
// detector, one that the frame's edge cuts, a peak that is one lone pixel (a stuck or hot one),
// second moments that found no beam.
#pragma once

#include <cstdint>

#include "viewer/core/aperture_list.h"

namespace kestrom {

struct BeamWarnings {
    bool widerThanDetector = false;  // a width beyond the frame's side along it
    bool atFrameEdge = false;        // the aperture's beam runs on at the frame's border
    bool lonePeak = false;           // the peak stands far above all of its neighbours
    bool secondMomentsLost = false;  // the second moments' windows lost the beam

    bool any() const { return widerThanDetector || atFrameEdge || lonePeak || secondMomentsLost; }
    friend bool operator==(const BeamWarnings&, const BeamWarnings&) = default;
};

// One evaluated frame: its pixels, the aperture its results were taken in, and those results in
// raw values and pixels.
struct EvaluatedBeam {
    const std::int16_t* pixels;
    int width, height;
    const ApertureList& aperture;
    int peakColumn, peakRow;
    int peak, valley;  // raw values of the aperture's extremes
    double widthX, widthY;
    bool secondMomentsLost;
};

// The beam runs on at the edge where three neighbouring pixels along the frame's border (fewer on
// a border that short), all in the aperture, lie above a tenth of the way from its minimum to its
// peak and clear of the ground's noise (four times what the differences of neighbouring pixels
// in the corners give). The peak is lone when it stands clear of eight times that noise and every
// pixel around it holds less than half as much above the corners' ground: a sampled beam's
// neighbours hold more unless it is narrower than about three pixels.
BeamWarnings beamWarnings(const EvaluatedBeam& beam);

inline constexpr double kEdgeLevel = 0.1;       // of the way from the minimum to the peak
inline constexpr int kEdgeRun = 3;              // pixels along the border
inline constexpr double kLoneNeighbours = 0.5;  // of the peak above the ground

}  // namespace kestrom
