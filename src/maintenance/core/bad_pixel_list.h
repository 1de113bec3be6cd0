// The bad-pixel list of the utilities dialog: display positions, newest at the front, and the
// marking rules of the right mouse button.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "maintenance/core/utility_image.h"
#include "viewer/core/beam.h"

namespace kestrom {

class BadPixelList {
  public:
    // What the mouse may list; files and the camera's map are not held to it.
    static constexpr int kMouseLimit = 1023;

    int size() const { return static_cast<int>(points_.size()); }
    bool empty() const { return points_.empty(); }
    bool contains(int x, int y) const { return onDetector(x, y) && listed_[pixelIndex(x, y)] > 0; }
    // On the detector and not listed.
    bool isGood(int x, int y) const { return onDetector(x, y) && listed_[pixelIndex(x, y)] == 0; }

    // Positions off the detector are never listed.
    void addFront(int x, int y);
    // Every node at (x, y); the number removed.
    int remove(int x, int y);
    void clear();

    // Front (newest) first.
    const std::deque<PixPoint>& points() const { return points_; }
    std::vector<PixPoint> toVector() const { return {points_.begin(), points_.end()}; }

  private:
    std::deque<PixPoint> points_;
    std::array<std::uint16_t, kMapPixels> listed_{};  // nodes per pixel (a loaded file may repeat one)
};

enum class MarkMode { Pixel, Row, Column };

struct MarkOutcome {
    bool changed = false;
    bool limitReached = false;  // "You have reached the limit of bad pixels (1023)." once
};

// A right click at (x, y): with shift the pixel, row or column is unmarked, without it marked up
// to the limit. A click off the detector does nothing.
MarkOutcome markWithMouse(BadPixelList& list, MarkMode mode, bool shift, int x, int y);

}  // namespace kestrom
