// The lines of the beam results text: a label and its value for each result chosen.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/core/beam_statistics.h"
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

struct RecordedSecondMoment;

// Second-moment axes in millimetres, from the recorded pixel widths and the pitch of each
// direction (mm per stored pixel): a beam round in pixels of unequal sides is not round.
struct SecondMomentAxes {
    double major, minor;
    double azimuthDegrees;  // 0 for a round beam
    double ellipticity;
    double effectiveDiameter;  // 0 for an elliptical beam
    bool round;
};
SecondMomentAxes secondMomentAxes(const RecordedSecondMoment& recorded, double mmX, double mmY);

// The binning n of a frame: a stored pixel covers n x n detector pixels. A header's exponent is
// kept to what a double holds.
double binning(const VasprelHeader& header);

// The numbers the text shows, in BeamQuantity order: the total (the aperture's when it is shown)
// and the peak, in the energy units when calibrated, else counts; the centroid and the widths in
// millimetres, the widths being the second moments' major and minor axes when recorded.
std::array<double, kBeamQuantities> beamResultValues(const VasprelHeader& header,
                                                     const BeamResultsTextSettings& settings);

// The results chosen, then, when the header records warnings, one line "Warning" that names
// them all. With the second moments recorded in the header, the widths are their axes:
// "D\u03C3 major", "D\u03C3 minor", "Azimuth", "Ellipticity" and "Eff. diam.", a dash for the
// azimuth of a round beam and the effective diameter of an elliptical one.
std::vector<BeamResultsLine> beamResultsLines(const VasprelHeader& header,
                                              const BeamResultsTextSettings& settings);

struct BeamWarnings;
// "wider than the detector", "at the frame's edge", "peak is a lone pixel", "second moments lost
// the beam", those that hold, joined by ", ".
std::string beamWarningsText(const BeamWarnings& warnings);

}  // namespace kestrom
