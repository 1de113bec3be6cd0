// A window timer of the subscriber component: an interval and the moment it is next due.
#pragma once

#include <chrono>

namespace kestrom {

class WindowTimer {
public:
    using Clock = std::chrono::steady_clock;

    explicit WindowTimer(std::chrono::milliseconds interval) : interval_(interval) {}

    void start(Clock::time_point now) {
        running_ = true;
        due_ = now + interval_;
    }
    void stop() { running_ = false; }
    bool running() const { return running_; }
    bool isDue(Clock::time_point now) const { return running_ && now >= due_; }
    Clock::time_point dueAt() const { return due_; }

private:
    std::chrono::milliseconds interval_;
    bool running_ = false;
    Clock::time_point due_{};
};

}  // namespace kestrom
