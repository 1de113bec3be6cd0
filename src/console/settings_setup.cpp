// The panel as a setup file loads it and as Save As reads it.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "console/camera_tab.h"
#include "console/core/gain_model.h"
#include "common/number_text.h"
#include "console/settings_panel.h"

namespace kestrom {

void TSettingsPanel::loadGainValue(int gain) {
    TCameraTab* t = tab();
    GainConversion c = ConvertGain(gain, state_.console.method(), state_.factory, state_.console, calibrationCopy_,
                                   state_.history, {gain, 0, t->GainTracker->value(), 0});
    t->GainFactor->setText(QString::fromStdString(formatFixed(c.factor, 1)));
    t->GainTracker->setValue(c.position);
    SetGain(c.gain);
    applyOffset(c.offset);
}

// A fixed-configuration camera under its lock keeps its operating point: a setup file's method,
// chop source, chop rate and video trigger do not reach it (gain and corrections still do).
bool TSettingsPanel::heldByLock() { return slot().Locked && !state_.remoteChangeInProgress; }

void TSettingsPanel::loadChopSource(int index) {
    if (heldByLock()) return;
    tab()->ChopSource->setCurrentIndex(index);
}

void TSettingsPanel::loadChopRate(int index) {
    if (heldByLock()) return;
    tab()->ChopRate->setCurrentIndex(index);
    SetChopRate(tab()->ChopRate->currentIndex());
}

void TSettingsPanel::loadTriggerMethod(bool chopped) {
    if (heldByLock()) return;
    if (chopped)
        tab()->ChoppedMode->setChecked(true);
    else
        tab()->PulseMode->setChecked(true);
}

void TSettingsPanel::loadVideoTrigger(bool ticked) {
    if (heldByLock()) return;
    tab()->VideoTrigger->setChecked(ticked);
}

void TSettingsPanel::loadVideoThreshold(int index) {
    if (heldByLock()) return;
    QComboBox* list = tab()->VideoThreshold;
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    if (index >= 0 && index <= 5) SetVideoThreshold(index);
}

bool TSettingsPanel::exposureTimeHidden() const { return host_.currentTab()->ExposureTime->isHidden(); }

PanelSettings TSettingsPanel::panelSettings() const {
    const TCameraTab* t = host_.currentTab();
    PanelSettings p;
    p.chopSourceIndex = t->ChopSource->currentIndex();
    p.chopRateIndex = t->ChopRate->currentIndex();
    p.methodCopy = methodCopy_;
    p.pulseTypeIndex = t->PulseType->currentIndex();
    p.pulseRateText = t->PulsePeriod->text().toStdString();
    p.videoTriggerTicked = t->VideoTrigger->isChecked();
    p.videoThresholdIndex = t->VideoThreshold->currentIndex();
    p.exposureTimeText = t->ExposureTime->text().toStdString();
    p.badPixelCaption = t->BadPixelOnOff->text().toStdString();
    p.gainValueText = t->GainValue->text().toStdString();
    p.gainCaption = t->GainOnOff->text().toStdString();
    return p;
}

}  // namespace kestrom
