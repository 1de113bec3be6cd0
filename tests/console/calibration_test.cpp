// Calibration with its watch and notices, and the firmware and logic-program uploads.
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "console/camera_tab.h"
#include "console/settings_panel.h"
#include "console_fixture.h"

namespace kestrom::testing {
namespace {

namespace fs = std::filesystem;


class Calibration : public ConsoleFixture {
protected:
    TCameraTab* tab() { return form->currentTab(); }
    TServiceButtons& service() { return form->serviceButtons(); }
    ConsoleBlock camera0() { return driver->status(0); }
    std::vector<std::uint32_t> lengthsOf(std::uint32_t code) {
        std::vector<std::uint32_t> lengths;
        for (const auto& r : driver->requestLog())
            if (r.code == code) lengths.push_back(r.length);
        return lengths;
    }
    std::string file(const std::string& name, std::size_t size) {
        fs::path path = fs::path(configFolder) / name;
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(0xA5));
        return path.string();
    }
};

TEST_F(Calibration, OffsetIsTheChoppedOneOrThePulsedOneOfTheTrackersRange) {
    struct Case {
        bool chopped;
        int tracker;
        int offset;
    };
    for (const Case& c : {Case{true, 350, 2048}, Case{false, 0, 100}, Case{false, 350, 300}, Case{false, 1000, 500}}) {
        start({c.chopped ? camera(0, 777) : pulsedCamera()});
        {
            QSignalBlocker quiet(tab()->GainTracker);
            tab()->GainTracker->setValue(c.tracker);
        }
        service().CalibrateButton1Click();
        EXPECT_EQ(camera0().offset(), c.offset) << c.chopped << " " << c.tracker;
        EXPECT_TRUE(service().CalibrationTimer->isActive());
        EXPECT_FALSE(tab()->CalibrateButton->isEnabled());
        TearDown();
    }
}

TEST_F(Calibration, EndOfCalibrationRestoresTheControlsTakesTheCopyAndTellsEverySubscriberOnce) {
    start({pulsedCamera()});
    std::vector<std::pair<std::intptr_t, std::intptr_t>> notices;
    WindowHandle window = form->messagePort().registerWindow([&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) {
        if (msg == subscriber_protocol::kCalibrationDone) notices.emplace_back(w, l);
        return std::intptr_t{0};
    });
    ASSERT_TRUE(form->startAcquisition(1));
    form->state().slots[1].Thread.load()->addSubscriber(window);

    service().CalibrateButton1Click();
    service().CalibrationTimerTimer();
    EXPECT_EQ(textColour(tab()->CalibrateButton), panel_colour::kRed);
    EXPECT_TRUE(service().CalibrationTimer->isActive());

    driver->advanceTime(sim::kCalibrationMilliseconds + 100);
    service().CalibrationTimerTimer();
    service().CalibrationTimerTimer();  // the timer has stopped; a stray tick sends nothing more
    form->mainThread().runPending();
    EXPECT_FALSE(service().CalibrationTimer->isActive());
    EXPECT_TRUE(tab()->CalibrateButton->isEnabled());
    EXPECT_TRUE(tab()->GainFactor->isEnabled());
    EXPECT_EQ(textColour(tab()->CalibrateButton), panel_colour::kBrightGreen);
    EXPECT_EQ(form->panel().calibrationCopy().offset(), camera0().offset());
    EXPECT_EQ(form->panel().calibrationCopy().gain(), camera0().gain());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], (std::pair<std::intptr_t, std::intptr_t>{0, 1}));
    EXPECT_EQ(form->state().slots[1].AcquireState.load(), 1);
}

