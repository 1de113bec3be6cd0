// The Python frame-file reader of the documentation on a frame record and a text log that the
// viewer wrote.
#include <gtest/gtest.h>

#include "frame_test_support.h"
#include "program_run.h"
#include "viewer/core/frame_log.h"

namespace kestrom {
namespace {

// Runs python3 (found on PATH) with the reader and the files; its exit code and all it printed.
std::pair<int, std::string> runReader(const std::vector<std::string>& files) {
    std::vector<std::string> args{"python3", KESTROM_FRAME_FILE_READER};
    args.insert(args.end(), files.begin(), files.end());
    const test::ProgramRun run = test::runProgram(args);
    if (!run.started)
        return {-1, "python3 is not on PATH: the frame-file reader cannot be checked"};
    return {run.exitCode, run.out + run.err};
}

TEST(FrameFileReaderExample, ReadsARecordAndATextLogOfTheViewerInto124By124Pixels) {
    test::TempFolder folder;
    VasprelHeader header = test::liveHeader(2.5e6);
    header.Centroidy = 60.125;
    header.Exclude = 1;
    const FrameBlockBytes block = test::patternBlock(-100);
    ASSERT_EQ(writeFrameRecord(folder.file("saved frame.RAW"), header, block.data()), std::nullopt);
    FrameLog log;
    LogSettings settings;
    settings.logName = folder.file("beam.txt");
    settings.framesLeft = 1;
    ASSERT_EQ(log.start(settings, true), std::nullopt);
    ASSERT_EQ(log.step(block.data(), header, LogTime{}).outcome, FrameLog::Step::Outcome::Written);

    auto [code, text] = runReader({folder.file("saved frame.RAW"), folder.file("beam000001.CSV")});
    ASSERT_EQ(code, 0) << text;
    // Pixel i of the block is i - 100, wrapping at 16 bits: 15375 - 100 at the end.
    const std::string pixels =
        "pixels 124 x 124: first -100 last 15275 min -100 max 15275 sum 116665400\n";
    const char* expectedLines[] = {
        "saved frame.RAW: frame record\n",
        "Version: h2.90\n",
        "DateTime: 0.0\n",
        "Height: 124\n",
        "Width: 124\n",
        "PixelBits: 14\n",
        "PixelHScale: 85.0\n",
        "FrameTotal: 2500000.0\n",
        "Peak: 1250000.0\n",
        "PeakLocx: 7\n",
        "Centroidx: 61.25\n",
        "Centroidy: 60.125\n",
        "Flags: 2\n",
        "AC: 3\n",
        "Exclude: 1\n",
        "header text: 47 lines\n",
        "trailer: 992 bytes\n",
        "beam000001.CSV: frame log\n",
    };
    for (const char* line : expectedLines)
        EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
    std::size_t first = text.find(pixels);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find(pixels, first + 1), std::string::npos)
        << "the text log holds the same pixels\n"
        << text;
}

TEST(FrameFileReaderExample, SaysWhatIsWrongWithAFileThatIsNoFrameFile) {
    test::TempFolder folder;
    folder.write("short.RAW", std::string(1000, 'x'));
    folder.write("bad.CSV", "1,2,3\n\r");
    for (const char* name : {"short.RAW", "bad.CSV"}) {
        auto [code, text] = runReader({folder.file(name)});
        EXPECT_EQ(code, 1) << text;
        EXPECT_NE(text.find("error: " + folder.file(name) + " is not a frame"), std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace kestrom
