// Setup files as the console window loads and saves them for a camera, and the save prompt.
#include <QAction>
#include <QDir>
#include <QStandardPaths>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "console/camera_tab.h"
#include "console_fixture.h"

namespace kestrom::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

sim::CameraConfig fixedCamera(std::uint16_t serial) {
    sim::CameraConfig c = pulsedCamera(serial);
    c.ibp = true;
    return c;
}

class SetupFileLoad : public ConsoleFixture {
protected:
    std::string write(const std::string& name, const std::string& text) {
        fs::path path = fs::path(configFolder) / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    ConsoleBlock camera0() { return driver->status(0); }
};

TEST_F(SetupFileLoad, TheDialogsStartInTheUsersFolderNotTheProgramsOwn) {
    start({});
    const std::string documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    const std::string expected = !documents.empty() && fs::is_directory(documents) ? documents : QDir::homePath().toStdString();
    EXPECT_EQ(form->setupFiles().openDialog().initialDirectory, expected);
    EXPECT_EQ(form->setupFiles().saveDialog().initialDirectory, expected);
    EXPECT_EQ(QDir::currentPath().toStdString(), expected);
}

TEST_F(SetupFileLoad, ValuesOutOfRangeAreClampedAndRoundedAsTheirControlsDo) {
    start({pulsedCamera()});
    std::string file = write("clamp.setup", "TriggerMethod=0\r\nGainValue=9000\r\nExposureTime=75\r\n");
    form->setupFiles().OpenInit(file);
    EXPECT_EQ(camera0().gain(), 4095);
    EXPECT_EQ(camera0().exposureTime(), 50);
    EXPECT_TRUE(historyHas("1 Exposure time changed from 75 to 50. To comply with increments of 50 rule."));
    EXPECT_TRUE(historyHas("1 Processing setup file: " + file));
    EXPECT_FALSE(form->state().slots[1].SettingsChanged);
    EXPECT_EQ(form->state().slots[1].SetupFile, file);
}

TEST_F(SetupFileLoad, CameraOpenedWithAMissingLastFileWarnsAndKeepsItsSettings) {
    start({pulsedCamera()});
    form->setupFiles().RecordSetupFile("/nonexistent/gone.setup");
    std::int32_t exposure = camera0().exposureTime();
    form->CloseCameraExecute();
    form->OpenCameraExecute();
    std::size_t m = mark();
    form->Timer1Timer();
    auto lines = linesSince(m);
    EXPECT_THAT(lines, Contains("1 WARNING setup file does not exist: /nonexistent/gone.setup"));
    EXPECT_THAT(lines, Contains(HasSubstr("The current directory is: ")));
    EXPECT_THAT(lines, Contains("1 ExposureTime= NOT FOUND in setup file: /nonexistent/gone.setup"));
    EXPECT_EQ(camera0().exposureTime(), exposure);
    EXPECT_FALSE(form->state().slots[1].SettingsChanged);
}

// A console started with nobody at the screen: a camera whose last setup file cannot be read
// says so in a box that waits for nobody, so the start goes on to serve subscribers.
TEST_F(SetupFileLoad, AtStartABadLastSetupFileIsShownWithoutWaitingForAnAnswer) {
    start({pulsedCamera()});
    form->setupFiles().RecordSetupFile(write("binary.setup", std::string("ExposureTime=100\0\x01\x02", 19)));
    form.reset();
    dialogs.boxes.clear();
    startConsole();
    ASSERT_TRUE(form->state().slots[1].hasDevice());
    ASSERT_FALSE(dialogs.boxes.empty()) << "the bad file is reported";
    for (const auto& box : dialogs.boxes) EXPECT_FALSE(box.modal) << box.text;
}

TEST_F(SetupFileLoad, CameraOpenLoadsTheLatestRecordedFile) {
    start({pulsedCamera()});
    std::string file = write("last.setup", "TriggerMethod=0\r\nExposureTime=400\r\n");
    form->setupFiles().RecordSetupFile(file);
    form->CloseCameraExecute();
    form->OpenCameraExecute();
    form->Timer1Timer();
    EXPECT_EQ(camera0().exposureTime(), 400);
    EXPECT_EQ(form->state().slots[1].SetupFile, file);
}

TEST_F(SetupFileLoad, FixedConfigurationCameraIgnoresLockedKeysButTakesGainAndCorrections) {
    start({fixedCamera(901)});
    std::int32_t exposure = camera0().exposureTime();
    std::string file = write("fixed.setup", "GainValue=2048\r\nExposureTime=300\r\nTriggerMethod=0\r\n"
                                            "BadPixelsOnOff=1\r\nGainValueOnOff=1\r\n");
    form->setupFiles().OpenInit(file);
    EXPECT_EQ(camera0().exposureTime(), exposure);
    EXPECT_EQ(camera0().gain(), 2048);
    EXPECT_EQ(camera0().method(), 1);
    EXPECT_EQ(camera0().pixelCorrection(), 1);
}

class SavePrompt : public SetupFileLoad {};

TEST_F(SavePrompt, ChangedSettingsAreOfferedAtCloseAndSavedWithOtherLinesKept) {
    start({pulsedCamera()});
    std::string file = write("mine.setup", "# my notes\r\nExposureTime=100\r\nanything else\r\n");
    form->currentTab()->ExposureTime->setText("250");
    Q_EMIT form->currentTab()->ExposureTime->returnPressed();
    ASSERT_TRUE(form->state().slots[1].SettingsChanged);

    dialogs.answers = {BoxAnswer::Yes};
    dialogs.files = {file};
    form->CloseCameraExecute();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Settings were changed by you or via a settings file.");
    EXPECT_EQ(dialogs.boxes[0].text, "Do you want to save the new settings?");
    std::string saved = read(file);
    EXPECT_EQ(saved.find("# my notes\r\nExposureTime=250\r\nanything else\r\n"), 0u) << saved;
    EXPECT_THAT(saved, HasSubstr("GainValue="));
}

// Unplugged after a request changed its settings: the close is over before the save prompt asks,
// so that meanwhile the camera can come back and be opened again, and is not closed a second time.
TEST_F(SavePrompt, AnUnpluggedCameraIsClosedBeforeThePromptAndStaysReopenedAfterIt) {
    struct WatchedDialogs : ScriptedDialogs {
        std::function<void()> whileAsking;
        BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                             BoxIcon icon) override {
            if (whileAsking && buttons == BoxButtons::YesNo) whileAsking();
            return ScriptedDialogs::messageBox(caption, text, buttons, icon);
        }
    } watched;
    dialogService = &watched;
    start({camera(0, 1234)});
    form->dispatchMessage(subscriber_protocol::kPixelCorrection, 0, 1);
    ASSERT_TRUE(form->state().slots[1].SettingsChanged);

