// TViewWindow: the console's live viewer of one camera slot. It subscribes to the camera's frames
// like any outside program, turns, averages or sums them, logs them, computes their results and
// shows them on a TSurface; it saves, loads, pictures and prints frames, and keeps its display
// settings per camera.
#pragma once

#include <QMainWindow>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer/core/beam_statistics.h"
#include "viewer/core/camera_description.h"
#include "viewer/core/frame_accumulation.h"
#include "viewer/core/frame_log.h"
#include "viewer/core/frame_record.h"
#include "viewer/core/results.h"
#include "viewer/core/viewer_settings.h"
#include "viewer/surface.h"
#include "viewer/viewer_host.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QTimer;

namespace kestrom {

class TKesTrom3SubscriberWidget;
class TStatisticsWindow;
class UpDownControl;

class TViewWindow : public QMainWindow {
    Q_OBJECT
  public:
    using Frame = TVasprelFrame<std::int16_t>;
    using Clock = std::chrono::steady_clock;

    // For the console's current tab; attaches to its camera at once.
    explicit TViewWindow(ViewerHost& host, QWidget* parent = nullptr);
    ~TViewWindow() override;

    int cameraSlot() const { return cameraSlot_; }
    // The camera's tab has a new caption (its alias).
    void retitle(const std::string& tabCaption);
    bool closing() const { return closing_; }
    Frame& frame() { return *frame_; }
    const FrameBlockBytes& frameBuffer() const { return frameBuffer_; }
    const std::string& dataDirectory() const { return dataDirectory_; }
    TKesTrom3SubscriberWidget& subscriberWidget() { return *KesTrom3Subscriber1; }
    QPrinter& printer();

    // The window's own modal dialogs (energy calibration, data logging, printer setup) run through
    // this, so tests answer them; without one (by default) they run for real. Returns the dialog's
    // result code.
    void setModalRunner(std::function<int(QDialog&)> runner) { runModal_ = std::move(runner); }
    // Each frame shown, with the time it arrived and the time it was shown.
    void setOnFrameShown(std::function<void(Clock::time_point, Clock::time_point)> hook) {
        onFrameShown_ = std::move(hook);
    }
    BeamStatistics& statistics() { return statistics_; }
    // The statistics window, once "Statistics" has opened it; null before.
    TStatisticsWindow* statisticsWindow() { return statisticsWindow_; }
    const TResults& results() const { return Results1; }
    // The time every frame's processing takes as its "now" (logging); the wall clock by default.
    void setClock(std::function<LogTime()> clock) { clock_ = std::move(clock); }

    // Controls, named as the window describes them.
    QRadioButton* RadioButton1;  // "Start"
    QRadioButton* RadioButton4;  // "Stop"
    QRadioButton* RadioButton2;  // "Avg"
    QRadioButton* RadioButton3;  // "Sum"
    QLineEdit* AvgEdit;
    UpDownControl* UpDown1;
    QComboBox* ComboBox1;
    QSlider* TrackBar1;
    QCheckBox* CheckBox1;  // "Crosshair"
    QCheckBox* CheckBox2;  // "Cursor"
    QCheckBox* CheckBox3;  // "Aperture"
    QCheckBox* ColorBar;
    QCheckBox* HasLens;
    QRadioButton* ColorButton;
    QRadioButton* GrayButton;
    QRadioButton* RedButton;
    QRadioButton* GreenButton;
    TSurface* Surface1;
    QScrollBar* RotateBar;
    QScrollBar* TiltBar;
    QPushButton* Button1;  // "Close"
    TKesTrom3SubscriberWidget* KesTrom3Subscriber1;
    QLabel* CursorReadout;  // in the status bar: the pixel under the cursor

    QAction* Savedata1;
    QAction* Loaddata1;
    QAction* File1;
    QAction* Logdatatodisk1;
    QAction* LogdatatodiskasASCII1;
    QAction* Exit1;
    QAction* Showresult1;
    QAction* Showcolor1;
    QAction* N2D3D1;
    QAction* Scale1;
    QAction* CalibratePower1;
    QAction* KnifeEdge1;     // "Knife edge", the width method
    QAction* SecondMoment1;  // "Second moment (ISO 11146)"
    QAction* Statistics1;
    QAction* PrintSetup1;
    QAction* Print2;
    QAction* Context1;
    QAction* About1;

    // Handlers.
    void RadioButton1Click();
    void AvgEditEnter();
    void ComboBox1Change();
    void TrackBar1Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void ColorBarClick();
    void ColorButtonClick();
    void GrayButtonClick();
    void RedButtonClick();
    void GreenButtonClick();
    void Button1Click();
    void KesTrom3Subscriber1NewFrame();
    void KesTrom3Subscriber1KestClose();
    void Savedata1Click();
    void Loaddata1Click();
    void File1Click();
    void Logdatatodisk1Click();
    void LogdatatodiskasASCII1Click();
    void Exit1Click();
    void Showresult1Click();
    void Showcolor1Click();
    void N2D3D1Click();
    void Scale1Click();
    void CalibratePower1Click();
    void WidthMethodClick();
    void Statistics1Click();
    void PrintSetup1Click();
    void Print2Click();
    void Context1Click();
    void About1Click();

    // The frame received last, processed now rather than when the event loop gets to it.
    void processReceivedFrame();
    // The application's idle step: a ready frame is shown once.
    void ApplicationIdle();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void connectHandlers();
    void buildCursorReadout();
    void showCursorReadout();
    void FormPaint();
    void FormClose();
    // The count in AvgEdit, a count above the most the window takes replaced by that most.
    int typedCount();
    void perFrameProcessing(LogTime now);
    void markFrameReady();
    void startLog(const char* pattern, bool textMode);
    void printTo(QPrinter& printer);
    // What the printout's page shows at its top.
    std::vector<std::string> printoutHeader() const;
    void applyWidthMethod(WidthMethod method);
    // A quantity of the statistics now means something else (another method, other units, the
    // aperture's total instead of the frame's): they begin again.
    void restartStatistics();
    // The results of the frame just computed into the statistics.
    void addStatisticsSample();
    std::array<std::string, kBeamQuantities> statisticsNames() const;
    ViewerSettings currentSettings() const;
    void showError(const std::string& text);
    int runDialog(QDialog& dialog);

    ViewerHost& host_;
    int cameraSlot_;
    std::string serialText_;
    CameraDescription camera_;
    std::unique_ptr<Frame> frame_;
    std::array<Frame*, 2> surfaceFrames_{};
    FrameAccumulator accumulator_;
    FrameBlockBytes frameBuffer_{};
    FrameLog log_;
    TResults Results1;
    BeamStatistics statistics_;
    Clock::time_point statisticsStart_{};
    TStatisticsWindow* statisticsWindow_ = nullptr;
    bool closing_ = false;
    bool closed_ = false;
    bool firstPaintDone_ = false;
    bool loading_ = false;
    bool frameReady_ = false;
    bool processingPending_ = false;
    Clock::time_point receivedAt_{};
    Clock::time_point readyArrival_{};
    std::string dataDirectory_;
    QTimer* idleTimer_;
    std::unique_ptr<QPrinter> printer_;
    std::function<int(QDialog&)> runModal_;
    std::function<void(Clock::time_point, Clock::time_point)> onFrameShown_;
    std::function<LogTime()> clock_;
};

}  // namespace kestrom
