// The settings panel against a simulated camera: validation, rounding, lines, colours and the lock.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <cerrno>

#include "console/camera_tab.h"
#include "console/core/gain_model.h"
#include "console_fixture.h"

namespace kestrom::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;


class SettingsPanel : public ConsoleFixture {
protected:
    TCameraTab* tab() { return form->currentTab(); }
    TSettingsPanel& panel() { return form->panel(); }
    ConsoleBlock camera0() { return driver->status(0); }
    void type(QLineEdit* field, const QString& text) {
        field->setText(text);
        Q_EMIT field->returnPressed();
    }
    int countRequests(std::uint32_t code) {
        int n = 0;
        for (const auto& r : driver->requestLog()) n += r.code == code;
        return n;
    }
};

// Opening a camera with maps switches its gain correction on (the method's click handler); the
// refresh after it must not show the switch as it stood before.
TEST_F(SettingsPanel, TheCorrectionSwitchesOfAnOpenedCameraSayWhatTheCameraDoes) {
    start({camera(0, 11)});
    showTab(1);
    ASSERT_EQ(camera0().gainCorrection(), 1);
    EXPECT_EQ(tab()->GainOnOff->text(), "Turn off");
    EXPECT_EQ(tab()->BadPixelOnOff->text(), camera0().pixelCorrection() == 1 ? "Turn off" : "Turn on");
}

TEST_F(SettingsPanel, ExposureTimeIsRoundedToFiftyOrRefused) {
    struct Case {
        const char* typed;
        std::vector<std::string> lines;
        int inCamera;   // 0: nothing sent
    };
    std::vector<Case> cases = {
        {"75",
         {"1 Exposure time changed from 75 to 50. To comply with increments of 50 rule.", "1 Exposure time set to: 50"},
         50},
        {"12800", {"1 Exposure time set to: 12800"}, 12800},
        {"12801", {"1 Specified exposure time invalid: 12801", "1 Must be 50 - 12,800 in increments of 50"}, 0},
        {"49", {"1 Specified exposure time invalid: 49", "1 Must be 50 - 12,800 in increments of 50"}, 0},
    };
    for (const Case& c : cases) {
        start({pulsedCamera()});
        int before = countRequests(req::SetExposureTime.code);
        std::size_t m = mark();
        type(tab()->ExposureTime, c.typed);
        EXPECT_EQ(linesSince(m), c.lines) << c.typed;
        EXPECT_EQ(countRequests(req::SetExposureTime.code) - before, c.inCamera ? 1 : 0) << c.typed;
        if (c.inCamera) {
            EXPECT_EQ(camera0().exposureTime(), c.inCamera);
            EXPECT_EQ(tab()->ExposureTime->text().toInt(), c.inCamera);
            EXPECT_TRUE(form->state().slots[1].SettingsChanged);
        }
        TearDown();
    }
}

TEST_F(SettingsPanel, TextThatIsNotANumberGetsTheErrorBoxAndSendsNothing) {
    start({pulsedCamera()});
    int before = countRequests(req::SetExposureTime.code);
    type(tab()->ExposureTime, "12abc");
    type(tab()->GainFactor, "fast");
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].text, "'12abc' is not a valid integer value");
    EXPECT_EQ(countRequests(req::SetExposureTime.code), before);
    EXPECT_EQ(countRequests(req::SetGain.code), 0);
}

TEST_F(SettingsPanel, GainFactorIsRoundedToOneDecimalAndLimitedToOneToTen) {
    struct Case {
        const char* typed;
        const char* shown;
        const char* box;   // nullptr: accepted
    };
    for (const Case& c : {Case{"10.04", "10.0", nullptr}, Case{"10.06", "?", "Gain factor can't exceed 10"},
                          Case{"0.9", "?", "Gain factor must be 1 or more"}}) {
        start({pulsedCamera()});
        int sent = countRequests(req::SetGain.code);
        type(tab()->GainFactor, c.typed);
        EXPECT_EQ(tab()->GainFactor->text(), c.shown) << c.typed;
        if (c.box) {
            ASSERT_EQ(dialogs.boxes.size(), 1u) << c.typed;
            EXPECT_EQ(dialogs.boxes[0].caption, "User error");
            EXPECT_EQ(dialogs.boxes[0].text, c.box);
            EXPECT_EQ(countRequests(req::SetGain.code), sent) << c.typed;
        } else {
            EXPECT_TRUE(dialogs.boxes.empty());
            EXPECT_EQ(camera0().gain(), 4095);
        }
        TearDown();
    }
}

