// The panel follows the camera: the rules of every status refresh, the full refresh at open,
// and the lock that holds a fixed-configuration camera at its operating point.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "camera_link/scoped_value.h"
#include "console/camera_tab.h"
#include "console/core/gain_model.h"
#include "common/number_text.h"
#include "console/settings_panel.h"

namespace kestrom {

namespace {
bool calibrating(std::uint32_t flags) {
    return flags & (ConsoleBlock::kCalibrationGood | ConsoleBlock::kCalibrationBad);
}
}  // namespace

void TSettingsPanel::showPulseRate(const std::string& notPositive) {
    showText(tab()->PulsePeriod, QString::fromStdString(rateFromPeriod(state_.console.pulsePeriod(), notPositive)));
}

// Lock-in needs pulsed operation, at least 4 Hz and a calibrated or calibrating camera;
// otherwise "Auto" is selected, which switches lock-in off.
void TSettingsPanel::applyLockinAvailability() {
    const ConsoleBlock& b = state_.console;
    double rate = b.pulsePeriod() > 0 ? 1e6 / b.pulsePeriod() : 0.0;
    bool available = b.method() == 0 && rate >= 4.0 && calibrating(b.statusFlags());
    QComboBox* type = tab()->PulseType;
    type->setEnabled(available);
    if (!available) type->setCurrentIndex(0);
}

void TSettingsPanel::showLockinRate(bool regardFocus) {
    QLineEdit* field = tab()->PulseLockinPeriod;
    if (regardFocus && field->hasFocus()) return;
    std::int32_t period = state_.console.lockinPeriod();
    showText(field, QString::fromStdString(period < 1 ? "0" : rateFromPeriod(period, "0")));
}

void TSettingsPanel::colourPulseRate() {
    const ConsoleBlock& b = state_.console;
    QLineEdit* field = tab()->PulsePeriod;
    if (b.method() == 1 && state_.factory.chopperPresent() == 0 && (b.statusFlags() & ConsoleBlock::kLockLost))
        setTextColour(field, panel_colour::kRed);
    else
        setWindowTextColour(field);
}

// The wait ends at the first refresh that finds the camera chopping and no longer busy. It ends
// so on a camera without a chopper too, where nothing else would ever end it.
void TSettingsPanel::endChopChangeWait() {
    const ConsoleBlock& b = state_.console;
    if (b.method() != 1 || !chopChangeWait_ || (b.statusFlags() & ConsoleBlock::kBusy)) return;
    stopWaitCursor();
    chopChangeWait_ = false;
    if (!state_.factory.isFixedConfiguration()) setChopControlsEnabled(true);
}

void TSettingsPanel::colourCorrectionSwitch(QPushButton* button, std::int32_t word, std::uint32_t pulsedMapBit,
                                            std::uint32_t choppedMapBit) {
    std::int32_t method = state_.console.method();
    if (method != 0 && method != 1) return;
    std::uint32_t flags = state_.console.statusFlags();
    bool map = flags & (method == 0 ? pulsedMapBit : choppedMapBit);
    setTextColour(button, !map ? panel_colour::kGrey : word != 0 ? panel_colour::kGreen : panel_colour::kRed);
}

void TSettingsPanel::colourCalibrateButton() {
    std::uint32_t flags = state_.console.statusFlags();
    setTextColour(tab()->CalibrateButton, (flags & ConsoleBlock::kCalibrationBad)    ? panel_colour::kRed
                                          : (flags & ConsoleBlock::kCalibrationGood) ? panel_colour::kBrightGreen
                                                                                     : panel_colour::kGrey);
}

// The hardware revision letter and the firmware revision text stand side by side.
void TSettingsPanel::showRevisions() {
    char revision = state_.factory.hardwareRevision();
    tab()->HardwareRev->setText(revision ? QString(QChar::fromLatin1(revision)) : QString());
    tab()->FirmwareRev->setText(QString::fromLatin1(state_.console.firmwareRevision().c_str()));
}

void TSettingsPanel::applyStatusRules() {
    TCameraTab* t = tab();
    const ConsoleBlock& b = state_.console;
    methodCopy_ = b.method();
    showPulseRate("0");
    applyLockinAvailability();
    showLockinRate(false);
    showText(t->SkippedTriggers, QString::number(b.skippedTriggers()));
    colourPulseRate();
    endChopChangeWait();
    showText(t->ExternalChopRate, b.chopRate() == 0 ? "24 Hz" : "48 Hz");
    if (!t->OffsetBias->hasFocus()) showText(t->OffsetBias, QString::number(b.offset()));
    colourCorrectionSwitch(t->BadPixelOnOff, b.pixelCorrection(), ConsoleBlock::kPulseBadPixelMap,
                           ConsoleBlock::kChopBadPixelMap);
    colourCorrectionSwitch(t->GainOnOff, b.gainCorrection(), ConsoleBlock::kPulseGainMap, ConsoleBlock::kChopGainMap);
    colourCalibrateButton();
}

void TSettingsPanel::ShowChopSource() {
    TCameraTab* t = tab();
    int chopper = state_.factory.chopperPresent();
    if (chopper != 0 && chopper != 1) chopper = 0;
    t->ChopSource->setCurrentIndex(chopper);
    t->ChopRatePanelA->setHidden(chopper == 0);
    t->ChopRatePanelB->setHidden(chopper == 1);
    t->VisibleWavelength->setHidden(!(chopper == 1 && state_.factory.crystalPolarity() == 0));
}

void TSettingsPanel::RefreshSettings() {
    if (!slot().hasDevice()) return;
    bool settingsChanged = slot().SettingsChanged;
    ScopedValue refreshing(state_.refreshInProgress, true);
    TCameraTab* t = tab();
    const ConsoleBlock& b = state_.console;

    methodCopy_ = b.method();
    if (methodCopy_ != 0)
        t->ChoppedMode->setChecked(true);
    else
        t->PulseMode->setChecked(true);
    t = tab();
    ShowChopSource();

    bool guard = state_.updateGuard;
    state_.updateGuard = true;
    std::int32_t mode = b.mode();
    if (mode < 0 || mode > 7) {
        state_.history.append("Invalid Mode value");
    } else {
        t->Mode->setText(QString::number(mode));
        if (mode == 4 || mode == 5)
            t->ChoppedMode->setChecked(true);
        else
            t->PulseMode->setChecked(true);
    }
    state_.updateGuard = guard;

    std::int32_t rate = b.chopRate();
    t->ChopRate->setCurrentIndex(rate == 0 || rate == 1 ? rate : 0);
    t = tab();

    colourPulseRate();
    t->SerialDisplay->setText(QString::number(state_.factory.serialNumber()));
    slot().Serial = state_.factory.serialNumber();
    showRevisions();

    std::int32_t lockin = b.pulseLockin();
    if (lockin == 1) {
        if (b.statusFlags() & ConsoleBlock::kLockLost)
            setTextColour(t->PulseLockinPeriod, panel_colour::kRed);
        else
            setWindowTextColour(t->PulseLockinPeriod);
    } else if (lockin != 0) {
        state_.history.append("Invalid pulse lockin setting read");
        state_.history.append("Read: " + std::to_string(lockin));
    }

    showPulseRate("0");
    applyLockinAvailability();
    showLockinRate(false);
    t->SkippedTriggers->setText(QString::number(b.skippedTriggers()));
    t->ExternalChopRate->setText(b.chopRate() == 0 ? "24 Hz" : "48 Hz");

    t->VideoTrigger->setChecked(b.videoTrigger() == 1);
    t = tab();
    std::int32_t threshold = b.videoThreshold();
    t->VideoThreshold->setCurrentIndex(threshold >= 0 && threshold < t->VideoThreshold->count() ? threshold : -1);

    std::int32_t exposure = b.exposureTime();
    bool badExposure = exposure < 50 || exposure > 12800;
    if (badExposure) state_.history.append("Invalid exposure time read: " + std::to_string(exposure));
    setFieldBackground(t->ExposureTime, badExposure);
    t->ExposureTime->setText(QString::number(exposure));
    QString digit = t->Mode->text();
    t->ExposureTime->setEnabled(digit != "3" && digit != "4" && digit != "5");

    colourCalibrateButton();

    // The grey rule applies even to a value that is reported as invalid.
    showCorrection(t->BadPixelOnOff, b.pixelCorrection(), "Invalid pixel correction on/off value: ",
                   ConsoleBlock::kPulseBadPixelMap, ConsoleBlock::kChopBadPixelMap);
    greyCorrectionCaption(t->BadPixelOnOff, ConsoleBlock::kPulseBadPixelMap, ConsoleBlock::kChopBadPixelMap);
    showCorrection(t->GainOnOff, b.gainCorrection(), "Read of invalid gain on/off value: ",
                   ConsoleBlock::kPulseGainMap, ConsoleBlock::kChopGainMap);
    greyCorrectionCaption(t->GainOnOff, ConsoleBlock::kPulseGainMap, ConsoleBlock::kChopGainMap);

    std::int32_t gain = b.gain();
    if (gain < 0 || gain > 4095)
        state_.history.append("Read of invalid gain value: " + std::to_string(gain));
    else
        t->GainValue->setText(QString::number(gain));

    int typedGain = integerOrZero(t->GainValue->text().toStdString());
    GainConversion c = ConvertGain(typedGain, b.method(), state_.factory, state_.console, calibrationCopy_,
                                   state_.history, {typedGain, 0, t->GainTracker->value(), b.offset()});
    t->GainFactor->setText(QString::fromStdString(formatFixed(c.factor, 1)));
    t->GainTracker->setValue(c.position);

    t->OffsetBias->setText(QString::number(b.offset()));
    if (calibrating(b.statusFlags())) takeCalibrationCopy();

    slot().SettingsChanged = settingsChanged;
}

void TSettingsPanel::LockSettings() {
    if (!state_.factory.isFixedConfiguration() || state_.remoteChangeInProgress) {
        slot().Locked = false;
        return;
    }
    TCameraTab* t = tab();
    t->PulsePeriod->setEnabled(false);
    host_.setCloseCameraEnabled(false);
    slot().Locked = true;

    chopChangeWait_ = true;
    t->ChopSource->setCurrentIndex(0);
    t->ChopRate->setCurrentIndex(1);
    SetTriggerMethod(1);
    GetTriggerMethod();
    SetChopRate(tab()->ChopRate->currentIndex());
    t = tab();
    t->ChoppedMode->setChecked(true);
    chopChangeWait_ = false;

    t->CalibrateButton->setEnabled(false);
    t->PulseType->setEnabled(false);
    t->PulseMode->setEnabled(false);
    t->PulseMode->hide();
    t->ChoppedMode->setEnabled(false);

    SetGainCorrection(1);
    t = tab();
    t->GainOnOff->show();
    t->GainOnOff->setEnabled(false);

    for (QWidget* w : {static_cast<QWidget*>(t->Mode), static_cast<QWidget*>(t->VideoTrigger),
                       static_cast<QWidget*>(t->GainFactor), static_cast<QWidget*>(t->VideoThreshold),
                       static_cast<QWidget*>(t->ChopSource), static_cast<QWidget*>(t->ExposureTime)})
        w->setEnabled(false);
    t->GainTracker->setEnabled(false);
    t->GainTracker->setCursor(Qt::WaitCursor);
    t->GainValue->show();
    t->GainValue->setEnabled(false);
    t->ChopRate->show();
    t->ChopRate->setEnabled(false);

    SetPixelCorrection(1);
    t = tab();
    t->BadPixelOnOff->show();
    t->BadPixelOnOff->setEnabled(false);
    t->PulseLockinPeriod->setEnabled(false);

    t->EnableOruCheckBox->show();
    t->OffsetBias->hide();
    t->OBLabel->hide();
    t->LaunchM2->hide();
    stopWaitCursor();
}

void TSettingsPanel::UnlockSettings() {
    if (!state_.factory.isFixedConfiguration() && !state_.remoteChangeInProgress) {
        slot().Locked = false;
        return;
    }
    slot().Locked = true;
    TCameraTab* t = tab();
    host_.setCloseCameraEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(t->PulsePeriod), static_cast<QWidget*>(t->CalibrateButton),
                       static_cast<QWidget*>(t->ChopRate), static_cast<QWidget*>(t->PulseMode),
                       static_cast<QWidget*>(t->ChoppedMode), static_cast<QWidget*>(t->PulseType),
                       static_cast<QWidget*>(t->GainOnOff), static_cast<QWidget*>(t->Mode),
                       static_cast<QWidget*>(t->VideoTrigger), static_cast<QWidget*>(t->GainTracker),
                       static_cast<QWidget*>(t->ChopSource), static_cast<QWidget*>(t->GainValue),
                       static_cast<QWidget*>(t->VideoThreshold), static_cast<QWidget*>(t->ExposureTime),
                       static_cast<QWidget*>(t->PulseLockinPeriod), static_cast<QWidget*>(t->BadPixelOnOff)})
        w->setEnabled(true);
    t->GainTracker->unsetCursor();
    for (QWidget* w : {static_cast<QWidget*>(t->ChopRate), static_cast<QWidget*>(t->PulseMode),
                       static_cast<QWidget*>(t->PulseType), static_cast<QWidget*>(t->GainPanel),
                       static_cast<QWidget*>(t->GainOnOff), static_cast<QWidget*>(t->Mode),
                       static_cast<QWidget*>(t->BadPixelOnOff), static_cast<QWidget*>(t->PulseLockinPeriod),
                       static_cast<QWidget*>(t->EnableOruCheckBox), static_cast<QWidget*>(t->LaunchM2),
                       static_cast<QWidget*>(t->OffsetBias), static_cast<QWidget*>(t->OBLabel),
                       static_cast<QWidget*>(t->PixelPanel)})
        w->show();
}

}  // namespace kestrom
