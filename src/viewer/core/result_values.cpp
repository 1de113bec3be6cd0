// Naming the results as the frame header text names them.
#include "viewer/core/result_values.h"

#include <cstddef>

#include "viewer/core/frame_header_text.h"
#include "viewer/core/second_moment_record.h"

namespace kestrom {

std::vector<std::pair<std::string, std::string>> resultValues(const VasprelHeader& header) {
    auto values = frameHeaderValues(header, offsetof(VasprelHeader, FrameTotal),
                                    offsetof(VasprelHeader, FlagPass));
    values.emplace_back("BloomTop", doubleText(header.BloomTop));
    values.emplace_back("BloomBottom", doubleText(header.BloomBottom));
    auto aperture = frameHeaderValues(header, offsetof(VasprelHeader, CenterXLoc),
                                      offsetof(VasprelHeader, Flags));
    values.insert(values.end(), aperture.begin(), aperture.end());
    return values;
}

std::vector<std::pair<std::string, std::string>> secondMomentValues(const VasprelHeader& header) {
    const RecordedSecondMoment r = recordedSecondMoment(header).value_or(RecordedSecondMoment{});
    return {{"IsoCentroidx", doubleText(r.centroidX)},
            {"IsoCentroidy", doubleText(r.centroidY)},
            {"IsoDiameterMajor", doubleText(r.major)},
            {"IsoDiameterMinor", doubleText(r.minor)},
            {"IsoAzimuthDeg", doubleText(r.azimuthDegrees)},
            {"IsoEllipticity", doubleText(r.ellipticity)},
            {"IsoEffectiveDiameter", doubleText(r.effectiveDiameter)}};
}

}  // namespace kestrom