    bool asked = false;
    watched.answers = {BoxAnswer::No};
    watched.whileAsking = [&] {
        asked = true;
        const CameraSlot& slot = form->state().slots[1];
        EXPECT_FALSE(slot.hasDevice());
        EXPECT_EQ(slot.Serial, 0u) << "a serial search must not find the gone camera";
        EXPECT_TRUE(historyHas("1 Camera closed: 1234"));
        // The camera is plugged in again while the box waits; the box's event loop goes on.
        driver->attach(0);
        form->deviceChange(kDevNodesChanged);
    };
    driver->detach(0);
    form->deviceChange(kDevNodesChanged);
    EXPECT_TRUE(asked);

    form->Timer1Timer();
    ASSERT_TRUE(form->state().slots[1].hasDevice()) << "reopened by discovery";
    EXPECT_EQ(form->state().slots[1].Serial, 1234u);
    form->deviceChange(kDevNodesChanged);
    EXPECT_TRUE(form->state().slots[1].hasDevice());
    // The console goes before the boxes it was given.
    form.reset();
    dialogService = &dialogs;
}

TEST_F(SavePrompt, NoPromptAfterALoadUnlessSomethingChangesAfterwards) {
    start({pulsedCamera()});
    std::string file = write("load.setup", "TriggerMethod=0\r\nExposureTime=300\r\n");
    form->setupFiles().OpenInit(file);
    form->CloseCameraExecute();
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SavePrompt, FileThatCannotBeWrittenGetsTheErrorBoxAndTheSettingsStayChanged) {
    start({pulsedCamera()});
    form->currentTab()->ExposureTime->setText("250");
    Q_EMIT form->currentTab()->ExposureTime->returnPressed();
    dialogs.files = {configFolder + "/no/such/folder/x.setup"};
    form->setupFiles().FileSaveAs1Execute();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(form->state().slots[1].SettingsChanged);
}

TEST_F(SavePrompt, WindowPositionAndSoundSwitchSurviveARestart) {
    start({});
    form->move(140, 120);
    form->action("SoundOnOff1")->setChecked(false);
    form.reset();
    startConsole();
    form->show();
    EXPECT_FALSE(form->action("SoundOnOff1")->isChecked());
    EXPECT_EQ(form->x(), 140);
    EXPECT_EQ(form->y(), 120);
    std::ifstream reg(fs::path(configFolder) / "user.reg");
    std::stringstream text;
    text << reg.rdbuf();
    EXPECT_THAT(text.str(), HasSubstr("\"Left\"=dword:0000008c"));
}

}  // namespace
}  // namespace kestrom::testing