TEST_F(SettingsPanel, FactorThreeSetsGain1434TrackerThreeHundredAndTheSegmentsOffset) {
    start({pulsedCamera()});
    std::size_t m = mark();
    type(tab()->GainFactor, "3");
    EXPECT_EQ(tab()->GainFactor->text(), "3.0");
    EXPECT_EQ(tab()->GainTracker->value(), 300);
    EXPECT_EQ(camera0().gain(), 1434);
    EXPECT_EQ(camera0().offset(), 300);
    EXPECT_EQ(tab()->OffsetBias->text(), "300");
    EXPECT_EQ(tab()->GainValue->text(), "1434");
    // The tracker's own move sends its gain first; the factor's gain is the one that stays.
    auto lines = linesSince(m);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "1 Setting gain: 1434");
}

TEST_F(SettingsPanel, TrackerMovesDownToTenAndKeepsTheFactorInStep) {
    start({pulsedCamera()});
    tab()->GainTracker->setValue(237);
    // The gain of 230 is sent; converted back it sits just below 230 and the tracker shows 220.
    int gain = gainFromTracker(230, GainTable{{410, 820, 2048, 3276, 4095}, {}});
    EXPECT_EQ(camera0().gain(), gain);
    EXPECT_EQ(tab()->GainTracker->value(), 220);
    EXPECT_EQ(tab()->GainFactor->text(), "2.3");
}

TEST_F(SettingsPanel, RawGainAboveTheRangeMovesTheTrackerToTheTop) {
    start({pulsedCamera()});
    tab()->GainValue->show();
    type(tab()->GainValue, "5000");
    EXPECT_EQ(tab()->GainTracker->value(), 1000);
    EXPECT_EQ(tab()->GainFactor->text(), "10.0");
    EXPECT_EQ(camera0().gain(), 4095);
}

TEST_F(SettingsPanel, OffsetBiasIsClampedTo4095AndLeavesSettingsUnchanged) {
    start({pulsedCamera()});
    form->state().slots[1].SettingsChanged = false;
    tab()->OffsetBias->show();
    type(tab()->OffsetBias, "5000");
    EXPECT_EQ(camera0().offset(), 4095);
    EXPECT_EQ(tab()->OffsetBias->text(), "4095");
    EXPECT_FALSE(form->state().slots[1].SettingsChanged);
}

TEST_F(SettingsPanel, LockinIsAvailableDownToFourHertzOnACalibratedPulsedCamera) {
    struct Case {
        int method;
        int period;
        std::uint32_t flags;
        bool available;
    };
    for (const Case& c : {Case{0, 250000, ConsoleBlock::kCalibrationGood, true},
                          Case{0, 250001, ConsoleBlock::kCalibrationGood, false},
                          Case{0, 250000, ConsoleBlock::kCalibrationBad, true},
                          Case{0, 250000, 0, false}, Case{1, 250000, ConsoleBlock::kCalibrationGood, false}}) {
        start({pulsedCamera()});
        tab()->PulseType->setEnabled(true);
        tab()->PulseType->setCurrentIndex(1);  // lock-in asked for
        form->state().console.setWord(ConsoleBlock::kMethod, c.method);
        form->state().console.setWord(ConsoleBlock::kPulsePeriod, c.period);
        form->state().console.setWord(ConsoleBlock::kStatusFlags, static_cast<std::int32_t>(c.flags));
        form->ShowConsoleBlock();
        EXPECT_EQ(tab()->PulseType->isEnabled(), c.available) << c.period << " " << c.flags;
        if (!c.available) {
            EXPECT_EQ(tab()->PulseType->currentIndex(), 0);
            EXPECT_EQ(camera0().pulseLockin(), 0);  // switched off in the camera too
        }
        TearDown();
    }
}

