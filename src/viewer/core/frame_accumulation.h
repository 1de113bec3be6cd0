// What the view window does with each frame block it receives before it shows it: the image
// turned the right way up, then averaged or summed over N frames when the user asks for it.
#pragma once

#include <array>
#include <cstdint>

#include "camera_records/console_block.h"
#include "viewer/core/frame_record.h"

namespace kestrom {

// The block into the frame buffer. Without a lens the camera's image is upside down: pixel row i
// of the block becomes row 123 - i. The trailer is copied as it is.
void receiveFrameBlock(const std::uint8_t* block, FrameBlockBytes& buffer, bool hasLens);

// The pixels of a frame buffer (the block's first 15,376 values, host order).
std::int16_t* framePixels(FrameBlockBytes& buffer);

// The camera's AC word of the frame: 32 bits, most significant byte first, in the trailer.
std::int32_t trailerAc(const FrameBlockBytes& buffer);

class FrameAccumulator {
  public:
    // The most frames averaged or summed: what the window offers, and few enough that no sum of
    // 16-bit pixels comes near the 32-bit limit.
    static constexpr int kMaxFrames = 256;

    // Every frame is shown as it comes.
    void reset();
    // N > 1: the N frames after each shown one are averaged (summed) and shown with the next, N
    // above kMaxFrames taken as kMaxFrames; anything else shows every frame as it comes.
    void setAverage(int n);
    void setSum(int n);

    enum class Step {
        Shown,        // no target: show the frame as it is
        Accumulated,  // added to the sums; nothing to show
        Replaced,     // the pixels are now the average or the sum of the frames before
    };
    // The frame buffer's pixels are added, or replaced by the result once N have been added; the
    // pixels of that frame itself are not used. A sum beyond the 16-bit range is held at its
    // largest (smallest) value, so that it shows saturated rather than wrapped into a hole.
    Step add(std::int16_t* pixels);

    int averageTarget() const { return averageTarget_; }
    int sumTarget() const { return sumTarget_; }

  private:
    std::array<std::int32_t, frame_block::kPixelCount> sums_{};
    int averageTarget_ = 0;
    int averageCountdown_ = 0;
    int sumTarget_ = 0;
    int sumCountdown_ = 0;
};

}  // namespace kestrom
