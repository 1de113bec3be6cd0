// The rules of the data-logging dialog's entries and of the log file names they give.
#include "viewer/core/log_settings.h"

#include <gtest/gtest.h>

#include "viewer/core/log_names.h"

namespace kestrom {
namespace {

using namespace std::chrono_literals;

TEST(LogNames, ANameIsSplitAtItsLastFolderAndLastDotAndNumberedWithSixDigits) {
    struct Case {
        const char* typed;
        const char* withDefault;  // after "OK"
        const char* first;        // the first file of a binary log
    };
    const Case cases[] = {
        {"/data/beam.RAW", "/data/beam.RAW", "/data/beam000001.RAW"},
        {"/data/beam", "/data/beam.RAW", "/data/beam000001.RAW"},
        {"/data/beam.txt", "/data/beam.txt", "/data/beam000001.txt"},
        {"/data.v2/beam", "/data.v2/beam.RAW",
         "/data.v2/beam000001.RAW"},  // a dot in a folder is no extension
        {"/data/a.b.c", "/data/a.b.c", "/data/a.b000001.c"},
        {"/data/beam.", "/data/beam.", "/data/beam000001."},
        {"beam", "beam.RAW", "beam000001.RAW"},
        {"", ".RAW", "000001.RAW"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::string name = withDefaultLogExtension(c.typed);
        EXPECT_EQ(name, c.withDefault);
        LogFileNameParts parts = splitLogFileName(name);
        EXPECT_EQ(numberedLogFileName(parts.folder, parts.base, 1, parts.extension), c.first);
    }
    EXPECT_EQ(numberedLogFileName("/d/", "b", 1234567, ".CSV"), "/d/b1234567.CSV");
}

TEST(LogSettingsRules, IntegersParseWithTheirDefault) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"3", 3},           {"+3", 3},  {"-3", -3},
        {"0", 0},           {"007", 7}, {"2147483647", 2147483647},
        {"2147483648", 99}, {"", 99},   {"3x", 99},
        {" 3", 99},         {"+", 99},  {"+-3", 99},
        {"-", 99},          {"x", 99},
    };
    for (const Case& c : cases) EXPECT_EQ(integerOr(c.text, 99), c.value) << c.text;
}

TEST(LogSettingsRules, LogEveryKeepsOnlyAPositiveCount) {
    for (const char* kept : {"1", "3", "+4", "1000"}) EXPECT_EQ(nthRecordsAfterChange(kept), kept);
    for (const char* reset : {"", "0", "-2", "x", "2.5"})
        EXPECT_EQ(nthRecordsAfterChange(reset), "1") << reset;
}

TEST(LogSettingsRules, OkGivesTheCountOrTheTimeModeAndCancelGivesNoLog) {
    const LogTime now = LogTime{} + 5000h;
    LogDialogEntries entries{"/data/beam", "3", "0", false, now + 1h};
    LogSettings count = acceptedLogSettings(entries, now);
    EXPECT_EQ(count.logName, "/data/beam.RAW");
    EXPECT_EQ(count.everyNth, 3);
    EXPECT_EQ(count.nthCounter, 0);
    EXPECT_EQ(count.logFileCounter, 0);
    EXPECT_FALSE(count.tillTime);
    EXPECT_EQ(count.stopTime, now);
    EXPECT_EQ(count.framesLeft, 0) << "\"0\" is a count of its own, not the default";

    entries.framesToLog = "many";
    EXPECT_EQ(acceptedLogSettings(entries, now).framesLeft, 1);

    entries.tillTime = true;
    LogSettings timed = acceptedLogSettings(entries, now);
    EXPECT_TRUE(timed.tillTime);
    EXPECT_EQ(timed.stopTime, now + 1h);
    EXPECT_EQ(timed.framesLeft, 0);

    LogSettings cancelled = cancelledLogSettings();
    EXPECT_EQ(cancelled.logName, "");
    EXPECT_EQ(cancelled.everyNth, 1);
    EXPECT_EQ(cancelled.framesLeft, 0);
}

}  // namespace
}  // namespace kestrom
