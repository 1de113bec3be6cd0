// What the view window remembers per camera, kept under the camera's serial text.
#include "viewer/core/viewer_settings.h"

#include <gtest/gtest.h>

#include "settings_fixture.h"

namespace kestrom {
namespace {

TEST(ViewerSettings, RoundTripPerCameraInOneWrite) {
    test::TempFolder folder;
    RegistryStore store(folder.path());
    ViewerSettings s;
    s.dataPath = "/data/beams/";
    s.left = -20;
    s.top = 40;
    s.height = 600;
    s.width = 500;
    s.results = s.cursor = s.colorBar = s.hasLens = true;
    s.showColor = false;
    s.widthMethod = 1;
    s.statisticsFrames = 500;
    EXPECT_EQ(writeViewerSettings(store, "1234", s), std::nullopt);
    EXPECT_EQ(readViewerSettings(store, "1234", ViewerSettings{}), s);
    // Another camera has its own key and starts from the defaults.
    EXPECT_EQ(readViewerSettings(store, "4660", ViewerSettings{}), ViewerSettings{});
    EXPECT_NE(folder.read("user.reg").find("[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Viewer\\1234]"),
              std::string::npos);
}

TEST(ViewerSettings, ValuesOfAnotherTypeKeepTheirDefaults) {
    test::TempFolder folder;
    folder.write("user.reg",
                 "Windows Registry Editor Version 5.00\r\n\r\n"
                 "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Viewer\\1234]\r\n"
                 "\"Left\"=\"far left\"\r\n\"Results\"=\"yes\"\r\n\"DataPath\"=dword:00000001\r\n"
                 "\"Top\"=dword:0000000c\r\n\"WidthMethod\"=dword:00000002\r\n"
                 "\"StatisticsFrames\"=dword:00000000\r\n");
    RegistryStore store(folder.path());
    ViewerSettings defaults;
    defaults.left = 7;
    defaults.dataPath = "/x/";
    const ViewerSettings s = readViewerSettings(store, "1234", defaults);
    EXPECT_EQ(s.left, 7);
    EXPECT_FALSE(s.results);
    EXPECT_EQ(s.dataPath, "/x/");
    EXPECT_EQ(s.top, 12);
    // Numbers this version does not know.
    EXPECT_EQ(s.widthMethod, 0);
    EXPECT_EQ(s.statisticsFrames, 100);
}

TEST(ViewerSettings, AFailedWriteIsReportedAndWritesNothing) {
    test::TempFolder folder;
    RegistryStore store(folder.path() + "/missing/and/a/file");
    folder.write("missing", "a file where the folder should be");
    EXPECT_NE(writeViewerSettings(store, "1234", ViewerSettings{}), std::nullopt);
}

}  // namespace
}  // namespace kestrom
