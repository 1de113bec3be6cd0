// OpenInit: which panel operations a setup file drives, in which order, and what the history shows.
#include "setup_fixture.h"

namespace kestrom {
namespace {

using test::SetupFilesTest;
using Lines = std::vector<std::string>;

const Lines kAllLoadCalls{"gain 2048",   "chopsource 1",    "choprate 1",  "method chopped",
                          "gain 2048",   "video on",        "threshold 3", "exposure 1600",
                          "badpixels 1", "gaincorrection 0"};

constexpr const char* kFullFile =
    "ChopSource=1\r\nChopRate=1\r\nTriggerMethod=1\r\nPulseLockinOnOff=1\r\nPulsePeriod="
    "250000\r\nVideoTrigger=1\r\n"
    "VideoThreshold=3\r\nExposureTime=1600\r\nBadPixelsOnOff=1\r\nGainValue=2048\r\nGainValueOnOff="
    "0\r\n";

TEST_F(SetupFilesTest, AFileWithOnlyTheGainAppliesItTwiceAndReportsEveryOtherKey) {
    const std::string f = file("gain.setup");
    folder.write("gain.setup", "GainValue=2048\r\n");
    state.current().SettingsChanged = true;
    setup.OpenInit(f);

    EXPECT_EQ(panel.calls, (Lines{"gain 2048", "gain 2048"}));
    EXPECT_EQ(history(), (Lines{
                             "1 Processing setup file: " + f,
                             "1 ChopSource= NOT FOUND in setup file: " + f,
                             "1 ChopRate= NOT FOUND in setup file: " + f,
                             "1 TriggerMethod= NOT FOUND in setup file: " + f,
                             "1 VideoTrigger= NOT FOUND in setup file: " + f,
                             "1 VideoThreshold= NOT FOUND in setup file: " + f,
                             "1 ExposureTime= NOT FOUND in setup file: " + f,
                             "1 BadPixelsOnOff= NOT FOUND in setup file: " + f,
                             "1 GainValueOnOff= NOT FOUND in setup file: " + f,
                         }));
    EXPECT_EQ(state.current().SetupFile, f);
    EXPECT_EQ(setup.saveDialog().initialDirectory, folder.path());
    EXPECT_FALSE(state.current().SettingsChanged);
    EXPECT_FALSE(state.setupLoadInProgress);
}

TEST_F(SetupFilesTest, AFullFileDrivesEveryLoadedKeyInTheLoadOrderWhateverItsLineOrder) {
    folder.write("full.setup", kFullFile);
    setup.OpenInit(file("full.setup"));
    EXPECT_EQ(panel.calls, kAllLoadCalls);
    EXPECT_EQ(history(), Lines{"1 Processing setup file: " + file("full.setup")});
    EXPECT_EQ(panel.loadFlagDuringCalls, std::vector<bool>(kAllLoadCalls.size(), true));
}

// The panel gets the number as the file gives it; ConvertGain clamps 9000 to 4095 and
// SetExposureTime rounds 75 to 50, once each, in the panel.
TEST_F(SetupFilesTest, ValuesReachThePanelAsReadAndTextThatIsNoNumberAsZero) {
    struct Case {
        const char* line;
        const char* call;
    };
    const Case cases[] = {
        {"GainValue=9000", "gain 9000"},       {"ExposureTime=75", "exposure 75"},
        {"ExposureTime=12abc", "exposure 0"},  {"GainValue=99999999999", "gain 0"},
        {"ChopRate=-0", "choprate 0"},         {"TriggerMethod=2", "method chopped"},
        {"TriggerMethod=0", "method pulsed"},  {"VideoTrigger=-1", "video on"},
        {"VideoThreshold=-1", "threshold -1"}, {"BadPixelsOnOff=7", "badpixels 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        panel.calls.clear();
        folder.write("one.setup", std::string(c.line) + "\r\n");
        setup.OpenInit(file("one.setup"));
        EXPECT_NE(std::find(panel.calls.begin(), panel.calls.end(), c.call), panel.calls.end());
    }
}

TEST_F(SetupFilesTest, ALineWithTextBeforeTheKeySuppliesTheValue) {
    folder.write("my.setup", "MyGainValue=5\nGainValue=7\nGainValueOnOff=1\n");
    setup.OpenInit(file("my.setup"));
    EXPECT_EQ(panel.calls, (Lines{"gain 5", "gain 5", "gaincorrection 1"}));
}

TEST_F(SetupFilesTest, AMissingFileWarnsReportsEveryKeyChangesNothingAndIsStillRecorded) {
    const std::string f = file("gone.setup");
    state.current().SetupFile = "/old.setup";
    state.current().SettingsChanged = true;
    setup.OpenInit(f);

    EXPECT_TRUE(panel.calls.empty());
    Lines expected{"1 WARNING setup file does not exist: " + f,
                   "1 The current directory is: " + std::filesystem::current_path().string()};
    for (const char* key :
         {"GainValue=", "ChopSource=", "ChopRate=", "TriggerMethod=", "GainValue=", "VideoTrigger=",
          "VideoThreshold=", "ExposureTime=", "BadPixelsOnOff=", "GainValueOnOff="})
        expected.push_back("1 " + std::string(key) + " NOT FOUND in setup file: " + f);
    EXPECT_EQ(history(), expected);
    EXPECT_EQ(state.current().SetupFile, "/old.setup");
    EXPECT_FALSE(state.current().SettingsChanged);
    EXPECT_EQ(recent()[0], f);
}

// A failed request closes the camera; the load stops before the next step that needs it.
// The second gain step is not guarded, so it still runs after a close during the method step.
TEST_F(SetupFilesTest, ACameraClosedDuringTheLoadStopsItBeforeTheNextGuardedStep) {
    struct Case {
        const char* closingCall;
        std::size_t callsMade;
    };
    const Case cases[] = {
        {"gain 2048", 1}, {"chopsource 1", 2}, {"method chopped", 5},
        {"video on", 6},  {"badpixels 1", 9},
    };
    folder.write("full.setup", kFullFile);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.closingCall);
        state.current().Device = 3;
        state.current().SettingsChanged = true;
        panel.calls.clear();
        panel.onCall = [&](const std::string& call) {
            if (call == c.closingCall) state.current().Device = kNoDevice;
        };
        std::size_t historyBefore = history().size();
        setup.OpenInit(file("full.setup"));
        EXPECT_EQ(panel.calls, Lines(kAllLoadCalls.begin(), kAllLoadCalls.begin() + c.callsMade));
        EXPECT_EQ(history().size(), historyBefore + 1)
            << "only the processing line, no NOT FOUND lines";
        EXPECT_FALSE(state.setupLoadInProgress);
        EXPECT_FALSE(state.current().SettingsChanged);
    }
}

TEST_F(SetupFilesTest, AFixedConfigurationCameraIsLockedBeforeTheKeysUnlessARemoteChangeRuns) {
    folder.write("gain.setup", "GainValue=2048\r\n");
    state.factory.bytes[FactoryInfo::kIBP] = 1;
    setup.OpenInit(file("gain.setup"));
    EXPECT_EQ(panel.calls, (Lines{"lock", "gain 2048", "gain 2048"}));

    panel.calls.clear();
    state.remoteChangeInProgress = true;
    setup.OpenInit(file("gain.setup"));
    EXPECT_EQ(panel.calls, (Lines{"gain 2048", "gain 2048"}));
}

TEST_F(SetupFilesTest, AFileThatIsNoSetupFileAppliesNothingAndSaysWhy) {
    folder.write("photo.setup", std::string("GainValue=5\r\n\x89PNG\x00\x00", 19));
    state.current().SetupFile = "/old.setup";
    setup.OpenInit(file("photo.setup"));
    EXPECT_TRUE(panel.calls.empty());
    ASSERT_EQ(panel.errors.size(), 1u);
    EXPECT_NE(panel.errors[0].find(file("photo.setup")), std::string::npos) << panel.errors[0];
    EXPECT_EQ(history(), Lines{"1 " + panel.errors[0]});
    EXPECT_EQ(state.current().SetupFile, "/old.setup");
    EXPECT_FALSE(state.setupLoadInProgress);
}

TEST_F(SetupFilesTest, ARegistryFailureEndsTheLoadBeforeAnythingIsApplied) {
    std::filesystem::create_directory(config.file("user.reg"));
    folder.write("full.setup", kFullFile);
    state.current().SettingsChanged = true;
    setup.OpenInit(file("full.setup"));
    EXPECT_TRUE(panel.calls.empty());
    EXPECT_EQ(panel.errors.size(), 1u);
    EXPECT_TRUE(history().empty());
    EXPECT_TRUE(state.current().SettingsChanged)
        << "nothing was loaded, so the changes are still unsaved";
    EXPECT_FALSE(state.setupLoadInProgress)
        << "a stuck flag would hold off every later save prompt";
}

TEST_F(SetupFilesTest, TheOpenMenuLoadsTheChosenFileAndACancelLoadsNothing) {
    folder.write("full.setup", kFullFile);
    dialogs.files = {std::nullopt, file("full.setup")};
    setup.FileOpen1Execute();
    EXPECT_TRUE(panel.calls.empty());
    EXPECT_TRUE(recent()[0].empty());
    setup.FileOpen1Execute();
    EXPECT_EQ(panel.calls, kAllLoadCalls);
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[0].filter, "Setup files (*.setup)|*.setup|All files (*.*)|*.*");
    EXPECT_EQ(dialogs.fileDialogs[0].defaultExtension, "setup");
}

}  // namespace
}  // namespace kestrom
