// The rules of the driver boundary that the console relies on: names, probe and open, buffer sizes,
// failure codes, detach and close during a read, fault injection.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "sim_test_support.h"

namespace kestrom::sim::test {
namespace {

using namespace std::chrono_literals;

class DriverBoundary : public ::testing::Test {
protected:
    Driver driver{deterministicConfig()};
    DeviceIo& io = driver;

    DeviceHandle probe(int index, int& error) { return io.open(deviceName(index), DeviceAccess::Probe, error); }
};

TEST_F(DriverBoundary, ProbeSucceedsExactlyWhileAttachedAndNotOpen) {
    int error = 0;
    DeviceHandle p = probe(0, error);
    ASSERT_NE(p, kNoDevice);
    io.close(p);

    // The probe handle, once closed, does not hold the device; a working open still succeeds.
    DeviceHandle h = openWorking(io, 0);
    EXPECT_EQ(probe(0, error), kNoDevice);
    EXPECT_EQ(error, EBUSY);
    EXPECT_EQ(io.open(deviceName(0), DeviceAccess::ReadWrite, error), kNoDevice);
    EXPECT_EQ(error, EBUSY);

    io.close(h);
    p = probe(0, error);
    EXPECT_NE(p, kNoDevice) << "closing the working handle must free the device";
    io.close(p);

    driver.detach(0);
    EXPECT_EQ(probe(0, error), kNoDevice);
    EXPECT_EQ(error, ENODEV);
}

TEST_F(DriverBoundary, OnlyTheElevenDeviceNamesOfConfiguredCamerasOpen) {
    const struct {
        std::string path;
        int error;
    } cases[] = {
        {deviceName(1), ENOENT},            // a valid name with no camera behind it
        {deviceName(11), ENOENT},
        {"\\\\.\\Kestrom00", ENOENT},
        {"\\\\.\\Kestrom-1", ENOENT},
        {"\\\\.\\kestrom0", ENOENT},
        {"Kestrom0", ENOENT},
        {"", ENOENT},
        {std::string("\\\\.\\Kestrom0\0x", 14), ENOENT},
        {std::string(100000, '\xFF'), ENOENT},
    };
    for (const auto& c : cases) {
        int error = 0;
        EXPECT_EQ(io.open(c.path, DeviceAccess::Probe, error), kNoDevice) << c.path.size();
        EXPECT_EQ(error, c.error);
    }
    for (int index : {0, 2, 3}) {
        int error = 0;
        DeviceHandle h = probe(index, error);
        EXPECT_NE(h, kNoDevice) << index;
        io.close(h);
    }
}

TEST_F(DriverBoundary, HandlesArePositiveAndNeverReused) {
    std::vector<DeviceHandle> seen;
    for (int round = 0; round < 5; ++round) {
        int error = 0;
        DeviceHandle p = probe(0, error);
        DeviceHandle h = openWorking(io, 2);
        for (DeviceHandle x : {p, h}) {
            EXPECT_GT(x, 0);
            EXPECT_EQ(std::count(seen.begin(), seen.end(), x), 0) << "handle " << x << " reused";
            seen.push_back(x);
        }
        io.close(p);
        io.close(h);
    }
}

TEST_F(DriverBoundary, ProbeHandleCarriesNoRequestsOrReads) {
    int error = 0;
    DeviceHandle p = probe(0, error);
    EXPECT_EQ(shortIo(io, p, req::GetMode, 0), -EACCES);
    FrameBlock frame;
    EXPECT_FALSE(readFrame(io, p, frame, &error));
    EXPECT_EQ(error, EACCES);
    io.close(p);
    EXPECT_EQ(shortIo(io, p, req::GetMode, 0), -EBADF) << "a closed handle is gone";
}

// A buffer that every request of the catalogue takes at its exact size.
std::vector<std::uint8_t> validBuffer(const Request& r) {
    std::uint32_t size = r.bufferSize == 0 ? 8 : r.bufferSize;  // firmware: any multiple of 4
    std::vector<std::uint8_t> b(size, 0);
    if (r.kind == RequestKind::Item) {
        std::int32_t words[2] = {req::kVisibleWavelengthItem, -1};
        std::memcpy(b.data(), words, 8);
    }
    return b;
}

TEST_F(DriverBoundary, EveryCatalogueRequestTakesItsSizeAndRefusesOthers) {
    DeviceHandle h = openWorking(io, 0);
    for (const Request& r : kRequestCatalogue) {
        SCOPED_TRACE(std::string(r.name));
        std::vector<std::uint8_t> good = validBuffer(r);
        int error = 0;
        EXPECT_TRUE(block(io, h, r, good, &error)) << "error " << error;

        std::vector<std::uint32_t> wrong{0, static_cast<std::uint32_t>(good.size()) + 1};
        if (r.code == req::SetFirmwareProgram.code)
            wrong = {0, 6, 1001};
        else if (r.code == req::SetPulseBadPixelMap.code || r.code == req::SetChopBadPixelMap.code)
            wrong = {0, 2049};
        else if (r.code == req::GetConsoleAsBlock.code)
            wrong = {0, 95, 97, 255, 257, 4};
        else
            wrong.push_back(static_cast<std::uint32_t>(good.size()) - 1);
        for (std::uint32_t size : wrong) {
            std::vector<std::uint8_t> b(size + 1, 0);
            std::uint32_t returned = 99;
            EXPECT_FALSE(io.control(h, r.code, b.data(), size, returned, error)) << "size " << size;
            EXPECT_EQ(error, EINVAL) << "size " << size;
            EXPECT_EQ(returned, 0u);
        }
    }
}

TEST_F(DriverBoundary, BadPixelMapWritesTakeAnyLengthUpToTheBuffer) {
    DeviceHandle h = openWorking(io, 0);
    for (std::size_t size : {4u, 12u, 2048u}) {
        std::vector<std::uint8_t> map(size, 0);
        EXPECT_TRUE(block(io, h, req::SetChopBadPixelMap, map)) << size;
    }
}

TEST_F(DriverBoundary, UnknownCodesFail) {
    DeviceHandle h = openWorking(io, 0);
    for (std::uint32_t code : {0x89892000u, 0x8989205Cu, 0x89892108u, 0x12345678u, 0u}) {
        std::int32_t value = 0;
        std::uint32_t returned = 0;
        int error = 0;
        EXPECT_FALSE(io.control(h, code, &value, 4, returned, error)) << std::hex << code;
        EXPECT_EQ(error, ENOTTY);
    }
    EXPECT_EQ(itemIo(io, h, 97, -1), -EINVAL) << "only item 96 exists";
}

TEST_F(DriverBoundary, OlderFirmwareAnswersOnlyTheShortStatusBlock) {
    DeviceHandle h = openWorking(io, 2);
    std::vector<std::uint8_t> longForm(256), shortForm(96);
    int error = 0;
    EXPECT_FALSE(block(io, h, req::GetConsoleAsBlock, longForm, &error));
    EXPECT_EQ(error, EINVAL);
    ASSERT_TRUE(block(io, h, req::GetConsoleAsBlock, shortForm));
    EXPECT_STREQ(reinterpret_cast<const char*>(&shortForm[88]), "v1.03");
}

TEST_F(DriverBoundary, DetachKillsOpenHandlesAndAttachBringsTheCameraBack) {
    int changes = 0;
    driver.setDeviceChangeCallback([&] { ++changes; });
    DeviceHandle h = openWorking(io, 0);
    driver.detach(0);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(driver.isAttached(0));
    EXPECT_EQ(shortIo(io, h, req::GetMode, 0), -ENODEV) << "the console's presence probe";
    FrameBlock frame;
    int error = 0;
    EXPECT_FALSE(readFrame(io, h, frame, &error));
    EXPECT_EQ(error, ENODEV);

    driver.attach(0);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(shortIo(io, h, req::GetMode, 0), -ENODEV) << "a handle from before the detach stays dead";
    DeviceHandle p = probe(0, error);
    EXPECT_NE(p, kNoDevice);
    io.close(p);
    io.close(h);
    DeviceHandle again = openWorking(io, 0);
    EXPECT_GE(shortIo(io, again, req::GetMode, 0), 0);

    driver.detach(0);
    driver.detach(0);
    EXPECT_EQ(changes, 3) << "only a change is announced";
}

TEST_F(DriverBoundary, ReadWithAcquireOffGivesUpAfterAboutATenthOfASecond) {
    DeviceHandle h = openWorking(io, 0);
    driver.produceFrame(0);  // ignored: the camera is not acquiring
    PendingRead read(io, h);
    read.finish();
    EXPECT_FALSE(read.ok());
    EXPECT_EQ(read.error(), EAGAIN);
    EXPECT_GE(read.elapsed(), 90ms);
    EXPECT_LT(read.elapsed(), 1s);
}

TEST_F(DriverBoundary, AcquireSwitchedOnWakesAWaitingRead) {
    DeviceHandle h = openWorking(io, 0);
    PendingRead read(io, h);
    shortIo(io, h, req::SetAcquire, 1);
    driver.produceFrame(0);
    read.finish();
    EXPECT_TRUE(read.ok()) << read.error();
}

TEST_F(DriverBoundary, InjectedFaultsStrikeOnceWhereAimed) {
    DeviceHandle h = openWorking(io, 0);
    driver.failNextRequest(0, req::SetGain.code, EIO);
    EXPECT_EQ(shortIo(io, h, req::GetMode, 0), 4) << "another code is not affected";
    EXPECT_EQ(shortIo(io, h, req::SetGain, 500), -EIO);
    EXPECT_EQ(shortIo(io, h, req::SetGain, 500), 500);

    driver.failNextOpen(2, EACCES);
    int error = 0;
    DeviceHandle p = probe(2, error);
    EXPECT_NE(p, kNoDevice) << "a probe is not a working open";
    io.close(p);
    EXPECT_EQ(io.open(deviceName(2), DeviceAccess::ReadWrite, error), kNoDevice);
    EXPECT_EQ(error, EACCES);
    DeviceHandle h2 = openWorking(io, 2);
    EXPECT_NE(h2, kNoDevice);

    shortIo(io, h, req::SetAcquire, 1);
    driver.failReads(0, 2, EIO);
    FrameBlock frame;
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(readFrame(io, h, frame, &error));
        EXPECT_EQ(error, EIO);
    }
    driver.produceFrame(0);
    EXPECT_TRUE(readFrame(io, h, frame, &error)) << error;
}

TEST_F(DriverBoundary, RequestLogRecordsEveryRequestInOrder) {
    DeviceHandle h = openWorking(io, 2);
    shortIo(io, h, req::GetMode, 0);
    std::vector<std::uint8_t> wrong(3);
    block(io, h, req::GetFactoryInformation, wrong);
    auto log = driver.requestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].deviceIndex, 2);
    EXPECT_EQ(log[0].code, req::GetMode.code);
    EXPECT_EQ(log[1].code, req::GetFactoryInformation.code);
    EXPECT_EQ(log[1].length, 3u);
}

}  // namespace
}  // namespace kestrom::sim::test
