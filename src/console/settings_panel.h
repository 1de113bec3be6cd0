// The settings panel of the camera tabs: what each control does to the current slot's camera,
// the refreshes from its status block, and the fixed-configuration lock.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>

#include "camera_link/console_state.h"
#include "camera_link/driver_calls.h"
#include "console/core/setup_target.h"
#include "platform/dialog_service.h"

class QColor;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kestrom {

class Acquisition;
class TCameraTab;

// What the panel needs of the main window.
class SettingsPanelHost {
public:
    virtual ~SettingsPanelHost() = default;
    virtual TCameraTab* currentTab() const = 0;
    virtual void setCloseCameraEnabled(bool enabled) = 0;
    virtual void playSound(const char* file) = 0;
    // The status refresh of the current tab (mode digit, revisions and the panel rules).
    virtual void showConsoleBlock() = 0;
};

// Caption and field colours of the panel.
namespace panel_colour {
inline constexpr unsigned kRed = 0xFF0000, kGreen = 0x008000, kBrightGreen = 0x00FF00, kGrey = 0x808080;
}

class TSettingsPanel : public QObject, public SetupTarget {
    Q_OBJECT
public:
    TSettingsPanel(ConsoleState& state, DriverCalls& calls, Acquisition& acquisition, DialogService& dialogs,
                   SettingsPanelHost& host, QObject* parent = nullptr);
    ~TSettingsPanel() override { stopWaitCursor(); }

    // Binds the handlers to a tab's controls; they act on the current tab's controls.
    void connectTab(TCameraTab* tab);

    // Handlers.
    void PulseMode1Click();
    void ChopRate1Change();
    void ChopSource1Click();
    void PulseType1Click();
    void ExposureTime1KeyDown();
    void GainTracker1Change();
    void GainFactor1KeyDown();
    void GainValue1KeyDown();
    void OffsetBias4KeyDown();
    void VideoTrigger1Click();
    void VideoThreshold1Change();
    void BadPixelOnOff1Click();
    void GainOnOff1Click();
    void VisibleWavelength1Click();
    void PulsePeriod1KeyDown();
    void PulseLockinPeriod1KeyDown();
    void PulseLockinPeriod1Enter();
    void PulseLockinPeriod1MouseDown(bool ctrlHeld);

    // Operations on the current slot's camera.
    void SetTriggerMethod(int m);
    void GetTriggerMethod();
    void SetChopRate(int r);
    void ShowChopSource();
    void SetPulseLockin(int v);
    void GetPulseLockin();
    void SetLockinPeriod(int us);
    void GetLockinPeriod();
    void SetPulsePeriod(int us);
    void GetPulsePeriod();
    void SetExposureTime(int t);
    void GetExposureTime();
    void SetGain(int g);
    void SetPixelCorrection(int v);
    void GetPixelCorrection();
    void SetGainCorrection(int v);
    void GetGainCorrection();
    // The Utilities button: both of the camera's own corrections off while its maps are edited.
    void switchCorrectionsOff();
    void SetVideoTrigger(int v);
    void SetVideoThreshold(int i);
    void GetVideoThreshold();
    void SetVisibleWavelength(int v);

    // Refreshes and lock.
    void applyStatusRules();
    void showRevisions();
    void RefreshSettings();
    void LockSettings() override;
    void UnlockSettings();
    void colourCalibrateButton();

    // What a setup file applies and what Save As reads.
    void loadGainValue(int gain) override;
    void loadChopSource(int index) override;
    void loadChopRate(int index) override;
    void loadTriggerMethod(bool chopped) override;
    void loadVideoTrigger(bool ticked) override;
    void loadVideoThreshold(int index) override;
    void loadExposureTime(int microseconds) override { SetExposureTime(microseconds); }
    void loadBadPixelCorrection(int value) override { SetPixelCorrection(value); }
    void loadGainCorrection(int value) override { SetGainCorrection(value); }
    bool exposureTimeHidden() const override;
    PanelSettings panelSettings() const override;
    void showStandardError(const std::string& text) override { showError(text); }

    int methodCopy() const { return methodCopy_; }
    bool chopChangeWait() const { return chopChangeWait_; }
    const ConsoleBlock& calibrationCopy() const { return calibrationCopy_; }
    void takeCalibrationCopy() { calibrationCopy_ = state_.console; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TCameraTab* tab() { return host_.currentTab(); }
    CameraSlot& slot() { return state_.current(); }
    void changed();
    bool heldByLock();
    void applyLockinAvailability();
    void showPulseRate(const std::string& notPositive);
    void showLockinRate(bool regardFocus);
    void colourPulseRate();
    void endChopChangeWait();
    void setChopControlsEnabled(bool enabled);
    void showCorrection(QPushButton* button, std::int32_t value, const char* invalidLine, std::uint32_t pulsedMapBit,
                        std::uint32_t choppedMapBit);
    // A word of the status the camera has just answered, in the held block and the slot's record.
    void holdCameraWord(std::size_t offset, std::int32_t value);
    void greyCorrectionCaption(QPushButton* button, std::uint32_t pulsedMapBit, std::uint32_t choppedMapBit);
    void colourCorrectionSwitch(QPushButton* button, std::int32_t word, std::uint32_t pulsedMapBit,
                                std::uint32_t choppedMapBit);
    void applyOffset(int offset);
    void moveTracker(int position);
    void showError(const std::string& text);
    void startWaitCursor();
    void stopWaitCursor();

    ConsoleState& state_;
    DriverCalls& calls_;
    Acquisition& acquisition_;
    DialogService& dialogs_;
    SettingsPanelHost& host_;

    int methodCopy_ = 0;
    bool factorEntry_ = false;
    bool chopChangeWait_ = false;
    bool waitCursor_ = false;
    ConsoleBlock calibrationCopy_;
};

// Colours of captions and fields, as the tests read them back.
void setTextColour(QWidget* widget, unsigned rgb);
void setWindowTextColour(QWidget* widget);
unsigned textColour(const QWidget* widget);
void setFieldBackground(QLineEdit* field, bool red);
// The status refresh runs at every frame: a field whose text is already this one is left alone, so
// that it is not redrawn and its caret and selection stay where the user put them.
void showText(QLineEdit* field, const QString& text);
bool fieldBackgroundRed(const QLineEdit* field);

}  // namespace kestrom
