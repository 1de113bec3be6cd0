// The service actions of a camera tab: calibration and its watch, firmware and logic-program uploads.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "camera_link/acquisition.h"
#include "camera_link/camera_driver.h"
#include "camera_records/subscriber_protocol.h"
#include "camera_link/console_state.h"
#include "camera_link/driver_calls.h"
#include "platform/delay_service.h"
#include "platform/dialog_service.h"
#include "platform/window_messages.h"

class QTimer;

namespace kestrom {

class TCameraTab;
class TSettingsPanel;

struct ServiceButtonsContext {
    ConsoleState& state;
    DriverCalls& calls;
    Acquisition& acquisition;
    TSettingsPanel& panel;
    MessagePort& port;
    DialogService& dialogs;
    DelayService& delay;
    std::function<TCameraTab*()> currentTab;
    std::function<void()> enableOpenCameras;     // "&Open cameras"
    std::function<void()> armFactoryKeys;        // the key sequence that opens the factory dialog
    std::function<void(const std::string&)> debugOutput;
};

inline constexpr int kCalibrateStart = 1;
inline constexpr int kCalibrateStop = 65536;
inline constexpr std::size_t kLogicProgramSize = 16384;
// Larger firmware files are refused rather than read whole into memory.
inline constexpr std::size_t kFirmwareFileLimit = 16 * 1024 * 1024;

class TServiceButtons : public QObject {
    Q_OBJECT
public:
    TServiceButtons(ServiceButtonsContext context, QObject* parent = nullptr);
    ~TServiceButtons() override;
    void connectTab(TCameraTab* tab);

    void CalibrateButton1Click();
    void CalibrationTimerTimer();
    void KillCalibrationButton1Click();
    void SendCalibrate(int value);
    void FirmwareButton10Click();
    void BitBtn12Click();

    // The firmware buffer: the file, zero-padded to a multiple of 4 bytes.
    static std::vector<std::uint8_t> firmwareBuffer(const std::vector<std::uint8_t>& file);

    QTimer* CalibrationTimer = nullptr;

private:
    TCameraTab* tab() { return context_.currentTab(); }
    // The whole file, or nothing after the file-error lines and box.
    // The whole file, at most limit bytes, read without blocking. Otherwise a file error is shown,
    // except that a file beyond the limit only sets tooLarge when the caller asks for it.
    bool readUpload(const std::string& file, std::size_t limit, std::vector<std::uint8_t>& bytes,
                    bool* tooLarge = nullptr);
    void fileError(const std::string& file);
    int calibrationOffset();

    ServiceButtonsContext context_;
    bool hourglass_ = false;
    FileDialogRequest OpenDialog;
    FileDialogRequest OpenDialog1;
};

}  // namespace kestrom
