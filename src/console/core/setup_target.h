// What a setup load and save need of the current tab's settings panel; the window implements it.
#pragma once

#include <string>

namespace kestrom {

// The panel as Save As reads it.
struct PanelSettings {
    int chopSourceIndex = 0;    // ChopSource1
    int chopRateIndex = 0;      // ChopRate1: 0 = 24 Hz, 1 = 48 Hz
    int methodCopy = 0;         // 0 pulsed, 1 chopped
    int pulseTypeIndex = 0;     // PulseType1: 0 "Auto", 1 "Lockin"
    std::string pulseRateText;  // PulsePeriod1, in Hz
    bool videoTriggerTicked = false;
    int videoThresholdIndex = -1;  // VideoThreshold1; -1 when no entry is selected
    std::string exposureTimeText;  // ExposureTime1
    std::string badPixelCaption;   // BadPixelOnOff1: "Turn off" while the correction is on
    std::string gainValueText;     // GainValue1
    std::string gainCaption;       // GainOnOff1: "Turn off" while the correction is on
};

// Each load operation receives the value as the file gives it and does what the panel's own
// control would do; the panel's rules clamp, round, validate and log (a gain of 9000 is sent
// as 4095, an exposure of 75 as 50 with its rounding line).
class SetupTarget {
  public:
    virtual ~SetupTarget() = default;

    // The fixed-configuration lock, applied before any key.
    virtual void LockSettings() = 0;

    // ConvertGain(gain), which clamps it; the factor into GainFactor1 ("%.1f"); the tracker to the
    // returned position (its handler runs); SetGain with the clamped gain; the returned offset into
    // OffsetBias1, applied as for Enter.
    virtual void loadGainValue(int gain) = 0;
    // Select the index in ChopSource1; its handler runs when the index changes. Sends nothing.
    virtual void loadChopSource(int index) = 0;
    // Select the index in ChopRate1 (its handler runs when the index changes), then SetChopRate
    // with the index the selector then has.
    virtual void loadChopRate(int index) = 0;
    // Select "Chopped" or "Pulsed"; the method switch runs when the selection changes.
    virtual void loadTriggerMethod(bool chopped) = 0;
    // Tick or clear VideoTrigger1; its handler sends the change.
    virtual void loadVideoTrigger(bool ticked) = 0;
    // Select the entry of VideoThreshold1, and SetVideoThreshold(index) for an index 0 to 5.
    virtual void loadVideoThreshold(int index) = 0;
    virtual void loadExposureTime(int microseconds) = 0;  // SetExposureTime
    virtual void loadBadPixelCorrection(int value) = 0;   // SetPixelCorrection
    virtual void loadGainCorrection(int value) = 0;       // SetGainCorrection

    // Save As does nothing while the current tab's exposure-time field is hidden.
    virtual bool exposureTimeHidden() const = 0;
    virtual PanelSettings panelSettings() const = 0;

    // The application's standard error box.
    virtual void showStandardError(const std::string& text) = 0;
};

}  // namespace kestrom
