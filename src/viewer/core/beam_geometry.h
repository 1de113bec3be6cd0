// Client and frame rectangles of the beam views: right and bottom exclusive, as the views keep
// them.
#pragma once

namespace kestrom {

struct BeamPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const BeamPoint&, const BeamPoint&) = default;
};

struct BeamRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const BeamRect&, const BeamRect&) = default;
};

}  // namespace kestrom
