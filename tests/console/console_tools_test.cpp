// The console's smaller tools on deterministic simulated cameras: the thermal viewer's launch,
// Launch ORU and Launch M², sounds, the alias, the About box, the manual and the clipboard; what
// would be started or played is recorded by the fixture's shell.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "console/about_box.h"
#include "console/alias_dialog.h"
#include "console/camera_tab.h"
#include "console/console_factory.h"
#include "console/console_tools.h"
#include "console/core/registry_keys.h"
#include "console/password_dialog.h"
#include "console/qt_shell.h"
#include "camera_records/requests.h"
#include "platform/device_io.h"
#include "console_fixture.h"

namespace kestrom::testing {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

sim::CameraConfig thermalCamera(std::vector<float> table) {
    sim::CameraConfig c = camera(0, 7001);
    c.cameraType = 1;
    c.thermalTable = std::move(table);
    return c;
}

class ConsoleTools : public ConsoleFixture {
  protected:
    TCameraTab* tab() { return form->currentTab(); }
    void registerProgram(const char* key, const char* value, const std::string& path) {
        form->registry().setValue(RegistryHive::CurrentUser, key, value, RegistryValue::string(path));
    }
    std::size_t boxesWith(const std::string& text) const {
        std::size_t n = 0;
        for (const auto& b : dialogs.boxes) n += b.text == text;
        return n;
    }
};

TEST_F(ConsoleTools, ViewOnAThermalCameraInPulsedOperationStartsNothing) {
    start({thermalCamera({20, 30})});
    showTab(1);
    registerProgram(kKestromKey, "K3TVIEW", "/opt/thermal/viewer");
    tab()->PulseMode->setChecked(true);
    tab()->ViewButton->click();
    EXPECT_EQ(boxesWith("The camera is not in chopped mode."), 1u);
    EXPECT_TRUE(shell.started.empty());
}

TEST_F(ConsoleTools, TheThermalViewerGetsTheSetupFileSerialAndTemperatureFileAlsoWithAnEmptyTable) {
    struct Case {
        std::vector<float> table;
        std::string temperatures;
        bool emptyBox;
    } cases[] = {
        {{20, 40, 60, 0, 80}, "20.00 40.00 60.00 ", false},
        {{0, 5}, "", true},
    };
    for (const Case& c : cases) {
        start({thermalCamera(c.table)});
        showTab(1);
        registerProgram(kKestromKey, "K3TVIEW", "/opt/thermal/viewer");
        tab()->ViewButton->click();
        EXPECT_EQ(boxesWith("No thermal table read from camera."), c.emptyBox ? 1u : 0u);
        ASSERT_EQ(shell.started.size(), 1u);
        EXPECT_EQ(shell.started[0].program, "/opt/thermal/viewer");
        ASSERT_EQ(shell.started[0].arguments.size(), 1u);
        const std::string& line = shell.started[0].arguments[0];
        // No setup file yet: empty, then the serial and the temperature file.
        ASSERT_EQ(line.rfind(",7001,", 0), 0u) << line;
        const std::string file = line.substr(6);
        EXPECT_NE(file.find("/K3T"), std::string::npos);
        EXPECT_EQ(readFile(file), c.temperatures);
        std::remove(file.c_str());
        // The corrections the viewer relies on are on, and the frames flow.
        EXPECT_EQ(driver->status(0).gainCorrection(), 1);
        EXPECT_NE(form->state().slots[1].Thread.load(), nullptr);
        EXPECT_TRUE(form->state().tabChangeAllowed);
        TearDown();
    }
}

TEST_F(ConsoleTools, ATemporaryFolderThatIsNotThereIsSaidAndTheViewerIsNotStarted) {
    start({thermalCamera({20})});
    showTab(1);
    registerProgram(kKestromKey, "K3TVIEW", "/opt/thermal/viewer");
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    setenv("TMPDIR", (configFolder + "/no-such-folder").c_str(), 1);
    tab()->ViewButton->click();
    if (saved.empty()) unsetenv("TMPDIR"); else setenv("TMPDIR", saved.c_str(), 1);
    EXPECT_EQ(boxesWith("Unable to create temporary file."), 1u);
    EXPECT_TRUE(shell.started.empty());
}

TEST_F(ConsoleTools, AFailedTableReadClosesTheCameraKeepsItsPathAndStartsNothing) {
    start({thermalCamera({20})});
    showTab(1);
    registerProgram(kKestromKey, "K3TVIEW", "/opt/thermal/viewer");
    driver->failNextRequest(0, req::GetPulseGainMap.code, EIO);
    tab()->ViewButton->click();
    EXPECT_TRUE(historyHas("1 IOCTL_SPC_GET_PULSE_GAIN_MAP. " + systemErrorText(EIO)));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    EXPECT_FALSE(form->state().slots[1].DevicePath.empty());
    EXPECT_TRUE(shell.started.empty());
}

TEST(QtShell, APathThatIsNoProgramIsRefusedWithItsReason) {
    QtShell shell;
    std::string error;
    EXPECT_FALSE(shell.startProgram("/no/such/program", {}, error));
    EXPECT_EQ(error, "The program \"/no/such/program\" does not exist.");
    const std::string text = (std::filesystem::temp_directory_path() / ("kestrom-not-a-program-" + std::to_string(getpid()))).string();
    std::ofstream(text) << "just text\n";
    std::filesystem::permissions(text, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_FALSE(shell.startProgram(text, {}, error));
    EXPECT_EQ(error, "\"" + text + "\" is not a program.");
    std::filesystem::remove(text);
    EXPECT_FALSE(shell.startProgram("/tmp", {}, error));
    QtSoundPlayer sounds;
    EXPECT_FALSE(sounds.play("/no/such/Good.wav", error));
    EXPECT_EQ(error, "The sound file \"/no/such/Good.wav\" cannot be read.");
}

TEST_F(ConsoleTools, AnUnregisteredThermalViewerOrOruPcIsSaidAndStartsNothing) {
    start({thermalCamera({20}), camera(1, 11)});
    showTab(1);
    tab()->ViewButton->click();
    EXPECT_EQ(boxesWith("The viewer for Kestrom III Thermal is not registered."), 1u);
    showTab(2);
    tab()->EnableOruCheckBox->setEnabled(true);
    tab()->EnableOruCheckBox->setChecked(true);
    EXPECT_EQ(boxesWith("OruPC for Kestrom III is not registered."), 1u);
    EXPECT_TRUE(tab()->EnableOruCheckBox->isChecked());
    EXPECT_TRUE(shell.started.empty());
}

TEST_F(ConsoleTools, LaunchOruStartsTheProgramWithTheSerialWaitsAndUntickingClosesItsWindow) {
    start({camera(0, 11)});
    showTab(1);
    registerProgram(kOruPcKey, "EXEPath", "/opt/oru/OruPC");
    showTab(1);
    const long long waitedBefore = delay.waited;
    tab()->EnableOruCheckBox->setChecked(true);
    ASSERT_EQ(shell.started.size(), 1u);
    EXPECT_EQ(shell.started[0].program, "/opt/oru/OruPC");
    EXPECT_EQ(shell.started[0].arguments, (std::vector<std::string>{"/KesTrom", "/11"}));
    EXPECT_GE(delay.waited - waitedBefore, 15000);
    EXPECT_TRUE(form->state().tabChangeAllowed);
    EXPECT_NE(form->state().slots[1].Thread.load(), nullptr);

    // A program that cannot be started is reported; the box stays ticked.
    shell.startResult = false;
    tab()->EnableOruCheckBox->setChecked(false);
    tab()->EnableOruCheckBox->setChecked(true);
    EXPECT_EQ(boxesWith("cannot be started"), 1u);
}

TEST_F(ConsoleTools, EachLaunchSwitchesAcquisitionOnAlsoWhileTheCamerasThreadRuns) {
    const struct {
        const char* name;
        const char* key;
        QCheckBox* TCameraTab::*box;
    } cases[] = {{"Launch ORU", kOruPcKey, &TCameraTab::EnableOruCheckBox},
                 {"Launch M2", kOruM2Key, &TCameraTab::LaunchM2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        start({camera(0, 11)});
        registerProgram(c.key, "EXEPath", "/opt/analysis/program");
        showTab(1);
        ASSERT_TRUE(form->startAcquisition(1));
        form->acquisition().SetAcquire(0);
        ASSERT_EQ(form->state().slots[1].AcquireState.load(), 0);
        (tab()->*c.box)->setChecked(true);
        ASSERT_EQ(shell.started.size(), 1u);
        EXPECT_EQ(form->state().slots[1].AcquireState.load(), 1);
    }
}

TEST_F(ConsoleTools, UntickingLaunchM2WithoutAWindowOnlySaysSo) {
    start({camera(0, 11)});
    showTab(1);
    registerProgram(kOruM2Key, "EXEPath", "/opt/skeld/Skeld");
    tab()->LaunchM2->setEnabled(true);
    tab()->LaunchM2->setChecked(true);
    EXPECT_TRUE(historyHas("1 open: /opt/skeld/Skeld"));
    const std::size_t before = mark();
    tab()->LaunchM2->setChecked(false);
    EXPECT_EQ(linesSince(before), std::vector<std::string>{"1 No window when launch unchecked. "});
}

TEST_F(ConsoleTools, TheLaunchBoxesAreOfferedOnlyForRegisteredPrograms) {
    start({camera(0, 11), camera(1, 22)});
    registerProgram(kOruPcKey, "EXEPath", "/opt/oru/OruPC");
    showTab(1);
    showTab(2);
    EXPECT_TRUE(tab()->EnableOruCheckBox->isEnabled());
    EXPECT_FALSE(tab()->LaunchM2->isEnabled());
}

// A camera attached when the console starts is opened before the window is shown: its tab must
// come up as that of a camera plugged in later.
TEST_F(ConsoleTools, ACameraOpenedAtStartHasItsLaunchBoxesItsSoundAndItsClipboardCopy) {
    QApplication::clipboard()->clear();
    start({camera(0, 11)});
    EXPECT_FALSE(form->cameraTab(1)->EnableOruCheckBox->isEnabled());
    EXPECT_FALSE(form->cameraTab(1)->LaunchM2->isEnabled());
    EXPECT_EQ(shell.played, std::vector<std::string>{consoleDataFolder() + "/sounds/Good.wav"});
    EXPECT_TRUE(QApplication::clipboard()->text().contains("Camera opened.")) << QApplication::clipboard()->text().toStdString();
}

TEST_F(ConsoleTools, SoundsPlayOnlyWhileTheSwitchIsOnFromTheWorkingFolderOrTheConsolesOwn) {
    start({camera(0, 11)});
    showTab(1);
    form->factory().setModalRunner([](QDialog& d) {
        if (auto* p = dynamic_cast<TPasswordDlg*>(&d)) p->Password->setText("QUILTER");
        return int(QDialog::Accepted);
    });
    QAction* sound = form->action("SoundOnOff1");
    ASSERT_TRUE(sound->isChecked());
    shell.played.clear();
    tab()->FactoryButton->click();
    ASSERT_EQ(shell.played.size(), 1u);
    EXPECT_EQ(shell.played[0], consoleDataFolder() + "/sounds/Failed.wav");

    sound->trigger();
    EXPECT_EQ(sound->text(), "&Sound Off");
    shell.played.clear();
    tab()->FactoryButton->click();
    EXPECT_TRUE(shell.played.empty());
    sound->trigger();
    EXPECT_EQ(sound->text(), "&Sound On");

    // A missing or damaged switch sound is reported; the others fail quietly.
    shell.playResult = false;
    dialogs.boxes.clear();
    form->tools().playSound(".\\Good.wav");
    EXPECT_TRUE(dialogs.boxes.empty());
    form->tools().playSound("On.wav");
    EXPECT_EQ(boxesWith("cannot be played"), 1u);
}

TEST_F(ConsoleTools, TheAliasOfBlanksIsNotStoredAndOneWithBlanksAroundIsStoredAsTyped) {
    start({camera(0, 11)});
    showTab(1);
    std::string typed;
    form->tools().setModalRunner([&](QDialog& d) {
        auto& alias = dynamic_cast<TAliasDialog&>(d);
        EXPECT_EQ(alias.DispSerialNo->text(), "11");
        alias.UsersAliasName->setText(QString::fromStdString(typed));
        return int(QDialog::Accepted);
    });
    typed = "   ";
    form->action("SetAlias1")->trigger();
    EXPECT_EQ(form->tabCaption(1), "11");
    typed = "  Bench  ";
    form->action("SetAlias1")->trigger();
    EXPECT_EQ(form->tabCaption(1), "  Bench  ");
    EXPECT_EQ(form->registry().value(RegistryHive::CurrentUser, "\\Software\\Vantrel\\Kestrom3\\Control", "11"),
              RegistryValue::string("  Bench  "));
}

TEST_F(ConsoleTools, TheAboutBoxShowsTheBuildsVersionAndItsAddressOpensMail) {
    start({camera(0, 11)});
    form->tools().setModalRunner([](QDialog& d) {
        auto& box = dynamic_cast<TAboutBox&>(d);
        EXPECT_EQ(box.windowTitle(), "About");
        EXPECT_EQ(box.Version->text(), QString("Version ") + PROJECT_VERSION_TEXT);
        Q_EMIT box.Contact->linkActivated("mailto:");
        return int(QDialog::Accepted);
    });
    form->action("HelpAboutItem")->trigger();
    EXPECT_EQ(shell.opened, std::vector<std::string>{std::string("mailto:") + kSupportAddress});
}

TEST_F(ConsoleTools, IndexOpensTheManualAndTheHistoryGoesToTheClipboardWhenModeOneChanges) {
    start({camera(0, 11)});
    form->action("Index1")->trigger();
    if (QFile::exists(QString::fromStdString(form->tools().manualPath())))
        EXPECT_EQ(shell.opened, std::vector<std::string>{form->tools().manualPath()});
    else
        EXPECT_EQ(dialogs.boxes.size(), 1u);

    form->state().history.appendRaw("a line for the clipboard");
    form->cameraTab(1)->Mode->setText("7");
    const QString text = QApplication::clipboard()->text();
    EXPECT_TRUE(text.endsWith("a line for the clipboard")) << text.toStdString();
    EXPECT_TRUE(text.contains("\r\n"));
}

}  // namespace
}  // namespace kestrom::testing
