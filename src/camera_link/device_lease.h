// An open camera device shared by its slot and the acquisition threads that read it.
#pragma once

#include <mutex>

#include "platform/device_io.h"

namespace kestrom {

// The slot lets go of its device when the camera closes; a thread may be inside a read of it at
// that moment. The device is closed exactly once, by whichever side is last: at once when no read
// runs, else as the last read returns. A thread that finds the device let go starts no more reads,
// so a handle number the driver gives out again later never reaches a thread of the old camera.
class DeviceLease {
public:
    DeviceLease(DeviceIo& io, DeviceHandle device) : io_(io), device_(device) {}
    DeviceLease(const DeviceLease&) = delete;
    DeviceLease& operator=(const DeviceLease&) = delete;

    DeviceHandle device() const { return device_; }

    // Acquisition thread, around each read: false (and no use begun) once the device is let go.
    bool beginUse();
    void endUse();

    // Main thread, instead of closing the device itself.
    void letGo();
    bool letGoAlready() const;

private:
    DeviceIo& io_;
    const DeviceHandle device_;
    mutable std::mutex mutex_;
    int uses_ = 0;
    bool letGo_ = false;
};

}  // namespace kestrom
