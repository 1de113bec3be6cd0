// The console's owner of acquisition threads: starts them, and joins and frees those that have ended.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "camera_link/acquisition_context.h"
#include "camera_link/camera_driver.h"

namespace kestrom {

// A thread that ends only marks itself finished; the main thread reaps it here, so no thread
// frees itself and none outlives the context it works in. Main thread only.
class AcquisitionThreads {
public:
    explicit AcquisitionThreads(AcquisitionContext context) : context_(std::move(context)) {}
    // Terminates and joins every thread; close the devices first so that no read still blocks.
    ~AcquisitionThreads();
    AcquisitionThreads(const AcquisitionThreads&) = delete;
    AcquisitionThreads& operator=(const AcquisitionThreads&) = delete;

    // Starts the slot's thread when it has none; it becomes the slot's Thread. Nullptr when the slot
    // already has one or the thread cannot be made (lastError() says why).
    CameraDriver* start(int slot);

    // Closes a device the console has taken from its slot: at once, or, when a thread is inside a
    // read of it, as that read returns. No thread reads it afterwards.
    void closeDevice(DeviceHandle device);

    // Asks the slot's thread to end and forgets it (the slot's Thread becomes none) without waiting.
    void terminate(int slot);
    void terminateAll();

    // Joins and frees the threads that have ended; returns how many.
    std::size_t reap();
    // Joins every thread. Only after terminateAll() and after the devices are closed, and never from
    // inside a frame delivery (the delivering thread waits for it).
    void joinAll();

    // Threads started and not yet reaped, ended or not.
    std::size_t count() const { return threads_.size(); }
    const std::string& lastError() const { return lastError_; }
    AcquisitionContext& context() { return context_; }

private:
    // The lease of a device that a thread not yet reaped still holds.
    std::shared_ptr<DeviceLease> leaseOf(DeviceHandle device) const;

    AcquisitionContext context_;
    std::vector<std::unique_ptr<CameraDriver>> threads_;
    std::string lastError_;
};

}  // namespace kestrom
