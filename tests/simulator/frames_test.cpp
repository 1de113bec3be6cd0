// Frames the camera delivers: layout of the block, the picture of the beam, corrections, pacing.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "camera_records/byte_order.h"
#include "sim_test_support.h"

namespace kestrom::sim::test {
namespace {

using namespace std::chrono_literals;

struct Centroid {
    double x = 0, y = 0;
};

// Centre of the pixels above half the frame's brightest repaired level.
Centroid beamCentroid(const FrameBlock& f) {
    int peak = 0;
    for (int r = 0; r < 124; ++r)
        for (int c = 0; c < 124; ++c) peak = std::max<int>(peak, f.pixel(c, r));
    double sum = 0, sx = 0, sy = 0;
    for (int r = 0; r < 124; ++r)
        for (int c = 0; c < 124; ++c)
            if (f.pixel(c, r) > peak / 2) {
                sum += f.pixel(c, r);
                sx += c * f.pixel(c, r);
                sy += r * f.pixel(c, r);
            }
    return {sx / sum, sy / sum};
}

double meanOver(const FrameBlock& f, int c0, int r0, int size) {
    double s = 0;
    for (int r = r0; r < r0 + size; ++r)
        for (int c = c0; c < c0 + size; ++c) s += f.pixel(c, r);
    return s / (size * size);
}

// One acquiring camera of a deterministic driver.
struct Acquiring {
    explicit Acquiring(Config config, int deviceIndex = 0) : driver(std::move(config)), index(deviceIndex) {
        handle = openWorking(driver, index);
        shortIo(driver, handle, req::SetAcquire, 1);
    }
    FrameBlock frame() { return nextFrame(driver, handle, index); }
    std::int64_t set(const Request& r, std::int32_t v) { return shortIo(driver, handle, r, v); }

