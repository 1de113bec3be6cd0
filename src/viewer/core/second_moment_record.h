// How a frame's header records second-moment results, in the fields the frame format leaves
// unused, so that every reader of the format still reads the frame.
//
// With the second-moment method, Centroidx/Centroidy hold the centroid, BeamWidthx/BeamWidthy the
// widths along the principal axis nearer x and the one nearer y, Diameter their mean, and the
// aperture (CenterXLoc ... Minor) the ellipse around those axes. The four bytes at 284 hold the
// method's tag and Mean the azimuth of the major axis in degrees. Frames of the knife edge leave
// both as they found them, unless they hold the tag, which is then cleared.
#pragma once

#include <cstdint>
#include <optional>

#include "viewer/core/second_moment_widths.h"
#include "viewer/core/vasprel_header.h"

namespace kestrom {

inline constexpr std::int32_t kSecondMomentTag = 0x324F5349;  // "ISO2" in the file's bytes

// The results as the header holds them; nothing for a frame of the knife edge.
struct RecordedSecondMoment {
    double centroidX, centroidY;
    double widthX, widthY, major, minor;
    double azimuthDegrees;  // 0 for a round beam
    double ellipticity;
    double effectiveDiameter;  // 0 for an elliptical beam
    bool round;
};
std::optional<RecordedSecondMoment> recordedSecondMoment(const VasprelHeader& header);

void recordSecondMoment(VasprelHeader& header, const SecondMomentWidths& widths);
void clearSecondMomentRecord(VasprelHeader& header);

// The turn of the principal axis nearer x, from +x toward +y, in radians (within +-pi/4): the
// aperture's extent along it is Major.
double xAxisTurn(double azimuthRadians, double widthX, double widthY);

}  // namespace kestrom
