// Start, end and reaping of the acquisition threads.
#include "camera_link/acquisition_threads.h"

#include <algorithm>

namespace kestrom {

AcquisitionThreads::~AcquisitionThreads() {
    terminateAll();
    joinAll();
}

CameraDriver* AcquisitionThreads::start(int slot) {
    reap();
    auto driver = CameraDriver::create(slot, context_, lastError_);
    if (!driver) return nullptr;
    threads_.push_back(std::move(driver));
    return threads_.back().get();
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
