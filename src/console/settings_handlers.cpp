// The handlers of the panel's controls, bound to every tab and acting on the current tab.
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QWidget>

#include "camera_link/acquisition.h"
#include "console/camera_tab.h"
#include "console/core/gain_model.h"
#include "common/qt/hourglass.h"
#include "common/number_text.h"
#include "console/settings_panel.h"

namespace kestrom {

namespace {
constexpr const char* kErrorCaption = "Kestrom III Control Console";
constexpr const char* kUserError = "User error";
}  // namespace

void setTextColour(QWidget* widget, unsigned rgb) {
    QPalette p = widget->palette();
    QColor c = QColor::fromRgb(static_cast<QRgb>(rgb));
    p.setColor(QPalette::ButtonText, c);
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    widget->setPalette(p);
}

void setWindowTextColour(QWidget* widget) { widget->setPalette(QPalette()); }

unsigned textColour(const QWidget* widget) {
    return widget->palette().color(QPalette::ButtonText).rgb() & 0xFFFFFFu;
}

void setFieldBackground(QLineEdit* field, bool red) {
    QPalette p = field->palette();
    p.setColor(QPalette::Base, red ? QColor(Qt::red) : QPalette().color(QPalette::Base));
    field->setPalette(p);
}

void showText(QLineEdit* field, const QString& text) {
    if (field->text() != text) field->setText(text);
}

bool fieldBackgroundRed(const QLineEdit* field) { return field->palette().color(QPalette::Base) == QColor(Qt::red); }

TSettingsPanel::TSettingsPanel(ConsoleState& state, DriverCalls& calls, Acquisition& acquisition,
                               DialogService& dialogs, SettingsPanelHost& host, QObject* parent)
    : QObject(parent), state_(state), calls_(calls), acquisition_(acquisition), dialogs_(dialogs), host_(host) {}

// Changes made by the console itself run the handlers as the user's do (toggled, index and value
// changes); the threshold list and the text fields answer only the user.
void TSettingsPanel::connectTab(TCameraTab* t) {
    auto onChecked = [this](bool checked) {
        if (checked) PulseMode1Click();
    };
    connect(t->PulseMode, &QRadioButton::toggled, this, onChecked);
    connect(t->ChoppedMode, &QRadioButton::toggled, this, onChecked);
    connect(t->ChopRate, &QComboBox::currentIndexChanged, this, [this] { ChopRate1Change(); });
    connect(t->ChopSource, &QComboBox::currentIndexChanged, this, [this] { ChopSource1Click(); });
    connect(t->PulseType, &QComboBox::currentIndexChanged, this, [this] { PulseType1Click(); });
    connect(t->GainTracker, &QSlider::valueChanged, this, [this] { GainTracker1Change(); });
    connect(t->ExposureTime, &QLineEdit::returnPressed, this, [this] { ExposureTime1KeyDown(); });
    connect(t->GainFactor, &QLineEdit::returnPressed, this, [this] { GainFactor1KeyDown(); });
    connect(t->GainValue, &QLineEdit::returnPressed, this, [this] { GainValue1KeyDown(); });
    connect(t->OffsetBias, &QLineEdit::returnPressed, this, [this] { OffsetBias4KeyDown(); });
    connect(t->VideoTrigger, &QCheckBox::toggled, this, [this] { VideoTrigger1Click(); });
    connect(t->VideoThreshold, &QComboBox::activated, this, [this] { VideoThreshold1Change(); });
    connect(t->BadPixelOnOff, &QPushButton::clicked, this, [this] { BadPixelOnOff1Click(); });
    connect(t->GainOnOff, &QPushButton::clicked, this, [this] { GainOnOff1Click(); });
    connect(t->VisibleWavelength, &QCheckBox::toggled, this, [this] { VisibleWavelength1Click(); });
    t->PulsePeriod->installEventFilter(this);
    t->PulseLockinPeriod->installEventFilter(this);
}

bool TSettingsPanel::eventFilter(QObject* watched, QEvent* event) {
    TCameraTab* t = tab();
    bool pulse = watched == t->PulsePeriod;
    bool lockin = watched == t->PulseLockinPeriod;
    if (!pulse && !lockin) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (pulse && (enter || key == Qt::Key_Tab)) PulsePeriod1KeyDown();
        if (lockin && enter) PulseLockinPeriod1KeyDown();
    } else if (lockin && event->type() == QEvent::FocusIn) {
        PulseLockinPeriod1Enter();
    } else if (lockin && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)
            PulseLockinPeriod1MouseDown(mouse->modifiers() & Qt::ControlModifier);
    }
    return QObject::eventFilter(watched, event);
}

void TSettingsPanel::showError(const std::string& text) {
    dialogs_.messageBox(kErrorCaption, text, BoxButtons::Ok, BoxIcon::Error);
}

