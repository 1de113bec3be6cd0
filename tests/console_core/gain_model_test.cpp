// The gain model against the default table and a calibrated camera.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "console/core/gain_model.h"

namespace kestrom {
namespace {

class GainModel : public ::testing::Test {
protected:
    GainModel() : history([] { return 1; }) {}
    void useTable(std::array<int, 5> gains, std::array<int, 5> offsets = {100, 200, 300, 400, 500}) {
        for (int i = 0; i < 5; ++i) {
            factory.setWord(FactoryInfo::kChoppedGain + 2 * i, static_cast<std::uint16_t>(gains[i]));
            factory.setWord(FactoryInfo::kChoppedOffset + 2 * i, static_cast<std::uint16_t>(offsets[i]));
        }
    }
    GainConversion convert(int gain) { return ConvertGain(gain, 1, factory, status, calibration, history); }

    FactoryInfo factory;
    ConsoleBlock status, calibration;
    History history;
};

TEST_F(GainModel, ConversionsRoundTripOverTheDefaultTable) {
    useTable(kDefaultGainTable);
    GainTable table = gainTableFor(1, factory, history, 0);
    struct Case {
        double factor;
        int gain;
        int position;
        int offset;
    };
    // Factor 3.0 lies halfway along segment 1: 820 + (2048 - 820) * 0.5.
    for (const Case& c : {Case{1.0, 410, 0, 100}, Case{3.0, 1434, 300, 300}, Case{2.0, 820, 200, 200},
                          Case{6.0, 2662, 600, 400}, Case{10.0, 4095, 1000, 500}}) {
        int gain = gainFromFactor(c.factor, table);
        EXPECT_EQ(gain, c.gain) << c.factor;
        GainConversion back = convert(gain);
        EXPECT_EQ(back.position, c.position) << c.factor;
        EXPECT_EQ(back.offset, c.offset) << c.factor;
        EXPECT_NEAR(back.factor, c.factor, 0.05) << c.factor;
    }
    EXPECT_TRUE(history.lines().empty());
}

TEST_F(GainModel, GainsOutsideTheTableAreClampedBeforeConversion) {
    useTable(kDefaultGainTable);
    EXPECT_EQ(convert(5000).gain, 4095);
    EXPECT_EQ(convert(5000).position, 1000);
    EXPECT_EQ(convert(3).gain, 410);
    EXPECT_EQ(convert(3).position, 0);
}

TEST_F(GainModel, TableWhoseFirstTwoGainsAreZeroIsReplacedOnceByTheDefault) {
    useTable({0, 0, 0, 0, 0});
    GainTable first = gainTableFor(1, factory, history, 0);
    GainTable second = gainTableFor(1, factory, history, 0);
    EXPECT_EQ(first.gain, kDefaultGainTable);
    EXPECT_EQ(second.gain, kDefaultGainTable);
    EXPECT_THAT(history.lines(), ::testing::ElementsAre("1 Default gain table used."));
    EXPECT_EQ(factory.choppedGain(2), 2048);
    EXPECT_EQ(factory.bytes[FactoryInfo::kChoppedGain + 4], 0x08);  // kept big-endian in the record
}

TEST_F(GainModel, UnknownMethodIsReportedAndUsesTheDefaultGains) {
    GainConversion c = ConvertGain(1434, 7, factory, status, calibration, history);
    EXPECT_EQ(c.position, 300);
    EXPECT_THAT(history.lines(), ::testing::ElementsAre("1 Method in error. Gain unreliable: 1434"));
}

TEST_F(GainModel, TableEndingBelow4095LeavesTheCallersValues) {
    useTable({400, 800, 1600, 3200, 4000});
    GainConversion previous{0, 7.5f, 750, 42};
    GainConversion c = ConvertGain(4050, 1, factory, status, calibration, history, previous);
    EXPECT_EQ(c.gain, 4050);
    EXPECT_EQ(c.position, 750);
    EXPECT_EQ(c.offset, 42);
}

TEST_F(GainModel, CalibrationOffsetServesTheCalibrationGainsSegment) {
    useTable(kDefaultGainTable);
    status.setWord(ConsoleBlock::kStatusFlags, ConsoleBlock::kCalibrationGood);
    calibration.setWord(ConsoleBlock::kGain, 1000);
    calibration.setWord(ConsoleBlock::kOffset, 1999);
    EXPECT_EQ(convert(1434).offset, 1999);   // same segment 820..2048
    EXPECT_EQ(convert(2500).offset, 400);    // another segment keeps its table offset

    calibration.setWord(ConsoleBlock::kGain, 410);  // calibrated at g0: only that gain
    EXPECT_EQ(convert(410).offset, 1999);
    EXPECT_EQ(convert(600).offset, 200);

    status.setWord(ConsoleBlock::kStatusFlags, 0);
    EXPECT_EQ(convert(410).offset, 100);
}

TEST_F(GainModel, TrackerPositionsMapOntoTheirSegments) {
    useTable(kDefaultGainTable);
    GainTable table = gainTableFor(1, factory, history, 0);
    EXPECT_EQ(gainFromTracker(0, table), 410);
    EXPECT_EQ(gainFromTracker(230, table), 820 + static_cast<int>(1228 * 0.15));
    EXPECT_EQ(gainFromTracker(400, table), 2048);
    EXPECT_EQ(gainFromTracker(1000, table), 4095);
}

}  // namespace
}  // namespace kestrom
