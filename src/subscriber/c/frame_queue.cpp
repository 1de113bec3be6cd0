// The handle's queue: copies at the notice, the oldest frame dropped and counted when it is full.
#include "subscriber/c/frame_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "camera_records/console_block.h"

namespace kestrom {

static_assert(offsetof(k3s_frame, console) == frame_block::kConsoleBlockOffset);
static_assert(offsetof(k3s_frame, factory) == frame_block::kFactoryInfoOffset);
static_assert(offsetof(k3s_frame, index) == frame_block::kFactoryInfoOffset + 256);

namespace {

double nowSeconds() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long long monotonicNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

}  // namespace

FrameQueue::FrameQueue(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)), ready_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

FrameQueue::~FrameQueue() {
    if (ready_ >= 0) ::close(ready_);
}

// Under the lock: the descriptor is readable exactly while items wait.
void FrameQueue::signal(bool waiting) {
    if (ready_ < 0) return;
    std::uint64_t count = 1;
    if (waiting) {
        [[maybe_unused]] auto written = ::write(ready_, &count, sizeof count);
    } else {
        [[maybe_unused]] auto read = ::read(ready_, &count, sizeof count);
    }
}

std::unique_ptr<k3s_frame> FrameQueue::buffer() {
    if (spare_.empty()) return std::make_unique<k3s_frame>();
    auto frame = std::move(spare_.back());
    spare_.pop_back();
    return frame;
}

void FrameQueue::pushFrame(const std::uint8_t* block, long long index, int slot, int serial) {
    const long long received = monotonicNanoseconds();
    const double time = nowSeconds();
    {
        std::lock_guard lock(mutex_);
        if (frames_ == capacity_) {
            auto oldest = std::find_if(items_.begin(), items_.end(), [](const Item& i) { return i.frame != nullptr; });
            spare_.push_back(std::move(oldest->frame));
            items_.erase(oldest);
            --frames_;
            ++dropped_;
        }
        Item item;
        item.frame = buffer();
        std::memcpy(item.frame.get(), block, frame_block::kFactoryInfoOffset + 256);
        item.frame->index = index;
        item.frame->slot = slot;
        item.frame->serial = serial;
        item.frame->time = time;
        item.frame->received_ns = received;
        items_.push_back(std::move(item));
        ++frames_;
        signal(true);
    }
    arrived_.notify_one();
}

void FrameQueue::pushEvent(k3s_event event, std::string reason) {
    {
        std::lock_guard lock(mutex_);
        Item item;
        item.event = event;
        item.reason = std::move(reason);
        items_.push_back(std::move(item));
        signal(true);
    }
    arrived_.notify_one();
}

bool FrameQueue::take(std::chrono::milliseconds timeout, k3s_event& event, k3s_frame* frame, std::string& reason) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [this] { return !items_.empty(); })) return false;
    Item item = std::move(items_.front());
    items_.pop_front();
    if (items_.empty()) signal(false);
    event = item.event;
    reason = std::move(item.reason);
    if (item.frame) {
        --frames_;
        if (frame) std::memcpy(frame, item.frame.get(), sizeof(k3s_frame));
        spare_.push_back(std::move(item.frame));
    }
    return true;
}

long long FrameQueue::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

}  // namespace kestrom
