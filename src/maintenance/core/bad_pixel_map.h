// The camera's bad-pixel map: entries of {camera column + 1, camera row + 1}, big-endian words,
// ended by an all-zero entry; and the ".bpp"/".bpc" text files of display positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/core/bad_pixel_list.h"

namespace kestrom {

inline constexpr std::size_t kBadPixelReadSize = 2048;
inline constexpr int kMaxMapEntries = 512;

// Clears the list and fills it from a map read from the camera, newest-first order as the camera
// lists them; entries off the detector are skipped.
void decodeCameraBadPixelMap(const std::uint8_t* buffer, std::size_t size, BadPixelList& list);

// The write buffer: the newest 512 points at most, sorted by camera row (smallest first) with the
// camera's exchange sort, and the zero entry. step runs now and then during the sort so that
// the window stays responsive.
std::vector<std::uint8_t> encodeCameraBadPixelMap(const BadPixelList& list, const std::function<void()>& step = {});

// "<column>, <row>" CR LF per point, in list order.
std::string encodeBadPixelFile(const BadPixelList& list);

// Reads the lines of a bad-pixel file ("column, row" or "column,row") and adds each point on the
// detector at the front. Lines without a comma are skipped. A value that is not a whole number ends the read: its text is
// returned, the points before it stay. At most maxPoints points are added; the rest of the file is
// not read.
std::optional<std::string> readBadPixelFile(std::istream& in, BadPixelList& list, std::size_t maxPoints);

// A loaded file may list a position more than once; more points than the detector has pixels
// can only be repeats, and a list that long would slow every frame's repair.
inline constexpr std::size_t kMaxLoadedPoints = kMapPixels;

}  // namespace kestrom
