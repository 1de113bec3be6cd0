// What a camera keeps across a restart of the driver, and what it does with a damaged state folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "sim_test_support.h"
#include "simulator/sim_persistence.h"

namespace kestrom::sim::test {
namespace {

namespace fs = std::filesystem;

class Persistence : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kestrom_sim_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Config config() {
        Config c = deterministicConfig();
        c.stateDirectory = dir.string();
        return c;
    }

    static std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
        std::vector<std::uint8_t> b(size);
        for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
        return b;
    }

    fs::path dir;
};

TEST_F(Persistence, WrittenRecordsMapsAndProgramsSurviveARestart) {
    struct Written {
        Request set, get;
        std::vector<std::uint8_t> bytes;
        std::size_t readSize;
    };
    std::vector<std::uint8_t> badPixels{0, 3, 0, 4, 0, 0, 0, 0};
    std::vector<Written> written{
        {req::SetChopBadPixelMap, req::GetChopBadPixelMap, badPixels, 2048},
        {req::SetPulseGainMap, req::GetPulseGainMap, pattern(30752, 3), 30752},
        {req::SetChopGainMap, req::GetChopGainMap, pattern(30752, 4), 30752},
        {req::SetFactoryInformation, req::GetFactoryInformation, pattern(256, 1), 256},
    };
    {
        Driver first(config());
        DeviceHandle h = openWorking(first, 0);
        for (Written& w : written) ASSERT_TRUE(block(first, h, w.set, w.bytes)) << w.set.name;
        auto firmware = pattern(1004, 5), lca = pattern(16384, 6);
        ASSERT_TRUE(block(first, h, req::SetFirmwareProgram, firmware));
        ASSERT_TRUE(block(first, h, req::SetLcaProgram, lca));
    }
    Driver second(config());
    DeviceHandle h = openWorking(second, 0);
    for (const Written& w : written) {
        std::vector<std::uint8_t> back(w.readSize, 0xEE);
        ASSERT_TRUE(block(second, h, w.get, back)) << w.get.name;
        back.resize(w.bytes.size());
        EXPECT_EQ(back, w.bytes) << w.get.name;
    }
    // The camera is known by its configured serial even after its record says otherwise.
    fs::path folder = dir / "1234";
    for (const char* file : {"factory.bin", "chop_bad_pixels.bin", "pulse_gain_map.bin", "chop_gain_map.bin",
                             "firmware.bin", "lca.bin"})
        EXPECT_TRUE(fs::exists(folder / file)) << file;
    EXPECT_EQ(fs::file_size(folder / "firmware.bin"), 1004u + 4u) << "the program and its check sum";
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    EXPECT_EQ(second.status(0).statusFlags() & 0xF000u, 0xF000u);
}

TEST_F(Persistence, ThermalTablePersistsForTheThermalCamera) {
    auto table = pattern(30752, 9);
    {
        Driver first(config());
        DeviceHandle h = openWorking(first, 3);
        ASSERT_TRUE(block(first, h, req::SetPulseGainMap, table));
    }
    EXPECT_TRUE(fs::exists(dir / "7001" / "thermal_table.bin"));
    Driver second(config());
    DeviceHandle h = openWorking(second, 3);
    std::vector<std::uint8_t> back(30752);
    ASSERT_TRUE(block(second, h, req::GetPulseGainMap, back));
    EXPECT_EQ(back, table);
}

TEST_F(Persistence, DamagedOrMissingFilesFallBackToTheConfiguredValues) {
    const Config original = config();
    const FactoryInfo configured = Driver(original).factory(0);
    fs::create_directories(dir / "1234");
    const struct {
        const char* file;
        std::size_t size;
    } damaged[] = {{"factory.bin", 10}, {"chop_gain_map.bin", 30751}, {"chop_bad_pixels.bin", 0},
                   {"lca.bin", 100}, {"firmware.bin", 7}};
    for (const auto& d : damaged) {
        std::ofstream out(dir / "1234" / d.file, std::ios::binary);
        out << std::string(d.size, '\x7F');
    }
    fs::create_directories(dir / "1234" / "pulse_gain_map.bin");  // not even a file
    // Of the right size, but not what the camera wrote: it would give the camera serial 32639.
    const FactoryInfo thermalConfigured = Driver(original).factory(3);
    fs::create_directories(dir / "7001");
    std::ofstream(dir / "7001" / "factory.bin", std::ios::binary) << std::string(256, '\x7F');

    Driver driver(original);
    EXPECT_EQ(driver.factory(0).bytes, configured.bytes);
    EXPECT_EQ(driver.factory(3).bytes, thermalConfigured.bytes);
    // Each one is said, naming its file.
    const std::vector<std::string> said = driver.damagedState();
    EXPECT_EQ(said.size(), std::size(damaged) + 2);
    for (const char* file : {"1234/factory.bin", "1234/pulse_gain_map.bin", "7001/factory.bin"})
        EXPECT_EQ(std::count_if(said.begin(), said.end(), [&](const std::string& line) {
                      return line.find(file) != std::string::npos && line.find("ignored") != std::string::npos;
                  }), 1) << file;
    DeviceHandle h = openWorking(driver, 0);
    std::vector<std::uint8_t> map(30752);
    ASSERT_TRUE(block(driver, h, req::GetChopGainMap, map));
    EXPECT_NE(map[0], 0x7F);
    EXPECT_EQ(driver.status(0).statusFlags() & 0xF000u, 0xF000u) << "factory maps are still there";
}

TEST_F(Persistence, WithoutAStateFolderNothingIsWrittenOrKept) {
    Config c = deterministicConfig();
    ASSERT_TRUE(c.stateDirectory.empty());
    auto record = pattern(256, 2);
    {
        Driver first(c);
        DeviceHandle h = openWorking(first, 0);
        ASSERT_TRUE(block(first, h, req::SetFactoryInformation, record));
    }
    Driver second(c);
    FactoryInfo kept = second.factory(0);
    EXPECT_NE(std::vector<std::uint8_t>(kept.bytes.begin(), kept.bytes.end()), record);
    EXPECT_EQ(kept.serialNumber(), 1234);
}

TEST_F(Persistence, AnUnwritableStateFolderFailsTheWriteAndKeepsTheOldValue) {
    fs::create_directories(dir);
    std::ofstream(dir / "1234") << "a file where the camera's folder should be";
    Driver driver(config());
    DeviceHandle h = openWorking(driver, 0);
    auto record = pattern(256, 2);
    int error = 0;
    EXPECT_FALSE(block(driver, h, req::SetFactoryInformation, record, &error));
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(driver.factory(0).serialNumber(), 1234);
}

TEST_F(Persistence, StateFoldersAndFilesAreTheUsersAloneWhateverTheUmask) {
    StateStore store((dir / "state").string(), 77);
    mode_t old = ::umask(0);
    bool saved = store.save("factory.bin", pattern(256, 9));
    ::umask(old);
    ASSERT_TRUE(saved);
    for (const fs::path& folder : {dir, dir / "state", dir / "state" / "77"}) {
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0) << folder;
        EXPECT_EQ(st.st_mode & 07777, 0700u) << folder;
    }
    struct stat st {};
    ASSERT_EQ(::stat((dir / "state" / "77" / "factory.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(store.load("factory.bin", [](const Bytes&) { return true; }), pattern(256, 9));
}

}  // namespace
}  // namespace kestrom::sim::test
