// Bounded waits of the tests: generous limits that only a fault ever reaches.
#pragma once

#include <chrono>
#include <functional>
#include <future>

namespace kestrom::test {

inline constexpr auto kSafetyLimit = std::chrono::seconds(5);

// Waits for a condition that a worker brings about; false when the limit passes.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = kSafetyLimit);

// A call that does not return within the limit is a deadlock: the stuck thread cannot be
// recovered, so the test program reports it and ends.
[[noreturn]] void deadlocked(const char* what);

// Runs fn on a helper thread and waits for it within the limit.
void finishesWithin(const std::function<void()>& fn, std::chrono::milliseconds limit = kSafetyLimit);

template <typename T>
T resultWithin(std::future<T>& result, std::chrono::milliseconds limit = kSafetyLimit) {
    if (result.wait_for(limit) != std::future_status::ready) deadlocked("a worker's call");
    return result.get();
}

}  // namespace kestrom::test
