// Frame records: their bytes, their header text and its intermediate file, and what reading and
// writing refuse.
#include "viewer/core/frame_record.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <limits>

#include "frame_test_support.h"
#include "viewer/core/frame_header_ini.h"
#include "viewer/core/frame_header_text.h"

namespace kestrom {
namespace {

using test::TempFolder;

// A header whose every keyed field has a value of its own, and whose unkeyed ones are set too.
VasprelHeader everyFieldSet() {
    VasprelHeader h{};
    std::memcpy(h.Version, "h2.90", 6);
    h.Height = h.Width = 124;
    h.PixelBits = 14;
    h.PixelHScale = 85;
    h.PixelVScale = 85.0 / 3;
    h.FrameTotal = 1234567.5;
    h.ApertureTotal = 1e20;
    h.Peak = 16383;
    h.Valley = -12.25;
    h.PeakLocx = 61;
    h.PeakLocy = 62;
    h.Centroidx = 61.5;
    h.Centroidy = 0.1;
    h.BeamWidthx = 1.0 / 3;
    h.BeamWidthy = 20;
    h.Diameter = -0.000012345;
    h.EffectiveArea = 2.5;
    h.ZLocation = -7;
    h.WheelA = 1;
    h.FilterA = 9;
    h.WheelB = 2;
    h.FilterB = 9;
    h.BloomTop = h.BloomBottom = 9;
    h.FlagFail = -1;
    h.FlagFrameTotal = 1;
    h.FlagEffectiveArea = -1;
    h.CenterXLoc = h.CenterYLoc = 62;
    h.Major = h.Minor = 124;
    h.Flags = 2;
    h.AC = -5;
    h.RS = 8;
    h.unused284 = 9;
    h.Mean = 0.5;
    h.Deviation = 2;
    h.Exclude = 1;
    return h;
}

const char* const kEveryFieldText =
    "[Header]\r\n"
    "Version=h2.90\r\nDateTime=1899-12-30\r\nHeight=124\r\nWidth=124\r\nPixelBits=14\r\n"
    "CaptureResolution=0\r\nPixelHScale=85\r\nPixelVScale=28.3333333333333\r\nInterlaced=0\r\n"
    "FrameTotal=1234567.5\r\nApertureTotal=1e+20\r\nApertureFrac=0\r\nPeak=16383\r\nValley=-12."
    "25\r\n"
    "PeakLocx=61\r\nPeakLocy=62\r\nCentroidx=61.5\r\nCentroidy=0.1\r\nBeamWidthx=0."
    "333333333333333\r\n"
    "BeamWidthy=20\r\nDiameter=-1.2345e-05\r\nDivergencex=0\r\nDivergencey=0\r\nEffectiveArea=2."
    "5\r\n"
    "ZLocation=-7\r\nWheelA=1\r\nWheelB=2\r\nFlagPass=0\r\nFlagFail=-1\r\nFlagFrameTotal=1\r\n"
    "FlagBeamWidthx=0\r\nFlagBeamWidthy=0\r\nFlagDivergencex=0\r\nFlagDivergencey=0\r\n"
    "FlagEffectiveArea=-1\r\nCenterXLoc=62\r\nCenterYLoc=62\r\nMajor=124\r\nMinor=124\r\nFlags="
    "2\r\n"
    "AC=-5\r\nRS=8\r\nMean=0.5\r\nDeviation=2\r\nExclude=1\r\n"
    "\r\n";

TEST(FrameRecordWrite, ARecordIsItsTextThenZerosToTheHeaderThenTheWholeFrameBlock) {
    TempFolder folder;
    const VasprelHeader header = everyFieldSet();
    const FrameBlockBytes block = test::patternBlock(11);
    ASSERT_EQ(writeFrameRecord(folder.file("beam.RAW"), header, block.data()), std::nullopt);

    const std::string record = folder.read("beam.RAW");
    ASSERT_EQ(record.size(), 48448u);
    const std::string text = kEveryFieldText;
    EXPECT_EQ(record.substr(0, text.size()), text);
    EXPECT_EQ(record.find_first_not_of('\0', text.size()), 16384u) << "zeros up to the raw header";
    EXPECT_EQ(std::memcmp(record.data() + 16384, &header, 320), 0);
    EXPECT_EQ(std::memcmp(record.data() + 16704, block.data(), 30752), 0) << "pixels";
    EXPECT_EQ(std::memcmp(record.data() + 47456, block.data() + 30752, 992), 0) << "trailer";
    // The intermediate file holds the same text and stays beside the record.
    EXPECT_EQ(folder.read("FrameHeader"), text);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"FrameHeader", "beam.RAW"}));
}

