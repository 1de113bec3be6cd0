#include "viewer/core/frame_accumulation.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kestrom {

void receiveFrameBlock(const std::uint8_t* block, FrameBlockBytes& buffer, bool hasLens) {
    constexpr std::size_t rowBytes = frame_block::kWidth * sizeof(std::int16_t);
    if (hasLens) {
        std::memcpy(buffer.data(), block, frame_block::kSize);
        return;
    }
    for (int row = 0; row < frame_block::kHeight; ++row)
        std::memcpy(buffer.data() + (frame_block::kHeight - 1 - row) * rowBytes,
                    block + row * rowBytes, rowBytes);
    const std::size_t pixelBytes = frame_block::kPixelCount * sizeof(std::int16_t);
    std::memcpy(buffer.data() + pixelBytes, block + pixelBytes, frame_block::kSize - pixelBytes);
}

std::int16_t* framePixels(FrameBlockBytes& buffer) {
    return reinterpret_cast<std::int16_t*>(buffer.data());
}

std::int32_t trailerAc(const FrameBlockBytes& buffer) {
    const std::uint8_t* p = buffer.data() + frame_block::kConsoleBlockOffset + 84;
    return static_cast<std::int32_t>(std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                     std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]});
}

void FrameAccumulator::reset() {
    sums_.fill(0);
    averageTarget_ = averageCountdown_ = sumTarget_ = sumCountdown_ = 0;
}

void FrameAccumulator::setAverage(int n) {
    reset();
    if (n > 1) averageTarget_ = averageCountdown_ = std::min(n, kMaxFrames);
}

void FrameAccumulator::setSum(int n) {
    reset();
    if (n > 1) sumTarget_ = sumCountdown_ = std::min(n, kMaxFrames);
}

FrameAccumulator::Step FrameAccumulator::add(std::int16_t* pixels) {
    const bool summing = sumTarget_ > 0;
    if (!summing && averageTarget_ <= 0) return Step::Shown;
    int& countdown = summing ? sumCountdown_ : averageCountdown_;
    if (countdown > 0) {
        --countdown;
        for (std::size_t i = 0; i < sums_.size(); ++i) sums_[i] += pixels[i];
        return Step::Accumulated;
    }
    constexpr std::int32_t low = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t high = std::numeric_limits<std::int16_t>::max();
    for (std::size_t i = 0; i < sums_.size(); ++i)
        pixels[i] = static_cast<std::int16_t>(summing ? std::clamp(sums_[i], low, high)
                                                      : sums_[i] / averageTarget_);
    sums_.fill(0);
    countdown = summing ? sumTarget_ : averageTarget_;
    return Step::Replaced;
}

}  // namespace kestrom
