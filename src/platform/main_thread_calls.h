// Calls that worker threads hand to the main thread: queued, run by the main thread, optionally waited for.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrom {

class MainThreadCalls {
public:
    // The constructing thread is the main thread.
    MainThreadCalls();
    MainThreadCalls(const MainThreadCalls&) = delete;
    MainThreadCalls& operator=(const MainThreadCalls&) = delete;

    // From a worker: queues fn and blocks until the main thread has run it; true then.
    // If cancel becomes true before fn has started, fn is dropped and the result is false, so a
    // worker that is told to end never waits for a main thread that is itself waiting for it.
    // Once fn has started, the call always waits for it to finish. On the main thread fn runs at once.
    bool callAndWait(std::function<void()> fn, const std::atomic<bool>& cancel);

    // Queues fn without waiting.
    void post(std::function<void()> fn);

    // Main thread: runs the calls queued so far, oldest first. Calls queued while it runs are
    // left for the next round (their wakeup has been given).
    void runPending();

    // Called from the queuing thread whenever something is queued (the window posts itself an event).
    void setWakeup(std::function<void()> wakeup);

    // Wakes every waiting callAndWait so that it looks at its cancel flag again; call it after
    // setting a flag that a worker passed as cancel.
    void cancelWaits();

    // Main thread without an event loop (tests, bench): waits until something is queued.
    bool waitForPending(std::chrono::milliseconds timeout);

    std::size_t pendingCount() const;
    bool onMainThread() const { return std::this_thread::get_id() == mainThread_; }

private:
    enum class State { Queued, Running, Done };
    struct Waiter {
        State state = State::Queued;
    };
    struct Entry {
        std::function<void()> fn;
        Waiter* waiter;   // nullptr for posts; lives on the waiting worker's stack
    };

    void enqueue(Entry entry);

    const std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::condition_variable doneCv_;      // waiting workers
    std::condition_variable pendingCv_;   // a main thread without an event loop
    std::deque<Entry> queue_;
    std::function<void()> wakeup_;
};

}  // namespace kestrom
