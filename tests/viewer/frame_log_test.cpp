// Logging arriving frames: which frames reach which numbered files, the stop rules, text logs and
// faults.
#include "viewer/core/frame_log.h"

#include <gtest/gtest.h>

#include <limits>

#include "frame_test_support.h"

namespace kestrom {
namespace {

using namespace std::chrono_literals;
using Outcome = FrameLog::Step::Outcome;
using test::TempFolder;

const LogTime kStart = LogTime{} + 1000h;

// The view window's side: it hands each arriving frame to the log with its frame container's
// header, which holds the results of the frame before; frame n's results have FrameTotal n.
class FrameLogTest : public ::testing::Test {
  protected:
    LogSettings settings(const std::string& name, std::int32_t framesLeft,
                         std::int32_t everyNth = 1) {
        LogSettings s;
        s.logName = folder.file(name);
        s.framesLeft = framesLeft;
        s.everyNth = everyNth;
        s.stopTime = kStart;
        return s;
    }

    // Frames arrive one a second; returns one letter per frame: W written, S skipped, E ended,
    // F failed, - idle.
    std::string feed(int count) {
        std::string outcomes;
        for (int i = 0; i < count; ++i) {
            ++frames;
            FrameLog::Step step = log.step(test::patternBlock(frames).data(),
                                           test::liveHeader(frames - 1), kStart + frames * 1s);
            outcomes += "-SWEF"[static_cast<int>(step.outcome)];
            lastError = step.error;
        }
        return outcomes;
    }

    // The frame whose pixels a log file holds; -1 when they are no frame's.
    int frameIn(const std::string& name) {
        const std::string record = folder.read(name);
        if (record.size() != 48448) return -1;
        for (int f = 1; f <= frames; ++f) {
            FrameBlockBytes block = test::patternBlock(f);
            if (std::memcmp(record.data() + 16704, block.data(), block.size()) == 0) return f;
        }
        return -1;
    }

    TempFolder folder;
    FrameLog log;
    int frames = 0;
    std::string lastError;
};

TEST_F(FrameLogTest, FramesReachNumberedFilesByCountAndEveryNth) {
    struct Case {
        const char* name;
        std::int32_t framesLeft, everyNth;
        int fed;
        const char* outcomes;
        std::vector<std::pair<std::string, int>> files;  // file and the frame it holds
    };
    const Case cases[] = {
        {"one frame", 1, 1, 3, "WE-", {{"beam000001.RAW", 1}}},
        {"no frame", 0, 1, 2, "E-", {}},
        {"minus five frames stop like none", -5, 1, 2, "E-", {}},
        {"the lowest count too", std::numeric_limits<std::int32_t>::min(), 1, 1, "E", {}},
        {"three frames, every third",
         3,
         3,
         13,
         "SSWSSWSSWSSE-",
         {{"beam000001.RAW", 3}, {"beam000002.RAW", 6}, {"beam000003.RAW", 9}}},
        {"every nth of 1 or less is every frame",
         2,
         0,
         3,
         "WWE",
         {{"beam000001.RAW", 1}, {"beam000002.RAW", 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log = FrameLog{};
        frames = 0;
        for (const std::string& name : folder.names()) std::filesystem::remove(folder.file(name));
        ASSERT_EQ(log.start(settings("beam.RAW", c.framesLeft, c.everyNth), false), std::nullopt);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"beam000001.RAW"})
            << "the first file waits, empty";
        EXPECT_EQ(feed(c.fed), c.outcomes);
        std::vector<std::pair<std::string, int>> files;
        for (const std::string& name : folder.names())
            if (name != "FrameHeader") files.emplace_back(name, frameIn(name));
        EXPECT_EQ(files, c.files);
    }
}

TEST_F(FrameLogTest, ALoggedRecordCarriesTheResultsOfTheFrameBefore) {
    ASSERT_EQ(log.start(settings("beam.RAW", 2), false), std::nullopt);
    ASSERT_EQ(feed(3), "WWE");
    for (int n : {1, 2}) {
        const std::string record = folder.read("beam00000" + std::to_string(n) + ".RAW");
        EXPECT_EQ(frameIn("beam00000" + std::to_string(n) + ".RAW"), n);
        EXPECT_EQ(test::headerOf(record).FrameTotal, n - 1);
        EXPECT_NE(record.find("FrameTotal=" + std::to_string(n - 1) + "\r\n"), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::exists(folder.file("FrameHeader")));
}

TEST_F(FrameLogTest, ATextLogHasOneLineOfValuesPerRowEndingInLfCrAndIsAlwaysCsv) {
    ASSERT_EQ(log.start(settings("beam.txt", 1), true), std::nullopt);
    ASSERT_EQ(feed(1), "W");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"beam000001.CSV", "beam000002.CSV"}));
    const std::string text = folder.read("beam000001.CSV");

    // Frame 1's pixel i is 1 + i, wrapping at 16 bits: rows 0 and 123 in full.
    std::string expected;
    for (int row = 0; row < 124; ++row) {
        for (int column = 0; column < 124; ++column) {
            if (column) expected += ',';
            expected += std::to_string(static_cast<std::int16_t>(1 + row * 124 + column));
        }
        expected += "\n\r";
    }
    EXPECT_EQ(text, expected);
    std::size_t lines = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos;
         at = text.find('\n', at + 1), ++lines)
        ASSERT_EQ(text[at + 1], '\r') << "line " << lines;
    EXPECT_EQ(lines, 124u);
    EXPECT_EQ(text.substr(text.size() - 2), std::string("\x0A\x0D"));
    EXPECT_EQ(feed(1), "E");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"beam000001.CSV"});
}

