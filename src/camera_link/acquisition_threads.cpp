// Start, end and reaping of the acquisition threads.
#include "camera_link/acquisition_threads.h"

#include <algorithm>

namespace kestrom {

AcquisitionThreads::~AcquisitionThreads() {
    terminateAll();
    joinAll();
}

std::shared_ptr<DeviceLease> AcquisitionThreads::leaseOf(DeviceHandle device) const {
    if (device == kNoDevice) return nullptr;
    for (const auto& thread : threads_)
        if (const auto& lease = thread->lease(); lease && lease->device() == device && !lease->letGoAlready())
            return lease;
    return nullptr;
}

CameraDriver* AcquisitionThreads::start(int slot) {
    reap();
    std::shared_ptr<DeviceLease> lease;
    if (context_.state.validSlot(slot)) {
        // A thread that is still ending may read the same device: both share its lease.
        DeviceHandle device = context_.state.slots[static_cast<std::size_t>(slot)].Device.load();
        lease = leaseOf(device);
        if (!lease && device != kNoDevice) lease = std::make_shared<DeviceLease>(context_.io, device);
    }
    auto driver = CameraDriver::create(slot, context_, std::move(lease), lastError_);
    if (!driver) return nullptr;
    threads_.push_back(std::move(driver));
    return threads_.back().get();
}

void AcquisitionThreads::closeDevice(DeviceHandle device) {
    if (device == kNoDevice) return;
    if (auto lease = leaseOf(device))
        lease->letGo();
    else
        context_.io.close(device);
}

void AcquisitionThreads::terminate(int slot) {
    if (!context_.state.validSlot(slot)) return;
    CameraDriver* thread = context_.state.slots[static_cast<std::size_t>(slot)].Thread.exchange(nullptr);
    if (thread) thread->terminate();
}

void AcquisitionThreads::terminateAll() {
    for (int slot = 0; slot < kSlotCount; ++slot) terminate(slot);
    // Threads already forgotten by their slot may still run.
    for (auto& thread : threads_) thread->terminate();
}

std::size_t AcquisitionThreads::reap() {
    auto ended = std::stable_partition(threads_.begin(), threads_.end(),
                                       [](const std::unique_ptr<CameraDriver>& t) { return !t->finished(); });
    std::size_t n = static_cast<std::size_t>(threads_.end() - ended);
    threads_.erase(ended, threads_.end());   // each destructor joins a thread that has done its last action
    return n;
}

void AcquisitionThreads::joinAll() {
    for (auto& thread : threads_) thread->join();
    threads_.clear();
}

}  // namespace kestrom
