// The configuration file: what it sets, how its errors read, and the cameras of a fresh machine.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "sim_test_support.h"

namespace kestrom::sim::test {
namespace {

TEST(ConfigFile, SetsGlobalsAndEveryCameraKey) {
    const std::string text = R"(# bench cameras
state_dir = /tmp/k3 state
deterministic = yes
seed = 99

[camera]
device = 4
serial = 65535
firmware = v1.05 beta
hardware_revision = C
camera_type = 1
chopper = no
ibp = yes
bps = true
attached = off
factory_maps = no
pixel_correction = yes
gain_correction = on
pulse_gain = 1 2 3 4 5
pulse_offset = 6 7 8 9 10
chopped_gain = 11 12 13 14 15
chopped_offset = 16 17 18 19 20
thermal_table = 21.5 30
beam_shape = tophat
beam_x = 10.5
beam_y = 20
beam_width_x = 3
beam_width_y = 4
beam_power = 0.25
beam_drift = 2
pulse_rate = 0
noise = 0

   ; a second camera with defaults
[camera]
device = 10
)";
    std::string error;
    auto config = parseConfig(text, "bench.conf", error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->stateDirectory, "/tmp/k3 state");
    EXPECT_TRUE(config->deterministic);
    EXPECT_EQ(config->seed, 99u);
    ASSERT_EQ(config->cameras.size(), 2u);
    const CameraConfig& c = config->cameras[0];
    EXPECT_EQ(c.deviceIndex, 4);
    EXPECT_EQ(c.serial, 65535);
    EXPECT_EQ(c.firmware, "v1.05 beta");
    EXPECT_EQ(c.hardwareRevision, 'C');
    EXPECT_EQ(c.cameraType, 1);
    EXPECT_FALSE(c.chopper);
    EXPECT_TRUE(c.ibp);
    EXPECT_TRUE(c.bps);
    EXPECT_FALSE(c.attached);
    EXPECT_FALSE(c.factoryMaps);
    EXPECT_TRUE(c.pixelCorrection);
    EXPECT_TRUE(c.gainCorrection);
    EXPECT_EQ(c.pulseGain, (std::array<std::uint16_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(c.pulseOffset, (std::array<std::uint16_t, 5>{6, 7, 8, 9, 10}));
    EXPECT_EQ(c.choppedGain, (std::array<std::uint16_t, 5>{11, 12, 13, 14, 15}));
    EXPECT_EQ(c.choppedOffset, (std::array<std::uint16_t, 5>{16, 17, 18, 19, 20}));
    EXPECT_EQ(c.thermalTable, (std::vector<float>{21.5f, 30.0f}));
    EXPECT_EQ(c.beam.shape, BeamConfig::Shape::TopHat);
    EXPECT_DOUBLE_EQ(c.beam.x, 10.5);
    EXPECT_DOUBLE_EQ(c.beam.y, 20);
    EXPECT_DOUBLE_EQ(c.beam.widthX, 3);
    EXPECT_DOUBLE_EQ(c.beam.widthY, 4);
    EXPECT_DOUBLE_EQ(c.beam.power, 0.25);
    EXPECT_DOUBLE_EQ(c.beam.driftPixelsPerSecond, 2);
    EXPECT_DOUBLE_EQ(c.beam.pulseRateHz, 0);
    EXPECT_DOUBLE_EQ(c.beam.noise, 0);
    EXPECT_EQ(config->cameras[1].deviceIndex, 10);
    EXPECT_EQ(config->cameras[1].serial, CameraConfig{}.serial);

    // What the file says is what the camera is.
    Driver driver(*config);
    EXPECT_FALSE(driver.isAttached(4));
    driver.attach(4);
    DeviceHandle h = openWorking(driver, 4);
    EXPECT_EQ(readStatus(driver, h).firmwareRevision(), "v1.05 beta");
    EXPECT_TRUE(driver.factory(4).isFixedConfiguration());
}

TEST(ConfigFile, TheDocumentedExampleParses) {
    std::ifstream in(KESTROM_DOCS_DIR "/simulator.md");
    ASSERT_TRUE(in) << "docs/simulator.md";
    std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto begin = doc.find("```\n");
    ASSERT_NE(begin, std::string::npos);
    begin += 4;
    std::string example = doc.substr(begin, doc.find("```", begin) - begin);
    std::string error;
    auto config = parseConfig(example, "simulator.md", error);
    ASSERT_TRUE(config) << error;
    ASSERT_EQ(config->cameras.size(), 1u);
    EXPECT_EQ(config->cameras[0].beam.noise, 8);
    EXPECT_FALSE(config->deterministic);
    EXPECT_EQ(config->cameras[0].thermalTable.size(), 4u);
}

TEST(ConfigFile, ErrorsNameTheFileAndLine) {
    const struct {
        std::string text, error;
    } cases[] = {
        {"colour = blue\n", "x.conf:1: unknown key 'colour'"},
        {"[camera]\ndevice = 1\nserial = 12a\n", "x.conf:3: bad number '12a' for serial"},
        {"[camera]\ndevice = 11\n", "x.conf:2: device index 11 outside 0..10"},
        {"[camera]\ndevice = -1\n", "x.conf:2: device index -1 outside 0..10"},
        {"[camera]\ndevice = 1\n[camera]\n\ndevice = 1\n", "x.conf:5: duplicate device index 1 (first at line 2)"},
        {"[camera]\ndevice = 1\nserial = 65536\n", "x.conf:3: serial 65536 outside 0..65535"},
        {"[camera]\ndevice = 1\nserial = 99999999999999999999\n", "x.conf:3: bad number '99999999999999999999' for serial"},
        {"\n\n[camera]\nserial = 5\n", "x.conf:3: camera section without a device"},
        {"[camera]\ndevice 3\n", "x.conf:2: expected 'key = value'"},
        {"[cameras]\n", "x.conf:1: unknown section '[cameras]'"},
        {"[camera]\ndevice = 0\nseed = 4\n", "x.conf:3: 'seed' belongs before the first [camera]"},
        {"serial = 4\n", "x.conf:1: 'serial' belongs in a [camera] section"},
        {"[camera]\ndevice = 0\nchopper = maybe\n", "x.conf:3: expected yes or no for chopper, not 'maybe'"},
        {"[camera]\ndevice = 0\npulse_gain = 1 2 3 4\n", "x.conf:3: pulse_gain needs five numbers (1X 2X 4X 8X 10X)"},
        {"[camera]\ndevice = 0\nbeam_power = nan\n", "x.conf:3: bad number 'nan' for beam_power"},
        {"[camera]\ndevice = 0\nnoise = -1\n", "x.conf:3: noise -1 below 0"},
        {"[camera]\ndevice = 0\ndevice = 1\n", "x.conf:3: duplicate key 'device'"},
        {"[camera]\ndevice = 0 # the first\nserial = #5\n", "x.conf:3: missing value for serial"},
        {"[camera]\ndevice = 0\nfirmware = " + std::string(32, 'v') + "\n", "x.conf:3: firmware text longer than 31 characters"},
        {std::string("[camera]\r\ndevice = 0\r\nbad\x01key = 1\r\n"), "x.conf:3: unknown key 'bad?key'"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parseConfig(c.text, "x.conf", error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(ConfigFile, AFifoOrAFolderIsReportedAtOnceInsteadOfWaitedOn) {
    auto dir = std::filesystem::temp_directory_path() / ("kestrom_sim_fifo_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "folder.conf");
    ASSERT_EQ(::mkfifo((dir / "fifo.conf").c_str(), 0600), 0);
    for (const char* name : {"fifo.conf", "folder.conf"}) {
        SCOPED_TRACE(name);
        std::string path = (dir / name).string();
        // In a child, so that a read that blocks fails the test instead of hanging it.
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string error;
            bool refused = !loadConfigFile(path, error) && error == path + ": cannot read: not a regular file";
            ::_exit(refused ? 0 : 1);
        }
        int status = 0;
        bool ended = false;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!(ended = ::waitpid(child, &status, WNOHANG) == child) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ADD_FAILURE() << "still waiting on " << path << " after 5 s";
            continue;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wrong error for " << path;
    }
    std::filesystem::remove_all(dir);
}

TEST(ConfigFile, MissingHugeAndBinaryFilesAreReportedNotFatal) {
    std::string error;
    EXPECT_FALSE(loadConfigFile("/nonexistent/k3.conf", error));
    EXPECT_EQ(error, "/nonexistent/k3.conf: cannot open: No such file or directory");

    auto path = std::filesystem::temp_directory_path() / "kestrom_sim_huge.conf";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(2 * 1024 * 1024, '#');
    }
    EXPECT_FALSE(loadConfigFile(path.string(), error));
    EXPECT_EQ(error, path.string() + ": larger than 1 MiB, not a configuration file");
    std::filesystem::remove(path);

    std::mt19937_64 rng(3);
    for (int round = 0; round < 50; ++round) {
        std::string junk(1 + rng() % 4000, '\0');
        for (char& ch : junk) ch = static_cast<char>(rng());
        if (round % 2) junk = "[camera]\ndevice = 0\n" + junk;
        error.clear();
        auto config = parseConfig(junk, "junk", error);
        EXPECT_TRUE(config || error.rfind("junk:", 0) == 0) << error;
        EXPECT_LT(error.size(), 200u);
    }
}

TEST(DefaultCameras, ShowTheRangeOfCamerasTheConsoleMeets) {
    Config config = defaultConfig();
    ASSERT_GE(config.cameras.size(), 3u);
    EXPECT_FALSE(config.deterministic);
    EXPECT_TRUE(config.stateDirectory.empty());
    Driver driver(config);
    const struct {
        int device;
        std::uint16_t serial;
        const char* firmware;
        bool chopper;
        std::uint16_t cameraType;
        std::int32_t corrections;   // both switches at power-up
    } expected[] = {{0, 1234, "v1.05", true, 0, 1}, {2, 4660, "v1.03", false, 0, 0}, {3, 7001, "v1.05", true, 1, 0}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.device);
        EXPECT_TRUE(driver.isAttached(e.device));
        DeviceHandle h = openWorking(driver, e.device);
        std::vector<std::uint8_t> status(96);
        ASSERT_TRUE(block(driver, h, req::GetConsoleAsBlock, status));
        EXPECT_STREQ(reinterpret_cast<const char*>(&status[88]), e.firmware);
        FactoryInfo f = driver.factory(e.device);
        EXPECT_EQ(f.serialNumber(), e.serial);
        EXPECT_EQ(f.chopperPresent() != 0, e.chopper);
        EXPECT_EQ(f.cameraType(), e.cameraType);
        EXPECT_EQ(shortIo(driver, h, req::GetTriggerMethod, 0), e.chopper ? 1 : 0)
            << "a camera starts chopping when it can";
        EXPECT_EQ(shortIo(driver, h, req::GetPixelCorrection, 0), e.corrections);
        EXPECT_EQ(shortIo(driver, h, req::GetGainCorrection, 0), e.corrections);
    }
}

}  // namespace
}  // namespace kestrom::sim::test
