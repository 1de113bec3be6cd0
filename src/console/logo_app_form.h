// The console's main window: camera slots, discovery, tabs, history, closing and shutdown.
#pragma once

#include <QMainWindow>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "camera_link/acquisition.h"
#include "camera_link/acquisition_host.h"
#include "camera_link/acquisition_threads.h"
#include "camera_link/console_state.h"
#include "camera_records/subscriber_protocol.h"
#include "camera_link/driver_calls.h"
#include "console/service_buttons.h"
#include "console/settings_panel.h"
#include "common/reg_util.h"
#include "console/core/setup_files.h"
#include "console/core/history_log.h"
#include "platform/delay_service.h"
#include "platform/device_io.h"
#include "platform/dialog_service.h"
#include "platform/shell_service.h"
#include "platform/main_thread_calls.h"
#include "platform/debug_output.h"
#include "platform/registry_store.h"
#include "platform/shared_memory.h"
#include "platform/window_messages.h"

class QAction;
class QListWidget;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace kestrom {

class TCameraTab;
class ConsoleFactory;
class ConsoleLaunches;
class ConsoleTools;
class ConsoleUtilities;
class ConsoleViewers;

struct ConsoleServices {
    DeviceIo& io;
    DelayService& delay;
    DialogService& dialogs;
    std::string historyLogPath;     // empty: no log file
    bool startTimers = true;        // tests drive the timers by hand
    std::string configFolder;       // user.reg and system.reg; empty: the user's default folder
    // Tests put their shared memory under other names ("/<ns>KIIICommand", "/<ns>Kest3_1") so that
    // they never touch a running console's; empty for the real names.
    std::string sharedMemoryNamespace;
    // Outside programs, the manual and the sounds; none: nothing is started, opened or played.
    ShellService* shell = nullptr;
    SoundPlayer* sounds = nullptr;
};

// Window message numbers the console dispatches.
inline constexpr std::uint32_t kDeviceChangeMessage = 537;
inline constexpr std::intptr_t kDevNodesChanged = 7;

class TLogoAppForm : public QMainWindow,
                     public DriverCallsHost,
                     public AcquisitionHost,
                     public SettingsPanelHost {
    Q_OBJECT
public:
    explicit TLogoAppForm(ConsoleServices services, QWidget* parent = nullptr);
    ~TLogoAppForm() override;

    ConsoleState& state() { return state_; }
    DriverCalls& calls() { return calls_; }
    // Camera tabs are 1 to 4; any other number has no tab.
    TCameraTab* cameraTab(int tab) const {
        return tab >= 1 && tab <= static_cast<int>(tabs_.size()) ? tabs_[static_cast<std::size_t>(tab - 1)]
                                                                 : nullptr;
    }
    // The current tab's controls; tab 1's while the History tab is shown.
    TCameraTab* currentTab() const override { return currentTab_; }
    TSettingsPanel& panel() { return *panel_; }
    TServiceButtons& serviceButtons() { return *service_; }
    ConsoleViewers& viewers() { return *viewers_; }
    ConsoleUtilities& utilities() { return *utilities_; }
    ConsoleFactory& factory() { return *factory_; }
    ConsoleLaunches& launches() { return *launches_; }
    ConsoleTools& tools() { return *tools_; }
    ShellService* shell() const { return services_.shell; }
    SoundPlayer* sounds() const { return services_.sounds; }
    DelayService& delay() { return services_.delay; }
    TRegUtil& regUtil() { return RegUtil1; }
    // A camera tab's caption (the alias or the serial number).
    void setCameraTabCaption(int slot, const QString& caption) { setTabCaption(slot, caption); }
    const std::string& sharedMemoryNamespace() const { return services_.sharedMemoryNamespace; }
    Acquisition& acquisition() { return acquisition_; }
    AcquisitionThreads& threads() { return threads_; }
    MainThreadCalls& mainThread() { return mainThread_; }
    MessagePort& messagePort() { return port_; }
    SetupFiles& setupFiles() { return *setupFiles_; }
    RegistryStore& registry() { return store_; }
    bool soundOn() const;
    // Switches acquisition on for a slot's camera and starts its thread (the tab becomes current).
    bool startAcquisition(int slot);
    QTabWidget* pageControl() const { return MainPageControl; }
    QListWidget* errLog() const { return ErrLog; }
    bool isTabShown(int slot) const;
    QString tabCaption(int slot) const;
    QAction* action(const char* objectName) const;

    // Discovery.
    void FindCameras();
    void RefreshCameras();
    void BitBtn1MouseDown();
    DeviceHandle OpenCameraDevice(const std::string& path);
    const std::vector<std::string>& discoveryList() const { return ListBox1; }
    void selectDiscoveryEntry(int index) { ListBox1Selected = index; }

    // Window handlers.
    void OpenCameraExecute();
    void CloseCameraExecute();
    void FileExit1Execute();
    // SIGTERM or SIGINT: no box waits for an answer any more, open ones close, and the console ends
    // as by "E&xit" once the event loop is back at its top, saving nothing it was not told to.
    void endOnSignal();
    RequestSafeDialogs& dialogs() { return dialogs_; }
    void MainPageControlChange();
    void Timer1Timer();
    void NoViewTimerTimer();
    void StatusBarDblClick();
    void deviceChange(std::intptr_t wParam);
    // Messages sent to the window: device change and the subscriber requests.
    std::intptr_t dispatchMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam);
    // The main window's handle on the message port, which subscribers find.
    WindowHandle windowHandle() const { return windowHandle_; }
    SharedMemory* commandMemory() const { return command_.get(); }
    std::string serialList() const;
    // A subscriber window whose program is gone or does not answer: dropped from every slot.
    void windowGone(WindowHandle window);

