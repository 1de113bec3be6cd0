// The map fuzz target's entry point over its seed corpus and over damaged and random files, so every
// build exercises it; the seeds also go through the readers from disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fuzz/map_file_fault.h"
#include "maintenance/core/gain_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrom::fuzz {
namespace {

std::string check(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
    return mapFileFault(data, bytes.size());
}

TEST(MapFileCorpus, EverySeedKeepsTheRulesAndLoadsFromDiskAsItDecodes) {
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTROM_MAP_FILE_CORPUS)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        EXPECT_EQ(check(s.str()), "");
        GainMap fromDisk, fromBytes;
        const GainFileLoad load = loadGainMapFile(entry.path().string(), fromDisk);
        EXPECT_TRUE(load.opened);
        EXPECT_EQ(load.bytesRead, decodeGainMapFile(s.str(), fromBytes));
        EXPECT_EQ(fromDisk.bytes(), fromBytes.bytes());
        ++seeds;
    }
    EXPECT_GE(seeds, 5);
}

// Lines of digits, commas and spaces reach every branch of the line reader; raw bytes reach the
// camera map's entries.
TEST(MapFileCorpus, DamagedAndRandomFilesKeepTheRules) {
    std::mt19937 random(20261211);
    const std::string alphabet = "0123456789012345678901234567890123456789, , -+\r\n\n\tx";
    for (int i = 0; i < 3000; ++i) {
        std::string bytes;
        if (i % 2 == 0) {
            bytes.resize(random() % 400);
            for (auto& b : bytes) b = alphabet[random() % alphabet.size()];
        } else {
            bytes.resize(random() % 2200);
            for (auto& b : bytes) b = static_cast<char>(random() % 4 == 0 ? random() : random() % 126);
        }
        ASSERT_EQ(check(bytes), "") << "case " << i << ", " << bytes.size() << " bytes";
    }
}

}  // namespace
}  // namespace kestrom::fuzz
