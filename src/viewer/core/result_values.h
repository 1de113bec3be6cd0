// The results of a computed frame as named values: the header's keyed fields of the results block
// and of the aperture, with the bloom levels, in header order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "viewer/core/vasprel_header.h"

namespace kestrom {

// "FrameTotal", "ApertureTotal", ... "WheelB", "BloomTop", "BloomBottom", "CenterXLoc", ...
// "Minor", each value in the frame header text's number form. The bloom levels have no key in
// the header text; they go by their field names.
std::vector<std::pair<std::string, std::string>> resultValues(const VasprelHeader& header);

// "IsoCentroidx", "IsoCentroidy", "IsoDiameterMajor", "IsoDiameterMinor" (pixels),
// "IsoAzimuthDeg", "IsoEllipticity", "IsoEffectiveDiameter", as the header records them; zeros
// for a frame of the knife edge. A round beam has no azimuth, an elliptical one no effective
// diameter: 0.
std::vector<std::pair<std::string, std::string>> secondMomentValues(const VasprelHeader& header);

}  // namespace kestrom