    // DriverCallsHost, AcquisitionHost, SettingsPanelHost.
    void closeCurrentCamera() override { CloseCameraExecute(); }
    void closeCamera(int slot) override;
    void showConsoleBlock() override { ShowConsoleBlock(); }
    void enableSetupFileMenus(bool enabled) override;
    void showFrameCounters(std::int32_t frameCount, std::int32_t transferEfficiency) override;
    void refreshCalibrateButtonColour() override;
    void setHourglass(bool on) override;
    void setCloseCameraEnabled(bool enabled) override;
    void playSound(const char* file) override;

    void ShowConsoleBlock();
    void RefreshSettings();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildPages();
    void FormClose();
    void activateTab(int slot);
    void setTabShown(int slot, bool shown);
    void setTabCaption(int slot, const QString& caption);
    void onCurrentChanged(int index);
    void setMenusForHistory();
    int visiblePosition(int slot) const;
    void closeSlotDevice(int slot);
    void activateSlot(int slot);
    void resumeFrames(int slot);
    void publishRecords(int slot);
    std::intptr_t subscriberRequest(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam);
    void menuLockout(bool enabled);
    void terminateThread(int slot);
    void appendToErrLog(const QString& line);

    // Places later console features fill in; they do nothing yet.
    std::string lastSetupFile();
    void loadSetupFile(const std::string& path);
    void FormPaint();
    void offerToSaveSettings() { setupFiles_->offerToSaveSettings(); }
    std::string cameraAlias(std::uint32_t serial);
    void refreshLaunchBoxes();

    ConsoleServices services_;
    // Every box of the console goes through here: none blocks a subscriber's request or an ending console.
    RequestSafeDialogs dialogs_{services_.dialogs};
    ConsoleState state_;
    DriverCalls calls_;
    HistoryLog historyLog_;
    MainThreadCalls mainThread_;
    MessagePort port_{mainThread_};
    Acquisition acquisition_;
    AcquisitionThreads threads_;
    TSettingsPanel* panel_ = nullptr;
    TServiceButtons* service_ = nullptr;
    ConsoleViewers* viewers_ = nullptr;
    ConsoleUtilities* utilities_ = nullptr;
    ConsoleFactory* factory_ = nullptr;
    ConsoleLaunches* launches_ = nullptr;
    ConsoleTools* tools_ = nullptr;
    RegistryStore store_;
    TRegUtil RegUtil1;
    std::unique_ptr<SetupFiles> setupFiles_;
    bool windowSettingsRead_ = false;
    std::unique_ptr<SharedMemory> command_;
    WindowHandle windowHandle_ = 0;
    DebugOutput debugOutput_ = defaultDebugOutput();
    int hourglassDepth_ = 0;

    QTabWidget* MainPageControl = nullptr;
    QWidget* Summary = nullptr;
    QListWidget* ErrLog = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<TCameraTab*, 4> tabs_{};
    TCameraTab* currentTab_ = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* NoViewTimer = nullptr;

    QAction* FileOpenItem = nullptr;
    QAction* SaveAs1 = nullptr;
    QAction* Refresh5 = nullptr;
    QAction* Closecamera1 = nullptr;
    QAction* SetAlias1 = nullptr;
    QAction* SoundOnOff1 = nullptr;
    QAction* FileExit1 = nullptr;

    // The discovery list (never shown) and its selection.
    std::vector<std::string> ListBox1;
    int ListBox1Selected = -1;

    bool programmaticTabChange_ = false;
    bool formClosed_ = false;
};

}  // namespace kestrom
