// The panel's requests to the camera: each shows the hourglass, sends, reads back and marks
// the slot's settings as changed where the user's settings move.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "camera_link/acquisition.h"
#include "console/camera_tab.h"
#include "common/qt/hourglass.h"
#include "common/number_text.h"
#include "console/settings_panel.h"

namespace kestrom {

void TSettingsPanel::changed() { slot().SettingsChanged = true; }

void TSettingsPanel::SetTriggerMethod(int m) {
    if (m != 0 && m != 1) return;
    Hourglass hourglass;
    calls_.ShortIO(req::SetTriggerMethod, m);
    changed();
}

void TSettingsPanel::GetTriggerMethod() {
    std::int32_t method;
    {
        Hourglass hourglass;
        method = calls_.ShortIO(req::GetTriggerMethod, 0);
    }
    methodCopy_ = method;
    if (method != 0)
        tab()->ChoppedMode->setChecked(true);
    else
        tab()->PulseMode->setChecked(true);
}

void TSettingsPanel::SetChopRate(int r) {
    Hourglass hourglass;
    acquisition_.SuspendAcquisition();
    if (r != 0 && r != 1) {
        state_.history.append("Invalid chop rate");
        acquisition_.ResumeAcquisition();
        return;
    }
    calls_.ShortIO(req::SetChopRate, r);
    acquisition_.ResumeAcquisition();
    changed();
}

void TSettingsPanel::SetPulseLockin(int v) {
    if (v != 0 && v != 1) return;
    Hourglass hourglass;
    calls_.ShortIO(req::SetPulseLockin, v);
    GetPulseLockin();
    changed();
}

void TSettingsPanel::GetPulseLockin() {
    std::int32_t answer;
    {
        Hourglass hourglass;
        answer = calls_.ShortIO(req::GetPulseLockin, 0);
    }
    if (answer == 0 || answer == 1) {
        tab()->PulseType->setCurrentIndex(answer);
    } else {
        state_.history.append("Invalid pulse lockin setting read");
        state_.history.append("Read: " + std::to_string(answer));
    }
}

void TSettingsPanel::SetLockinPeriod(int us) {
    Hourglass hourglass;
    calls_.ShortIO(req::SetPulseLockinPeriod, us);
    GetLockinPeriod();
    changed();
}

void TSettingsPanel::GetLockinPeriod() {
    std::int32_t period;
    {
        Hourglass hourglass;
        period = calls_.ShortIO(req::GetPulseLockinPeriod, 0);
    }
    QLineEdit* field = tab()->PulseLockinPeriod;
    if (field->hasFocus()) return;
    field->setText(QString::fromStdString(period < 1 ? "0" : rateFromPeriod(period, "0")));
}

void TSettingsPanel::SetPulsePeriod(int us) {
    Hourglass hourglass;
    calls_.ShortIO(req::SetPulsePeriod, us);
    GetPulsePeriod();
    changed();
}

void TSettingsPanel::GetPulsePeriod() {
    std::int32_t period;
    {
        Hourglass hourglass;
        period = calls_.ShortIO(req::GetPulsePeriod, 0);
    }
    tab()->PulsePeriod->setText(QString::fromStdString(rateFromPeriod(period, std::to_string(period))));
}

void TSettingsPanel::SetExposureTime(int t) {
    if (!tab()->ExposureTime->isEnabled()) return;
    if (t < 50 || t > 12800) {
        state_.history.append("Specified exposure time invalid: " + std::to_string(t));
        state_.history.append("Must be 50 - 12,800 in increments of 50");
        return;
    }
    int rounded = t / 50 * 50;
    if (rounded != t)
        state_.history.append("Exposure time changed from " + std::to_string(t) + " to " + std::to_string(rounded) +
                              ". To comply with increments of 50 rule.");
    Hourglass hourglass;
    std::int32_t answer = calls_.ShortIO(req::SetExposureTime, rounded);
    state_.history.append("Exposure time set to: " + std::to_string(answer));
    GetExposureTime();
    changed();
}

void TSettingsPanel::GetExposureTime() {
    QLineEdit* field = tab()->ExposureTime;
    if (!field->isEnabled()) return;
    std::int32_t answer;
    {
        Hourglass hourglass;
        answer = calls_.ShortIO(req::GetExposureTime, 0);
    }
    bool invalid = answer < 50 || answer > 12800;
    if (invalid) state_.history.append("Invalid exposure time read: " + std::to_string(answer));
    // What the user is typing stays.
    if (field->hasFocus()) return;
    setFieldBackground(field, invalid);
    field->setText(QString::number(answer));
}

void TSettingsPanel::SetGain(int g) {
    Hourglass hourglass;
    if (g < 0 || g > 4095) {
        state_.history.append("Trying to set invalid gain value: " + std::to_string(g) + " Must be 0 - 4095!");
        return;
    }
    state_.history.append("Setting gain: " + std::to_string(g));
    std::int32_t answer = calls_.ShortIO(req::SetGain, g);
    tab()->GainValue->setText(QString::number(answer));
    changed();
}

void TSettingsPanel::SetPixelCorrection(int v) {
    Hourglass hourglass;
    calls_.ShortIO(req::SetPixelCorrection, v);
    GetPixelCorrection();
    changed();
}

void TSettingsPanel::GetPixelCorrection() {
    std::int32_t answer;
    {
        Hourglass hourglass;
        answer = calls_.ShortIO(req::GetPixelCorrection, 0);
    }
    // The held status follows the camera's answer, so a later refresh from it shows the same.
    if (answer == 0 || answer == 1) holdCameraWord(ConsoleBlock::kPixelCorrection, answer);
    showCorrection(tab()->BadPixelOnOff, answer, "Invalid pixel correction on/off value: ",
                   ConsoleBlock::kPulseBadPixelMap, ConsoleBlock::kChopBadPixelMap);
}

void TSettingsPanel::SetGainCorrection(int v) {
    Hourglass hourglass;
    calls_.ShortIO(req::SetGainCorrection, v);
    GetGainCorrection();
    changed();
}

void TSettingsPanel::GetGainCorrection() {
    std::int32_t answer;
    {
        Hourglass hourglass;
        answer = calls_.ShortIO(req::GetGainCorrection, 0);
    }
    if (answer == 0 || answer == 1) holdCameraWord(ConsoleBlock::kGainCorrection, answer);
    showCorrection(tab()->GainOnOff, answer, "Read of invalid gain on/off value: ", ConsoleBlock::kPulseGainMap,
                   ConsoleBlock::kChopGainMap);
}

void TSettingsPanel::holdCameraWord(std::size_t offset, std::int32_t value) {
    state_.console.setWord(offset, value);
    slot().Console.setWord(offset, value);
}

void TSettingsPanel::switchCorrectionsOff() {
    // The caption is what was last asked for or read; the camera's own state decides.
    GetGainCorrection();
    if (!slot().hasDevice()) return;
    QPushButton* gain = tab()->GainOnOff;
    if (gain->text() == "Turn off") {
        SetGainCorrection(0);
        if (!slot().hasDevice()) return;  // the request failed and closed the camera
        gain->setText("Turn on");
        setTextColour(gain, panel_colour::kRed);
    }
    greyCorrectionCaption(gain, ConsoleBlock::kPulseGainMap, ConsoleBlock::kChopGainMap);
    SetPixelCorrection(0);
}

void TSettingsPanel::SetVideoTrigger(int v) {
    Hourglass hourglass;
    calls_.ShortIO(req::SetVideoTrigger, v);
    changed();
}

void TSettingsPanel::SetVideoThreshold(int i) {
    Hourglass hourglass;
    calls_.ShortIO(req::SetVideoTriggerThreshold, i);
    GetVideoThreshold();
    changed();
}

void TSettingsPanel::GetVideoThreshold() {
    std::int32_t answer;
    {
        Hourglass hourglass;
        answer = calls_.ShortIO(req::GetVideoTriggerThreshold, 0);
    }
    QComboBox* list = tab()->VideoThreshold;
    if (list->hasFocus()) return;
    // Selecting a threshold entry runs nothing; only the user's choice sends.
    list->setCurrentIndex(answer >= 0 && answer < list->count() ? answer : -1);
}

void TSettingsPanel::SetVisibleWavelength(int v) {
    calls_.ShortWrite(req::SetVisibleWavelength, req::kVisibleWavelengthItem, v);
    changed();
}

// "Turn off" in green while the correction is on, "Turn on" in red while it is off; a value other
// than 0 or 1 is reported and changes nothing.
void TSettingsPanel::showCorrection(QPushButton* button, std::int32_t value, const char* invalidLine,
                                    std::uint32_t pulsedMapBit, std::uint32_t choppedMapBit) {
    if (value != 0 && value != 1) {
        state_.history.append(invalidLine + std::to_string(value));
        return;
    }
    button->setText(value == 1 ? "Turn off" : "Turn on");
    setTextColour(button, value == 1 ? panel_colour::kGreen : panel_colour::kRed);
    greyCorrectionCaption(button, pulsedMapBit, choppedMapBit);
}

// A camera without a map for the method in use has nothing to switch: grey.
void TSettingsPanel::greyCorrectionCaption(QPushButton* button, std::uint32_t pulsedMapBit,
                                           std::uint32_t choppedMapBit) {
    std::int32_t method = state_.console.method();
    std::uint32_t flags = state_.console.statusFlags();
    if ((method == 0 && !(flags & pulsedMapBit)) || (method == 1 && !(flags & choppedMapBit)))
        setTextColour(button, panel_colour::kGrey);
}

}  // namespace kestrom
