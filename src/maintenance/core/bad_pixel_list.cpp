#include "maintenance/core/bad_pixel_list.h"

#include <algorithm>

namespace kestrom {

void BadPixelList::addFront(int x, int y) {
    if (!onDetector(x, y)) return;
    points_.push_front({x, y});
    std::uint16_t& n = listed_[pixelIndex(x, y)];
    if (n < UINT16_MAX) ++n;
}

int BadPixelList::remove(int x, int y) {
    if (!contains(x, y)) return 0;
    const auto before = points_.size();
    points_.erase(std::remove(points_.begin(), points_.end(), PixPoint{x, y}), points_.end());
    listed_[pixelIndex(x, y)] = 0;
    return static_cast<int>(before - points_.size());
}

void BadPixelList::clear() {
    points_.clear();
    listed_.fill(0);
}

namespace {

// Marks the 124 positions of a row or column until the list is full.
template <typename At>
MarkOutcome markLine(BadPixelList& list, At at) {
    MarkOutcome outcome;
    for (int i = 0; i < kMapSide; ++i) {
        const PixPoint p = at(i);
        if (list.remove(p.column, p.row)) outcome.changed = true;
        if (list.size() > BadPixelList::kMouseLimit - 1) {
            outcome.limitReached = true;
            return outcome;
        }
        list.addFront(p.column, p.row);
        outcome.changed = true;
    }
    return outcome;
}

}  // namespace

MarkOutcome markWithMouse(BadPixelList& list, MarkMode mode, bool shift, int x, int y) {
    MarkOutcome outcome;
    if (!onDetector(x, y)) return outcome;
    if (shift) {
        for (int i = 0; i < kMapSide; ++i) {
            int removed = 0;
            if (mode == MarkMode::Pixel) {
                removed = list.remove(x, y);
            } else if (mode == MarkMode::Row) {
                removed = list.remove(i, y);
            } else {
                removed = list.remove(x, i);
            }
            if (removed) outcome.changed = true;
            if (mode == MarkMode::Pixel) break;
        }
        return outcome;
    }
    switch (mode) {
        case MarkMode::Pixel:
            if (list.remove(x, y)) outcome.changed = true;
            if (list.size() < BadPixelList::kMouseLimit) {
                list.addFront(x, y);
                outcome.changed = true;
            } else {
                outcome.limitReached = true;
            }
            return outcome;
        case MarkMode::Row:
            return markLine(list, [y](int i) { return PixPoint{i, y}; });
        case MarkMode::Column:
            return markLine(list, [x](int j) { return PixPoint{x, j}; });
    }
    return outcome;
}

}  // namespace kestrom
