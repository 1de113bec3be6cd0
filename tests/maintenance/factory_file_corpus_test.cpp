// The factory-file fuzz target's entry point over its seed corpus and over damaged and random
// files, so every build exercises it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fuzz/factory_file_fault.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrom::fuzz {
namespace {

std::string check(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
    return factoryFileFault(data, bytes.size());
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FactoryFileCorpus, EverySeedKeepsTheRules) {
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTROM_FACTORY_FILE_CORPUS)) {
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(check(fileBytes(entry.path())), "");
        ++seeds;
    }
    EXPECT_GE(seeds, 6);
}

// Records with every byte spoilt now and then, and number-like text.
TEST(FactoryFileCorpus, DamagedAndRandomFilesKeepTheRules) {
    std::mt19937 random(20261211);
    const std::string good = fileBytes(std::filesystem::path(KESTROM_FACTORY_FILE_CORPUS) / "camera_1234.FAC");
    const std::string alphabet = "0123456789.-+eEinfa \t\r\nx";
    for (int i = 0; i < 2000; ++i) {
        std::string bytes;
        if (i % 2 == 0) {
            bytes = good.substr(0, random() % (good.size() + 40));
            for (int k = 0; k < 8 && !bytes.empty(); ++k) bytes[random() % bytes.size()] = static_cast<char>(random());
        } else {
            bytes.resize(random() % 300);
            for (auto& b : bytes) b = alphabet[random() % alphabet.size()];
        }
        ASSERT_EQ(check(bytes), "") << "case " << i << ", " << bytes.size() << " bytes";
    }
}

}  // namespace
}  // namespace kestrom::fuzz
