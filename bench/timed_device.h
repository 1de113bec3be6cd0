// A pass-through driver that tells how much of the frame path is spent inside the driver's reads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>

#include "cpu_placement.h"
#include "platform/device_io.h"

namespace kestrom::bench {

class TimedDevice : public DeviceIo {
public:
    explicit TimedDevice(DeviceIo& inner) : inner_(inner) {}

    DeviceHandle open(const std::string& path, DeviceAccess access, int& error) override {
        return inner_.open(path, access, error);
    }
    bool control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length,
                 std::uint32_t& bytesReturned, int& error) override {
        return inner_.control(device, code, buffer, length, bytesReturned, error);
    }
    bool read(DeviceHandle device, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
              int& error) override;
    void close(DeviceHandle device) override { inner_.close(device); }

    // The CPU clock of the thread that reads frames, once it has read.
    bool readerKnown() const { return readerKnown_.load(); }
    clockid_t readerClock() const { return readerClock_; }

    double microsInsideReads() const { return static_cast<double>(wallNs_.load()) / 1e3; }
    double cpuSecondsInsideReads() const { return static_cast<double>(cpuNs_.load()) / 1e9; }
    // Counting CPU time costs two clock calls per read: on only where it is wanted.
    std::atomic<bool> countCpu{false};

private:
    DeviceIo& inner_;
    std::atomic<bool> readerKnown_{false};
    clockid_t readerClock_{};
    std::atomic<std::int64_t> wallNs_{0};
    std::atomic<std::int64_t> cpuNs_{0};
};

inline bool TimedDevice::read(DeviceHandle device, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
                              int& error) {
    if (!readerKnown_.load(std::memory_order_relaxed)) {
        readerClock_ = callingThreadClock();
        readerKnown_.store(true);
    }
    const bool cpu = countCpu.load(std::memory_order_relaxed);
    auto started = std::chrono::steady_clock::now();
    double cpuStarted = cpu ? cpuSeconds(CLOCK_THREAD_CPUTIME_ID) : 0.0;
    bool ok = inner_.read(device, buffer, length, bytesRead, error);
    if (cpu) cpuNs_ += static_cast<std::int64_t>((cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStarted) * 1e9);
    wallNs_ += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - started).count();
    return ok;
}

}  // namespace kestrom::bench
