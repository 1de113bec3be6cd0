// The driver boundary's rules that every backend keeps, run against each one: the simulated driver
// and the hand-fed test camera the acquisition tests use. A backend the console may run on
// gets its adapter here.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <set>

#include "../camera_link/fake_device.h"
#include "sim_test_support.h"

namespace kestrom::sim::test {
namespace {

using namespace std::chrono_literals;

// Two cameras; open() gives a working handle of one of them with acquisition on.
class SimulatorBackend {
public:
    DeviceIo& io() { return driver_; }
    DeviceHandle open(int camera) {
        DeviceHandle h = openWorking(driver_, camera);
        shortIo(driver_, h, req::SetAcquire, 1);
        return h;
    }
    void frameReady(int camera) { driver_.produceFrame(camera); }
    void unplug(int camera) { driver_.detach(camera); }

private:
    static Config twoCameras() {
        Config c = deterministicConfig();
        c.cameras.resize(2);
        c.cameras[1].deviceIndex = 1;
        c.cameras[1].serial = 4321;
        return c;
    }
    Driver driver_{twoCameras()};
};

class HandFedBackend {
public:
    DeviceIo& io() { return device_; }
    DeviceHandle open(int camera) { return handles_[camera] = device_.openCamera(); }
    void frameReady(int camera) { device_.pushFrame(handles_[camera], kestrom::test::Frame::make(7)); }
    void unplug(int camera) { device_.detach(handles_[camera]); }

private:
    kestrom::test::FakeDevice device_;
    DeviceHandle handles_[2] = {kNoDevice, kNoDevice};
};

template <class Backend>
class DeviceBoundaryRules : public ::testing::Test {
protected:
    Backend backend;
};

using Backends = ::testing::Types<SimulatorBackend, HandFedBackend>;
TYPED_TEST_SUITE(DeviceBoundaryRules, Backends);

TYPED_TEST(DeviceBoundaryRules, HandlesOfOpenCamerasArePositiveAndDistinct) {
    std::set<DeviceHandle> handles{this->backend.open(0), this->backend.open(1)};
    EXPECT_EQ(handles.size(), 2u);
    for (DeviceHandle h : handles) EXPECT_GT(h, 0);
}

TYPED_TEST(DeviceBoundaryRules, AReadTakesExactlyTheFrameSizeAndRefusesAnyOther) {
    DeviceIo& io = this->backend.io();
    DeviceHandle h = this->backend.open(0);
    this->backend.frameReady(0);
    std::vector<std::uint8_t> buffer(kFrameReadSize + 1);
    for (std::uint32_t size : {0u, kFrameReadSize - 1, kFrameReadSize + 1, 30752u}) {
        std::uint32_t got = 5;
        int error = 0;
        EXPECT_FALSE(io.read(h, buffer.data(), size, got, error)) << size;
        EXPECT_EQ(error, EINVAL) << size;
        EXPECT_EQ(got, 0u) << size;
    }
    FrameBlock frame;
    int error = 0;
    EXPECT_TRUE(readFrame(io, h, frame, &error)) << "the ready frame was lost by a refused read: " << error;
}

TYPED_TEST(DeviceBoundaryRules, ABlockedReadEndsAtOnceForWhatEndsIt) {
    const struct {
        const char* what;
        std::function<void(TypeParam&, DeviceHandle)> act;
        bool ok;
        int error;
    } cases[] = {
        {"frame ready", [](TypeParam& b, DeviceHandle) { b.frameReady(0); }, true, 0},
        {"camera unplugged", [](TypeParam& b, DeviceHandle) { b.unplug(0); }, false, ENODEV},
        {"handle closed", [](TypeParam& b, DeviceHandle h) { b.io().close(h); }, false, EBADF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TypeParam fresh;
        DeviceHandle h = fresh.open(0);
        PendingRead read(fresh.io(), h);
        c.act(fresh, h);
        read.finish();
        EXPECT_EQ(read.ok(), c.ok);
        EXPECT_EQ(read.error(), c.error);
        EXPECT_LT(read.elapsed(), 90ms) << "ended by a timeout, not by what happened";
    }
}

TYPED_TEST(DeviceBoundaryRules, AClosedHandleRefusesRequestsAndReadsAndClosesAgainHarmlessly) {
    DeviceIo& io = this->backend.io();
    DeviceHandle h = this->backend.open(0);
    DeviceHandle other = this->backend.open(1);
    io.close(h);
    io.close(h);
    io.close(987654);
    std::int32_t word = 0;
    std::uint32_t returned = 0;
    int error = 0;
    EXPECT_FALSE(io.control(h, req::GetAcquire.code, &word, sizeof word, returned, error));
    EXPECT_EQ(error, EBADF);
    FrameBlock frame;
    EXPECT_FALSE(readFrame(io, h, frame, &error));
    EXPECT_EQ(error, EBADF);
    this->backend.frameReady(1);
    EXPECT_TRUE(readFrame(io, other, frame, &error)) << "the other camera goes on: " << error;
}

}  // namespace
}  // namespace kestrom::sim::test
