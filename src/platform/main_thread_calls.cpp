// Queue of calls onto the main thread, with the cancellable wait that acquisition threads use.
#include "platform/main_thread_calls.h"

#include <algorithm>
#include <utility>

namespace kestrom {

MainThreadCalls::MainThreadCalls() : mainThread_(std::this_thread::get_id()) {}

void MainThreadCalls::enqueue(Entry entry) {
    std::function<void()> wakeup;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(entry));
        wakeup = wakeup_;
    }
    pendingCv_.notify_one();
    if (wakeup) wakeup();
}

bool MainThreadCalls::callAndWait(std::function<void()> fn, const std::atomic<bool>& cancel) {
    if (onMainThread()) {
        fn();
        return true;
    }
    if (cancel.load()) return false;
    Waiter waiter;
    enqueue(Entry{std::move(fn), &waiter});
    std::unique_lock lock(mutex_);
    doneCv_.wait(lock, [&] { return waiter.state == State::Done || (waiter.state == State::Queued && cancel.load()); });
    if (waiter.state == State::Done) return true;
    // Still queued: take the entry out, since it points at this stack frame.
    auto it = std::find_if(queue_.begin(), queue_.end(), [&](const Entry& e) { return e.waiter == &waiter; });
    if (it != queue_.end()) queue_.erase(it);
    return false;
}

void MainThreadCalls::post(std::function<void()> fn) { enqueue(Entry{std::move(fn), nullptr}); }

void MainThreadCalls::runPending() {
    std::unique_lock lock(mutex_);
    std::size_t budget = queue_.size();
    while (budget-- > 0 && !queue_.empty()) {
        Entry entry = std::move(queue_.front());
        queue_.pop_front();
        if (entry.waiter) entry.waiter->state = State::Running;
        lock.unlock();
        {
            // The waiter must be released even when fn throws.
            struct Release {
                MainThreadCalls& self;
                Waiter* waiter;
                ~Release() {
                    if (!waiter) return;
                    {
                        std::lock_guard relock(self.mutex_);
                        waiter->state = State::Done;
                    }
                    self.doneCv_.notify_all();
                }
            } release{*this, entry.waiter};
            // Destroyed before the queue is locked again: what it captured may queue more calls.
            std::function<void()> fn = std::move(entry.fn);
            fn();
        }
        lock.lock();
    }
}

void MainThreadCalls::setWakeup(std::function<void()> wakeup) {
    std::lock_guard lock(mutex_);
    wakeup_ = std::move(wakeup);
}

void MainThreadCalls::cancelWaits() {
    { std::lock_guard lock(mutex_); }
    doneCv_.notify_all();
}

bool MainThreadCalls::waitForPending(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return pendingCv_.wait_for(lock, timeout, [&] { return !queue_.empty(); });
}

std::size_t MainThreadCalls::pendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

}  // namespace kestrom
