// The shared camera device: closed once, after its last read.
#include "camera_link/device_lease.h"

namespace kestrom {

bool DeviceLease::beginUse() {
    std::lock_guard lock(mutex_);
    if (letGo_) return false;
    ++uses_;
    return true;
}

void DeviceLease::endUse() {
    bool closeNow = false;
    {
        std::lock_guard lock(mutex_);
        // No use begins once the device is let go, so the count reaches 0 after that only once.
        closeNow = --uses_ == 0 && letGo_;
    }
    if (closeNow) io_.close(device_);
}

void DeviceLease::letGo() {
    bool closeNow = false;
    {
        std::lock_guard lock(mutex_);
        if (letGo_) return;
        letGo_ = true;
        closeNow = uses_ == 0;
    }
    if (closeNow) io_.close(device_);
}

bool DeviceLease::letGoAlready() const {
    std::lock_guard lock(mutex_);
    return letGo_;
}

}  // namespace kestrom
