// TRegUtil and TRegCtl: defaults on reads, errors to the caller on writes, roots and key creation.
#include <cmath>

#include "console/core/reg_ctl.h"
#include "common/reg_util.h"
#include "settings_fixture.h"

namespace kestrom {
namespace {

using test::kRegHeader;
using test::TempFolder;
constexpr const char* kControl = "\\Software\\Vantrel\\Kestrom3\\Control\\";

class RegComponentsTest : public ::testing::Test {
  protected:
    TempFolder folder;
    RegistryStore store{folder.path()};
    void plantUser(const std::string& values) {
        folder.write("user.reg", std::string(kRegHeader) +
                                     "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control]\n" +
                                     values);
    }
};

TEST_F(RegComponentsTest, ReadsGiveTheDefaultForMissingKeysValuesAndOtherTypesAndCreateNothing) {
    TRegUtil util(store, kControl);
    EXPECT_FALSE(util.ValueExists("Left"));
    EXPECT_EQ(util.ReadInteger("Left", 17), 17);
    EXPECT_TRUE(util.ReadBool("SoundOnOff1", true));
    EXPECT_EQ(util.ReadString("1234", "none"), "none");
    EXPECT_FALSE(folder.exists("user.reg")) << "a read opens without creating";

    plantUser(
        "\"Left\"=\"300\"\n\"Sound\"=dword:00000002\n\"Top\"=dword:fffffff6\n\"Name\"=dword:"
        "00000001\n");
    EXPECT_TRUE(util.ValueExists("Left"));
    EXPECT_EQ(util.ReadInteger("Left", 17), 17) << "a text value is not an integer";
    EXPECT_EQ(util.ReadString("Name", "none"), "none") << "a dword is not a text";
    EXPECT_TRUE(util.ReadBool("Sound", false)) << "any nonzero dword is true";
    EXPECT_EQ(util.ReadInteger("Top", 0), -10);
}

TEST_F(RegComponentsTest, WritesRoundTripThroughTheirTypes) {
    TRegUtil util(store, kControl);
    util.WriteBool("SoundOnOff1", false);
    util.WriteInteger("Left", -10);
    util.WriteString("1234", "Bench \"A\" \\ B");
    RegistryStore fresh(folder.path());
    TRegUtil reader(fresh, "software\\vantrel\\kestrom3\\control");
    EXPECT_FALSE(reader.ReadBool("soundonoff1", true));
    EXPECT_EQ(reader.ReadInteger("LEFT", 0), -10);
    EXPECT_EQ(reader.ReadString("1234", ""), "Bench \"A\" \\ B");
    EXPECT_NE(folder.read("user.reg").find("\"SoundOnOff1\"=dword:00000000"), std::string::npos);
}

TEST_F(RegComponentsTest, DoublesAreTextThatReadsBackExactlyAndBadTextGivesTheDefault) {
    TRegUtil util(store, kControl);
    for (double v : {0.1, 1.0 / 3.0, -2.5e-7, 1e300, 42.0, 0.0}) {
        util.WriteDouble("Scale", v);
        EXPECT_EQ(util.ReadDouble("Scale", 99.0), v);
    }
    util.WriteDouble("Scale", 0.1);
    EXPECT_EQ(store.value(RegistryHive::CurrentUser, kControl, "Scale"),
              RegistryValue::string("0.1"));

    struct Case {
        const char* stored;
        double expected;
    };
    for (const Case& c :
         {Case{"\"1.25\"", 1.25}, Case{"\" 2.5 \"", 2.5}, Case{"\"+3\"", 3.0},
          Case{"\"1e-05\"", 1e-05}, Case{"\"abc\"", 99.0}, Case{"\"\"", 99.0},
          Case{"\"1.5x\"", 99.0}, Case{"\"1,5\"", 99.0}, Case{"dword:00000001", 99.0}}) {
        SCOPED_TRACE(c.stored);
        plantUser(std::string("\"Scale\"=") + c.stored + "\n");
        EXPECT_EQ(util.ReadDouble("Scale", 99.0), c.expected);
    }
    EXPECT_EQ(util.ReadDouble("Missing", 0.25), 0.25);
}

TEST_F(RegComponentsTest, RootsSelectTheHiveAndTheMachineHiveRefusesWrites) {
    const std::string system =
        std::string(kRegHeader) +
        "[HKEY_LOCAL_MACHINE\\Software\\Vantrel\\OruPC]\n\"EXEPath\"=\"/opt/oru\"\n";
    folder.write("system.reg", system);
    TRegUtil util(store, "\\Software\\Vantrel\\OruPC");
    EXPECT_EQ(util.RootKey(), hkHKEY_CURRENT_USER);
    EXPECT_EQ(util.ReadString("EXEPath", ""), "");

    util.SetRootKey(hkHKEY_LOCAL_MACHINE);
    EXPECT_EQ(util.ReadString("EXEPath", ""), "/opt/oru");
    EXPECT_THROW(util.WriteString("EXEPath", "/tmp/x"), RegistryError);
    EXPECT_EQ(folder.read("system.reg"), system);

    // A value outside 0..5 changes the property only; the machine hive stays in use.
    util.SetRootKey(9);
    EXPECT_EQ(util.RootKey(), 9);
    EXPECT_EQ(util.ReadString("EXEPath", ""), "/opt/oru");

    // The other roots hold nothing here: reads give defaults, writes fail.
    util.SetRootKey(hkHKEY_USERS);
    EXPECT_FALSE(util.ValueExists("EXEPath"));
    EXPECT_THROW(util.WriteInteger("X", 1), RegistryError);
    EXPECT_FALSE(folder.exists("user.reg"));
}

TEST_F(RegComponentsTest, WriteFailuresReachTheCaller) {
    std::filesystem::create_directory(
        folder.file("user.reg"));  // cannot be read, so is never replaced
    TRegUtil util(store, kControl);
    EXPECT_EQ(util.ReadInteger("Left", 5), 5);
    EXPECT_THROW(util.WriteInteger("Left", 1), RegistryError);
    EXPECT_THROW(util.WriteDouble("Scale", 1), RegistryError);
    TRegCtl ctl(store);
    ctl.RegistryName = kControl;
    ctl.ItemName = "MRL1";
    EXPECT_THROW(ctl.GetItemValue(), RegistryError);
    EXPECT_THROW(ctl.SetItemValue("x"), RegistryError);
}

TEST_F(RegComponentsTest, RegCtlReadingCreatesTheKeyPathAndKeepsTheItemValue) {
    TRegCtl ctl(store);
    ctl.RegistryName = "\\Software\\Vantrel\\Kestrom3\\Control\\4660\\";
    ctl.ItemName = "MRL1";
    EXPECT_EQ(ctl.GetItemValue(), "");
    EXPECT_TRUE(
        store.keyExists(RegistryHive::CurrentUser, "\\Software\\Vantrel\\Kestrom3\\Control\\4660"));
    EXPECT_FALSE(store.value(RegistryHive::CurrentUser,
                             "\\Software\\Vantrel\\Kestrom3\\Control\\4660", "MRL1"))
        << "reading creates the key, not the value";

    ctl.SetItemValue("/setups/a.setup");
    EXPECT_EQ(ctl.ItemValue, "/setups/a.setup");
    ctl.ItemValue.clear();
    EXPECT_EQ(ctl.GetItemValue(), "/setups/a.setup");
    EXPECT_EQ(ctl.ItemValue, "/setups/a.setup");

    // With a Project the item lives in that subkey.
    ctl.Project = "Bench";
    ctl.SetItemValue("/setups/b.setup");
    EXPECT_EQ(store.value(RegistryHive::CurrentUser,
                          "\\Software\\Vantrel\\Kestrom3\\Control\\4660\\Bench", "MRL1"),
              RegistryValue::string("/setups/b.setup"));
    ctl.Project.clear();
    EXPECT_EQ(ctl.GetItemValue(), "/setups/a.setup");

    // An item of another type is a registry error, not an empty text.
    plantUser("\"MRL1\"=dword:00000001\n");
    ctl.RegistryName = kControl;
    EXPECT_THROW(ctl.GetItemValue(), RegistryError);
}

}  // namespace
}  // namespace kestrom
