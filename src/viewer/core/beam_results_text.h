// The lines of the beam results text: a label and its value for each result chosen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/core/vasprel_header.h"

namespace kestrom {

// Bits of the results chosen for the text.
enum BeamResultBit : int {
    kResultTotal = 0,
    kResultPeakMin = 1,
    kResultCentroid = 3,
    kResultWidth = 4,
};

struct BeamResultsTextSettings {
    std::uint8_t which = 0;        // a set of BeamResultBit
    bool apertureShown = false;    // the total is the aperture's then, the frame's otherwise
    bool calibrated = false;       // totals and levels in the energy units
    double energyPerCount = 1.0;
    double energyDensityFactor = 1.0;
    std::string unitsText = " W";  // begins with a space
};

struct BeamResultsLine {
    std::string label;
    std::string value;
    friend bool operator==(const BeamResultsLine&, const BeamResultsLine&) = default;
};

// The binning n of a frame: a stored pixel covers n x n detector pixels. A header's exponent is
// kept to what a double holds.
double binning(const VasprelHeader& header);

std::vector<BeamResultsLine> beamResultsLines(const VasprelHeader& header,
                                              const BeamResultsTextSettings& settings);

}  // namespace kestrom
