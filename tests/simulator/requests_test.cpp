// What the camera answers to its requests and how its status block follows them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

#include "camera_records/byte_order.h"
#include "sim_test_support.h"

namespace kestrom::sim::test {
namespace {

class CameraRequests : public ::testing::Test {
protected:
    Driver driver{deterministicConfig()};
    DeviceIo& io = driver;
    DeviceHandle chopped = openWorking(io, 0);
    DeviceHandle pulsed = openWorking(io, 2);

    std::uint32_t flags(DeviceHandle h) { return readStatus(io, h).statusFlags(); }
    std::uint32_t pulsedFlags() {
        std::vector<std::uint8_t> b(96);
        EXPECT_TRUE(block(io, pulsed, req::GetConsoleAsBlock, b));
        return readBE32(&b[12]);
    }
};

TEST_F(CameraRequests, SetAnswersTheValueInForceWhichGetAndTheStatusBlockShow) {
    const struct {
        Request set;
        std::optional<Request> get;
        std::size_t word;
        std::int32_t sent, inForce;
    } cases[] = {
        {req::SetExposureTime, req::GetExposureTime, ConsoleBlock::kExposureTime, 75, 50},
        {req::SetExposureTime, req::GetExposureTime, ConsoleBlock::kExposureTime, 12800, 12800},
        {req::SetExposureTime, req::GetExposureTime, ConsoleBlock::kExposureTime, 12801, 12800},
        {req::SetExposureTime, req::GetExposureTime, ConsoleBlock::kExposureTime, 10, 50},
        {req::SetGain, std::nullopt, ConsoleBlock::kGain, 1234, 1234},
        {req::SetGain, std::nullopt, ConsoleBlock::kGain, 5000, 4095},
        {req::SetGain, std::nullopt, ConsoleBlock::kGain, -3, 0},
        {req::SetOffset, req::GetOffset, ConsoleBlock::kOffset, 5000, 4095},
        {req::SetOffset, req::GetOffset, ConsoleBlock::kOffset, 1500, 1500},
        {req::SetPulsePeriod, req::GetPulsePeriod, ConsoleBlock::kPulsePeriod, 250001, 250001},
        {req::SetPulseLockin, req::GetPulseLockin, ConsoleBlock::kPulseLockin, 1, 1},
        {req::SetPulseLockin, req::GetPulseLockin, ConsoleBlock::kPulseLockin, 7, 0},
        {req::SetPulseLockinPeriod, req::GetPulseLockinPeriod, ConsoleBlock::kLockinPeriod, 125000, 125000},
        {req::SetPixelCorrection, req::GetPixelCorrection, ConsoleBlock::kPixelCorrection, 1, 1},
        {req::SetGainCorrection, req::GetGainCorrection, ConsoleBlock::kGainCorrection, 1, 1},
        {req::SetVideoTrigger, std::nullopt, ConsoleBlock::kVideoTrigger, 1, 1},
        {req::SetVideoTriggerThreshold, req::GetVideoTriggerThreshold, ConsoleBlock::kVideoThreshold, 5, 5},
        {req::SetVideoTriggerThreshold, req::GetVideoTriggerThreshold, ConsoleBlock::kVideoThreshold, 6, 2},
        {req::SetChopRate, std::nullopt, ConsoleBlock::kChopRate, 1, 1},
        {req::SetChopRate, std::nullopt, ConsoleBlock::kChopRate, 2, 0},
        {req::SetTriggerMethod, req::GetTriggerMethod, ConsoleBlock::kMethod, 0, 0},
        {req::SetAcquire, req::GetAcquire, 0, 1, 1},
    };
    for (const auto& c : cases) {
        Driver d{deterministicConfig()};
        DeviceHandle h = openWorking(d, 0);
        SCOPED_TRACE(std::string(c.set.name) + " " + std::to_string(c.sent));
        EXPECT_EQ(shortIo(d, h, c.set, c.sent), c.inForce);
        if (c.get) {
            EXPECT_EQ(shortIo(d, h, *c.get, 0), c.inForce);
        }
        if (c.word != 0) {
            EXPECT_EQ(readStatus(d, h).word(c.word), c.inForce);
        }
    }
}

TEST_F(CameraRequests, ShortStatusBlockIsTheStartOfTheLongOne) {
    shortIo(io, chopped, req::SetGain, 777);
    std::vector<std::uint8_t> shortForm(96);
    ASSERT_TRUE(block(io, chopped, req::GetConsoleAsBlock, shortForm));
    ConsoleBlock longForm = readStatus(io, chopped);
    EXPECT_TRUE(std::equal(shortForm.begin(), shortForm.end(), longForm.bytes.begin()));
    EXPECT_EQ(longForm.gain(), 777);
    EXPECT_EQ(longForm.firmwareRevision(), "v1.05");
}

TEST_F(CameraRequests, MethodAndChopRateChangesAreBusyUntilTheCameraSettles) {
    EXPECT_EQ(flags(chopped) & ConsoleBlock::kBusy, 0u);
    shortIo(io, chopped, req::SetChopRate, 0);
    EXPECT_EQ(flags(chopped) & ConsoleBlock::kBusy, 0u) << "the rate in force is no change";

    for (const Request* change : {&req::SetChopRate, &req::SetTriggerMethod}) {
        SCOPED_TRACE(std::string(change->name));
        std::int32_t current = change == &req::SetChopRate ? readStatus(io, chopped).chopRate()
                                                           : readStatus(io, chopped).method();
        shortIo(io, chopped, *change, 1 - current);
        EXPECT_NE(flags(chopped) & ConsoleBlock::kBusy, 0u);
        driver.advanceTime(kSettleMilliseconds - 100);
        EXPECT_NE(flags(chopped) & ConsoleBlock::kBusy, 0u);
        driver.advanceTime(200);
        EXPECT_EQ(flags(chopped) & ConsoleBlock::kBusy, 0u);
    }
}

TEST_F(CameraRequests, CalibrationRunsBusyThenReportsGood) {
    constexpr std::uint32_t kState = ConsoleBlock::kBusy | ConsoleBlock::kCalibrationGood | ConsoleBlock::kCalibrationBad;
    EXPECT_EQ(pulsedFlags() & kState, 0u);
    EXPECT_EQ(shortIo(io, pulsed, req::Calibrate, 1), 1);
    EXPECT_EQ(pulsedFlags() & kState, ConsoleBlock::kBusy | ConsoleBlock::kCalibrationBad);
    EXPECT_EQ(shortIo(io, pulsed, req::GetMode, 0), 3) << "calibrating in pulsed operation";
    driver.advanceTime(kCalibrationMilliseconds / 2);
    EXPECT_EQ(pulsedFlags() & kState, ConsoleBlock::kBusy | ConsoleBlock::kCalibrationBad);
    driver.advanceTime(kCalibrationMilliseconds);
    EXPECT_EQ(pulsedFlags() & kState, ConsoleBlock::kCalibrationGood);
    EXPECT_EQ(shortIo(io, pulsed, req::GetMode, 0), 0);

    // Stopped midway, the camera is neither busy nor calibrated, and stays so.
    shortIo(io, pulsed, req::Calibrate, 1);
    driver.advanceTime(500);
    EXPECT_EQ(shortIo(io, pulsed, req::Calibrate, 0x10000), 0);
    EXPECT_EQ(pulsedFlags() & kState, 0u);
    driver.advanceTime(kCalibrationMilliseconds * 2);
    EXPECT_EQ(pulsedFlags() & kState, 0u);
}

TEST_F(CameraRequests, LockInWithoutPulsesLosesLock) {
    shortIo(io, pulsed, req::SetPulseLockin, 1);
    EXPECT_EQ(pulsedFlags() & ConsoleBlock::kLockLost, 0u) << "the laser pulses at 10 Hz";
    shortIo(io, pulsed, req::SetPulsePeriod, 0);
    EXPECT_NE(pulsedFlags() & ConsoleBlock::kLockLost, 0u);
    shortIo(io, pulsed, req::SetPulseLockin, 0);
    EXPECT_EQ(pulsedFlags() & ConsoleBlock::kLockLost, 0u) << "automatic triggering locks to nothing";

    // Without a chopper, chopped operation needs the laser's external chop signal.
    Config dark = deterministicConfig();
    dark.cameras[1].beam.pulseRateHz = 0;
    Driver d{dark};
    DeviceHandle h = openWorking(d, 2);
    shortIo(d, h, req::SetPulseLockin, 1);
    std::vector<std::uint8_t> b(96);
    block(d, h, req::GetConsoleAsBlock, b);
    EXPECT_NE(readBE32(&b[12]) & ConsoleBlock::kLockLost, 0u);
    shortIo(d, h, req::SetPulseLockin, 0);
    shortIo(d, h, req::SetTriggerMethod, 1);
    block(d, h, req::GetConsoleAsBlock, b);
    EXPECT_NE(readBE32(&b[12]) & ConsoleBlock::kLockLost, 0u);
}

TEST_F(CameraRequests, ModeWordFollowsTheOperation) {
    const struct {
        std::int32_t method, chopRate, lockin, videoTrigger, debug, mode;
    } cases[] = {
        {0, 0, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 1}, {0, 0, 0, 1, 0, 2}, {0, 0, 1, 1, 0, 2},
        {1, 0, 0, 0, 0, 4}, {1, 1, 0, 0, 0, 5}, {1, 1, 0, 0, 0x1000000, 6}, {0, 0, 0, 0, 0x1000000, 6},
    };
    for (const auto& c : cases) {
        Driver d{deterministicConfig()};
        DeviceHandle h = openWorking(d, 0);
        shortIo(d, h, req::SetTriggerMethod, c.method);
        shortIo(d, h, req::SetChopRate, c.chopRate);
        shortIo(d, h, req::SetPulseLockin, c.lockin);
        shortIo(d, h, req::SetVideoTrigger, c.videoTrigger);
        shortIo(d, h, req::SetDebug, c.debug);
        EXPECT_EQ(shortIo(d, h, req::GetMode, 0), c.mode) << c.method << c.chopRate << c.lockin << c.videoTrigger;
        EXPECT_EQ(readStatus(d, h).mode(), c.mode);
    }
}

TEST_F(CameraRequests, VisibleWavelengthItemReadsUnlessTheWordIsASwitchValue) {
    EXPECT_EQ(itemIo(io, chopped, 96, -1), 0);
    EXPECT_EQ(itemIo(io, chopped, 96, 1), 1);
    EXPECT_EQ(itemIo(io, chopped, 96, -1), 1);
    EXPECT_EQ(itemIo(io, chopped, 96, 12345), 1);
    EXPECT_EQ(itemIo(io, chopped, 96, 0), 0);
    EXPECT_EQ(itemIo(io, chopped, 96, -1), 0);
}

TEST_F(CameraRequests, MapBitsFollowTheStoredMaps) {
    constexpr std::uint32_t kMaps = 0xF000;
    EXPECT_EQ(pulsedFlags() & kMaps, 0u) << "this camera left the factory without maps";
    EXPECT_EQ(flags(chopped) & kMaps, kMaps);

    std::vector<std::uint8_t> map{0, 5, 0, 7, 0, 124, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(block(io, pulsed, req::SetPulseBadPixelMap, map));
    EXPECT_EQ(pulsedFlags() & kMaps, ConsoleBlock::kPulseBadPixelMap);
    std::vector<std::uint8_t> back(2048, 0xEE);
    ASSERT_TRUE(block(io, pulsed, req::GetPulseBadPixelMap, back));
    EXPECT_TRUE(std::equal(map.begin(), map.end(), back.begin()));
    EXPECT_TRUE(std::all_of(back.begin() + 12, back.end(), [](auto b) { return b == 0; }));

    std::vector<std::uint8_t> gain(30752, 1);
    ASSERT_TRUE(block(io, pulsed, req::SetChopGainMap, gain));
    EXPECT_EQ(pulsedFlags() & kMaps, ConsoleBlock::kPulseBadPixelMap | ConsoleBlock::kChopGainMap);

    std::vector<std::uint8_t> empty(4, 0);
    ASSERT_TRUE(block(io, pulsed, req::SetPulseBadPixelMap, empty));
    EXPECT_EQ(pulsedFlags() & kMaps, ConsoleBlock::kChopGainMap);
}

TEST_F(CameraRequests, AThermalCameraKeepsItsTableInThePulsedGainMapSlot) {
    DeviceHandle thermal = openWorking(io, 3);
    std::vector<std::uint8_t> table(30752);
    ASSERT_TRUE(block(io, thermal, req::GetPulseGainMap, table));
    float first, second;
    std::memcpy(&first, &table[0], 4);
    std::memcpy(&second, &table[4], 4);
    EXPECT_FLOAT_EQ(first, 20.0f);
    EXPECT_FLOAT_EQ(second, 30.0f);
    EXPECT_EQ(flags(thermal) & ConsoleBlock::kPulseGainMap, 0u) << "a thermal table is no gain map";

    float written = 42.5f;
    std::memcpy(&table[0], &written, 4);
    ASSERT_TRUE(block(io, thermal, req::SetPulseGainMap, table));
    std::vector<std::uint8_t> back(30752);
    ASSERT_TRUE(block(io, thermal, req::GetPulseGainMap, back));
    EXPECT_EQ(back, table);
}

TEST_F(CameraRequests, FactoryRecordComesFromTheConfigurationAndCanBeRewritten) {
    std::vector<std::uint8_t> buffer(256);
    ASSERT_TRUE(block(io, pulsed, req::GetFactoryInformation, buffer));
    FactoryInfo f;
    std::copy(buffer.begin(), buffer.end(), f.bytes.begin());
    EXPECT_EQ(buffer[0], 0x12);
    EXPECT_EQ(buffer[1], 0x34);
    EXPECT_EQ(f.serialNumber(), 4660);
    EXPECT_EQ(f.hardwareRevision(), 'A');
    EXPECT_EQ(f.detectorType(), 1);
    EXPECT_EQ(f.detectorWidth(), 124);
    EXPECT_EQ(f.detectorHeight(), 124);
    EXPECT_EQ(f.chopperPresent(), 0);
    EXPECT_EQ(f.pulseGain(0), 400);
    EXPECT_EQ(f.pulseGain(4), 4000);
    EXPECT_EQ(f.cameraType(), 0);
    EXPECT_FALSE(f.isFixedConfiguration());
    EXPECT_GT(f.hScale(), 0.0f);
    EXPECT_FALSE(f.text(FactoryInfo::kDetectorSerialText).empty());

    f.setText(FactoryInfo::kReservedBText, "rewritten");
    f.bytes[250] = 0x5A;  // spare bytes travel unchanged
    std::vector<std::uint8_t> record(f.bytes.begin(), f.bytes.end());
    ASSERT_TRUE(block(io, pulsed, req::SetFactoryInformation, record));
    std::vector<std::uint8_t> back(256);
    ASSERT_TRUE(block(io, pulsed, req::GetFactoryInformation, back));
    EXPECT_EQ(back, record);
    EXPECT_EQ(driver.factory(2).bytes, f.bytes);
}

TEST_F(CameraRequests, TestHooksEditTheStatusTheConsoleReads) {
    driver.editStatus(0, [](ConsoleBlock& b) { b.setWord(ConsoleBlock::kMode, 9); });
    EXPECT_EQ(shortIo(io, chopped, req::GetMode, 0), 9);
    EXPECT_EQ(driver.status(0).mode(), 9);
}

}  // namespace
}  // namespace kestrom::sim::test