    Driver driver;
    int index;
    DeviceHandle handle;
};

TEST(Frames, BlockCarriesPixelsThenTheStatusAndLeavesTheTrailerAlone) {
    Acquiring cam(deterministicConfig());
    cam.set(req::SetGain, 900);
    FrameBlock f;
    std::fill(f.bytes.begin(), f.bytes.end(), 0xAB);
    cam.driver.produceFrame(0);
    ASSERT_TRUE(readFrame(cam.driver, cam.handle, f));

    for (int i = 0; i < 124 * 124; ++i) {
        std::int16_t v = f.pixel(i % 124, i / 124);
        ASSERT_EQ(v % 2, 0) << "14-bit counts scaled by 2, pixel " << i;
    }
    ConsoleBlock s = f.status();
    EXPECT_EQ(s.gain(), 900);
    EXPECT_EQ(s.method(), 1);
    EXPECT_EQ(s.firmwareRevision(), "v1.05");
    EXPECT_EQ(s.statusFlags() & ConsoleBlock::kDoNotDeliver, 0u);
    EXPECT_EQ(s.transferEfficiency(), 100);
    EXPECT_TRUE(std::all_of(f.bytes.begin() + frame_block::kFactoryInfoOffset, f.bytes.end(),
                            [](std::uint8_t b) { return b == 0xAB; }));
}

TEST(Frames, SequenceNumbersAndSkippedTriggersShowLostFrames) {
    Acquiring cam(deterministicConfig());
    EXPECT_EQ(cam.frame().status().word(0), 1);
    EXPECT_EQ(cam.frame().status().word(0), 2);
    cam.driver.produceFrame(0);  // never read: the next trigger overwrites it
    FrameBlock third = cam.frame();
    EXPECT_EQ(third.status().word(0), 3);
    EXPECT_EQ(third.status().skippedTriggers(), 1);
    EXPECT_LT(third.status().transferEfficiency(), 100);

    cam.set(req::SetAcquire, 0);
    cam.set(req::SetAcquire, 1);
    EXPECT_EQ(cam.frame().status().word(0), 1) << "counting starts again with acquisition";
}

TEST(Frames, SameSeedGivesTheSamePixelsAndAnotherSeedOthers) {
    Acquiring a(deterministicConfig(11)), b(deterministicConfig(11)), c(deterministicConfig(12));
    for (int i = 0; i < 3; ++i) {
        FrameBlock fa = a.frame(), fb = b.frame(), fc = c.frame();
        EXPECT_TRUE(std::equal(fa.bytes.begin(), fa.bytes.begin() + 30752, fb.bytes.begin()));
        EXPECT_FALSE(std::equal(fa.bytes.begin(), fa.bytes.begin() + 30752, fc.bytes.begin()));
    }
}

TEST(Frames, BeamSitsWhereConfiguredForEitherShape) {
    for (auto shape : {BeamConfig::Shape::Gaussian, BeamConfig::Shape::TopHat}) {
        Config config = deterministicConfig();
        config.cameras[0].beam.shape = shape;
        config.cameras[0].beam.x = 40;
        config.cameras[0].beam.y = 85;
        Acquiring cam(config);
        cam.set(req::SetPixelCorrection, 1);  // the stuck pixels would mislead the centroid
        Centroid c = beamCentroid(cam.frame());
        EXPECT_NEAR(c.x, 40, 1.5);
        EXPECT_NEAR(c.y, 85, 1.5);
    }
}

TEST(Frames, GainScalesTheSignalAndOffsetBiasShiftsTheLevel) {
    Config config = deterministicConfig();
    config.cameras[0].beam.power = 0.3;
    Acquiring one(config), two(config), biased(config);
    std::int32_t oneX = config.cameras[0].choppedGain[0];
    two.set(req::SetGain, 2 * oneX);
    biased.set(req::SetOffset, 2048 + 400);  // 100 counts, 200 in frame values
    for (Acquiring* a : {&one, &two, &biased}) a->set(req::Calibrate, 1);
    for (Acquiring* a : {&one, &two, &biased}) a->driver.advanceTime(kCalibrationMilliseconds);
    FrameBlock f1 = one.frame(), f2 = two.frame(), fb = biased.frame();

    double beam1 = meanOver(f1, 58, 58, 8), beam2 = meanOver(f2, 58, 58, 8);
    EXPECT_NEAR(beam2 / beam1, 2.0, 0.05);
    EXPECT_NEAR(meanOver(fb, 0, 0, 16) - meanOver(f1, 0, 0, 16), 200, 10);
}

TEST(Frames, CalibrationRemovesTheDarkPattern) {
    Config config = deterministicConfig();
    config.cameras[0].beam.noise = 0;
    config.cameras[0].beam.power = 0;
    Acquiring cam(config);
    cam.set(req::SetPixelCorrection, 1);
    auto spread = [](const FrameBlock& f) {
        int low = INT16_MAX, high = INT16_MIN;
        for (int r = 0; r < 124; ++r)
            for (int c = 0; c < 124; ++c) low = std::min<int>(low, f.pixel(c, r)), high = std::max<int>(high, f.pixel(c, r));
        return high - low;
    };
    EXPECT_GT(spread(cam.frame()), 100);
    cam.set(req::Calibrate, 1);
    cam.driver.advanceTime(kCalibrationMilliseconds);
    EXPECT_EQ(spread(cam.frame()), 0);
}

TEST(Frames, TheNoiseHasTheConfiguredSpreadAndFollowsTheSeed) {
    // Dark, calibrated and its stuck pixels repaired, so that only the noise is left; noise is
    // given on the frame scale.
    auto darkFrames = [](std::uint64_t seed) {
        Config config = deterministicConfig(seed);
        config.cameras[0].beam.power = 0;
        config.cameras[0].beam.noise = 40;
        Acquiring cam(config);
        cam.set(req::SetPixelCorrection, 1);
        cam.set(req::Calibrate, 1);
        cam.driver.advanceTime(kCalibrationMilliseconds);
        return std::pair{cam.frame(), cam.frame()};
    };
    auto [a, b] = darkFrames(3);
    double sum = 0, squares = 0;
    int beyond = 0;
    for (int r = 1; r < 123; ++r)
        for (int c = 1; c < 123; ++c) {
            const double v = a.pixel(c, r);
            sum += v;
            squares += v * v;
        }
    const double n = 122.0 * 122.0, mean = sum / n, sd = std::sqrt(squares / n - mean * mean);
    for (int r = 1; r < 123; ++r)
        for (int c = 1; c < 123; ++c) beyond += std::abs(a.pixel(c, r) - mean) > 5 * 40;
    EXPECT_NEAR(sd, 40, 2);
    EXPECT_EQ(beyond, 0);
    EXPECT_NE(a.bytes, b.bytes);                 // every frame its own noise
    EXPECT_EQ(darkFrames(3).first.bytes, a.bytes);  // the same seed, the same frames
    EXPECT_NE(darkFrames(4).first.bytes, a.bytes);
}

TEST(Frames, PixelCorrectionReplacesListedPixelsByTheirNeighbourMean) {
    Acquiring cam(deterministicConfig());
    // Camera column 10, row 20 (entries are one-based), and column 0, row 0 in the corner.
    std::vector<std::uint8_t> map{0, 11, 0, 21, 0, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(block(cam.driver, cam.handle, req::SetChopBadPixelMap, map));
    cam.set(req::SetPixelCorrection, 1);
    FrameBlock f = cam.frame();
    int inner = (f.pixel(9, 20) / 2 + f.pixel(11, 20) / 2 + f.pixel(10, 19) / 2 + f.pixel(10, 21) / 2) / 4;
    EXPECT_EQ(f.pixel(10, 20), 2 * inner);
    int corner = (f.pixel(1, 0) / 2 + f.pixel(0, 1) / 2) / 2;
    EXPECT_EQ(f.pixel(0, 0), 2 * corner);
}

TEST(Frames, FactoryBadPixelMapHidesTheStuckPixelsOnlyWhenCorrectionIsOn) {
    Acquiring cam(deterministicConfig());
    std::vector<std::uint8_t> map(2048);
    ASSERT_TRUE(block(cam.driver, cam.handle, req::GetChopBadPixelMap, map));
    std::vector<std::pair<int, int>> stuck;
    for (std::size_t i = 0; readBE16(&map[4 * i]) != 0; ++i)
        stuck.emplace_back(readBE16(&map[4 * i]) - 1, readBE16(&map[4 * i + 2]) - 1);
    ASSERT_GE(stuck.size(), 4u);

    FrameBlock raw = cam.frame();
    int saturated = 0;
    for (auto [c, r] : stuck) saturated += raw.pixel(c, r) == 32766;
    EXPECT_GE(saturated, 2) << "some bad pixels are stuck high";
    cam.set(req::SetPixelCorrection, 1);
    FrameBlock fixed = cam.frame();
    for (auto [c, r] : stuck) EXPECT_LT(fixed.pixel(c, r), 30000) << c << "," << r;
}

TEST(Frames, GainCorrectionMultipliesEachPixelByItsEntry) {
    // Two identical cameras; only one applies a map that doubles one pixel and halves another.
    Acquiring plain(deterministicConfig()), corrected(deterministicConfig());
    std::vector<std::uint8_t> map(30752);
    for (std::size_t i = 0; i < map.size(); i += 2) writeBE16(&map[i], 256);
    writeBE16(&map[248 * 30 + 2 * 70], 512);    // camera row 30, column 70
    writeBE16(&map[248 * 100 + 2 * 5], 128);    // camera row 100, column 5
    ASSERT_TRUE(block(corrected.driver, corrected.handle, req::SetChopGainMap, map));
    corrected.set(req::SetGainCorrection, 1);
    FrameBlock p = plain.frame(), c = corrected.frame();
    EXPECT_EQ(c.pixel(70, 30), 2 * p.pixel(70, 30));
    EXPECT_EQ(c.pixel(5, 100), 2 * (p.pixel(5, 100) / 2 / 2));
    EXPECT_EQ(c.pixel(71, 30), p.pixel(71, 30));
    EXPECT_EQ(c.pixel(30, 70), p.pixel(30, 70));
}

TEST(Frames, VideoTriggerMarksWeakPulseFramesNotToBeDelivered) {
    for (double power : {1.0, 0.05}) {
        Config config = deterministicConfig();
        config.cameras[1].beam.power = power;
        config.cameras[1].factoryMaps = true;
        Acquiring cam(config, 2);
        cam.set(req::SetPixelCorrection, 1);  // a stuck-high pixel would fire the trigger on its own
        cam.set(req::SetVideoTrigger, 1);
        cam.set(req::SetVideoTriggerThreshold, 1);  // 4096
        ConsoleBlock s = cam.frame().status();
        bool skipped = (s.statusFlags() & ConsoleBlock::kDoNotDeliver) != 0;
        EXPECT_EQ(skipped, power < 0.5) << power;
        EXPECT_EQ(s.skippedTriggers(), skipped ? 1 : 0);
        EXPECT_EQ(cam.driver.status(2).statusFlags() & ConsoleBlock::kDoNotDeliver, 0u)
            << "the mark belongs to the frame, not to the camera";
    }
}

TEST(Frames, ReplayedFramesAreCopiedAndSynthesisIsTimed) {
    Acquiring cam(deterministicConfig());
    cam.frame();
    EXPECT_GT(cam.driver.lastSynthesisMicroseconds(), 0.0);
    std::vector<std::int16_t> prepared(124 * 124);
    for (std::size_t i = 0; i < prepared.size(); ++i) prepared[i] = static_cast<std::int16_t>(i % 3000);
    cam.driver.setReplayFrame(0, prepared);
    FrameBlock f = cam.frame();
    EXPECT_EQ(std::memcmp(f.bytes.data(), prepared.data(), 30752), 0);
    EXPECT_EQ(f.status().word(0), 2);
    cam.driver.setReplayFrame(0, {});
    EXPECT_NE(std::memcmp(cam.frame().bytes.data(), prepared.data(), 30752), 0);
}

TEST(Frames, RealTimeFramesComeAtTheChopRate) {
    Config config = defaultConfig();
    Driver driver(config);
    DeviceHandle h = openWorking(driver, 0);
    shortIo(driver, h, req::SetChopRate, 1);
    shortIo(driver, h, req::SetAcquire, 1);
    FrameBlock f;
    auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 5; ++i) {
        int error = 0;
        ASSERT_TRUE(readFrame(driver, h, f, &error)) << error;
        EXPECT_EQ(f.status().word(0), i);
    }
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 95ms) << "five frames at 48 Hz take about 104 ms";
    EXPECT_LT(elapsed, 1s);
}

}  // namespace
}  // namespace kestrom::sim::test
