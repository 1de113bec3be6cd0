// Window position and sound switch, camera aliases and the paths of the outside programs.
#include "console/core/console_settings.h"

#include "console/core/registry_keys.h"
#include "settings_fixture.h"

namespace kestrom {
namespace {

using test::kRegHeader;
using test::TempFolder;

class ConsoleSettingsTest : public ::testing::Test {
  protected:
    TempFolder config;
    RegistryStore store{config.path()};
    TRegUtil regUtil1{store, kControlKey};
    TRegCtl regCtl{store};
};

TEST_F(ConsoleSettingsTest, WindowSettingsDefaultToTheWindowAndRoundTripThroughTheUsersHive) {
    const WindowBounds designed{40, 30, 600, 800};
    WindowSettings first = readWindowSettings(regUtil1, designed);
    EXPECT_TRUE(first.soundOn);
    EXPECT_EQ(first.bounds.left, 40);
    EXPECT_EQ(first.bounds.width, 800);

    regUtil1.SetRootKey(hkHKEY_LOCAL_MACHINE);  // left there by an earlier path lookup
    ASSERT_TRUE(
        storeWindowSettings(regUtil1, WindowSettings{false, WindowBounds{-8, 12, 610, 820}}));
    EXPECT_EQ(regUtil1.RootKey(), hkHKEY_CURRENT_USER);
    WindowSettings next = readWindowSettings(regUtil1, designed);
    EXPECT_FALSE(next.soundOn);
    EXPECT_EQ(next.bounds.left, -8);
    EXPECT_EQ(next.bounds.top, 12);
    EXPECT_EQ(next.bounds.height, 610);
    EXPECT_EQ(next.bounds.width, 820);
}

TEST_F(ConsoleSettingsTest, AWindowSettingsFailureAtCloseIsSwallowed) {
    std::filesystem::create_directory(config.file("user.reg"));
    EXPECT_FALSE(storeWindowSettings(regUtil1, WindowSettings{}));
}

TEST_F(ConsoleSettingsTest, TabsShowTheAliasAsTypedOrTheSerialNumber) {
    EXPECT_EQ(cameraTabCaption(regCtl, 4660), "4660");
    EXPECT_FALSE(storeCameraAlias(regCtl, 4660, " \t "));
    EXPECT_EQ(cameraTabCaption(regCtl, 4660), "4660");
    EXPECT_TRUE(storeCameraAlias(regCtl, 4660, "  Bench \"B\"  "));
    EXPECT_EQ(cameraTabCaption(regCtl, 4660), "  Bench \"B\"  ");
    EXPECT_EQ(cameraTabCaption(regCtl, 17), "17");
    EXPECT_EQ(store.value(RegistryHive::CurrentUser, kControlKey, "4660"),
              RegistryValue::string("  Bench \"B\"  "));
}

TEST_F(ConsoleSettingsTest, ProgramPathsComeFromTheMachineFirstThenTheUser) {
    config.write(
        "system.reg",
        std::string(kRegHeader) +
            "[HKEY_LOCAL_MACHINE\\Software\\Vantrel\\OruPC]\n\"EXEPath\"=\"/opt/oru/orupc\"\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Vantrel\\OruM2]\n\"EXEPath\"=\"\"\n");
    config.write(
        "user.reg",
        std::string(kRegHeader) +
            "[HKEY_CURRENT_USER\\Software\\Vantrel\\OruPC]\n\"EXEPath\"=\"/home/u/orupc\"\n"
            "[HKEY_CURRENT_USER\\Software\\Vantrel\\OruM2]\n\"EXEPath\"=\"/home/u/skeld\"\n"
            "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3]\n\"K3TVIEW\"=\"/home/u/k3tview\"\n");
    TRegUtil regUtil2(store, kOruPcKey), regUtil3(store, kOruM2Key);
    EXPECT_EQ(readProgramPath(regUtil2, "EXEPath"), "/opt/oru/orupc");
    EXPECT_EQ(readProgramPath(regUtil3, "EXEPath"), "/home/u/skeld")
        << "empty on the machine: the user's";
    EXPECT_EQ(regUtil2.RootKey(), hkHKEY_CURRENT_USER);

    EXPECT_EQ(thermalViewerPath(regUtil1), "/home/u/k3tview");
    EXPECT_EQ(regUtil1.BaseKey, kControlKey) << "RegUtil1 is moved for the read only";
    EXPECT_EQ(readProgramPath(regUtil1, "K3TVIEW"), "");
}

}  // namespace
}  // namespace kestrom