void TSettingsPanel::startWaitCursor() {
    if (waitCursor_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursor_ = true;
}

void TSettingsPanel::stopWaitCursor() {
    if (!waitCursor_) return;
    QApplication::restoreOverrideCursor();
    waitCursor_ = false;
}

void TSettingsPanel::setChopControlsEnabled(bool enabled) {
    TCameraTab* t = tab();
    for (QWidget* w : {static_cast<QWidget*>(t->PulseMode), static_cast<QWidget*>(t->ChopRate), t->ChopRatePanelA,
                       t->ChopRatePanelB, static_cast<QWidget*>(t->VisibleWavelength),
                       static_cast<QWidget*>(t->CalibrateButton)})
        w->setEnabled(enabled);
}

void TSettingsPanel::PulseMode1Click() {
    if (state_.updateGuard) return;
    state_.updateGuard = true;
    acquisition_.SuspendAcquisition();
    TCameraTab* t = tab();
    if (t->PulseMode->isChecked()) {
        SetTriggerMethod(0);
        t->ChoppedMode->setChecked(false);
        for (QWidget* w : {static_cast<QWidget*>(t->ChopRate), t->ChopRatePanelA, t->ChopRatePanelB,
                           static_cast<QWidget*>(t->VisibleWavelength)})
            w->setEnabled(false);
        t->ExposureTime->setEnabled(true);
        if (state_.console.statusFlags() & ConsoleBlock::kPulseGainMap) SetGainCorrection(1);
    } else {
        if (state_.factory.chopperPresent() != 0 && state_.console.method() != 1) {
            startWaitCursor();
            chopChangeWait_ = true;
        }
        SetTriggerMethod(1);
        t = tab();  // a failed request may have closed the camera
        t->ChoppedMode->setChecked(true);
        setChopControlsEnabled(!chopChangeWait_);
        t->ExposureTime->setEnabled(!chopChangeWait_);
        t->PulseType->setEnabled(false);
        t->PulseType->setCurrentIndex(0);
        if (state_.console.statusFlags() & ConsoleBlock::kChopGainMap) {
            SetGainCorrection(1);
            host_.showConsoleBlock();
        }
    }
    t = tab();
    if (!t->GainFactor->text().isEmpty()) {
        int method = t->PulseMode->isChecked() ? 0 : 1;
        state_.console.setWord(ConsoleBlock::kMethod, method);
        methodCopy_ = method;
        GainFactor1KeyDown();
    }
    t = tab();
    if (t->PulseMode->hasFocus() || t->ChoppedMode->hasFocus()) QApplication::focusWidget()->nextInFocusChain()->setFocus();
    acquisition_.ResumeAcquisition();
    state_.updateGuard = false;
}

void TSettingsPanel::ChopRate1Change() {
    if (state_.console.method() == 0) return;
    state_.tabChangeAllowed = false;
    acquisition_.SuspendAcquisition();
    int selected = tab()->ChopRate->currentIndex();
    if (state_.console.chopRate() != selected) {
        chopChangeWait_ = true;
        setChopControlsEnabled(false);
    }
    SetChopRate(selected);
    state_.tabChangeAllowed = true;
    acquisition_.ResumeAcquisition();
}

void TSettingsPanel::ChopSource1Click() {
    if (state_.updateGuard) return;
    state_.updateGuard = true;
    TCameraTab* t = tab();
    if (t->ChopSource->currentIndex() == 0) {
        if (t->ChopRatePanelA->isHidden()) {
            t->ChopRatePanelA->show();
            t->ChopRatePanelB->hide();
            if (state_.factory.crystalPolarity() == 0) t->VisibleWavelength->show();
        }
    } else if (t->ChopRatePanelB->isHidden()) {
        t->ChopRatePanelB->show();
        t->ChopRatePanelA->hide();
        t->VisibleWavelength->hide();
    }
    state_.updateGuard = false;
}

void TSettingsPanel::PulseType1Click() {
    if (tab()->PulseType->currentIndex() == 1) {
        host_.playSound("On.wav");
        SetPulseLockin(1);
    } else {
        host_.playSound("Off.wav");
        SetPulseLockin(0);
    }
}

void TSettingsPanel::ExposureTime1KeyDown() {
    std::string text = tab()->ExposureTime->text().toStdString();
    auto value = parseInteger(text);
    if (!value) {
        showError(notAnIntegerText(text));
        return;
    }
    SetExposureTime(*value);
}

// The tracker moved by its own handler does not run the handler again.
void TSettingsPanel::moveTracker(int position) {
    QSignalBlocker block(tab()->GainTracker);
    tab()->GainTracker->setValue(position);
}

void TSettingsPanel::GainTracker1Change() {
    if (state_.refreshInProgress) return;
    TCameraTab* t = tab();
    int position = t->GainTracker->value();
    GainTable table = gainTableFor(methodCopy_, state_.factory, state_.history, position);
    position = position / 10 * 10;
    moveTracker(position);
    int gain = gainFromTracker(position, table);
    GainConversion c = ConvertGain(gain, state_.console.method(), state_.factory, state_.console, calibrationCopy_, state_.history,
                                   {gain, 0, position, integerOrZero(t->OffsetBias->text().toStdString())});
    if (!factorEntry_) t->GainFactor->setText(QString::fromStdString(formatFixed(c.factor, 1)));
    moveTracker(c.position);
    SetGain(c.gain);
    applyOffset(c.offset);
}

void TSettingsPanel::GainFactor1KeyDown() {
    TCameraTab* t = tab();
    std::string typed = t->GainFactor->text().toStdString();
    auto value = parseDecimal(typed);
    if (!value) {
        showError(notADecimalText(typed));
        return;
    }
    GainTable table = gainTableFor(methodCopy_, state_.factory, state_.history, 0);
    std::string text = formatFixed(*value, 1);
    double factor = *parseDecimal(text);
    t->GainFactor->setText(QString::fromStdString(text));
    if (factor > 10 || factor < 1) {
        dialogs_.messageBox(kUserError, factor > 10 ? "Gain factor can't exceed 10" : "Gain factor must be 1 or more",
                            BoxButtons::Ok, BoxIcon::Warning);
        if (!tab()->GainFactor->hasFocus()) tab()->GainFactor->setText("?");
        return;
    }
    int gain = gainFromFactor(factor, table);
    GainConversion c = ConvertGain(gain, state_.console.method(), state_.factory, state_.console, calibrationCopy_, state_.history,
                                   {gain, static_cast<float>(factor), t->GainTracker->value(),
                                    integerOrZero(t->OffsetBias->text().toStdString())});
    factorEntry_ = true;
    t->GainTracker->setValue(c.position);
    factorEntry_ = false;
    SetGain(c.gain);
    applyOffset(c.offset);
}

void TSettingsPanel::GainValue1KeyDown() {
    TCameraTab* t = tab();
    int gain = integerOrZero(t->GainValue->text().toStdString());
    GainConversion c = ConvertGain(gain, state_.console.method(), state_.factory, state_.console, calibrationCopy_,
                                   state_.history, {gain, 0, t->GainTracker->value(), 0});
    t->GainFactor->setText(QString::fromStdString(formatFixed(c.factor, 1)));
    t->GainTracker->setValue(c.position);
    tab()->OffsetBias->setText(QString::number(state_.console.offset()));
}

void TSettingsPanel::applyOffset(int offset) {
    tab()->OffsetBias->setText(QString::number(offset));
    OffsetBias4KeyDown();
}

void TSettingsPanel::OffsetBias4KeyDown() {
    int offset = std::clamp(integerOrZero(tab()->OffsetBias->text().toStdString()), 0, 4095);
    Hourglass hourglass;
    calls_.ShortIO(req::SetOffset, offset);
    std::int32_t answer = calls_.ShortIO(req::GetOffset, offset);
    tab()->OffsetBias->setText(QString::number(answer));
}

void TSettingsPanel::VideoTrigger1Click() { SetVideoTrigger(tab()->VideoTrigger->isChecked() ? 1 : 0); }

void TSettingsPanel::VideoThreshold1Change() { SetVideoThreshold(tab()->VideoThreshold->currentIndex()); }

void TSettingsPanel::BadPixelOnOff1Click() { SetPixelCorrection(tab()->BadPixelOnOff->text() == "Turn off" ? 0 : 1); }

void TSettingsPanel::GainOnOff1Click() {
    bool on = tab()->GainOnOff->text() == "Turn on";
    SetGainCorrection(on ? 1 : 0);
    // The caption shows what was asked for, whatever the camera answered.
    QPushButton* button = tab()->GainOnOff;
    button->setText(on ? "Turn off" : "Turn on");
    setTextColour(button, on ? panel_colour::kGreen : panel_colour::kRed);
    greyCorrectionCaption(button, ConsoleBlock::kPulseGainMap, ConsoleBlock::kChopGainMap);
}

void TSettingsPanel::VisibleWavelength1Click() { SetVisibleWavelength(tab()->VisibleWavelength->isChecked() ? 1 : 0); }

void TSettingsPanel::PulsePeriod1KeyDown() {
    std::string text = tab()->PulsePeriod->text().toStdString();
    auto period = periodFromRate(text);
    if (!period) {
        showError("'" + text + "' is not a valid rate.");
        return;
    }
    SetPulsePeriod(*period);
}

void TSettingsPanel::PulseLockinPeriod1KeyDown() {
    std::string text = tab()->PulseLockinPeriod->text().toStdString();
    auto period = periodFromRate(text);
    if (!period) {
        showError("'" + text + "' is not a valid rate.");
        return;
    }
    SetLockinPeriod(*period);
}

void TSettingsPanel::PulseLockinPeriod1Enter() { tab()->CalibrateButton->setFocus(); }

void TSettingsPanel::PulseLockinPeriod1MouseDown(bool ctrlHeld) {
    if (!ctrlHeld) return;
    TCameraTab* t = tab();
    for (QWidget* w : {static_cast<QWidget*>(t->FirmwareButton), static_cast<QWidget*>(t->GainValue),
                       static_cast<QWidget*>(t->OffsetBias), static_cast<QWidget*>(t->KillCalibrationButton)}) {
        w->show();
        w->setEnabled(true);
    }
    if (QWidget* lca = t->window()->findChild<QWidget*>("LcaButton1")) {
        lca->show();
        lca->setEnabled(true);
    }
}

}  // namespace kestrom
