// The C library's handle on its own thread: the thread that answers the console, the frame queue,
// and the lock that lets any thread call the handle meanwhile.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "subscriber/c/subscriber_handle.h"

namespace kestrom::c_api {

HandleLock::HandleLock(const k3s_subscriber* s) : s_(s) { s_->mutex.lock(); }

HandleLock::~HandleLock() {
    s_->mutex.unlock();
    if (int wake = s_->wakeDescriptor.load(); wake >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake, &one, sizeof one);
    }
}

int copyText(const std::string& text, char* buffer, std::size_t capacity, std::size_t* length) {
    if (length) *length = text.size();
    if (!buffer || capacity < text.size() + 1) return K3S_ERR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return K3S_OK;
}

namespace {

// How long the thread sleeps at most when neither the console nor a timer has anything for it.
constexpr int kIdleWaitMs = 1000;

std::string closeReasonOf(const k3s_subscriber& s) {
    if (!s.link.connected()) return "The console has gone";
    return "The console closed camera " + std::to_string(s.component.Serial()) + " in tab " +
           std::to_string(s.component.Tab());
}

void pumpLoop(k3s_subscriber* s) {
    while (!s->stopping.load()) {
        int descriptor = -1;
        int waitMs = kIdleWaitMs;
        {
            std::lock_guard lock(s->mutex);
            try {
                s->component.pump(std::chrono::milliseconds{0});
            } catch (...) {
                // Nothing may leave the thread (it would end the host program); a misuse error of
                // a timer's own call is the only one known, and the next turn goes on.
            }
            descriptor = s->component.descriptor();
            if (auto next = s->component.nextTimerIn())
                waitMs = static_cast<int>(std::clamp<long long>(next->count(), 0, kIdleWaitMs));
        }
        pollfd fds[2] = {{s->wakeDescriptor.load(), POLLIN, 0}, {descriptor, POLLIN, 0}};
        int ready = ::poll(fds, descriptor >= 0 ? 2 : 1, waitMs);
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count = 0;
            [[maybe_unused]] auto read = ::read(fds[0].fd, &count, sizeof count);
        }
    }
}

}  // namespace
}  // namespace kestrom::c_api

k3s_subscriber::~k3s_subscriber() {
    if (pumpThread.joinable()) {
        stopping.store(true);
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wakeDescriptor.load(), &one, sizeof one);
        pumpThread.join();
    }
    // The queue goes before the component: nothing may reach it from the component's last calls.
    component.OnNewFrame = {};
    component.OnKestClose = {};
    component.OnKestOpen = {};
    component.OnCalibrateDone = {};
    if (wakeDescriptor.load() >= 0) ::close(wakeDescriptor.load());
}

using kestrom::c_api::copyText;
using kestrom::c_api::HandleLock;

extern "C" {

int k3s_run_background(k3s_subscriber* subscriber, size_t queue_frames) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    std::lock_guard lock(subscriber->mutex);
    if (subscriber->queue) return K3S_ERR_STATE;
    try {
        int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake < 0) return K3S_ERR_INTERNAL;
        subscriber->queue = std::make_unique<kestrom::FrameQueue>(queue_frames);
        kestrom::FrameQueue& queue = *subscriber->queue;
        auto& c = subscriber->component;
        // Inside the notice: one copy of the block, and the notice is answered.
        c.OnNewFrame = [&queue](kestrom::TKesTrom3Subscriber& s) {
            if (const std::int16_t* pixels = s.FrameData())
                queue.pushFrame(reinterpret_cast<const std::uint8_t*>(pixels), s.FrameCount(), s.Tab(), s.Serial());
            s.SetNewFrame(false);
        };
        c.OnKestClose = [subscriber, &queue](kestrom::TKesTrom3Subscriber&) {
            queue.pushEvent(K3S_EVENT_KEST_CLOSE, kestrom::c_api::closeReasonOf(*subscriber));
        };
        c.OnKestOpen = [&queue](kestrom::TKesTrom3Subscriber&) { queue.pushEvent(K3S_EVENT_KEST_OPEN); };
        c.OnCalibrateDone = [&queue](kestrom::TKesTrom3Subscriber&) { queue.pushEvent(K3S_EVENT_CALIBRATE_DONE); };
        subscriber->wakeDescriptor.store(wake);
        subscriber->pumpThread = std::thread(kestrom::c_api::pumpLoop, subscriber);
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
    return K3S_OK;
}

int k3s_wait_event(k3s_subscriber* subscriber, int timeout_ms, k3s_event* event, k3s_frame* frame) {
    if (!subscriber || !event) return K3S_ERR_ARGUMENT;
    kestrom::FrameQueue* queue = nullptr;
    {
        std::lock_guard lock(subscriber->mutex);
        queue = subscriber->queue.get();
    }
    if (!queue) return K3S_ERR_STATE;
    // The wait holds no lock of the handle: the thread and other calls go on meanwhile.
    std::string reason;
    if (!queue->take(std::chrono::milliseconds{std::max(0, timeout_ms)}, *event, frame, reason))
        return K3S_ERR_TIMEOUT;
    if (*event == K3S_EVENT_KEST_CLOSE) {
        std::lock_guard lock(subscriber->mutex);
        subscriber->closeReason = std::move(reason);
    }
    return K3S_OK;
}

int k3s_event_descriptor(const k3s_subscriber* subscriber) {
    if (!subscriber) return -1;
    std::lock_guard lock(subscriber->mutex);
    return subscriber->queue ? subscriber->queue->descriptor() : -1;
}

long long k3s_dropped_frames(const k3s_subscriber* subscriber) {
    if (!subscriber) return 0;
    std::lock_guard lock(subscriber->mutex);
    return subscriber->queue ? subscriber->queue->dropped() : 0;
}

int k3s_close_reason(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    std::lock_guard lock(subscriber->mutex);
    return copyText(subscriber->closeReason, text, capacity, length);
}

int k3s_console_error(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    HandleLock lock(subscriber);
    return copyText(subscriber->link.lastError(), text, capacity, length);
}

}  // extern "C"
