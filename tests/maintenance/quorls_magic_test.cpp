// The factory dialog in a console on deterministic simulated cameras: the ways in (the password and
// the key sequence), the record's exchange with the camera and with files, the switches, the thermal
// table, failures, and a record that survives a restart.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "camera_records/requests.h"
#include "console/camera_tab.h"
#include "console/console_factory.h"
#include "console/password_dialog.h"
#include "console/service_buttons.h"
#include "console_fixture.h"
#include "maintenance/quorls_magic_dialog.h"
#include "platform/device_io.h"

namespace kestrom::testing {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class FactoryDialogTest : public ConsoleFixture {
  protected:
    // The console on the cameras, the first tab shown, and the modal dialogs run by the test: the
    // password box gets `password`, the factory dialog is shown and `inDialog` runs in it.
    void open(std::vector<sim::CameraConfig> cameras = {camera(0, 11)}) {
        start(std::move(cameras));
        showTab(1);
        runner();
    }
    // A thermal camera whose table holds 20, 30 and 40.
    void openThermal() {
        sim::CameraConfig thermal = camera(0, 33);
        thermal.cameraType = 1;
        thermal.thermalTable = {20, 30, 40};
        open({thermal});
    }
    void runner() {
        form->factory().setModalRunner([this](QDialog& d) {
            if (auto* p = dynamic_cast<TPasswordDlg*>(&d)) {
                if (!password) return int(QDialog::Rejected);
                p->Password->setText(QString::fromStdString(*password));
                return int(QDialog::Accepted);
            }
            dlg = dynamic_cast<TQuorlsMagicDialog*>(&d);
            ++shown;
            d.show();
            settle();
            if (inDialog && d.isVisible()) inDialog(*dlg);
            settle();
            const bool stillOpen = d.isVisible();
            if (stillOpen) d.accept();
            closedByItself = !stillOpen;
            return int(QDialog::Accepted);
        });
    }
    void factoryWith(const std::string& typed) {
        password = typed;
        form->cameraTab(form->state().currentSlot)->FactoryButton->click();
    }
    std::size_t requestsOf(std::uint32_t code) const {
        std::size_t n = 0;
        for (const auto& r : driver->requestLog()) n += r.code == code;
        return n;
    }