TEST(FrameHeaderText, ValuesTakeTheirWrittenForms) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double value;
        const char* asDouble;
        const char* asDate;
    };
    const Case cases[] = {
        {0, "0", "1899-12-30"},
        {1.5, "1.5", "1899-12-31 12:00:00"},
        {45000.25, "45000.25", "2023-03-15 06:00:00"},
        {-1.25, "-1.25", "1899-12-29 06:00:00"},  // the time of a day before day 0 counts forward
        {2958465.5, "2958465.5", "9999-12-31 12:00:00"},
        {2958466, "2958466", "2958466"},  // past year 9999: no date, the number
        {123456789012345678.0, "1.23456789012346e+17", "1.23456789012346e+17"},
        {nan, "nan", "nan"},
        {std::numeric_limits<double>::infinity(), "inf", "inf"},
        {1.0 / 86400 / 3, "3.85802469135802e-06",
         "1899-12-30 00:00:00"},  // only exact midnight has no time
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asDouble);
        EXPECT_EQ(doubleText(c.value), c.asDouble);
        EXPECT_EQ(dateTimeText(c.value), c.asDate);
    }
}

// A header loaded from a file may hold anything: the text stays one line per key.
TEST(FrameHeaderText, AVersionWithoutNulOrWithLineBreaksStaysOnItsLine) {
    VasprelHeader h{};
    std::memcpy(h.Version, "ABCDEFGH", 8);
    h.Height = 1;  // right after the version
    h.Exclude = 200;
    auto values = frameHeaderValues(h);
    ASSERT_EQ(values.size(), 45u);
    EXPECT_EQ(values.front(), (std::pair<std::string, std::string>{"Version", "ABCDEFGH"}));
    EXPECT_EQ(values.back(), (std::pair<std::string, std::string>{"Exclude", "1"}));
    std::memcpy(h.Version, "a\r\n[x]\0", 8);
    EXPECT_EQ(frameHeaderValues(h).front().second, "a??[x]");
}

// The intermediate file is read first: its other sections and keys stay, the header's keys are
// replaced where they stand (whatever their case) and the missing ones added.
TEST(FrameHeaderIntermediateFile, IsReadFirstItsHeaderKeysReplacedAndTheRestKept) {
    TempFolder folder;
    folder.write("FrameHeader",
                 "; a comment\r\n[Other]\r\nKeep=1\r\n\r\n[header]\nheight = 5\nOwn=x\n");
    const VasprelHeader header = everyFieldSet();
    ASSERT_EQ(writeFrameRecord(folder.file("a.RAW"), header, test::patternBlock(0).data()),
              std::nullopt);

    const std::string text = folder.read("FrameHeader");
    const std::string fresh = kEveryFieldText;
    std::string expectedHeaderLines = fresh.substr(fresh.find("Version="));
    expectedHeaderLines.erase(expectedHeaderLines.find("Height=124\r\n"), 12);
    EXPECT_EQ(text,
              "[Other]\r\nKeep=1\r\n\r\n[header]\r\nHeight=124\r\nOwn=x\r\n" + expectedHeaderLines);
    EXPECT_EQ(folder.read("a.RAW").substr(0, text.size()), text);

    // The viewer removes it from its data directory when it closes; without one nothing happens.
    removeFrameHeaderFile(folder.path() + "/");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.RAW"});
    removeFrameHeaderFile(folder.path() + "/");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.RAW"});
}

