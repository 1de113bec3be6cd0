// The frame-record reader's fuzz entry point run over the seed corpus and over cut, spoiled and
// random records, so every build exercises it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "frame_test_support.h"
#include "fuzz/frame_record_fault.h"
#include "viewer/core/frame_header_ini.h"
#include "viewer/core/frame_header_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrom::fuzz {
namespace {

using Bytes = std::string;

Bytes goodRecord() {
    VasprelHeader header = test::liveHeader(1234.5);
    return composeFrameRecord(
        mergedFrameHeaderText("", frameHeaderValues(header), frame_record::kHeaderOffset), header,
        test::patternBlock(9).data());
}

void check(const Bytes& bytes, const std::string& name) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(frameRecordFault(data, bytes.size()), "") << name;
    LLVMFuzzerTestOneInput(data, bytes.size());
}

TEST(FrameRecordCorpus, TheSeedCorpusKeepsTheRules) {
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTROM_FRAME_RECORD_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        check(Bytes(std::istreambuf_iterator<char>(in), {}), entry.path().filename().string());
        ++seeds;
    }
    EXPECT_GT(seeds, 0) << "no seeds in " << KESTROM_FRAME_RECORD_CORPUS;
}

TEST(FrameRecordCorpus, CutGrownAndSpoiledRecordsAndHeaderTextsKeepTheRules) {
    const Bytes good = goodRecord();
    auto withWord = [](Bytes b, std::size_t at, std::int32_t v) {
        std::memcpy(b.data() + at, &v, 4);
        return b;
    };
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"nothing", ""},
        {"a whole record", good},
        {"cut before the header", good.substr(0, 16383)},
        {"cut in the pixels", good.substr(0, 30000)},
        {"one byte short", good.substr(0, good.size() - 1)},
        {"one byte more", good + "\n"},
        {"height 0", withWord(good, 16384 + 16, 0)},
        {"width -124", withWord(good, 16384 + 20, -124)},
        {"height 125", withWord(good, 16384 + 16, 125)},
        {"a header text alone", good.substr(0, good.find('\0'))},
        {"header text with sections of every kind",
         "[Header]\r\n[]\r\n[ header "
         "]\r\nHEIGHT=1\r\n;Width=2\r\n=\r\nVersion\r\n[Other\r\nx=y\r\n"},
        {"only line ends", Bytes(5000, '\n')},
        {"only section lines",
         [] {
             Bytes b;
             while (b.size() < 16000) b += "[]\n";
             return b;
         }()},
    };
    for (const Case& c : cases) check(c.bytes, c.name);
}

// Random bytes at a record's size reach the size checks; spoiled records reach the header fields
// and the text reader with a whole record around them.
TEST(FrameRecordCorpus, RandomBytesAndSpoiledRecordsKeepTheRules) {
    std::mt19937 random(20240612);
    auto byte = [&] { return static_cast<char>(random()); };
    const Bytes good = goodRecord();
    for (int i = 0; i < 400; ++i) {
        Bytes bytes;
        if (i % 4 == 0) {
            bytes.resize(random() % 2000);
            for (auto& b : bytes) b = byte();
        } else {
            bytes = good;
            if (i % 4 == 3) bytes.resize(random() % (good.size() + 2));
            for (int k = 0; k < 8 && !bytes.empty(); ++k) {
                // Most spoils fall on the header text and the raw header, where the reading is.
                std::size_t span =
                    std::min<std::size_t>(bytes.size(), k % 2 ? 16704 : bytes.size());
                bytes[random() % span] = byte();
            }
            if (i % 4 == 1)
                std::memcpy(bytes.data(), bytes.data() + 16384, 320);  // a raw header as text
        }
        check(bytes, "case " + std::to_string(i));
    }
}

}  // namespace
}  // namespace kestrom::fuzz