    std::optional<std::string> password;
    std::function<void(TQuorlsMagicDialog&)> inDialog;
    TQuorlsMagicDialog* dlg = nullptr;
    int shown = 0;
    bool closedByItself = false;
};

TEST_F(FactoryDialogTest, ThePasswordsGrantPrivilegedModeOrTheDialogAndAnyOtherTextRefusesBoth) {
    open();
    TCameraTab* tab = form->cameraTab(1);
    factoryWith("quilter");
    EXPECT_TRUE(form->state().privilegedMode);
    EXPECT_TRUE(historyHas("Welcome master."));
    EXPECT_FALSE(tab->FirmwareButton->isHidden());
    EXPECT_TRUE(tab->LcaButton->isEnabled());
    EXPECT_EQ(shown, 0);

    factoryWith("Wopp");
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(form->state().privilegedMode);  // untouched by the factory password

    factoryWith("QUILTER");
    EXPECT_FALSE(form->state().privilegedMode);
    EXPECT_TRUE(historyHas("No. I don't think so."));
    EXPECT_TRUE(tab->FirmwareButton->isHidden());
    EXPECT_FALSE(tab->LcaButton->isEnabled());

    password.reset();  // Cancel changes nothing
    form->state().privilegedMode = true;
    tab->FactoryButton->click();
    EXPECT_TRUE(form->state().privilegedMode);
    EXPECT_EQ(shown, 1);
}

TEST_F(FactoryDialogTest, TheKeySequenceOnAFocusedFirmwareButtonOpensTheDialog) {
    open();
    QPushButton* firmware = form->cameraTab(1)->FirmwareButton;
    firmware->show();
    firmware->setEnabled(true);
    auto typeOn = [&](const char* keys) {
        for (const char* k = keys; *k; ++k) QTest::keyClick(firmware, static_cast<Qt::Key>(*k));
    };
    typeOn("WOPP");  // not armed yet
    EXPECT_EQ(shown, 0);
    firmware->click();  // the upload's file dialog is cancelled; the sequence is armed
    typeOn("OWOPP");
    EXPECT_EQ(shown, 0);
    firmware->click();
    QTest::keyClick(firmware, Qt::Key_W, Qt::ShiftModifier);
    typeOn("OXP");
    QTest::keyClick(firmware, Qt::Key_P);
    EXPECT_EQ(shown, 1);
    typeOn("P");  // idle again
    EXPECT_EQ(shown, 1);
}

TEST_F(FactoryDialogTest, AnUntouchedRecordSentBackIsTheSame256BytesAndEditsGoInAsSpecified) {
    open();
    driver->editFactory(0, [](FactoryInfo& f) {
        for (std::size_t i : {2u, 3u, 239u, 245u, 247u, 255u}) f.bytes[i] = static_cast<std::uint8_t>(0xA0 + i % 16);
    });
    const FactoryInfo original = driver->factory(0);
    inDialog = [&](TQuorlsMagicDialog& d) {
        EXPECT_EQ(d.SerialNumber->text(), "11");
        d.BitBtn3Click();
        EXPECT_EQ(driver->factory(0).bytes, original.bytes);

        d.SerialNumber->setText("40000");
        d.PulseGain[2]->setText("70000");
        d.DetectorSerialNumber->setText("ABCDEFGHIJKLMNOPQRST");
        d.BPSCheckBox->setChecked(false);
        d.BitBtn3Click();
    };
    factoryWith("Wopp");
    const FactoryInfo sent = driver->factory(0);
    EXPECT_EQ(sent.bytes[0], 0x9C);
    EXPECT_EQ(sent.bytes[1], 0x40);
    EXPECT_EQ(sent.pulseGain(2), 4464);
    EXPECT_EQ(sent.bytes[FactoryInfo::kBPS], 0);
    EXPECT_EQ(sent.text(FactoryInfo::kDetectorSerialText), "ABCDEFGHIJKLMNO");
    // Read back after the write: the controls show what the camera stored.
    EXPECT_EQ(dlg->SerialNumber->text(), "40000");
    EXPECT_EQ(dlg->PulseGain[2]->text(), "4464");
    EXPECT_EQ(dlg->DetectorSerialNumber->text(), "ABCDEFGHIJKLMNO");
    EXPECT_TRUE(form->state().slots[1].SavedAcquireStates.empty());
}

TEST_F(FactoryDialogTest, ErasedAndEightBitRecordsGoBackToTheCameraAndThroughFilesByteForByte) {
    open();
    const std::string folder = configFolder + "/records/";
    fs::create_directories(folder);
    const std::function<void(FactoryInfo&)> records[] = {
        [](FactoryInfo& f) { f.bytes.fill(0xFF); },
        [](FactoryInfo& f) {
            f.setText(FactoryInfo::kDetectorSerialText, "5\xB5m");
            f.setText(FactoryInfo::kReservedAText, "40 \xB0" "C");
            f.bytes[FactoryInfo::kHardwareRevision] = 0xE9;
            f.setFloatLE(FactoryInfo::kHScale, 2e9f);
        },
    };
    for (const auto& make : records) {
        driver->editFactory(0, make);
        const FactoryInfo original = driver->factory(0);
        const std::string bytes(reinterpret_cast<const char*>(original.bytes.data()), FactoryInfo::kSize);
        std::ofstream(folder + "in.FAC", std::ios::binary) << bytes;
        inDialog = [&](TQuorlsMagicDialog& d) {
            d.BitBtn3Click();
            EXPECT_EQ(driver->factory(0).bytes, original.bytes);
            dialogs.files = {folder + "in.FAC"};
            d.BitBtn1Click();
            dialogs.files = {folder + "out.FAC"};
            d.BitBtn2Click();
            EXPECT_EQ(readFile(folder + "out.FAC"), bytes);
        };
        factoryWith("Wopp");
        EXPECT_FALSE(closedByItself);
    }
}

TEST_F(FactoryDialogTest, AFailedThermalRequestClosesTheCameraAndTheDialog) {
    openThermal();
    driver->failNextRequest(0, req::GetTemperatureMap.code, EIO);
    inDialog = [&](TQuorlsMagicDialog& d) { d.BitBtn9Click(); };
    factoryWith("Wopp");
    EXPECT_TRUE(closedByItself);
    EXPECT_TRUE(historyHas("IOCTL_SPC_GET_Temperature_MAP. " + systemErrorText(EIO)));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    EXPECT_TRUE(dlg->thermalTable().empty());
}

TEST_F(FactoryDialogTest, ThermalFilesThatDoNotOpenOrCannotBeReadOrWrittenSayWhatFailed) {
    openThermal();
    const std::string folder = configFolder + "/thermal/";
    fs::create_directories(folder);
    const std::string operations = "Can't perform one of the following file operations: Open, Seek, Read, Close.";
    struct Case {
        void (TQuorlsMagicDialog::*button)();
        std::string path;
        std::string caption, text;
    } cases[] = {
        {&TQuorlsMagicDialog::BitBtn7Click, folder + "absent.txt", "Error",
         "Couldn't open thermal file. The file does not exist."},
        {&TQuorlsMagicDialog::BitBtn8Click, folder + "gone/x.txt", "Error",
         "Couldn't open thermal file. " + systemErrorText(ENOENT)},
        // A regular file that opens and cannot be read.
        {&TQuorlsMagicDialog::BitBtn7Click, "/proc/self/mem", "Temperature File Error", operations},
    };
    inDialog = [&](TQuorlsMagicDialog& d) {
        d.BitBtn9Click();
        for (const Case& c : cases) {
            dialogs.boxes.clear();
            dialogs.files = {c.path};
            (d.*c.button)();
            ASSERT_EQ(dialogs.boxes.size(), 1u) << c.path;
            EXPECT_EQ(dialogs.boxes[0].caption, c.caption) << c.path;
            EXPECT_EQ(dialogs.boxes[0].text, c.text) << c.path;
            EXPECT_EQ(d.thermalTable().used(), 3u) << c.path;  // the table as it was
        }
        // Written in part: the file size limit stops the write after it was created.
        struct rlimit before {};
        getrlimit(RLIMIT_FSIZE, &before);
        const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = before;
        small.rlim_cur = 8;
        setrlimit(RLIMIT_FSIZE, &small);
        dialogs.boxes.clear();
        dialogs.files = {folder + "cut.txt"};
        d.BitBtn8Click();
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, ignored);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].caption, "Temperature File Error");
        EXPECT_EQ(dialogs.boxes[0].text, operations);
        EXPECT_FALSE(fs::exists(folder + "cut.txt"));
    };
    factoryWith("Wopp");
}

