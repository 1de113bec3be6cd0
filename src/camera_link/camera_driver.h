// The acquisition thread of one camera slot: frames into the shared block, out to the subscribers.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "camera_link/acquisition_context.h"
#include "camera_link/device_lease.h"
#include "platform/shared_memory.h"

namespace kestrom {

// One window that receives a slot's frames.
struct Subscriber {
    WindowHandle window = 0;
    bool receiving = true;
};

class CameraDriver {
public:
    static constexpr int kMaxSubscribers = 50;
    static constexpr std::uint32_t kNewFrameMessage = 1326;   // wParam FrameCount, lParam slot
    static constexpr std::uint32_t kClosingMessage = 1330;    // wParam the window, lParam slot
    // Read status of a frame block marked not to be delivered.
    static constexpr std::uint32_t kSkippedStatus = 279;

    // Creates or opens the slot's frame block and zeroes it, makes this thread the slot's Thread and
    // starts it at the lowest priority. The thread reads only the lease's device, and only while
    // the slot still holds it; without a lease it reads nothing. Nullptr and error text when the
    // slot is not a camera slot, already has a Thread, or the block cannot be had. Main thread.
    static std::unique_ptr<CameraDriver> create(int slot, AcquisitionContext& context,
                                                std::shared_ptr<DeviceLease> lease, std::string& error);

    // Terminates and joins: only once the thread cannot be blocked in a read (its device let go).
    ~CameraDriver();
    CameraDriver(const CameraDriver&) = delete;
    CameraDriver& operator=(const CameraDriver&) = delete;

    // Any thread. The loop ends at its next check; a delivery that has not started is dropped.
    void terminate();
    // The loop looks at the slot's acquire and pause state again at once.
    void wake();
    // True once the thread has done its last action; join() then returns at once.
    bool finished() const { return finished_.load(); }
    void join();

    // Main thread. The subscriber table and the request stacks share one lock.
    // False when the table is full and the window is not in it.
    bool addSubscriber(WindowHandle window);
    void queueClose(WindowHandle window);
    void queueStop(WindowHandle window);
    void queueStart(WindowHandle window);
    // A window that is gone (its program ended or stopped answering) leaves the table at once,
    // with any request it had queued. True when it was a subscriber.
    bool dropSubscriber(WindowHandle window);
    std::vector<Subscriber> subscribers() const;

    int slot() const { return slot_; }
    // The device this thread was started with; nullptr when it had none.
    const std::shared_ptr<DeviceLease>& lease() const { return lease_; }
    // What the console hands a subscriber that asks for the slot's frame block.
    int mappingHandle() const { return mappingHandle_; }
    const std::string& frameBlockName() const { return frameBlockName_; }
    // Passes of the loop so far; each pass looks at the terminate flag once.
    std::uint64_t passes() const { return passes_.load(); }

private:
    CameraDriver(int slot, AcquisitionContext& context, std::shared_ptr<DeviceLease> lease,
                 std::unique_ptr<SharedMemory> block);

    void run();
    bool readFrame();
    void deliverFrame();
    void notifyOtherProcesses();
    void carryOutRequests();
    void end();
    void idleWait();
    void debugLine(WindowHandle window, const char* text);

    CameraSlot& cameraSlot() { return context_.state.slots[static_cast<std::size_t>(slot_)]; }

    AcquisitionContext& context_;
    const int slot_;
    const std::shared_ptr<DeviceLease> lease_;

    mutable std::mutex lock_;   // subscribers_ and the three request stacks
    std::array<std::optional<Subscriber>, kMaxSubscribers> subscribers_;
    std::vector<WindowHandle> closeRequests_, stopRequests_, startRequests_;   // used from the back

    // Written by the thread before it hands a delivery to the main thread, read there while it waits.
    std::uint32_t bytesRead_ = 0;
    std::uint32_t readStatus_ = 0;
    int failedReads_ = 0;
    bool debugAtDelivery_ = false;   // the console's debug flag, taken on the main thread
    // Filled by the delivery on the main thread, told by the thread.
    std::vector<WindowHandle> remoteReceivers_;
    std::int32_t frameCount_ = 0;
    std::unique_ptr<SharedMemory> block_;
    // Kept after the block is released: the main thread may still ask while the thread ends.
    const int mappingHandle_;
    const std::string frameBlockName_;

    std::atomic<bool> terminate_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::uint64_t> passes_{0};
    std::mutex idleMutex_;
    std::condition_variable idleCv_;
    bool woken_ = false;
    std::thread thread_;
};

}  // namespace kestrom
