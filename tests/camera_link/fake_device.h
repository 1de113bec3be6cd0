// A synchronous stand-in for the camera driver: the test hands over each frame by hand.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "camera_records/console_block.h"
#include "platform/device_io.h"

namespace kestrom::test {

// A whole frame block as the driver delivers it.
struct Frame {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(frame_block::kSize, 0);

    // Every pixel the given value, the status block with these flags and transfer efficiency.
    static Frame make(std::int16_t pixel, std::uint32_t statusFlags = 0, std::int32_t efficiency = 0);
    ConsoleBlock consoleBlock() const;
};

class FakeDevice : public DeviceIo {
public:
    // How long a read waits for a frame before it fails; a safety net, tests push frames.
    static constexpr auto kReadTimeout = std::chrono::seconds(2);

    DeviceHandle open(const std::string& path, DeviceAccess access, int& error) override;
    bool control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length,
                 std::uint32_t& bytesReturned, int& error) override;
    bool read(DeviceHandle device, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
              int& error) override;
    void close(DeviceHandle device) override;

    DeviceHandle openCamera();
    void pushFrame(DeviceHandle device, const Frame& frame);
    // Reads of a pulled-out camera fail at once with ENODEV, also the one that waits.
    void detach(DeviceHandle device);
    // The next count reads fail with error.
    void failReads(DeviceHandle device, int count, int error);
    // The next request with this code fails with error.
    void failNextRequest(std::uint32_t code, int error);
    // GET_ACQUIRE answers this instead of the stored state.
    void answerAcquire(std::int32_t value);
    void closeAll();

    int readCalls(DeviceHandle device) const;
    bool isOpen(DeviceHandle device) const;
    int closeCalls(DeviceHandle device) const;
    // Reads begun on a device after it was closed: with handle numbers given out again, such a
    // read would read another camera.
    int readsOfClosed(DeviceHandle device) const;
    int failedReads(DeviceHandle device) const;
    std::int32_t acquire(DeviceHandle device) const;
    std::vector<std::uint32_t> requests() const;   // codes, in order

    // Until a read waits for a frame and the device has entered read() at least minCalls times;
    // false after the timeout.
    bool waitForReader(DeviceHandle device, int minCalls = 0, std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    struct Camera {
        bool open = true;
        bool detached = false;
        std::deque<Frame> frames;
        int failReads = 0;
        int failError = 0;
        int readCalls = 0;
        int waiting = 0;
        int failedReads = 0;
        int closeCalls = 0;
        int readsOfClosed = 0;
        std::int32_t acquire = 0;
    };

    int count(DeviceHandle device, int Camera::*counter) const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<DeviceHandle, Camera> cameras_;
    DeviceHandle next_ = 1;
    std::map<std::uint32_t, int> failRequests_;
    bool answerAcquire_ = false;
    std::int32_t acquireAnswer_ = 0;
    std::vector<std::uint32_t> requests_;
};

}  // namespace kestrom::test
