// TPlot: keeps the surface's frame array and current frame. Its own drawing is never shown.
#pragma once

#include <cstdint>

#include "viewer/core/vasprel_frame.h"

namespace kestrom {

class TPlot {
  public:
    using Frame = TVasprelFrame<std::int16_t>;

    // frames: null-terminated.
    void SetFrameArray(Frame* const* frames) {
        frames_ = frames;
        count_ = 0;
        if (frames)
            while (frames[count_]) ++count_;
        current_ = nullptr;
    }
    // The frame at index, or none outside the array.
    Frame* frameAt(int index) const {
        return frames_ && index >= 0 && index < count_ ? frames_[index] : nullptr;
    }
    void SetCurrentFrame(Frame* frame) { current_ = frame; }
    Frame* currentFrame() const { return current_; }

  private:
    Frame* const* frames_ = nullptr;
    int count_ = 0;
    Frame* current_ = nullptr;
};

}  // namespace kestrom