TEST(FrameHeaderIntermediateFile,
     WhatIsNoTextOfOursOrWouldNotFitIsReplacedByTheHeaderSectionAlone) {
    const VasprelHeader header = everyFieldSet();
    struct Case {
        const char* name;
        std::string earlier;
    };
    const Case cases[] = {
        {"binary", std::string("[Header]\r\nX=\0\1\2", 15)},
        {"larger than the text's place", "[Other]\r\n" + std::string(20000, 'k') + "\r\n"},
        {"fits, but not with the keys added", "[Other]\r\n" + std::string(16000, 'k') + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.write("FrameHeader", c.earlier);
        ASSERT_EQ(writeFrameRecord(folder.file("a.RAW"), header, test::patternBlock(0).data()),
                  std::nullopt);
        EXPECT_EQ(folder.read("FrameHeader"), kEveryFieldText);
        const std::string record = folder.read("a.RAW");
        ASSERT_EQ(record.size(), 48448u);
        EXPECT_EQ(std::memcmp(record.data() + 16384, &header, 320), 0);
    }

    TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.file("FrameHeader").c_str(), 0600), 0);
    ASSERT_EQ(writeFrameRecord(folder.file("a.RAW"), header, test::patternBlock(0).data()),
              std::nullopt)
        << "a FIFO under the name neither blocks nor stops the write";
    EXPECT_EQ(folder.read("FrameHeader"), kEveryFieldText);
}

TEST(FrameRecordRead, AWholeRecordIsReadBackByteForByte) {
    TempFolder folder;
    VasprelHeader header = everyFieldSet();
    const FrameBlockBytes block = test::patternBlock(-300);
    // Spaces and characters beyond ASCII in folder and file names.
    std::filesystem::create_directory(folder.file("Mess daten ü"));
    const std::string path = folder.file("Mess daten ü/Strahl Nr. 1 – é.RAW");
    ASSERT_EQ(writeFrameRecord(path, header, block.data()), std::nullopt);
    EXPECT_TRUE(std::filesystem::exists(folder.file("Mess daten ü/FrameHeader")));

    FrameRecordRead read = readFrameRecord(path);
    ASSERT_EQ(read.error, std::nullopt);
    EXPECT_EQ(std::memcmp(&read.header, &header, 320), 0);
    EXPECT_EQ(read.block, block);
}

