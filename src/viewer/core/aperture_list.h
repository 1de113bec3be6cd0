// The aperture of the beam results as pixel rows, and the ellipse that the automatic aperture
// places around the beam.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrom {

// Centre and extents of the automatic aperture, in pixels; the extents are full axes. extentX
// lies along the direction turned by angle from +x toward +y (radians), extentY across it.
struct ApertureStruct {
    double centerX = 0;
    double centerY = 0;
    double extentX = 0;
    double extentY = 0;
    double angle = 0;
};

// One row of an aperture: its pixels first..last (both included).
struct ApertureTriplet {
    std::int16_t row;
    std::int16_t first;
    std::int16_t last;
};

// The rows of an aperture, in increasing consecutive rows; a row that holds no pixel has last
// below first.
using ApertureList = std::vector<ApertureTriplet>;

// Every row of a width x height frame, whole.
ApertureList wholeFrameAperture(int width, int height);

// The pixel rows of the ellipse with the aperture's centre, half its extents as semi-axes and its
// turn, from row 0 down, each holding the columns whose pixel centres lie inside (a first column
// below 0 raised to 0); the ellipse's tips above and below its first and last covered pixel
// positions are left out. Nothing when the list's memory cannot be had.
std::optional<ApertureList> ellipseRows(const ApertureStruct& aperture, int height);

// The rows of the ellipse that lie in a width x height frame, each cut to the frame's columns.
ApertureList clipToFrame(const ApertureList& rows, int width, int height);

}  // namespace kestrom