TEST_F(SettingsPanel, ChoppedOnACameraWithAChopperWaitsUntilItIsNoLongerBusy) {
    sim::CameraConfig c = camera(0, 777);
    start({c});
    tab()->PulseMode->setChecked(true);   // to pulsed first
    driver->advanceTime(sim::kSettleMilliseconds + 100);
    form->NoViewTimerTimer();
    ASSERT_EQ(form->state().console.method(), 0);

    tab()->ChoppedMode->setChecked(true);
    EXPECT_TRUE(panel().chopChangeWait());
    EXPECT_FALSE(tab()->ChopRate->isEnabled());
    EXPECT_FALSE(tab()->CalibrateButton->isEnabled());
    form->NoViewTimerTimer();   // still settling
    EXPECT_TRUE(panel().chopChangeWait());
    driver->advanceTime(sim::kSettleMilliseconds + 100);
    form->NoViewTimerTimer();
    EXPECT_FALSE(panel().chopChangeWait());
    EXPECT_TRUE(tab()->ChopRate->isEnabled());
    EXPECT_TRUE(tab()->CalibrateButton->isEnabled());
}

TEST_F(SettingsPanel, ChoppedWithoutAChopperEnablesTheControlsAtOnce) {
    start({pulsedCamera()});
    tab()->ChoppedMode->setChecked(true);
    EXPECT_FALSE(panel().chopChangeWait());
    EXPECT_TRUE(tab()->ChopRate->isEnabled());
}

TEST_F(SettingsPanel, ChopRateAlreadyInForceStartsNoWait) {
    start({camera(0, 777)});
    driver->advanceTime(sim::kSettleMilliseconds + 100);
    form->NoViewTimerTimer();
    ASSERT_EQ(form->state().console.method(), 1);
    int rate = form->state().console.chopRate();
    tab()->ChopRate->setCurrentIndex(1 - rate);
    EXPECT_TRUE(panel().chopChangeWait());
    driver->advanceTime(sim::kSettleMilliseconds + 100);
    form->NoViewTimerTimer();
    EXPECT_FALSE(panel().chopChangeWait());
    tab()->ChopRate->setCurrentIndex(1 - rate);  // unchanged selection: nothing runs
    panel().ChopRate1Change();                   // the camera's own rate again
    EXPECT_FALSE(panel().chopChangeWait());
}

TEST_F(SettingsPanel, ChoppedModeDigitIsShownWithoutTheMethodSwitchAndDisablesExposure) {
    struct Case {
        int mode;
        bool chopped;
        bool exposure;
    };
    for (const Case& c : {Case{4, true, false}, Case{5, true, false}, Case{3, false, false}, Case{2, false, true}}) {
        start({pulsedCamera()});
        driver->editStatus(0, [&](ConsoleBlock& b) { b.setWord(ConsoleBlock::kMode, c.mode); });
        int sent = countRequests(req::SetTriggerMethod.code);
        ASSERT_TRUE(form->calls().ReadCameraState());
        form->RefreshSettings();
        EXPECT_EQ(tab()->Mode->text(), QString::number(c.mode));
        EXPECT_EQ(tab()->ChoppedMode->isChecked(), c.chopped) << c.mode;
        EXPECT_EQ(tab()->ExposureTime->isEnabled(), c.exposure) << c.mode;
        EXPECT_EQ(countRequests(req::SetTriggerMethod.code), sent) << c.mode;
        EXPECT_FALSE(form->state().slots[1].SettingsChanged);
        TearDown();
    }
}

TEST_F(SettingsPanel, FixedConfigurationCameraIsHeldChoppedAt48HzWithBothCorrections) {
    sim::CameraConfig c = camera(0, 901);
    c.ibp = true;
    start({c});
    ConsoleBlock b = camera0();
    EXPECT_EQ(b.method(), 1);
    EXPECT_EQ(b.chopRate(), 1);
    EXPECT_EQ(b.pixelCorrection(), 1);
    EXPECT_EQ(b.gainCorrection(), 1);
    for (QWidget* w : std::initializer_list<QWidget*>{tab()->ExposureTime, tab()->GainFactor, tab()->GainTracker,
                                                      tab()->PulseType, tab()->ChopRate, tab()->VideoTrigger,
                                                      tab()->BadPixelOnOff, tab()->GainOnOff, tab()->CalibrateButton})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(tab()->PulseMode->isHidden());
    EXPECT_TRUE(form->state().slots[1].Locked);
    EXPECT_FALSE(form->state().slots[1].SettingsChanged);
    EXPECT_FALSE(form->action("Closecamera1")->isEnabled());
    EXPECT_FALSE(form->action("FileOpenItem")->isEnabled());

    form->CloseCameraExecute();
    EXPECT_FALSE(form->state().slots[1].Locked);
}

