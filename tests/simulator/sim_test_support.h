// Shared pieces of the simulated driver's tests: a deterministic driver and request shortcuts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "camera_records/console_block.h"
#include "camera_records/requests.h"
#include "simulator/sim_driver.h"

namespace kestrom::sim::test {

// The default cameras (0 chopper "v1.05", 2 pulsed "v1.03", 3 thermal), deterministic and seeded.
// The default cameras with their corrections off at power-up, so that a test sees the raw detector
// until it switches a correction on.
inline Config deterministicConfig(std::uint64_t seed = 7) {
    Config c = defaultConfig();
    c.deterministic = true;
    c.seed = seed;
    for (CameraConfig& camera : c.cameras) camera.pixelCorrection = camera.gainCorrection = false;
    return c;
}

inline DeviceHandle openWorking(DeviceIo& io, int index) {
    int error = 0;
    DeviceHandle h = io.open(deviceName(index), DeviceAccess::ReadWrite, error);
    EXPECT_NE(h, kNoDevice) << "open " << index << " failed with " << error;
    return h;
}

// A short request; the word that comes back, or the errno negated when the request fails.
inline std::int64_t shortIo(DeviceIo& io, DeviceHandle h, const Request& r, std::int32_t value) {
    std::uint32_t returned = 0;
    int error = 0;
    if (!io.control(h, r.code, &value, sizeof value, returned, error)) return -error;
    EXPECT_EQ(returned, 4u);
    return value;
}

// Item request {item, value}; the second word that comes back, or the errno negated.
inline std::int64_t itemIo(DeviceIo& io, DeviceHandle h, std::int32_t item, std::int32_t value) {
    std::int32_t words[2] = {item, value};
    std::uint32_t returned = 0;
    int error = 0;
    if (!io.control(h, req::kItemCode, words, sizeof words, returned, error)) return -error;
    return words[1];
}

inline bool block(DeviceIo& io, DeviceHandle h, const Request& r, std::vector<std::uint8_t>& buffer, int* error = nullptr) {
    std::uint32_t returned = 0;
    int e = 0;
    bool ok = io.control(h, r.code, buffer.data(), static_cast<std::uint32_t>(buffer.size()), returned, e);
    if (error) *error = e;
    return ok;
}

inline ConsoleBlock readStatus(DeviceIo& io, DeviceHandle h) {
    ConsoleBlock b;
    std::uint32_t returned = 0;
    int error = 0;
    EXPECT_TRUE(io.control(h, req::GetConsoleAsBlock.code, b.bytes.data(), ConsoleBlock::kSize, returned, error))
        << "status read failed with " << error;
    return b;
}

// One frame block as the console's shared memory holds it.
struct FrameBlock {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(frame_block::kSize, 0);

    std::int16_t pixel(int column, int row) const {
        std::int16_t v;
        std::memcpy(&v, &bytes[2 * (row * frame_block::kWidth + column)], 2);
        return v;
    }
    ConsoleBlock status() const {
        ConsoleBlock b;
        std::memcpy(b.bytes.data(), &bytes[frame_block::kConsoleBlockOffset], ConsoleBlock::kSize);
        return b;
    }
};

inline bool readFrame(DeviceIo& io, DeviceHandle h, FrameBlock& frame, int* error = nullptr) {
    std::uint32_t got = 0;
    int e = 0;
    bool ok = io.read(h, frame.bytes.data(), kFrameReadSize, got, e);
    if (error) *error = e;
    if (ok) {
        EXPECT_EQ(got, kFrameReadSize);
    }
    return ok;
}

// Produces and reads one frame of an acquiring camera in deterministic mode.
inline FrameBlock nextFrame(Driver& driver, DeviceHandle h, int index) {
    driver.produceFrame(index);
    FrameBlock frame;
    int error = 0;
    EXPECT_TRUE(readFrame(driver, h, frame, &error)) << "read failed with " << error;
    return frame;
}

// A read on another thread, started before the test acts on the camera.
class PendingRead {
public:
    PendingRead(DeviceIo& io, DeviceHandle h) {
        thread_ = std::thread([&io, h, this] {
            auto start = std::chrono::steady_clock::now();
            FrameBlock frame;
            ok_ = readFrame(io, h, frame, &error_);
            elapsed_ = std::chrono::steady_clock::now() - start;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the read block
    }
    ~PendingRead() {
        if (thread_.joinable()) thread_.join();
    }
    void finish() { thread_.join(); }
    bool ok() const { return ok_; }
    int error() const { return error_; }
    std::chrono::steady_clock::duration elapsed() const { return elapsed_; }

private:
    std::thread thread_;
    bool ok_ = false;
    int error_ = 0;
    std::chrono::steady_clock::duration elapsed_{};
};

}  // namespace kestrom::sim::test
