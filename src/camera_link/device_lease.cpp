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
        --uses_;
        closeNow = letGo_ && uses_ == 0 && !closed_;
        if (closeNow) closed_ = true;
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
        if (closeNow) closed_ = true;
    }
    if (closeNow) io_.close(device_);
}

bool DeviceLease::letGoAlready() const {
    std::lock_guard lock(mutex_);
    return letGo_;
}

}  // namespace kestrom
