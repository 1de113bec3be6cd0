// Against the real console with two cameras: every block carries the records of the camera it is
// about, and a camera that is unplugged is closed and forgotten, whichever tab is shown.
#include <cstring>
#include <filesystem>
#include <fstream>

#include "camera_records/factory_info.h"
#include "running_console.h"

namespace kestrom::test {
namespace {

namespace fs = std::filesystem;

std::uint16_t serialAt(const std::uint8_t* factory) {
    return static_cast<std::uint16_t>(factory[FactoryInfo::kSerialNumber] << 8 | factory[FactoryInfo::kSerialNumber + 1]);
}

struct CameraRecords : RunningConsole {
    // Written beside and renamed over, as editors save.
    void writeCameras(bool firstAttached) {
        const fs::path temporary = dir_ + "/cameras.conf.new";
        std::ofstream(temporary) << "[camera]\ndevice = 0\nserial = 1234\nattached = " << (firstAttached ? "yes" : "no")
                                 << "\n[camera]\ndevice = 1\nserial = 7001\n";
        fs::rename(temporary, dir_ + "/cameras.conf");
    }
    std::string serialList() {
        request(kSerialList, 0, 0);
        return std::string(reinterpret_cast<const char*>(command()));
    }
};

TEST_F(CameraRecords, BlocksCarryTheFoundCamerasFactoryRecordNotThatOfTheCameraReadLast) {
    startConsole({{0, 1234}, {1, 7001}});   // 7001 was opened, and read, last
    std::unique_ptr<ConsoleMapping> block;
    std::vector<std::uint16_t> frameSerials;
    RecordingWindow window(*client, [&](const Message& m) -> std::intptr_t {
        if (m.msg != kConnect) return 0;
        if (!block) block = frameBlock(static_cast<int>(m.l));
        if (block) frameSerials.push_back(serialAt(block->bytes() + kFrameFactoryOffset));
        return 0;
    });
    const std::intptr_t slot = request(kFindSerial, window.handle, 1234);
    ASSERT_NE(slot, 0);
    EXPECT_EQ(serialAt(command()), 1234) << "the command block after the serial search";
    ASSERT_EQ(request(kConnect, window.handle, 0), slot);
    EXPECT_EQ(serialAt(command()), 1234) << "the command block after connect";
    ASSERT_TRUE(pumpUntil([&] { return frameSerials.size() >= 30; }, 5000ms));
    for (std::uint16_t serial : frameSerials) EXPECT_EQ(serial, 1234);
}

TEST_F(CameraRecords, TheShownCameraUnpluggedIsClosedForgottenAndFoundAgainOncePluggedIn) {
    startConsole({{0, 1234}, {1, 7001}});
    RecordingWindow window(*client);
    const std::intptr_t slot = request(kFindSerial, window.handle, 1234);   // shows 1234's tab
    ASSERT_NE(slot, 0);
    ASSERT_EQ(request(kConnect, window.handle, 0), slot);
    ASSERT_TRUE(pumpUntil([&] { return window.frames().size() >= 2; }));

    writeCameras(false);
    const auto closing = [&] {
        for (const Message& m : window.received)
            if (m.msg == kClose && m.l == slot) return true;
        return false;
    };
    EXPECT_TRUE(pumpUntil(closing, 10000ms)) << "no 1330 for the unplugged camera\n" << history();
    EXPECT_EQ(request(kFindSerial, window.handle, 1234), 0) << "a closed slot still names its camera";
    EXPECT_EQ(serialList().find("1234"), std::string::npos) << serialList();

    writeCameras(true);
    ASSERT_TRUE(pumpUntil([&] { return historyCount("Camera opened.") == 3; }, 15000ms)) << history();
    const std::intptr_t again = request(kFindSerial, window.handle, 1234);
    ASSERT_NE(again, 0);
    const std::size_t before = window.frames().size();
    ASSERT_EQ(request(kConnect, window.handle, 0), again);
    EXPECT_TRUE(pumpUntil([&] { return window.frames().size() >= before + 2; })) << "no frame after reopening";
}

}  // namespace
}  // namespace kestrom::test
