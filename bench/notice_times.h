// The send time of each frame notice, for a bench in another process to read: a file of slots,
// each {frame count, CLOCK_MONOTONIC nanoseconds} as little-endian int64, frame count % kSlots.
#pragma once

#include <cstdint>
#include <string>

namespace kestrom::bench {

class NoticeTimes {
public:
    static constexpr std::int64_t kSlots = 4096;

    // Creates the file (throws with what failed when it cannot).
    explicit NoticeTimes(const std::string& path);
    ~NoticeTimes();
    NoticeTimes(const NoticeTimes&) = delete;
    NoticeTimes& operator=(const NoticeTimes&) = delete;

    // The time first, the count last: a reader that finds its count finds its time.
    void stamp(std::int64_t frameCount);

private:
    std::int64_t* slots_ = nullptr;
};

std::int64_t monotonicNanoseconds();

}  // namespace kestrom::bench
