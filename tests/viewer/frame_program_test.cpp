// kestrom3-frame run as a program on frame records written by the viewer's writer: the results it
// prints are the ones TResults computes for the loaded frame, as text blocks and as CSV lines;
// files that are no frame records, and bad usage.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <sstream>
#include <string>
#include <vector>

#include "frame_test_support.h"
#include "program_run.h"
#include "results_test_support.h"
#include "viewer/core/frame_header_text.h"
#include "viewer/core/results.h"
#include "viewer/core/second_moment_record.h"

namespace kestrom {
namespace {

using test::Gaussian;

// The results in the order and under the names they are printed, each with the header field it
// shows. The bloom levels have no key in the header text and go by their field names.
struct Printed {
    const char* name;
    std::function<std::string(const VasprelHeader&)> value;
};
Printed shown(const char* name, UnalignedDouble VasprelHeader::*field) {
    return {name, [field](const VasprelHeader& h) { return doubleText(h.*field); }};
}
Printed shown(const char* name, std::int32_t VasprelHeader::*field) {
    return {name, [field](const VasprelHeader& h) { return std::to_string(h.*field); }};
}
using H = VasprelHeader;
const std::vector<Printed> kPrinted = {
    shown("FrameTotal", &H::FrameTotal),
    shown("ApertureTotal", &H::ApertureTotal),
    shown("ApertureFrac", &H::ApertureFrac),
    shown("Peak", &H::Peak),
    shown("Valley", &H::Valley),
    shown("PeakLocx", &H::PeakLocx),
    shown("PeakLocy", &H::PeakLocy),
    shown("Centroidx", &H::Centroidx),
    shown("Centroidy", &H::Centroidy),
    shown("BeamWidthx", &H::BeamWidthx),
    shown("BeamWidthy", &H::BeamWidthy),
    shown("Diameter", &H::Diameter),
    shown("Divergencex", &H::Divergencex),
    shown("Divergencey", &H::Divergencey),
    shown("EffectiveArea", &H::EffectiveArea),
    shown("ZLocation", &H::ZLocation),
    shown("WheelA", &H::WheelA),
    shown("WheelB", &H::WheelB),
    shown("BloomTop", &H::BloomTop),
    shown("BloomBottom", &H::BloomBottom),
    shown("CenterXLoc", &H::CenterXLoc),
    shown("CenterYLoc", &H::CenterYLoc),
    shown("Major", &H::Major),
    shown("Minor", &H::Minor),
};

// A saved frame: a beam on a ground, in a header of its own camera, with stale results that the
// program must not print.
struct SavedBeam {
    Gaussian beam;
    std::int16_t ground;
    std::int32_t pixelBits;
    std::int32_t captureResolution;
    double pitch;  // µm
    std::int32_t zLocation;
};

struct Record {
    VasprelHeader header;
    FrameBlockBytes block;
};

Record recordOf(const SavedBeam& saved) {
    auto frame = test::liveFrame();
    test::fill(*frame, saved.ground);
    test::addGaussian(*frame, saved.beam);
    Record record{*frame->GetHeader(), test::patternBlock(3)};
    std::memcpy(record.block.data(), frame->data(), 2 * frame_block::kPixelCount);
    VasprelHeader& h = record.header;
    h.PixelBits = saved.pixelBits;
    h.CaptureResolution = saved.captureResolution;
    h.PixelHScale = saved.pitch;
    h.PixelVScale = saved.pitch * 1.25;
    h.ZLocation = saved.zLocation;
    h.WheelA = 2;
    h.WheelB = 5;
    h.FrameTotal = 1e9;
    h.Centroidx = -7;
    h.Major = 3;
    return record;
}

// What the viewer shows for the record once loaded: its header, its pixels, TResults over them.
VasprelHeader computedInProcess(const Record& record,
                                WidthMethod method = WidthMethod::KnifeEdge) {
    TResults::Frame frame(frame_block::kHeight, frame_block::kWidth);
    *frame.GetHeader() = record.header;
    frame.CopyPixels(reinterpret_cast<const std::int16_t*>(record.block.data()));
    ScriptedDialogs dialogs;
    TResults results(dialogs);
    results.SetWidthMethod(method);
    results.Compute(&frame);
    return *frame.GetHeader();
}

std::string expectedBlock(const VasprelHeader& h) {
    std::string block;
    for (const Printed& p : kPrinted) block += std::string(p.name) + ": " + p.value(h) + "\n";
    return block;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::vector<SavedBeam> kBeams = {
    {{61.3, 58.7, 7, 5, 16000}, 100, 14, 0, 85, 1200},
    {{30.5, 90.25, 3, 6, 9000}, 0, 12, 1, 42.5, -40},
    {{100, 20, 9, 9, 30000}, -50, 14, 0, 85, 0},
};

test::ProgramRun runFrame(const std::vector<std::string>& args) {
    std::vector<std::string> all{KESTROM_FRAME_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    test::ProgramRun run = test::runProgram(all);
    EXPECT_TRUE(run.started) << KESTROM_FRAME_BINARY;
    return run;
}

class FrameProgram : public ::testing::Test {
  protected:
    // The record of kBeams[i] under name, with the header the viewer would compute for it.
    std::string save(const std::string& name, std::size_t i) {
        const Record record = recordOf(kBeams[i]);
        const std::string path = folder.file(name);
        EXPECT_EQ(writeFrameRecord(path, record.header, record.block.data()), std::nullopt);
        computed.push_back(computedInProcess(record));
        return path;
    }
    test::TempFolder folder;
    std::vector<VasprelHeader> computed;  // in the order saved
};

// One file prints its block alone; several print a "File:" line before each block and an empty
// line between blocks.
TEST_F(FrameProgram, PrintsTheResultsTResultsComputesForEachFile) {
    for (std::size_t files : {1u, 3u}) {
        SCOPED_TRACE(testing::Message() << files << " files");
        computed.clear();
        std::vector<std::string> args{"results"};
        for (std::size_t i = 0; i < files; ++i)
            args.push_back(save("beam" + std::to_string(i) + ".RAW", i));
        const test::ProgramRun run = runFrame(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        std::string expected;
        for (std::size_t i = 0; i < files; ++i) {
            if (i > 0) expected += "\n";
            if (files > 1) expected += "File: " + args[i + 1] + "\n";
            expected += expectedBlock(computed[i]);
        }
        EXPECT_EQ(run.out, expected);
    }
    // The stale results of the saved header are not what is printed.
    EXPECT_NE(double(computed[0].FrameTotal), 1e9);
    EXPECT_GT(computed[0].BeamWidthx, 0);
    EXPECT_EQ(computed[1].ZLocation, -40);
}

// A logged series as CSV: a header line, then one line per file with its path first; a path with
// a comma or a quote is quoted.
TEST_F(FrameProgram, CsvHasAHeaderLineAndOneLinePerFile) {
    const std::vector<std::string> paths = {save("beam000001.RAW", 0),
                                            save("run \"2\", beam000002.RAW", 1)};
    const test::ProgramRun run = runFrame({"results", "--csv", paths[0], paths[1]});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    std::string header = "File";
    for (const Printed& p : kPrinted) header += std::string(",") + p.name;
    std::vector<std::string> expected = {header};
    const std::string quotedSecond = "\"" + folder.path() + "/run \"\"2\"\", beam000002.RAW\"";
    for (std::size_t i = 0; i < 2; ++i) {
        std::string line = i == 0 ? paths[0] : quotedSecond;
        for (const Printed& p : kPrinted) line += "," + p.value(computed[i]);
        expected.push_back(line);
    }
    EXPECT_EQ(linesOf(run.out), expected);
}

// A file that is no frame record among good ones: one line on standard error with the reader's
// message, the good files still printed, status 1; in both forms.
TEST_F(FrameProgram, AFileThatIsNoFrameRecordIsNamedAndTheOthersAreStillDone) {
    folder.write("short.RAW", std::string(1000, 'x'));
    std::filesystem::create_directory(folder.file("a folder.RAW"));
    Record wrongSize = recordOf(kBeams[0]);
    wrongSize.header.Width = 64;
    ASSERT_EQ(
        writeFrameRecord(folder.file("wrong size.RAW"), wrongSize.header, wrongSize.block.data()),
        std::nullopt);
    const std::string first = save("first.RAW", 0), last = save("last.RAW", 2);
    struct Bad {
        const char* name;
        const char* says;  // part of the reader's message
    };
    const Bad bads[] = {{"short.RAW", "it holds 1000 bytes, a frame record 48448"},
                        {"missing.RAW", "No such file or directory"},
                        {"a folder.RAW", "not a regular file"},
                        {"wrong size.RAW", "64 columns, not 124 x 124"}};
    for (const Bad& bad : bads)
        for (bool csv : {false, true}) {
            SCOPED_TRACE(testing::Message() << bad.name << (csv ? " as CSV" : ""));
            const std::string path = folder.file(bad.name);
            std::vector<std::string> args{"results", first, path, last};
            if (csv) args.insert(args.begin() + 1, "--csv");
            const test::ProgramRun run = runFrame(args);
            EXPECT_EQ(run.exitCode, 1);
            const std::optional<std::string> message = readFrameRecord(path).error;
            ASSERT_TRUE(message);
            EXPECT_NE(message->find(bad.says), std::string::npos) << *message;
            EXPECT_EQ(run.err, "kestrom3-frame: " + *message + "\n");
            const std::vector<std::string> lines = linesOf(run.out);
            if (csv) {
                ASSERT_EQ(lines.size(), 3u) << run.out;
                EXPECT_EQ(lines[1].substr(0, first.size() + 1), first + ",");
                EXPECT_EQ(lines[2].substr(0, last.size() + 1), last + ",");
            } else {
                EXPECT_EQ(run.out, "File: " + first + "\n" + expectedBlock(computed[0]) +
                                       "\nFile: " + last + "\n" + expectedBlock(computed[1]));
            }
        }
}

// The size a PNG file says it has, from its header chunk; none for a file that is no PNG.
std::optional<std::pair<int, int>> pngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return std::nullopt;
    auto word = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return std::pair{word(16), word(20)};
}

// A saved beam drawn into a PNG of the size asked for; a file that is no frame record, or a
// picture that cannot be written, is said so with status 1 and leaves no picture.
TEST_F(FrameProgram, RenderDrawsASavedFrameIntoAPicture) {
    const std::string beam = save("beam.RAW", 0);
    test::ProgramRun run = runFrame({"render", beam, "--out", folder.file("beam.png")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(pngSize(folder.read("beam.png")), (std::pair{500, 500}));
    run = runFrame({"render", "--size=320x200", "--palette", "grey", "--scale", "4X", "--zoom", "2",
                    "--cursor", "10,100", "--hide", "results,colorbar", beam, "--out",
                    folder.file("small.png")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(pngSize(folder.read("small.png")), (std::pair{320, 200}));

    folder.write("short.RAW", std::string(10, 'x'));
    run = runFrame({"render", folder.file("short.RAW"), "--out", folder.file("short.png")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "kestrom3-frame: " + *readFrameRecord(folder.file("short.RAW")).error + "\n");
    EXPECT_FALSE(folder.exists("short.png"));
    run = runFrame({"render", beam, "--out", folder.file("no folder/beam.png")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot write \"" + folder.file("no folder/beam.png") + "\""),
              std::string::npos)
        << run.err;
}

// Bad usage shows the usage on standard error with status 2; asking for it shows it on standard
// output with status 0; after "--" every argument is a file.
TEST(FrameProgramUsage, UsageErrorsAndHelp) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;  // the first line on standard error, empty for none
        bool usageOnOut;
    };
    const Case cases[] = {
        {{}, 2, "kestrom3-frame: no command given", false},
        {{"draw", "a.RAW"}, 2, "kestrom3-frame: unknown command \"draw\"", false},
        {{"render", "a.RAW"}, 2, "kestrom3-frame: render needs --out IMAGE.png", false},
        {{"render", "a.RAW", "b.RAW", "--out", "x.png"}, 2, "kestrom3-frame: render takes one frame file", false},
        {{"render", "a.RAW", "--out=x.png", "--scale", "3X"}, 2, "kestrom3-frame: render --scale takes", false},
        {{"render", "a.RAW", "--out"}, 2, "kestrom3-frame: option \"--out\" needs a value", false},
        {{"results"}, 2, "kestrom3-frame: results needs at least one frame file", false},
        {{"results", "--svg", "a.RAW"}, 2, "kestrom3-frame: unknown option \"--svg\"", false},
        {{"--help"}, 0, "", true},
        {{"results", "--help"}, 0, "", true},
        {{"results", "--", "--csv"},
         1,
         "kestrom3-frame: Cannot open file \"--csv\". No such file",
         false},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += " " + a;
        SCOPED_TRACE("kestrom3-frame" + shown);
        const test::ProgramRun run = runFrame(c.args);
        EXPECT_EQ(run.exitCode, c.status);
        const std::vector<std::string> errLines = linesOf(run.err);
        if (*c.err == '\0') {
            EXPECT_EQ(run.err, "");
        } else {
            ASSERT_FALSE(errLines.empty());
            EXPECT_EQ(errLines[0].substr(0, std::strlen(c.err)), c.err);
        }
        const bool usageOnErr = run.err.find("Usage: kestrom3-frame") != std::string::npos;
        EXPECT_EQ(usageOnErr, c.status == 2);
        EXPECT_EQ(run.out.rfind("Usage: kestrom3-frame COMMAND", 0) == 0, c.usageOnOut) << run.out;
        if (!c.usageOnOut && c.status != 0) {
            EXPECT_EQ(run.out, "");
        }
    }
}

// With --method second-moment the widths, centroid and aperture are the second moments' and the
// Iso... lines follow each block (and each CSV line), as the header of the frame computed so
// records them; knife-edge is the default; any other method is bad usage.
TEST_F(FrameProgram, SecondMomentMethodPrintsItsWidthsAndTheIsoLines) {
    const std::string path = save("beam.RAW", 0);
    const VasprelHeader iso = computedInProcess(recordOf(kBeams[0]), WidthMethod::SecondMoment);
    const std::optional<RecordedSecondMoment> recorded = recordedSecondMoment(iso);
    ASSERT_TRUE(recorded);
    const std::string isoLines =
        "IsoCentroidx: " + doubleText(recorded->centroidX) +
        "\nIsoCentroidy: " + doubleText(recorded->centroidY) +
        "\nIsoDiameterMajor: " + doubleText(recorded->major) +
        "\nIsoDiameterMinor: " + doubleText(recorded->minor) +
        "\nIsoAzimuthDeg: " + doubleText(recorded->azimuthDegrees) +
        "\nIsoEllipticity: " + doubleText(recorded->ellipticity) +
        "\nIsoEffectiveDiameter: " + doubleText(recorded->effectiveDiameter) + "\n";
    // The beam is 28 x 20 pixels (sigma 7 x 5) along the axes, centred on 61.3, 58.7.
    EXPECT_NEAR(recorded->major, 28, 0.1);
    EXPECT_NEAR(recorded->minor, 20, 0.1);
    EXPECT_NEAR(recorded->centroidX, 61.3, 0.02);
    EXPECT_NEAR(recorded->centroidY, 58.7, 0.02);

    const test::ProgramRun run = runFrame({"results", "--method", "second-moment", path});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, expectedBlock(iso) + isoLines);
    EXPECT_NE(expectedBlock(iso), expectedBlock(computed[0]));

    const test::ProgramRun knifeEdge = runFrame({"results", "--method=knife-edge", path});
    EXPECT_EQ(knifeEdge.out, expectedBlock(computed[0]));

    const std::vector<std::string> csv =
        linesOf(runFrame({"results", "--csv", "--method", "second-moment", path}).out);
    ASSERT_EQ(csv.size(), 2u);
    EXPECT_NE(csv[0].find(",Minor,IsoCentroidx,IsoCentroidy,IsoDiameterMajor,IsoDiameterMinor,"
                          "IsoAzimuthDeg,IsoEllipticity,IsoEffectiveDiameter"),
              std::string::npos);
    EXPECT_NE(csv[1].find("," + doubleText(recorded->major) + ","), std::string::npos);

    const test::ProgramRun bad = runFrame({"results", "--method", "d4sigma", path});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(linesOf(bad.err).at(0),
              "kestrom3-frame: results --method takes knife-edge or second-moment, not \"d4sigma\"");
}

}  // namespace
}  // namespace kestrom
