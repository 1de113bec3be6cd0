// What a k3s_subscriber handle holds: the component, its connection, the host's callbacks, and
// while it runs on its own thread that thread and its queue.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "subscriber/c/frame_queue.h"
#include "subscriber/c/kestrom3subscriber.h"
#include "subscriber/kestrom3_subscriber.h"
#include "subscriber/transport_link.h"

struct k3s_subscriber {
    struct Callback {
        k3s_callback function = nullptr;
        void* user = nullptr;
    };

    k3s_subscriber(kestrom::TransportClientOptions transport, kestrom::SubscriberOptions options)
        : link(std::move(transport)), component(link, std::move(options)) {}
    ~k3s_subscriber();

    kestrom::TransportLink link;
    kestrom::TKesTrom3Subscriber component;
    std::array<Callback, 4> callbacks{};

    // Every call on the handle and every turn of its own thread; recursive because a callback may
    // call the library from inside the call that raised it.
    mutable std::recursive_mutex mutex;

    // Set once, before the handle's own thread starts.
    std::unique_ptr<kestrom::FrameQueue> queue;
    std::thread pumpThread;
    std::atomic<bool> stopping{false};
    std::atomic<int> wakeDescriptor{-1};
    std::string closeReason;  // of the last close event taken, under the mutex
};

namespace kestrom::c_api {

// Holds the handle while a call runs; on the handle's own thread's handle, wakes that thread
// afterwards, since the call may have read messages that it should now handle.
class HandleLock {
public:
    explicit HandleLock(const k3s_subscriber* s);
    ~HandleLock();
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;

private:
    const k3s_subscriber* s_;
};

int copyText(const std::string& text, char* buffer, std::size_t capacity, std::size_t* length);

}  // namespace kestrom::c_api
