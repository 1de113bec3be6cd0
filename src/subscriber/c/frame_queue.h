// The frames and events of a handle that runs on its own thread, waiting for the program to take
// them: frames in a bounded queue whose oldest frame gives way to a new one, events never dropped.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "subscriber/c/kestrom3subscriber.h"

namespace kestrom {

class FrameQueue {
public:
    explicit FrameQueue(std::size_t capacity);
    ~FrameQueue();
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // The frame block as the notice hands it out (pixels, ConsoleBlock, FactoryInfo), copied here.
    void pushFrame(const std::uint8_t* block, long long index, int slot, int serial);
    void pushEvent(k3s_event event, std::string reason = {});

    // The oldest item: true with the event (and the frame or the close's reason), false when
    // nothing came within the timeout.
    bool take(std::chrono::milliseconds timeout, k3s_event& event, k3s_frame* frame, std::string& reason);

    long long dropped() const;
    std::size_t capacity() const { return capacity_; }
    // Readable while an item waits, for a host's event loop; -1 when it could not be had.
    int descriptor() const { return ready_; }

private:
    struct Item {
        k3s_event event = K3S_EVENT_NEW_FRAME;
        std::unique_ptr<k3s_frame> frame;
        std::string reason;
    };

    std::unique_ptr<k3s_frame> buffer();

    void signal(bool waiting);

    const std::size_t capacity_;
    int ready_ = -1;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Item> items_;
    std::size_t frames_ = 0;
    long long dropped_ = 0;
    // Buffers of taken and dropped frames, so that a frame costs no allocation.
    std::vector<std::unique_ptr<k3s_frame>> spare_;
};

}  // namespace kestrom
