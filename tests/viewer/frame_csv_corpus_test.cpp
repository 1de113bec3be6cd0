// The text-log-record reader's fuzz entry point over the seed corpus and over cut, spoiled and
// re-ended records, so every build exercises it; and what it refuses, in its words.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>
#include <string>

#include "fuzz/frame_csv_fault.h"
#include "viewer/core/log_csv.h"
#include "viewer/core/log_csv_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrom::fuzz {
namespace {

std::string viewerRecord() {
    std::array<std::int16_t, frame_block::kPixelCount> pixels{};
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::int16_t>(i * 37 % 65536 - 32768);
    return frameCsvText(reinterpret_cast<const std::uint8_t*>(pixels.data()));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void check(const std::string& bytes, const std::string& name) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(frameCsvFault(data, bytes.size()), "") << name;
    LLVMFuzzerTestOneInput(data, bytes.size());
}

TEST(FrameCsvCorpus, TheSeedCorpusKeepsTheRules) {
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTROM_FRAME_CSV_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        check(std::string(std::istreambuf_iterator<char>(in), {}), entry.path().filename().string());
        ++seeds;
    }
    EXPECT_GT(seeds, 0) << "no seeds in " << KESTROM_FRAME_CSV_CORPUS;
}

TEST(FrameCsvCorpus, RecordsAreTakenWithTheEndingsAnEditorLeavesAndRefusedOtherwiseWithWhy) {
    const std::string good = viewerRecord();
    struct Case {
        const char* name;
        std::string bytes;
        const char* why;  // empty: taken, and the same pixels as the viewer's form
    };
    const Case cases[] = {
        {"the viewer's form", good, ""},
        {"CR LF endings", replaced(good, "\n\r", "\r\n"), ""},
        {"LF endings", replaced(good, "\n\r", "\n"), ""},
        {"no ending on the last line", good.substr(0, good.size() - 2), ""},
        {"nothing", "", "it holds 0 lines, not 124"},
        {"one line short", good.substr(0, good.rfind("\n\r", good.size() - 3) + 2), "it holds 123 lines, not 124"},
        {"a lone CR", replaced(good, "\n\r", "\r"), "line 1 ends in a lone CR"},
        {"an empty line", "\n\r" + good, "line 1 has \"\" where a value from -32768 to 32767 belongs"},
        {"an empty first value", ",0" + good.substr(good.find('\n')), "line 1 has \"\" where a value from -32768 to 32767 belongs"},
        {"a space", " " + good, "line 1 has \" -32768\" where a value from -32768 to 32767 belongs"},
        {"a line after the last", good + "0\n\r", "it goes on after line 124"},
    };
    const auto pixelsOfGood = [&] {
        std::string why;
        return *parseFrameCsv(good, why);
    }();
    for (const Case& c : cases) {
        std::string why;
        auto pixels = parseFrameCsv(c.bytes, why);
        if (*c.why == '\0') {
            ASSERT_TRUE(pixels) << c.name << ": " << why;
            EXPECT_EQ(*pixels, pixelsOfGood) << c.name;
        } else {
            EXPECT_FALSE(pixels) << c.name;
            EXPECT_EQ(why, c.why) << c.name;
        }
        check(c.bytes, c.name);
    }
}

TEST(FrameCsvCorpus, RandomlySpoiledRecordsKeepTheRules) {
    const std::string good = viewerRecord();
    std::mt19937 random(7);
    const std::string alphabet = "0123456789-,\n\r x+";
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        for (int k = 0; k < 1 + round % 4; ++k) {
            std::size_t at = random() % bytes.size();
            switch (random() % 3) {
                case 0: bytes[at] = alphabet[random() % alphabet.size()]; break;
                case 1: bytes.erase(at, 1 + random() % 8); break;
                default: bytes.insert(at, 1, alphabet[random() % alphabet.size()]); break;
            }
        }
        check(bytes, "round " + std::to_string(round));
    }
}

TEST(FrameCsvRead, AFileThatIsNoTextLogRecordIsNamedWithWhy) {
    const auto folder = std::filesystem::temp_directory_path() / ("kestrom-csv-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "beam000001.CSV").string();
    std::ofstream(path, std::ios::binary) << std::string(kFrameCsvMaxSize + 1, '0');
    EXPECT_EQ(readFrameCsv(path).error.value_or(""),
              "\"" + path + "\" is not a text log record: it is longer than one (" + std::to_string(kFrameCsvMaxSize) + " bytes)");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << viewerRecord();
    EXPECT_FALSE(readFrameCsv(path).error);
    EXPECT_EQ(readFrameCsv((folder / "absent.CSV").string()).error.value_or(""),
              "Cannot open file \"" + (folder / "absent.CSV").string() + "\". No such file or directory");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kestrom::fuzz