TEST_F(SettingsPanel, RequestFailingMidOperationClosesTheCameraAndCarriesOnWithMinusOne) {
    start({pulsedCamera()});
    driver->failNextRequest(0, req::SetExposureTime.code, EIO);
    std::size_t m = mark();
    type(tab()->ExposureTime, "100");
    auto lines = linesSince(m);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "1  ShortIO: IOCTL_SPC_SET_EXPOSURE_TIME. " + systemErrorText(EIO));
    EXPECT_TRUE(historyHas("0 Exposure time set to: -1"));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    form->Timer1Timer();
    EXPECT_TRUE(form->state().slots[1].hasDevice());
}

TEST_F(SettingsPanel, CorrectionSwitchesFollowTheCameraAndTurnGreyWithoutAMap) {
    start({camera(0, 777)});
    driver->advanceTime(sim::kSettleMilliseconds + 100);
    form->NoViewTimerTimer();
    QPushButton* gain = tab()->GainOnOff;
    bool mapped = form->state().console.statusFlags() & ConsoleBlock::kChopGainMap;
    ASSERT_TRUE(mapped);
    Q_EMIT gain->clicked();
    EXPECT_EQ(gain->text(), camera0().gainCorrection() ? "Turn off" : "Turn on");
    EXPECT_EQ(textColour(gain), camera0().gainCorrection() ? panel_colour::kGreen : panel_colour::kRed);
    form->state().console.setWord(ConsoleBlock::kStatusFlags, 0);
    panel().GetGainCorrection();
    EXPECT_EQ(textColour(gain), panel_colour::kGrey);
}

TEST_F(SettingsPanel, CtrlClickOnTheLockinRateRevealsTheServiceControls) {
    start({pulsedCamera()});
    panel().PulseLockinPeriod1MouseDown(false);
    EXPECT_TRUE(tab()->FirmwareButton->isHidden());
    panel().PulseLockinPeriod1MouseDown(true);
    for (QWidget* w : std::initializer_list<QWidget*>{tab()->FirmwareButton, tab()->GainValue, tab()->OffsetBias,
                                                      tab()->KillCalibrationButton, form->cameraTab(1)->LcaButton})
        EXPECT_FALSE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_TRUE(tab()->OBLabel->isHidden());
}

TEST_F(SettingsPanel, RefreshThatSendsKeepsSettingsChangedAsItWas) {
    start({pulsedCamera()});
    for (bool before : {false, true}) {
        form->state().slots[1].SettingsChanged = before;
        tab()->PulseType->setEnabled(true);
        tab()->PulseType->setCurrentIndex(1);
        form->state().slots[1].SettingsChanged = before;
        form->RefreshSettings();   // lock-in unavailable: "Auto" is selected and sent
        EXPECT_EQ(form->state().slots[1].SettingsChanged, before);
    }
}

}  // namespace
}  // namespace kestrom::testing

namespace kestrom::testing {
namespace {

TEST_F(SettingsPanel, FieldBeingTypedIntoIsNotOverwrittenByARefresh) {
    start({pulsedCamera()});
    form->show();
    QApplication::setActiveWindow(form.get());
    QLineEdit* offset = tab()->OffsetBias;
    offset->show();
    offset->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(offset->hasFocus()) << "the offscreen platform gave no focus";
    offset->setText("12");   // being typed
    form->state().console.setWord(ConsoleBlock::kOffset, 777);
    form->ShowConsoleBlock();
    EXPECT_EQ(offset->text(), "12");
    // Without the focus the refresh writes the camera's value.
    tab()->ExposureTime->setFocus();
    QApplication::processEvents();
    form->ShowConsoleBlock();
    EXPECT_EQ(offset->text(), "777");
}

}  // namespace
}  // namespace kestrom::testing