TEST_F(FactoryDialogTest, AFieldThatIsNoNumberShowsTheConversionErrorAndSendsNothing) {
    open();
    inDialog = [&](TQuorlsMagicDialog& d) {
        d.DetectorWidth->setText("12a");
        dialogs.boxes.clear();
        d.BitBtn3Click();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, "'12a' is not a valid integer value");
        EXPECT_EQ(requestsOf(req::SetFactoryInformation.code), 0u);
        EXPECT_TRUE(form->state().slots[1].SavedAcquireStates.empty());
        d.BitBtn2Click();  // nor saved
        EXPECT_TRUE(dialogs.fileDialogs.empty());
    };
    factoryWith("Wopp");
}

TEST_F(FactoryDialogTest, TheThermalPanelFollowsTheCameraTypeAndTheTableTravelsToFilesAndBack) {
    openThermal();
    const std::string folder = configFolder + "/thermal/";
    fs::create_directories(folder);
    inDialog = [&](TQuorlsMagicDialog& d) {
        EXPECT_FALSE(d.ThermalPanel->isHidden());
        d.CameraTypeBox->setCurrentIndex(0);
        EXPECT_TRUE(d.ThermalPanel->isHidden());
        d.CameraTypeBox->setCurrentIndex(2);
        EXPECT_TRUE(d.ThermalPanel->isHidden());
        d.CameraTypeBox->setCurrentIndex(1);
        EXPECT_FALSE(d.ThermalPanel->isHidden());

        dialogs.boxes.clear();
        d.BitBtn8Click();  // nothing read yet
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].caption, "Error");
        EXPECT_EQ(dialogs.boxes[0].text, "No data in table");

        d.BitBtn9Click();
        EXPECT_EQ(d.thermalTable().used(), 3u);
        dialogs.files = {folder + "camera.txt"};
        d.BitBtn8Click();
        EXPECT_EQ(readFile(folder + "camera.txt"), "20.00000\r\n30.00000\r\n40.00000\r\n");

        std::ofstream(folder + "new.txt", std::ios::binary) << "1.5\r\n2.25\r\n0.125\r\n";
        dialogs.files = {folder + "new.txt"};
        d.BitBtn7Click();
        EXPECT_EQ(d.thermalTable().entries[2], 0.125f);
        EXPECT_EQ(d.thermalTable().used(), 3u);
        // Each file dialog offers the file the other one chose last.
        EXPECT_EQ(dialogs.fileDialogs.back().fileName, folder + "camera.txt");
        dialogs.files = {std::nullopt};
        d.BitBtn8Click();
        EXPECT_EQ(dialogs.fileDialogs.back().fileName, folder + "new.txt");

        d.BitBtn10Click();
        d.BitBtn9Click();
        EXPECT_EQ(d.thermalTable().entries[1], 2.25f);
        EXPECT_EQ(d.thermalTable().used(), 3u);
        EXPECT_EQ(d.dataDirectory(), folder);
    };
    factoryWith("Wopp");
    EXPECT_EQ(form->registry().value(RegistryHive::CurrentUser, kMagicKey, "DefaultPath"),
              RegistryValue::string(folder));
}

