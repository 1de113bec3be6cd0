// TOKHelpRightDlg: the utilities dialog of one camera slot. It shows the camera's live image upside
// down, as a subscriber, and maintains the camera's two correction tables for the mode the tab
// shows: the bad-pixel map (marked with the mouse, repaired in software, exchanged with the camera
// and with ".bpp"/".bpc" files) and the gain map (made from 64 frames of an evenly lit detector,
// applied in software, edited by hand, exchanged with the camera and with ".gcp"/".gcc" files).
#pragma once

#include <QDialog>

#include <array>
#include <memory>
#include <string>

#include "maintenance/core/bad_pixel_list.h"
#include "maintenance/core/gain_calculation.h"
#include "maintenance/core/gain_map.h"
#include "maintenance/core/utility_image.h"
#include "maintenance/maintenance_host.h"
#include "viewer/surface.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QStatusBar;
class QTimer;

namespace kestrom {

class TKesTrom3SubscriberWidget;

inline constexpr const char* kUtilityKeyBase = "\\Software\\Vantrel\\Kestrom3\\Utility\\";

class TOKHelpRightDlg : public QDialog {
    Q_OBJECT
  public:
    using Frame = TVasprelFrame<std::int16_t>;

    // For the console's current tab; reads the maps from its camera and subscribes to its frames.
    explicit TOKHelpRightDlg(MaintenanceHost& host, QWidget* parent = nullptr);
    ~TOKHelpRightDlg() override;

    int cameraSlot() const { return cameraSlot_; }
    bool active() const { return active_; }
    const BadPixelList& badPixels() const { return badPixels_; }
    const GainMap& gainMap() const { return gainMap_; }
    const UtilityImage& workingImage() const { return working_; }
    const UtilityImage& rawImage() const { return raw_; }
    const GainCalculation& gainCalculation() const { return calculation_; }
    int suspensions() const { return suspensions_; }
    const std::string& dataDirectory() const { return dataDirectory_; }
    Frame& displayFrame() { return *frame_; }
    TKesTrom3SubscriberWidget& subscriberWidget() { return *KesTrom3Subscriber1; }

    // Bad pixels.
    QPushButton* BitBtn4;  // "Load Map"
    QPushButton* BitBtn5;  // "Save Map"
    QPushButton* BitBtn2;  // "Get Map"
    QPushButton* BitBtn3;  // "Send Map"
    QPushButton* BitBtn1;  // "Clear Map"
    QPushButton* BitBtn6;  // "Show Map" / "Hide Map"
    QCheckBox* CorrectingPixels;
    QRadioButton* PixelsOnly;
    QRadioButton* RowsOfPixels;
    QRadioButton* ColsOfPixels;
    QLineEdit* BadPixelCountEdit;
    // Gain map.
    QPushButton* CalculateGainButton;
    QPushButton* GetGainFromCameraButton;
    QPushButton* SendGainToCameraButton;
    QPushButton* LoadGainMapButton;
    QPushButton* SaveGainMapButton;
    QPushButton* BitBtn7;  // "Set Default "
    QCheckBox* SoftwareGain;
    QLineEdit* PixelGain;
    QLineEdit* RowGain;
    QLineEdit* ColGain;
    // The image and the read-outs under the cursor.
    TSurface* Surface1;
    QScrollBar* ScrollBar1;
    QScrollBar* ScrollBar2;
    QLineEdit* Horizontal;
    QLineEdit* Vertical;
    QLineEdit* RawDataVaueEdit;
    QPushButton* PauseButton;
    QPushButton* RepaintButton;
    QPushButton* HelpBtn;
    QPushButton* Button1;  // "Close"
    QStatusBar* StatusBar1;
    TKesTrom3SubscriberWidget* KesTrom3Subscriber1;

    // Handlers.
    void BitBtn4Click();  // Load Map
    void BitBtn5Click();  // Save Map
    void BitBtn2Click();  // Get Map
    void BitBtn3Click();  // Send Map
    void BitBtn1Click();  // Clear Map
    void BitBtn6Click();  // Show Map
    void PauseButtonClick();
    void RepaintButtonClick();
    void HelpBtnClick();
    void Button1Click();
    void CalculateGainButtonClick();
    void GetGainFromCameraButtonClick();
    void SendGainToCameraButtonClick();
    void LoadGainMapButtonClick();
    void SaveGainMapButtonClick();
    void BitBtn7Click();
    void PixelGainEnter();
    void RowGainEnter();
    void ColGainEnter();
    void KesTrom3Subscriber1NewFrame();
    void KesTrom3Subscriber1KestClose();
    // A right click on the surface at its frame cursor.
    void Surface1RightClick(bool shift);

    // The received frame processed now rather than when the event loop gets to it.
    void processReceivedFrame();
    // The application's idle step: a processed image is shown and the next frame accepted.
    void ApplicationIdle();
    // The read-outs for the surface's frame cursor.
    void updateReadouts();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    // Escape, and the console closing its open dialogs, close this one as its Close button does.
    void reject() override { close(); }

  private:
    void buildControls();
    void connectHandlers();
    void setUpGainButtons();
    void FormClose();
    bool pulsed() const;
    void showImage();
    void badPixelsChanged();
    FileDialogRequest badPixelFileRequest(bool open) const;
    void readGainFromCamera();
    void mapFailureCheck();
    void showConversionError(const std::string& text);
    void suspend();
    void resume();

    MaintenanceHost& host_;
    const int cameraSlot_;
    const std::string serialText_;
    std::unique_ptr<Frame> frame_;
    std::array<Frame*, 2> surfaceFrames_{};
    UtilityImage received_{};
    UtilityImage working_{};
    UtilityImage raw_{};
    BadPixelList badPixels_;
    GainMap gainMap_;
    GainCalculation calculation_;
    std::string dataDirectory_;
    int suspensions_ = 0;
    bool busy_ = false;
    bool imageReady_ = false;
    bool active_ = true;
    bool processingPending_ = false;
    bool calculationCursor_ = false;
    bool closed_ = false;
    QTimer* idleTimer_;
};

}  // namespace kestrom
