// The palette fuzz target's entry point over its seed corpus, over damaged palette files and over
// random text, so every build exercises it; the seeds also go through a real load from disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "fuzz/palette_input_fault.h"
#include "platform/dialog_service.h"
#include "viewer/core/pal.h"
#include "viewer/core/palette_file.h"
#include "viewer/core/palette_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrom::fuzz {
namespace {

std::string check(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
    return paletteInputFault(data, bytes.size());
}

TEST(PaletteFileCorpus, EverySeedKeepsTheRulesAndLoadsFromDiskAsItDecodes) {
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTROM_PALETTE_CORPUS)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        EXPECT_EQ(check(s.str()), "");

        ScriptedDialogs dialogs;
        TPaletteMap map(dialogs);
        bool loaded = map.LoadPalette(entry.path().string()) != nullptr;
        EXPECT_EQ(loaded, decodePaletteFile(s.str()).palette.has_value());
        EXPECT_EQ(dialogs.boxes.size(), loaded ? 0u : 1u);
        ++seeds;
    }
    EXPECT_GE(seeds, 6);
}

// Random bytes hardly ever make a palette file, so most cases spoil a good one at a byte or cut
// it: those reach the header check and every entry.
TEST(PaletteFileCorpus, DamagedFilesAndRandomTextKeepTheRules) {
    std::mt19937 random(20240611);
    auto byte = [&] { return static_cast<char>(random()); };
    const std::string good = encodePaletteFile(LogPalette{0x300, 256, TPal::CreatePalette(0)->entries(), {}});
    const std::string alphabet = "0123456789 +-.eEinfa\t\r\n,x";
    for (int i = 0; i < 3000; ++i) {
        std::string bytes;
        switch (i % 3) {
            case 0:
                bytes = good.substr(0, random() % (good.size() + 2));
                if (!bytes.empty()) bytes[random() % bytes.size()] = byte();
                if (i % 2) bytes[random() % 4 % bytes.size()] = byte();
                break;
            case 1:
                bytes.resize(random() % 300);
                for (auto& b : bytes) b = alphabet[random() % alphabet.size()];
                break;
            default:
                bytes.resize(random() % 1100);
                for (auto& b : bytes) b = byte();
        }
        ASSERT_EQ(check(bytes), "") << "case " << i << ", " << bytes.size() << " bytes";
    }
}

}  // namespace
}  // namespace kestrom::fuzz
