// The camera's own records: byte order, bounded texts, opaque bytes, and the request catalogue.
#include <gtest/gtest.h>

#include <set>

#include "camera_records/console_block.h"
#include "camera_link/history.h"
#include "camera_records/factory_info.h"
#include "camera_records/requests.h"

namespace kestrom {
namespace {

TEST(FactoryInfoRecord, SerialBytes0x12And0x34ReadAs4660AndWriteBackTheSameBytes) {
    FactoryInfo f;
    f.bytes[0] = 0x12;
    f.bytes[1] = 0x34;
    EXPECT_EQ(f.serialNumber(), 4660);
    f.setWord(FactoryInfo::kSerialNumber, 4660);
    EXPECT_EQ(f.bytes[0], 0x12);
    EXPECT_EQ(f.bytes[1], 0x34);
}

TEST(FactoryInfoRecord, TextsStopAtTheirNulAndNeverReadPastTheirField) {
    FactoryInfo f;
    f.setText(FactoryInfo::kDetectorSerialText, "ABCDEFGHIJKLMNO");  // 15 characters and a NUL
    EXPECT_EQ(f.text(FactoryInfo::kDetectorSerialText), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(f.bytes[FactoryInfo::kDetectorSerial + 15], 0);

    // A full field with no NUL reads as 16 characters, not into the next field.
    for (int i = 0; i < 16; ++i) f.bytes[FactoryInfo::kDetectorSerial + i] = 'x';
    f.setText(FactoryInfo::kDetectorGradeText, "GRADE");
    EXPECT_EQ(f.text(FactoryInfo::kDetectorSerialText), std::string(16, 'x'));

    // A longer text is cut to leave room for the NUL; bytes after the NUL keep their value.
    f.bytes[FactoryInfo::kReservedD + 10] = 0x77;
    f.setText(FactoryInfo::kReservedDText, "abc");
    EXPECT_EQ(f.bytes[FactoryInfo::kReservedD + 10], 0x77);
    f.setText(FactoryInfo::kReservedDText, std::string(40, 'y'));
    EXPECT_EQ(f.text(FactoryInfo::kReservedDText), std::string(23, 'y'));
    EXPECT_EQ(f.bytes[FactoryInfo::kHScale], 0);
}

TEST(FactoryInfoRecord, AllZeroRecordHasNoSerialNoRevisionAndNoLock) {
    FactoryInfo f;
    EXPECT_EQ(f.serialNumber(), 0);
    EXPECT_EQ(f.hardwareRevision(), '\0');
    for (int i = 0; i < 5; ++i) EXPECT_EQ(f.pulseGain(i) + f.choppedGain(i), 0);
    EXPECT_FALSE(f.isFixedConfiguration());
}

TEST(FactoryInfoRecord, FieldsSitAtTheirOffsetsInTheirByteOrder) {
    FactoryInfo f;
    f.setWord(FactoryInfo::kPulseGain + 2 * 4, 0x0FA0);
    f.setFloatLE(FactoryInfo::kHScale, 1.5f);
    f.bytes[FactoryInfo::kIBP] = 2;   // only the value 1 sets a lock flag
    f.bytes[FactoryInfo::kBPS] = 1;
    EXPECT_EQ(f.bytes[74], 0x0F);
    EXPECT_EQ(f.bytes[75], 0xA0);
    EXPECT_EQ(f.pulseGain(4), 0x0FA0);
    // 1.5f is 0x3FC00000, stored least significant byte first.
    EXPECT_EQ(f.bytes[226], 0x00);
    EXPECT_EQ(f.bytes[229], 0x3F);
    EXPECT_FLOAT_EQ(f.hScale(), 1.5f);
    EXPECT_FALSE(f.ibp());
    EXPECT_TRUE(f.bps());
    EXPECT_TRUE(f.isFixedConfiguration());
}

TEST(FactoryInfoRecord, OpaqueBytesSurviveEditsOfEveryField) {
    FactoryInfo f;
    for (std::size_t i = 0; i < FactoryInfo::kSize; ++i) f.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    FactoryInfo before = f;
    f.setWord(FactoryInfo::kSerialNumber, 99);
    f.setText(FactoryInfo::kReservedAText, "note");
    f.setFloatLE(FactoryInfo::kVScale, 2.0f);
    f.setWord(FactoryInfo::kCameraType, 1);
    for (std::size_t i : {2u, 3u}) EXPECT_EQ(f.bytes[i], before.bytes[i]);
    for (std::size_t i = 239; i <= 245; ++i) EXPECT_EQ(f.bytes[i], before.bytes[i]);
    for (std::size_t i = 247; i <= 255; ++i) EXPECT_EQ(f.bytes[i], before.bytes[i]);
}

TEST(ConsoleBlockRecord, WordsAreBigEndianAndTheRevisionTextIsBounded) {
    ConsoleBlock b;
    b.bytes[16] = 0x00;
    b.bytes[19] = 0x05;
    EXPECT_EQ(b.mode(), 5);
    b.setWord(ConsoleBlock::kStatusFlags, 0x01000002);
    EXPECT_EQ(b.bytes[12], 0x01);
    EXPECT_EQ(b.statusFlags() & ConsoleBlock::kDoNotDeliver, ConsoleBlock::kDoNotDeliver);
    // A revision text with no NUL runs to the end of the block and stops there.
    for (std::size_t i = ConsoleBlock::kFirmwareRevision; i < ConsoleBlock::kSize; ++i) b.bytes[i] = 'v';
    EXPECT_EQ(b.firmwareRevision().size(), ConsoleBlock::kSize - ConsoleBlock::kFirmwareRevision);
    b.setFirmwareRevision("v1.05");
    EXPECT_EQ(b.firmwareRevision(), "v1.05");
}

TEST(RequestCatalogue, CodesAreDriverControlCodesAndOnlyTheItemPairSharesOne) {
    std::set<std::uint32_t> seen;
    int shared = 0;
    for (const Request& r : kRequestCatalogue) {
        // Device type 0x8989, buffered, any access: the function sits in bits 2..13.
        EXPECT_EQ(r.code >> 16, 0x8989u) << r.name;
        EXPECT_EQ(r.code & 3u, 0u) << r.name;
        std::uint32_t function = (r.code >> 2) & 0xFFF;
        EXPECT_GE(function, 0x801u) << r.name;
        EXPECT_LE(function, 0x841u) << r.name;
        if (!seen.insert(r.code).second) ++shared;
        EXPECT_EQ(findRequest(r.code)->code, r.code);
    }
    EXPECT_EQ(shared, 1);
    EXPECT_EQ(findRequest(req::kItemCode)->kind, RequestKind::Item);
    EXPECT_EQ(findRequest(0x89890000), nullptr);
    EXPECT_EQ(req::GetMode.code, 0x89892004u);
    EXPECT_EQ(req::GetOffset.code, 0x89892104u);
}

}  // namespace
}  // namespace kestrom

namespace kestrom {
namespace {

// A console with debug lines on writes a line per subscriber per frame; memory must not grow with them.
TEST(HistoryBound, KeepsTheNewestLinesAndCountsEveryLineWritten) {
    History history([] { return 1; });
    std::size_t heard = 0;
    history.addListener([&](const std::string&) { ++heard; });
    const std::size_t written = History::kKeptLines + 25;
    for (std::size_t i = 0; i < written; ++i) history.appendRaw("line " + std::to_string(i));
    EXPECT_EQ(history.size(), written);
    EXPECT_EQ(heard, written) << "the log file hears every line";
    auto lines = history.lines();
    ASSERT_EQ(lines.size(), History::kKeptLines);
    EXPECT_EQ(lines.front(), "line 25");
    EXPECT_EQ(history.last(), "line " + std::to_string(written - 1));
}

}  // namespace
}  // namespace kestrom