TEST_F(FactoryDialogTest, FactoryFilesSaveTheRecordAndLoadOverItsStartAlsoFromAReadOnlyFile) {
    open();
    const std::string folder = configFolder + "/fac/";
    fs::create_directories(folder);
    inDialog = [&](TQuorlsMagicDialog& d) {
        dialogs.files = {folder + "11.FAC"};
        d.BitBtn2Click();
        EXPECT_EQ(dialogs.fileDialogs.back().defaultExtension, "FAC");
        const std::string saved = readFile(folder + "11.FAC");
        ASSERT_EQ(saved.size(), 256u);
        EXPECT_EQ(saved, std::string(reinterpret_cast<const char*>(d.record().bytes.data()), 256));

        std::ofstream(folder + "short.FAC", std::ios::binary) << std::string("\x9C\x40", 2);
        chmod((folder + "short.FAC").c_str(), 0444);
        dialogs.files = {folder + "short.FAC"};
        d.BitBtn1Click();
        EXPECT_EQ(d.SerialNumber->text(), "40000");
        EXPECT_EQ(d.record().bytes[4], static_cast<std::uint8_t>(saved[4]));

        // Cancelled: an edit is replaced by the record's value.
        d.SerialNumber->setText("5");
        dialogs.files = {std::nullopt};
        d.BitBtn1Click();
        EXPECT_EQ(d.SerialNumber->text(), "40000");

        const std::size_t before = mark();
        dialogs.boxes.clear();
        dialogs.files = {folder + "gone/x.FAC"};
        d.BitBtn2Click();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].caption, "Error");
        EXPECT_EQ(dialogs.boxes[0].text.rfind("Couldn't open output file. ", 0), 0u);
        EXPECT_EQ(linesSince(before), std::vector<std::string>{dialogs.boxes[0].text});
    };
    factoryWith("Wopp");
}

TEST_F(FactoryDialogTest, TheSwitchesShowTheTabsServiceControlsAndSetUpTheCamera) {
    open();
    TCameraTab* tab = form->cameraTab(1);
    inDialog = [&](TQuorlsMagicDialog& d) {
        d.CheckBox1->click();
        EXPECT_FALSE(tab->GainValue->isHidden());
        d.CheckBox2->click();
        EXPECT_FALSE(tab->KillCalibrationButton->isHidden());
        EXPECT_TRUE(tab->KillCalibrationButton->isEnabled());
        d.CheckBox4->click();
        EXPECT_FALSE(tab->OffsetBias->isHidden());
        EXPECT_FALSE(tab->OBLabel->isHidden());
        d.CheckBox3->click();
        EXPECT_EQ(requestsOf(req::SetDebug.code), 1u);
        d.CheckBox1->click();
        EXPECT_TRUE(tab->GainValue->isHidden());
    };
    factoryWith("Wopp");
}

TEST_F(FactoryDialogTest, AFailedRecordReadWritesItsLineClosesTheCameraAndTheDialog) {
    open();
    driver->failNextRequest(0, req::GetFactoryInformation.code, EIO);
    inDialog = [&](TQuorlsMagicDialog& d) { EXPECT_EQ(d.SerialNumber->text(), "0"); };
    factoryWith("Wopp");
    EXPECT_TRUE(closedByItself);
    EXPECT_TRUE(historyHas("IOCTL_SPC_GET_FACTORY_INFORMATION. " + systemErrorText(EIO)));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    EXPECT_FALSE(form->state().slots[1].DevicePath.empty());
}

TEST_F(FactoryDialogTest, AWrittenRecordIsWhatTheConsoleShowsForTheCameraAfterARestart) {
    const std::string state = (fs::temp_directory_path() / ("kestrom-fac-state-" + std::to_string(getpid()))).string();
    fs::remove_all(state);
    sim::Config config;
    config.cameras = {camera(0, 11)};
    config.deterministic = true;
    config.stateDirectory = state;
    driver = std::make_unique<sim::Driver>(config);
    startConsole();
    showTab(1);
    runner();
    inDialog = [&](TQuorlsMagicDialog& d) {
        d.SerialNumber->setText("4321");
        d.HardwareRevLevel->setText("C");
        d.PixelXScale->setText("150");
        d.BitBtn3Click();
    };
    factoryWith("Wopp");

    form.reset();
    driver = std::make_unique<sim::Driver>(config);
    startConsole();
    showTab(1);
    EXPECT_EQ(form->tabCaption(1), "4321");
    EXPECT_EQ(form->cameraTab(1)->SerialDisplay->text(), "4321");
    EXPECT_EQ(form->cameraTab(1)->HardwareRev->text(), "C");
    EXPECT_EQ(form->state().slots[1].Factory.word(FactoryInfo::kPixelXScale), 150);
    fs::remove_all(state);
}

}  // namespace
}  // namespace kestrom::testing