TEST_F(FrameLogTest, ATillTimeLogStopsAtTheFirstFrameAfterTheStopTime) {
    LogSettings s = settings("beam.RAW", 0);
    s.tillTime = true;
    s.stopTime = kStart + 2s;  // frames arrive at 1 s, 2 s, 3 s
    ASSERT_EQ(log.start(s, false), std::nullopt);
    EXPECT_EQ(feed(4), "WWE-");
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"FrameHeader", "beam000001.RAW", "beam000002.RAW"}));
}

TEST_F(FrameLogTest, ACancelledDialogLeavesARunningLogAndANewLogReplacesIt) {
    ASSERT_EQ(log.start(settings("first.RAW", 5), false), std::nullopt);
    ASSERT_EQ(feed(1), "W");
    EXPECT_EQ(log.start(LogSettings{}, false), std::nullopt);
    EXPECT_EQ(feed(1), "W");
    EXPECT_EQ(log.logFile(), folder.file("first000003.RAW"));

    ASSERT_EQ(log.start(settings("second.RAW", 1), false), std::nullopt);
    EXPECT_EQ(feed(2), "WE");
    // The running log's waiting file went with it.
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"FrameHeader", "first000001.RAW",
                                                        "first000002.RAW", "second000001.RAW"}));
    EXPECT_EQ(frameIn("second000001.RAW"), 3);
}

TEST_F(FrameLogTest, AFileOfAnEarlierLogIsReplacedOnlyByAFrameAndNeverEmptiedInAdvance) {
    folder.write("beam000001.RAW", "earlier one");
    folder.write("beam000002.RAW", "earlier two");
    ASSERT_EQ(log.start(settings("beam.RAW", 1), false), std::nullopt);
    EXPECT_EQ(folder.read("beam000001.RAW"), "earlier one");
    ASSERT_EQ(feed(2), "WE");
    EXPECT_EQ(frameIn("beam000001.RAW"), 1);
    EXPECT_EQ(folder.read("beam000002.RAW"), "earlier two")
        << "it waited as the next file, and stays";
}

TEST_F(FrameLogTest, ClosingTheViewerEndsTheLogAndRemovesTheWaitingFile) {
    ASSERT_EQ(log.start(settings("beam.RAW", 10), false), std::nullopt);
    ASSERT_EQ(feed(1), "W");
    log.end();
    EXPECT_FALSE(log.running());
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"FrameHeader", "beam000001.RAW"}));
    EXPECT_EQ(feed(1), "-");
}

// The disk fills up at the third frame: that file goes, the two before stay whole, the log ends.
TEST_F(FrameLogTest, AWriteThatFailsRemovesItsFileKeepsTheEarlierOnesAndEndsTheLog) {
    for (bool text : {false, true}) {
        SCOPED_TRACE(text ? "text" : "binary");
        for (const std::string& name : folder.names()) std::filesystem::remove(folder.file(name));
        frames = 0;
        ASSERT_EQ(log.start(settings("beam.RAW", 10), text), std::nullopt);
        ASSERT_EQ(feed(2), "WW");
        const std::string ext = text ? ".CSV" : ".RAW";
        const std::string first = folder.read("beam000001" + ext),
                          second = folder.read("beam000002" + ext);
        {
            test::FileSizeLimit limit(20000);
            EXPECT_EQ(feed(1), "F");
        }
        EXPECT_EQ(lastError, "Cannot write file \"" + folder.file("beam000003" + ext) +
                                 "\". File too large. Logging has stopped.");
        EXPECT_FALSE(log.running());
        std::vector<std::string> expected{"beam000001" + ext, "beam000002" + ext};
        if (!text) expected.insert(expected.begin(), "FrameHeader");
        EXPECT_EQ(folder.names(), expected) << "no waiting or temporary file is left";
        EXPECT_EQ(folder.read("beam000001" + ext), first);
        EXPECT_EQ(folder.read("beam000002" + ext), second);
        EXPECT_EQ(feed(1), "-");
    }
}

TEST_F(FrameLogTest, ALogThatCannotCreateItsFirstFileSaysSoAndDoesNotStart) {
    folder.write("plain file", "x");
    struct Case {
        std::string name;
        std::string error;
    };
    const Case cases[] = {
        {"missing/beam.RAW", "Cannot create file \"" + folder.file("missing/beam000001.RAW") +
                                 "\". No such file or directory"},
        {"plain file/beam.RAW", "Cannot create file \"" + folder.file("plain file/beam000001.RAW") +
                                    "\". Not a directory"},
        // The pattern the dialog starts with, confirmed unchanged.
        {"*.RAW", "Cannot create file \"" + folder.file("*000001.RAW") +
                      "\". A file name may not hold \"*\" or \"?\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(log.start(settings(c.name, 1), false), c.error);
        EXPECT_FALSE(log.running());
    }
    std::filesystem::create_directory(folder.file("beam000001.RAW"));
    EXPECT_EQ(
        log.start(settings("beam.RAW", 1), false),
        "Cannot create file \"" + folder.file("beam000001.RAW") + "\". It is not a regular file");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"beam000001.RAW", "plain file"}));
}

TEST_F(FrameLogTest, NamesWithSpacesAndCharactersBeyondAsciiNumberTheirFiles) {
    std::filesystem::create_directory(folder.file("Messreihe ü"));
    ASSERT_EQ(log.start(settings("Messreihe ü/Strahl – 1.dat", 1), false), std::nullopt);
    ASSERT_EQ(feed(2), "WE");
    EXPECT_EQ(frameIn("Messreihe ü/Strahl – 1000001.dat"), 1);
}

}  // namespace
}  // namespace kestrom