// What is not a whole record of a 124 x 124 frame is refused with a message naming the file.
TEST(FrameRecordRead, WhatIsNotAWholeFrameRecordIsRefusedWithItsReason) {
    TempFolder folder;
    const std::string good =
        composeFrameRecord(kEveryFieldText, everyFieldSet(), test::patternBlock(1).data());
    VasprelHeader wide = everyFieldSet();
    wide.Width = 1000;
    folder.write("empty.RAW", "");
    folder.write("short.RAW", good.substr(0, 16704 + 100));
    folder.write("one short.RAW", good.substr(0, 48447));
    folder.write("one long.RAW", good + "x");
    folder.write("twice.RAW", good + good);
    folder.write("wide.RAW", composeFrameRecord("", wide, test::patternBlock(1).data()));
    folder.write("zeros.RAW", std::string(48448, '\0'));
    folder.write("text.RAW", std::string(48448, 'x'));
    ASSERT_EQ(::mkfifo(folder.file("fifo.RAW").c_str(), 0600), 0);
    std::filesystem::create_directory(folder.file("folder.RAW"));

    struct Case {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {
        {"missing.RAW", "Cannot open file \"%\". No such file or directory"},
        {"fifo.RAW", "Cannot open file \"%\". not a regular file"},
        {"folder.RAW", "Cannot open file \"%\". not a regular file"},
        {"empty.RAW", "\"%\" is not a frame file: it is empty"},
        {"short.RAW", "\"%\" is not a frame file: it holds 16804 bytes, a frame record 48448"},
        {"one short.RAW", "\"%\" is not a frame file: it holds 48447 bytes, a frame record 48448"},
        {"one long.RAW",
         "\"%\" is not a frame file: it is longer than a frame record (48448 bytes)"},
        {"twice.RAW", "\"%\" is not a frame file: it is longer than a frame record (48448 bytes)"},
        {"wide.RAW",
         "\"%\" is not a frame file: its header gives 124 rows and 1000 columns, not 124 x 124"},
        {"zeros.RAW",
         "\"%\" is not a frame file: its header gives 0 rows and 0 columns, not 124 x 124"},
        {"text.RAW",
         "\"%\" is not a frame file: its header gives 2021161080 rows and 2021161080 columns, not "
         "124 x 124"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string expected = c.reason;
        expected.replace(expected.find('%'), 1, folder.file(c.name));
        FrameRecordRead read = readFrameRecord(folder.file(c.name));
        EXPECT_EQ(read.error, expected);
    }
}

TEST(FrameRecordWrite, AWriteThatCannotCompleteLeavesTheEarlierFileWholeAndNoTemporaryFile) {
    TempFolder folder;
    const std::string path = folder.file("beam.RAW");
    ASSERT_EQ(writeFrameRecord(path, everyFieldSet(), test::patternBlock(1).data()), std::nullopt);
    const std::string before = folder.read("beam.RAW");

    std::optional<std::string> error;
    {
        test::FileSizeLimit limit(20000);  // room for the header text, not for a record
        error = writeFrameRecord(path, test::liveHeader(5), test::patternBlock(2).data());
    }
    EXPECT_EQ(error, "Cannot write file \"" + path + "\". File too large");
    EXPECT_EQ(folder.read("beam.RAW"), before);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"FrameHeader", "beam.RAW"}));
}

TEST(FrameRecordWrite, AFolderOrNameThatCannotTakeTheFileIsReportedAndNothingIsLeftBehind) {
    TempFolder folder;
    folder.write("plain file", "x");
    std::filesystem::create_directory(folder.file("taken.RAW"));
    struct Case {
        std::string path;
        std::string error;
    };
    const Case cases[] = {
        {folder.file("missing/beam.RAW"), "Cannot create file \"" +
                                              folder.file("missing/FrameHeader") +
                                              "\". No such file or directory"},
        {folder.file("plain file/beam.RAW"),
         "Cannot create file \"" + folder.file("plain file/FrameHeader") + "\". Not a directory"},
        {folder.file("taken.RAW"),
         "Cannot create file \"" + folder.file("taken.RAW") + "\". Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(writeFrameRecord(c.path, everyFieldSet(), test::patternBlock(1).data()), c.error);
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"FrameHeader", "plain file", "taken.RAW"}));
    EXPECT_TRUE(std::filesystem::is_empty(folder.file("taken.RAW")));
}

TEST(FrameRecordWrite, AReadOnlyFolderIsReportedAndKeepsItsFiles) {
    if (::geteuid() == 0)
        GTEST_SKIP()
            << "runs as root, for whom folder permissions do not refuse writes; the missing "
               "folder and the full disk cover the failed write";
    TempFolder folder;
    ASSERT_EQ(
        writeFrameRecord(folder.file("beam.RAW"), everyFieldSet(), test::patternBlock(1).data()),
        std::nullopt);
    const std::string before = folder.read("beam.RAW");
    std::filesystem::permissions(
        folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    auto error = writeFrameRecord(folder.file("beam.RAW"), test::liveHeader(1),
                                  test::patternBlock(2).data());
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(error,
              "Cannot create file \"" + folder.file("FrameHeader") + "\". Permission denied");
    EXPECT_EQ(folder.read("beam.RAW"), before);
}

}  // namespace
}  // namespace kestrom
