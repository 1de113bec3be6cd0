// TQuorlsMagicDialog: the service engineer's editor of a camera's factory information record. It
// reads the record of the console's current camera each time it is shown, shows every field, writes
// it back, saves and loads ".FAC" files, offers four switches on the console's tab, and for a
// thermal camera exchanges the temperature table with the camera and with text files.
#pragma once

#include <QDialog>

#include <array>
#include <string>

#include "camera_records/factory_info.h"
#include "maintenance/core/factory_form.h"
#include "maintenance/core/thermal_table.h"
#include "maintenance/maintenance_host.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace kestrom {

inline constexpr const char* kMagicKey = "\\Software\\Vantrel\\Kestrom3\\Magic";

class TQuorlsMagicDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TQuorlsMagicDialog(MaintenanceHost& host, QWidget* parent = nullptr);
    ~TQuorlsMagicDialog() override;

    const FactoryInfo& record() const { return record_; }
    const ThermalTable& thermalTable() const { return thermal_; }
    const std::string& dataDirectory() const { return dataDirectory_; }
    int cameraSlot() const { return slot_; }

    // The record's controls.
    QLineEdit* SerialNumber;
    QLineEdit* HardwareRevLevel;
    QComboBox* DetectorType;
    QLineEdit* DetectorWidth;
    QLineEdit* DetectorHeight;
    QLineEdit* LensFocalLength;
    QLineEdit* DetectorSerialNumber;
    QLineEdit* DetectorGrade;
    QLineEdit* DetectorDie;
    QLineEdit* PixelXScale;
    QLineEdit* PixelYScale;
    QComboBox* CrystalPolarity;
    QCheckBox* ChopperPresent;
    std::array<QLineEdit*, 4> Reserved;          // Reserved1 .. Reserved4
    std::array<QLineEdit*, 5> PulseGain;         // PulseGain1X, 2X, 5X (the 4X entry), 8X, 10X
    std::array<QLineEdit*, 5> PulseOffset;
    std::array<QLineEdit*, 5> ChoppedGain;
    std::array<QLineEdit*, 5> ChoppedOffset;
    QDoubleSpinBox* HScale;
    QDoubleSpinBox* VScale;
    QLineEdit* SiliconChopCalibrateEdit;
    QComboBox* CameraTypeBox;
    QCheckBox* IBPCheckBox;
    QCheckBox* BPSCheckBox;
    // Buttons, the thermal panel and the switches.
    QPushButton* BitBtn6;   // "Read from camera"
    QPushButton* BitBtn3;   // "Send to camera"
    QPushButton* BitBtn1;   // "Read from file"
    QPushButton* BitBtn2;   // "Save to file"
    QPushButton* OKBtn;     // "Close"
    QGroupBox* ThermalPanel;
    QPushButton* BitBtn7;   // "Get from disk"
    QPushButton* BitBtn8;   // "Send to disk"
    QPushButton* BitBtn9;   // "Get from camera"
    QPushButton* BitBtn10;  // "Send to camera"
    QCheckBox* CheckBox1;   // "Show raw gain"
    QCheckBox* CheckBox2;   // "Show calib. On/Off"
    QCheckBox* CheckBox4;   // "Show raw offset"
    QCheckBox* CheckBox3;   // "Setup mode"
    QStatusBar* StatusBar1;

    void BitBtn6Click();
    void BitBtn3Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn9Click();
    void BitBtn10Click();
    void CameraTypeBoxChange();

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool event(QEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    void showRecord();
    // False after the conversion error, which has been shown.
    bool buildRecord();
    void failedRecordRequest();
    void fileError(const std::string& lead, const std::string& reason);
    // A thermal file that opened and could not be read or written whole.
    void thermalFileError(const std::string& reason);
    void rememberFolder(const std::string& path);
    void thermalRequest(const Request& request, bool zeroFirst);

    MaintenanceHost& host_;
    int slot_ = 0;
    FactoryInfo record_;
    ThermalTable thermal_;
    float shownHScale_ = 1.0f, shownVScale_ = 1.0f;
    double shownHScaleInBox_ = 1.0, shownVScaleInBox_ = 1.0;
    std::string dataDirectory_;
    std::string thermalFileName_ = "*.txt";
};

}  // namespace kestrom