// After a calibration the controls are those of the camera's method: the exposure and the lock-in
// choice belong to pulsed operation (a pulsed-only camera needs the calibration for lock-in).
TEST_F(Calibration, AfterTheCalibrationExposureAndLockinFollowTheMethod) {
    const struct {
        const char* name;
        sim::CameraConfig camera;
        bool pulsedControls;
    } cases[] = {{"chopped", camera(0, 777), false}, {"pulsed only", pulsedCamera(), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start({c.camera});
        EXPECT_FALSE(tab()->PulseType->isEnabled()) << "no lock-in before the camera is calibrated";
        service().CalibrateButton1Click();
        driver->advanceTime(sim::kCalibrationMilliseconds + 100);
        service().CalibrationTimerTimer();
        form->NoViewTimerTimer();
        EXPECT_FALSE(service().CalibrationTimer->isActive());
        EXPECT_EQ(tab()->ExposureTime->isEnabled(), c.pulsedControls);
        EXPECT_EQ(tab()->PulseType->isEnabled(), c.pulsedControls);
        TearDown();
    }
}

TEST_F(Calibration, CalibrateOffStopsTheWatchAndLeavesTheButtonDisabled) {
    start({pulsedCamera()});
    service().CalibrateButton1Click();
    service().KillCalibrationButton1Click();
    EXPECT_FALSE(service().CalibrationTimer->isActive());
    EXPECT_FALSE(tab()->CalibrateButton->isEnabled());
    EXPECT_EQ(camera0().statusFlags() & (ConsoleBlock::kBusy | ConsoleBlock::kCalibrationBad), 0u);
    EXPECT_TRUE(form->state().slots[1].Paused.load());
}

TEST_F(Calibration, CameraUnpluggedDuringACalibrationEndsTheWatch) {
    start({pulsedCamera()});
    service().CalibrateButton1Click();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    driver->detach(0);
    service().CalibrationTimerTimer();   // the status read fails and closes the camera
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    EXPECT_FALSE(service().CalibrationTimer->isActive());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Calibration, FirmwareIsPaddedToAMultipleOfFourBytes) {
    std::vector<std::uint8_t> odd(1001, 0xA5);
    std::vector<std::uint8_t> padded = TServiceButtons::firmwareBuffer(odd);
    ASSERT_EQ(padded.size(), 1004u);
    EXPECT_EQ(padded[1000], 0xA5);
    EXPECT_EQ(padded[1001] | padded[1002] | padded[1003], 0);
    EXPECT_EQ(TServiceButtons::firmwareBuffer(std::vector<std::uint8_t>(1000, 1)).size(), 1000u);

    start({pulsedCamera()});
    dialogs.files = {file("a.cod", 1001), file("b.cod", 1000)};
    service().FirmwareButton10Click();
    service().FirmwareButton10Click();
    EXPECT_EQ(lengthsOf(req::SetFirmwareProgram.code), (std::vector<std::uint32_t>{1004, 1000}));
    EXPECT_TRUE(form->state().slots[1].hasDevice());
}

TEST_F(Calibration, LogicProgramGoesAsOneFullBufferAndTheWaitComesEvenWhenCancelled) {
    start({pulsedCamera()});
    dialogs.files = {file("p.asm", 100), std::nullopt};
    long long before = delay.waited;
    service().BitBtn12Click();
    EXPECT_EQ(lengthsOf(req::SetLcaProgram.code), (std::vector<std::uint32_t>{16384}));
    EXPECT_GE(delay.waited - before, 30000);
    before = delay.waited;
    service().BitBtn12Click();
    EXPECT_GE(delay.waited - before, 30000);
    EXPECT_EQ(lengthsOf(req::SetLcaProgram.code).size(), 1u);
}

TEST_F(Calibration, UnreadableTooLongOrEmptyUploadsSendNothing) {
    start({pulsedCamera()});
    dialogs.files = {configFolder + "/missing.cod", file("empty.cod", 0)};
    service().FirmwareButton10Click();
    service().FirmwareButton10Click();
    dialogs.files = {file("long.asm", 16385)};
    service().BitBtn12Click();
    EXPECT_TRUE(lengthsOf(req::SetFirmwareProgram.code).empty());
    EXPECT_TRUE(lengthsOf(req::SetLcaProgram.code).empty());
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[0].caption, "File Error");
    EXPECT_EQ(dialogs.boxes[0].text, "Can't perform one of the following file operations: Open, Seek, Read, Close.");
    EXPECT_TRUE(historyHas("1 Sorry, couldn't read the input file"));
    EXPECT_TRUE(historyHas("1 " + configFolder + "/missing.cod"));
    EXPECT_TRUE(form->state().slots[1].hasDevice());
}

TEST_F(Calibration, AFifoOrAFolderAsUploadIsAFileErrorAtOnce) {
    start({pulsedCamera()});
    std::string fifo = configFolder + "/fifo.cod";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto begin = std::chrono::steady_clock::now();
    dialogs.files = {fifo, configFolder};
    service().FirmwareButton10Click();
    service().FirmwareButton10Click();
    dialogs.files = {fifo};
    service().BitBtn12Click();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_TRUE(lengthsOf(req::SetFirmwareProgram.code).empty());
    EXPECT_TRUE(lengthsOf(req::SetLcaProgram.code).empty());
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    for (const auto& box : dialogs.boxes) EXPECT_EQ(box.caption, "File Error");
    EXPECT_TRUE(historyHas("1 " + fifo));
}

TEST_F(Calibration, FailingUploadClosesTheCameraAndDiscoveryReopensIt) {
    start({pulsedCamera()});
    driver->failNextRequest(0, req::SetFirmwareProgram.code, EIO);
    dialogs.files = {file("a.cod", 8)};
    service().FirmwareButton10Click();
    EXPECT_TRUE(historyHas("1 IOCTL_SPC_SET_FIRMWARE_PROGRAM failed. " + systemErrorText(EIO)));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    form->Timer1Timer();
    EXPECT_TRUE(form->state().slots[1].hasDevice());
}

}  // namespace
}  // namespace kestrom::testing
