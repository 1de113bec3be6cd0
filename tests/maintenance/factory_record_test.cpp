// The factory record as the factory dialog shows and builds it, its file form, the thermal table
// and its text files, and the key sequence that opens the dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "console/core/factory_keys.h"
#include "maintenance/core/factory_form.h"
#include "maintenance/core/thermal_table.h"

namespace kestrom {
namespace {

// A record as a camera keeps it: every field in its range, and bytes no control shows filled.
FactoryInfo sampleRecord() {
    FactoryInfo r;
    std::mt19937 random(7);
    for (auto& b : r.bytes) b = static_cast<std::uint8_t>(random());
    r.setWord(FactoryInfo::kSerialNumber, 1234);
    r.bytes[FactoryInfo::kHardwareRevision] = 'B';
    r.bytes[FactoryInfo::kDetectorType] = 1;
    r.setText(FactoryInfo::kDetectorSerialText, "DS-77");
    r.setText(FactoryInfo::kDetectorGradeText, "A");
    r.setText(FactoryInfo::kDetectorDieText, "");
    r.bytes[FactoryInfo::kCrystalPolarity] = 0;
    r.bytes[FactoryInfo::kChopperPresent] = 1;
    for (auto field : {FactoryInfo::kReservedAText, FactoryInfo::kReservedBText, FactoryInfo::kReservedCText,
                       FactoryInfo::kReservedDText})
        r.setText(field, "note");
    r.setFloatLE(FactoryInfo::kHScale, 1.2345f);
    r.setFloatLE(FactoryInfo::kVScale, 2.0f);
    r.setWord(FactoryInfo::kCameraType, 1);
    r.bytes[FactoryInfo::kIBP] = 0;
    r.bytes[FactoryInfo::kBPS] = 1;
    return r;
}

TEST(FactoryForm, AnUntouchedFormBuildsTheSameBytesAlsoThoseNoControlShows) {
    const FactoryInfo original = sampleRecord();
    FactoryForm form = showFactoryRecord(original);
    EXPECT_EQ(form.serialNumber, "1234");
    EXPECT_EQ(form.hardwareRevision, "B");
    EXPECT_EQ(form.detectorSerial, "DS-77");
    EXPECT_EQ(form.cameraType, 1);
    EXPECT_TRUE(form.bps);
    FactoryInfo built = original;
    // Built over a record of other bytes, the fields come out the same and the rest is carried.
    EXPECT_EQ(buildFactoryRecord(form, built), std::nullopt);
    EXPECT_EQ(built.bytes, original.bytes);
}

// Records a camera may hold that no control shows exactly: an erased one, and one written by a
// program of 8-bit texts.
FactoryInfo erasedRecord() {
    FactoryInfo r;
    r.bytes.fill(0xFF);
    return r;
}

FactoryInfo eightBitRecord() {
    FactoryInfo r = sampleRecord();
    r.setText(FactoryInfo::kDetectorSerialText, "5\xB5m \xB0" "C");
    r.setText(FactoryInfo::kDetectorGradeText, "\xFF\x80\xE9");
    r.bytes[FactoryInfo::kHardwareRevision] = 0xC4;
    std::fill_n(r.bytes.begin() + FactoryInfo::kReservedC, 32, std::uint8_t{'c'});  // no NUL
    r.bytes[FactoryInfo::kChopperPresent] = 2;
    r.bytes[FactoryInfo::kIBP] = 0x80;
    r.setFloatLE(FactoryInfo::kHScale, std::numeric_limits<float>::infinity());
    r.setFloatLE(FactoryInfo::kVScale, 3e10f);
    return r;
}

TEST(FactoryForm, UntouchedFormsOfErasedAndEightBitRecordsBuildTheSameBytes) {
    for (const FactoryInfo& original : {erasedRecord(), eightBitRecord()}) {
        FactoryForm form = showFactoryRecord(original);
        FactoryInfo built = original;
        ASSERT_EQ(buildFactoryRecord(form, built), std::nullopt);
        EXPECT_EQ(built.bytes, original.bytes) << int(original.bytes[0]);
    }
}

TEST(FactoryForm, ChangedTextsAreCutToTheirFieldAndChangedSwitchesStoreOneOrZero) {
    FactoryInfo r = erasedRecord();
    FactoryForm form = showFactoryRecord(r);
    form.reserved[0] = std::string(40, 'a');
    form.reserved[3] = std::string(30, 'd');
    form.detectorDie = "D1";
    form.chopperPresent = false;
    form.ibp = true;
    ASSERT_EQ(buildFactoryRecord(form, r), std::nullopt);
    EXPECT_EQ(form.reserved[0], std::string(31, 'a'));
    EXPECT_EQ(r.text(FactoryInfo::kReservedAText), std::string(31, 'a'));
    EXPECT_EQ(r.text(FactoryInfo::kReservedDText), std::string(23, 'd'));
    EXPECT_EQ(r.text(FactoryInfo::kDetectorDieText), "D1");
    EXPECT_EQ(r.bytes[FactoryInfo::kDetectorDie + 3], 0xFF);  // after the NUL: as it was
    EXPECT_EQ(r.bytes[FactoryInfo::kChopperPresent], 0);
    EXPECT_EQ(r.bytes[FactoryInfo::kIBP], 1);
    EXPECT_EQ(r.bytes[FactoryInfo::kBPS], 0xFF);  // untouched
}

TEST(FactoryForm, NumbersKeepTheirLow16BitsBigEndianAndTextsAreCutTo15) {
    FactoryInfo r = sampleRecord();
    FactoryForm form = showFactoryRecord(r);
    form.serialNumber = "40000";
    form.pulseGain[2] = "70000";
    form.choppedOffset[4] = "-1";
    form.detectorSerial = "ABCDEFGHIJKLMNOPQRST";
    form.bps = false;
    form.hardwareRevision = "";
    ASSERT_EQ(buildFactoryRecord(form, r), std::nullopt);
    EXPECT_EQ(r.bytes[0], 0x9C);
    EXPECT_EQ(r.bytes[1], 0x40);
    EXPECT_EQ(r.pulseGain(2), 4464);
    EXPECT_EQ(r.choppedOffset(4), 0xFFFF);
    EXPECT_EQ(form.detectorSerial, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(r.text(FactoryInfo::kDetectorSerialText), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(r.bytes[FactoryInfo::kBPS], 0);
    EXPECT_EQ(r.bytes[FactoryInfo::kHardwareRevision], 0);
    EXPECT_EQ(showFactoryRecord(r).serialNumber, "40000");
}

TEST(FactoryForm, AFieldThatIsNoNumberEndsTheBuildAndKeepsWhatWasBuiltBeforeIt) {
    FactoryInfo r = sampleRecord();
    FactoryForm form = showFactoryRecord(r);
    form.serialNumber = "999";
    form.detectorHeight = "12a";
    form.chopCalibration = "77";
    const FactoryInfo before = r;
    EXPECT_EQ(buildFactoryRecord(form, r), "12a");
    EXPECT_EQ(r.serialNumber(), 999);
    EXPECT_EQ(r.chopCalibration(), before.chopCalibration());
    // Beyond 32 bits is no number either.
    form.detectorHeight = "5";
    form.chopCalibration = "99999999999";
    EXPECT_EQ(buildFactoryRecord(form, r), "99999999999");
}

TEST(FactoryForm, ValuesBeyondTheListsItemsShowNoItemAndArePassedThrough) {
    FactoryInfo r = sampleRecord();
    r.bytes[FactoryInfo::kDetectorType] = 7;
    r.setWord(FactoryInfo::kCameraType, 0xFFFF);
    r.bytes[FactoryInfo::kCrystalPolarity] = 0xFF;
    FactoryForm form = showFactoryRecord(r);
    EXPECT_EQ(form.detectorType, -1);
    EXPECT_EQ(form.cameraType, -1);
    EXPECT_EQ(form.crystalPolarity, -1);
    FactoryInfo built = r;
    ASSERT_EQ(buildFactoryRecord(form, built), std::nullopt);
    EXPECT_EQ(built.bytes, r.bytes);
}

TEST(FactoryForm, AFactoryFileLaysItsFirst256BytesOverTheRecord) {
    FactoryInfo r = sampleRecord();
    const FactoryInfo before = r;
    applyFactoryFile(std::string(10, '\x11'), r);
    EXPECT_EQ(r.bytes[9], 0x11);
    EXPECT_EQ(r.bytes[10], before.bytes[10]);
    applyFactoryFile(std::string(300, '\x22'), r);
    for (std::uint8_t b : r.bytes) ASSERT_EQ(b, 0x22);
}

TEST(ThermalFiles, TheFilesLengthOverFourValuesAreReadAndTheUsedOnesSavedWithFiveDecimals) {
    const ThermalTable table = parseThermalFile("1.5\r\n2.25\r\n0.125\r\n");
    EXPECT_EQ(table.entries[0], 1.5f);
    EXPECT_EQ(table.entries[1], 2.25f);
    EXPECT_EQ(table.entries[2], 0.125f);
    for (std::size_t i = 3; i < kThermalEntries; ++i) ASSERT_EQ(table.entries[i], 0.0f) << i;
    EXPECT_EQ(table.used(), 3u);
    EXPECT_EQ(formatThermalFile(table), "1.50000\r\n2.25000\r\n0.12500\r\n");

    struct Case {
        std::string text;
        std::vector<float> entries;
    } cases[] = {
        {"20 30 40 50 60", {20, 30, 40}},        // 14 bytes: three values
        {"1.5 abc 2.5 3.5 4.5", {1.5f}},         // junk ends the numbers
        {"  -7e1\t+3 0x10 9   ", {-70, 3, 16, 9}},
        {"", {}},
        {"5", {}},
    };
    for (const Case& c : cases) {
        const ThermalTable t = parseThermalFile(c.text);
        for (std::size_t i = 0; i < 6; ++i)
            EXPECT_EQ(t.entries[i], i < c.entries.size() ? c.entries[i] : 0.0f) << c.text << " entry " << i;
    }
    EXPECT_EQ(formatThermalFile(ThermalTable{}), "");
}

TEST(ThermalFiles, EveryValueReadsBackAsItWasAlsoThoseFiveDecimalsWouldLose) {
    const std::vector<float> values = {20.0f, 3e-6f, -1e-6f, 1.2345678f, 1e30f, -4e-38f, 1.5f, 16777217.0f, 0.1f};
    ThermalTable table;
    std::copy(values.begin(), values.end(), table.entries.begin());
    const std::string text = formatThermalFile(table);
    EXPECT_EQ(text.substr(0, 17), "20.00000\r\n3e-06\r\n") << text;
    const ThermalTable back = parseThermalFile(text);
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(back.entries[i], values[i]) << i << " in " << text;
    EXPECT_EQ(back.used(), values.size());
}

TEST(ThermalFiles, TheTableTravelsAsLittleEndianFloats) {
    ThermalTable table;
    table.entries[0] = 1.0f;
    table.entries[7687] = -2.5f;
    std::vector<std::uint8_t> bytes(kThermalTableBytes);
    table.toBytes(bytes.data());
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[3], 0x3F);  // 1.0f is 0x3F800000
    EXPECT_EQ(bytes[2], 0x80);
    ThermalTable back;
    back.fromBytes(bytes.data());
    EXPECT_EQ(back.entries, table.entries);
}

TEST(FactoryKeys, TheFourLettersAfterAFirmwareClickOpenTheDialog) {
    struct Case {
        std::string keys;
        bool arm;
        bool opens;
    } cases[] = {
        {"WOPP", true, true},
        {"WOPP", false, false},   // not armed
        {"OWOPP", true, false},   // the second letter first: back to idle
        {"WXOPZP", true, true},   // other keys change nothing
        {"WOPWP", true, false},   // a first letter out of turn: idle
        {"WOOPP", true, false},
        {"WOPPP", true, true},    // opens once, then idle
    };
    for (const Case& c : cases) {
        FactoryKeySequence keys;
        if (c.arm) keys.arm();
        int opened = 0;
        for (char k : c.keys) opened += keys.key(k);
        EXPECT_EQ(opened, c.opens ? 1 : 0) << c.keys;
        EXPECT_TRUE(keys.idle() || !c.opens) << c.keys;
    }
}

}  // namespace
}  // namespace kestrom
