// One camera tab of the main window: the same control set four times, names carrying the tab number.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QComboBox;
class QCheckBox;
class QRadioButton;
class QSlider;
class QPushButton;
class QGroupBox;

namespace kestrom {

class TCameraTab : public QWidget {
    Q_OBJECT
public:
    // tab: 1..4; every control's object name ends in it ("ExposureTime2").
    explicit TCameraTab(int tab, QWidget* parent = nullptr);

    int tab() const { return tab_; }

    // Status display.
    QLineEdit* Mode;
    QLabel* HardwareRev;
    QLabel* RevisionSlash;
    QLabel* FirmwareRev;
    QLineEdit* SerialDisplay;
    QLabel* RawFrameCount;
    QLabel* RateDisplay;

    // Settings panel.
    QRadioButton* PulseMode;
    QRadioButton* ChoppedMode;
    QComboBox* ChopSource;
    QWidget* ChopRatePanelA;
    QComboBox* ChopRate;
    QCheckBox* VisibleWavelength;
    QWidget* ChopRatePanelB;
    QLineEdit* ExternalChopRate;
    QLineEdit* ExposureTime;
    QComboBox* PulseType;
    QLineEdit* PulsePeriod;
    QLineEdit* SkippedTriggers;
    QLineEdit* PulseLockinPeriod;
    QGroupBox* GainPanel;
    QSlider* GainTracker;
    QLineEdit* GainFactor;
    QLineEdit* GainValue;
    QLabel* OBLabel;
    QLineEdit* OffsetBias;
    QCheckBox* VideoTrigger;
    QComboBox* VideoThreshold;
    QGroupBox* PixelPanel;
    QPushButton* BadPixelOnOff;
    QPushButton* GainOnOff;

    // Calibration, uploads and tools.
    QPushButton* CalibrateButton;
    QPushButton* KillCalibrationButton;
    QPushButton* FirmwareButton;
    QPushButton* LcaButton;
    QPushButton* ViewButton;
    QPushButton* FactoryButton;
    QPushButton* UtilitiesButton;
    QCheckBox* EnableOruCheckBox;
    QCheckBox* LaunchM2;

private:
    template <typename W>
    W* named(W* widget, const QString& baseName);
    QString suffixed(const QString& baseName) const;

    int tab_;
};

}  // namespace kestrom
