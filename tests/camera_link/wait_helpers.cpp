// Bounded waits and the deadlock report of the tests.
#include "wait_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace kestrom::test {

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void deadlocked(const char* what) {
    std::fprintf(stderr, "DEADLOCK: %s did not return\n", what);
    std::fflush(stderr);
    std::_Exit(3);
}

void finishesWithin(const std::function<void()>& fn, std::chrono::milliseconds limit) {
    std::packaged_task<void()> task(fn);
    auto done = task.get_future();
    std::thread runner(std::move(task));
    if (done.wait_for(limit) != std::future_status::ready) deadlocked("a call that should have returned");
    runner.join();
    done.get();
}

}  // namespace kestrom::test
