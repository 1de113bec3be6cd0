// Simulated time of the driver: a hand-moved counter in deterministic mode, the steady clock otherwise.
#pragma once

#include <chrono>
#include <cstdint>

namespace kestrom::sim {

class SimClock {
public:
    explicit SimClock(bool manual) : manual_(manual), start_(std::chrono::steady_clock::now()) {}

    std::int64_t nowMicros() const {
        if (manual_) return offset_;
        auto elapsed = std::chrono::steady_clock::now() - start_;
        return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() + offset_;
    }

    void advance(std::int64_t micros) {
        if (micros > 0) offset_ += micros;
    }

    bool manual() const { return manual_; }

private:
    bool manual_;
    std::chrono::steady_clock::time_point start_;
    std::int64_t offset_ = 0;
};

}  // namespace kestrom::sim
