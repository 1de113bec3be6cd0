// "&Save data" then "&Load data": the frame comes back whole, except that the header keeps its own
// AC.
#include "viewer/core/frame_data_load.h"

#include <gtest/gtest.h>

#include "camera_records/byte_order.h"
#include "frame_test_support.h"
#include "viewer/core/vasprel_frame.h"

namespace kestrom {
namespace {

using test::TempFolder;

// The view window's side of a load: its frame container and frame buffer, and per-frame processing
// that does what the live path does to the header (the AC word from the trailer).
struct Viewer {
    TVasprelFrame<std::int16_t> frame{124, 124};
    FrameBlockBytes frameBuffer = test::patternBlock(500);
    int processed = 0;
    VasprelHeader seenHeader{};
    FrameBlockBytes seenBuffer{};

    std::function<void()> processing() {
        return [this] {
            ++processed;
            seenHeader = *frame.GetHeader();
            seenBuffer = frameBuffer;
            frame.GetHeader()->AC =
                static_cast<std::int32_t>(readBE32(frameBuffer.data() + 30752 + 84));
        };
    }
};

TEST(FrameDataLoad, ALoadedFrameHasTheSavedHeaderAndBufferButKeepsItsAc) {
    TempFolder folder;
    const VasprelHeader saved = test::liveHeader(98765.25);
    const FrameBlockBytes savedBlock = test::patternBlock(7);
    ASSERT_EQ(writeFrameRecord(folder.file("frame.RAW"), saved, savedBlock.data()), std::nullopt);

    Viewer viewer;
    *viewer.frame.GetHeader() = test::liveHeader(1);
    viewer.frame.GetHeader()->AC = 77;
    ASSERT_EQ(loadFrameData(folder.file("frame.RAW"), *viewer.frame.GetHeader(), viewer.frameBuffer,
                            viewer.processing()),
              std::nullopt);

    EXPECT_EQ(viewer.processed, 1);
    // Processing ran on the loaded header and buffer.
    EXPECT_EQ(std::memcmp(&viewer.seenHeader, &saved, sizeof saved), 0);
    EXPECT_EQ(viewer.seenBuffer, savedBlock);
    VasprelHeader expected = saved;
    expected.AC = 77;
    EXPECT_EQ(std::memcmp(viewer.frame.GetHeader(), &expected, sizeof expected), 0);
    EXPECT_EQ(viewer.frameBuffer, savedBlock);
}

TEST(FrameDataLoad, AFileThatIsNoFrameRecordChangesNothingAndIsNotProcessed) {
    TempFolder folder;
    ASSERT_EQ(writeFrameRecord(folder.file("frame.RAW"), test::liveHeader(3),
                               test::patternBlock(3).data()),
              std::nullopt);
    std::string cut = folder.read("frame.RAW");
    cut.resize(30000);  // the header is there, half the pixels are not
    folder.write("cut.RAW", cut);

    Viewer viewer;
    const VasprelHeader header = test::liveHeader(42);
    *viewer.frame.GetHeader() = header;
    const FrameBlockBytes buffer = viewer.frameBuffer;
    auto error = loadFrameData(folder.file("cut.RAW"), *viewer.frame.GetHeader(),
                               viewer.frameBuffer, viewer.processing());
    EXPECT_EQ(error, "\"" + folder.file("cut.RAW") +
                         "\" is not a frame file: it holds 30000 bytes, a frame record 48448");
    EXPECT_EQ(viewer.processed, 0);
    EXPECT_EQ(std::memcmp(viewer.frame.GetHeader(), &header, sizeof header), 0);
    EXPECT_EQ(viewer.frameBuffer, buffer);
}

}  // namespace
}  // namespace kestrom
