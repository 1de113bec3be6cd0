// Main window construction, tabs, closing cameras, device change and shutdown.
#include "console/logo_app_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMetaObject>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <optional>

#include "common/qt/frame_position.h"
#include "console/camera_tab.h"
#include "console/console_factory.h"
#include "console/console_launches.h"
#include "console/console_tools.h"
#include "console/console_utilities.h"
#include "console/console_viewers.h"
#include "console/core/console_settings.h"
#include "console/core/registry_keys.h"

namespace kestrom {

namespace {
constexpr const char* kCaption = "Kestrom III Control Console";
}

TLogoAppForm::TLogoAppForm(ConsoleServices services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      calls_(state_, services.io, *this),
      acquisition_(state_, calls_, services_.delay, *this),
      threads_(AcquisitionContext{state_, services_.io, mainThread_, port_, *this}),
      store_(services.configFolder.empty() ? RegistryStore::defaultFolder() : services.configFolder),
      RegUtil1(store_, kControlKey) {
    setObjectName("TLogoAppForm");
    setWindowTitle(kCaption);
    buildPages();
    buildMenus();
    threads_.context().frameBlockPrefix = "/" + services_.sharedMemoryNamespace + "Kest3_";
    panel_ = new TSettingsPanel(state_, calls_, acquisition_, dialogs_, *this, this);
    for (TCameraTab* tab : tabs_) panel_->connectTab(tab);
    service_ = new TServiceButtons(
        ServiceButtonsContext{state_, calls_, acquisition_, *panel_, port_, dialogs_, services_.delay,
                              [this] { return currentTab_; }, [this] { Refresh5->setEnabled(true); },
                              [this] {
                                  if (factory_) factory_->armKeys();
                              },
                              defaultDebugOutput()},
        this);
    for (TCameraTab* tab : tabs_) service_->connectTab(tab);
    setupFiles_ = std::make_unique<SetupFiles>(state_, store_, dialogs_, *panel_);
    // The program's own folder (a build folder, /usr/bin) is no place for a user's setup files: the
    // dialogs start in the documents folder, else at home, until a camera's last file names its own.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString startFolder = !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
    setupFiles_->setDialogsDirectory(startFolder.toStdString());
    QDir::setCurrent(startFolder);
    store_.setWarningSink([this](const std::string& warning) { state_.history.append(warning); });
    connect(FileOpenItem, &QAction::triggered, this, [this] { setupFiles_->FileOpen1Execute(); });
    connect(SaveAs1, &QAction::triggered, this, [this] { setupFiles_->FileSaveAs1Execute(); });
    // Frame deliveries and posted messages run from the event loop.
    mainThread_.setWakeup([this] {
        QMetaObject::invokeMethod(this, [this] { mainThread_.runPending(); }, Qt::QueuedConnection);
    });

    state_.history.addListener([this](const std::string& line) {
        historyLog_.write(line);
        QString text = QString::fromStdString(line);
        // Lines can come from an acquisition thread; the list belongs to the main thread.
        if (QThread::currentThread() == thread())
            appendToErrLog(text);
        else
            QMetaObject::invokeMethod(this, [this, text] { appendToErrLog(text); }, Qt::QueuedConnection);
    });
    if (!services_.historyLogPath.empty() && !historyLog_.open(services_.historyLogPath))
        StatusBar->showMessage(QString::fromStdString(historyLog_.error()));

    // Before any camera is opened: the cameras found at start get the launch boxes, sounds and
    // clipboard copy of a camera plugged in later.
    viewers_ = new ConsoleViewers(*this);
    utilities_ = new ConsoleUtilities(*this);
    factory_ = new ConsoleFactory(*this, *utilities_);
    launches_ = new ConsoleLaunches(*this);
    tools_ = new ConsoleTools(*this);
    for (TCameraTab* tab : tabs_) {
        viewers_->connectTab(tab);
        utilities_->connectTab(tab);
        factory_->connectTab(tab);
        launches_->connectTab(tab);
    }

    // Start-up.
    for (const char* name : {"FileOpenItem", "SaveAs1", "Refresh5", "Closecamera1", "SetAlias1"})
        action(name)->setEnabled(false);
    state_.tabChangeAllowed = true;

    setTabShown(1, true);
    for (int slot = 2; slot <= kLastCameraSlot; ++slot) setTabShown(slot, false);
    ListBox1.clear();
    currentTab_ = tabs_[0];

    FindCameras();
    if (ListBox1.empty()) {
        state_.history.appendRaw("No cameras found");
        setTabShown(1, false);
    } else {
        // Nobody may be at the screen yet: what the cameras' setup files have to say is shown
        // without waiting for an answer, so the start goes on to serve subscribers.
        RequestSafeDialogs::RequestScope unattended(dialogs_);
        std::vector<std::string> found = ListBox1;
        for (std::size_t i = 0; i < found.size(); ++i) {
            ListBox1Selected = static_cast<int>(i);
            BitBtn1MouseDown();
        }
    }

    Timer1 = new QTimer(this);
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, &TLogoAppForm::Timer1Timer);
    NoViewTimer = new QTimer(this);
    NoViewTimer->setInterval(1000);
    connect(NoViewTimer, &QTimer::timeout, this, &TLogoAppForm::NoViewTimerTimer);
    if (services_.startTimers) {
        Timer1->start();
        NoViewTimer->start();
    }

    std::string error;
    std::string commandName = "/" + services_.sharedMemoryNamespace + subscriber_protocol::kCommandBlockName;
    command_ = SharedMemory::createOrOpen(commandName, subscriber_protocol::kCommandBlockSize, error);
    if (!command_) state_.history.append("Shared memory " + commandName + " not available: " + error);
    windowHandle_ = port_.registerWindow(
        [this](std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
            return dispatchMessage(message, wParam, lParam);
        });

    // The main window keeps its designed size.
    adjustSize();
    setFixedSize(size());
}

TLogoAppForm::~TLogoAppForm() {
    FormClose();
    // The viewers and utilities subscribe through the message port, which goes with the members below.
    delete tools_;
    tools_ = nullptr;
    delete launches_;
    launches_ = nullptr;
    delete factory_;
    factory_ = nullptr;
    delete utilities_;
    utilities_ = nullptr;
    delete viewers_;
    viewers_ = nullptr;
    // The pages and their handlers go while the window is still whole: the tab changes and toggles
    // of their own destruction must not reach a window that is half gone.
    delete service_;
    service_ = nullptr;
    delete panel_;
    panel_ = nullptr;
    MainPageControl->blockSignals(true);
    delete MainPageControl;
    MainPageControl = nullptr;
}

void TLogoAppForm::buildPages() {
    MainPageControl = new QTabWidget;
    MainPageControl->setObjectName("MainPageControl");
    Summary = new QWidget;
    Summary->setObjectName("Summary");
    ErrLog = new QListWidget;
    ErrLog->setObjectName("ErrLog");
    ErrLog->setToolTip(tr("Running history of events"));
    ErrLog->setStatusTip(tr("Running history of events"));
    ErrLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* layout = new QVBoxLayout(Summary);
    layout->addWidget(ErrLog);
    MainPageControl->addTab(Summary, tr("History"));
    for (int tab = 1; tab <= 4; ++tab) {
        tabs_[static_cast<std::size_t>(tab - 1)] = new TCameraTab(tab);
        MainPageControl->addTab(tabs_[static_cast<std::size_t>(tab - 1)], QString("Camera%1").arg(tab));
    }
    connect(MainPageControl, &QTabWidget::currentChanged, this, &TLogoAppForm::onCurrentChanged);
    setCentralWidget(MainPageControl);

    StatusBar = new QStatusBar;
    StatusBar->setObjectName("StatusBar");
    StatusBar->installEventFilter(this);
    setStatusBar(StatusBar);
}

void TLogoAppForm::buildMenus() {
    auto make = [this](QMenu* menu, const QString& caption, const char* name, const QString& hint) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        a->setStatusTip(hint);
        return a;
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    FileOpenItem = make(file, tr("&Open setup file"), "FileOpenItem", tr("Load camera settings from a setup file"));
    SaveAs1 = make(file, tr("Save setup &As..."), "SaveAs1", tr("Save camera settings to a setup file"));
    file->addSeparator();
    Refresh5 = make(file, tr("&Open cameras"), "Refresh5", tr("Open every attached camera"));
    Closecamera1 = make(file, tr("C&lose camera"), "Closecamera1", tr("Close the camera of this tab"));
    file->addSeparator();
    FileExit1 = make(file, tr("E&xit"), "FileExit1", tr("Close the console"));
    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    SoundOnOff1 = make(tools, tr("&Sound On"), "SoundOnOff1", tr("Toggle sound on/off"));
    SoundOnOff1->setCheckable(true);
    SoundOnOff1->setChecked(true);
    SetAlias1 = make(tools, tr("Set &Alias"), "SetAlias1", tr("Set camera alias"));
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    make(help, tr("&Index"), "Index1", tr("Display main help file"));
    make(help, tr("&About..."), "HelpAboutItem", tr("About the console"));

    connect(Refresh5, &QAction::triggered, this, &TLogoAppForm::OpenCameraExecute);
    connect(Closecamera1, &QAction::triggered, this, &TLogoAppForm::CloseCameraExecute);
    connect(FileExit1, &QAction::triggered, this, &TLogoAppForm::FileExit1Execute);
}

QAction* TLogoAppForm::action(const char* objectName) const {
    return findChild<QAction*>(QString::fromLatin1(objectName));
}

void TLogoAppForm::appendToErrLog(const QString& line) {
    // Read at its end, the list follows the newest line; scrolled back, it stays where the user reads.
    const QScrollBar* bar = ErrLog->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    ErrLog->addItem(line);
    // The window keeps the newest lines, as the history does; the log file keeps them all.
    while (static_cast<std::size_t>(ErrLog->count()) > History::kKeptLines) delete ErrLog->takeItem(0);
    if (atEnd) ErrLog->scrollToBottom();
}

bool TLogoAppForm::isTabShown(int slot) const { return MainPageControl->isTabVisible(slot); }
QString TLogoAppForm::tabCaption(int slot) const { return MainPageControl->tabText(slot); }

// Programmatic page changes run MainPageControlChange only where the caller says so.
void TLogoAppForm::activateTab(int slot) {
    QSignalBlocker block(MainPageControl);
    MainPageControl->setCurrentIndex(slot);
}

void TLogoAppForm::setTabShown(int slot, bool shown) {
    QSignalBlocker block(MainPageControl);
    MainPageControl->setTabVisible(slot, shown);
}

void TLogoAppForm::setTabCaption(int slot, const QString& caption) { MainPageControl->setTabText(slot, caption); }

void TLogoAppForm::onCurrentChanged(int /*index*/) {
    if (!state_.tabChangeAllowed) {
        // A long operation holds the page; go back to the tab of the current slot.
        activateTab(state_.currentSlot);
        return;
    }
    MainPageControlChange();
}

int TLogoAppForm::visiblePosition(int slot) const {
    int position = 0;
    for (int i = 0; i < slot; ++i)
        if (MainPageControl->isTabVisible(i)) ++position;
    return position;
}

void TLogoAppForm::enableSetupFileMenus(bool enabled) {
    FileOpenItem->setEnabled(enabled);
    SaveAs1->setEnabled(enabled);
}

void TLogoAppForm::setMenusForHistory() {
    FileOpenItem->setEnabled(false);
    SaveAs1->setEnabled(false);
    Closecamera1->setEnabled(false);
    SetAlias1->setEnabled(false);
    Refresh5->setEnabled(true);
}

void TLogoAppForm::MainPageControlChange() {
    int page = MainPageControl->currentIndex();
    if (page < 0) return;
    if (page == 0) {
        setMenusForHistory();
        state_.history.append("Switch to history tab.");
        state_.currentSlot = 0;
        currentTab_ = tabs_[0];
    } else {
        if (!state_.factory.isFixedConfiguration()) {
            FileOpenItem->setEnabled(true);
            SaveAs1->setEnabled(true);
            Refresh5->setEnabled(true);
            Closecamera1->setEnabled(true);
            SetAlias1->setEnabled(true);
        }
        state_.history.append("Switch to " + MainPageControl->tabText(page).toStdString());
        state_.currentSlot = page;
        currentTab_ = tabs_[static_cast<std::size_t>(page - 1)];
    }
    refreshLaunchBoxes();
}

void TLogoAppForm::NoViewTimerTimer() {
    threads_.reap();
    CameraSlot& slot = state_.current();
    if (slot.hasDevice() && (slot.Thread.load() == nullptr || slot.Paused.load())) calls_.ReadCameraState();
}

void TLogoAppForm::Timer1Timer() {
    if (!state_.closing) RefreshCameras();
}

void TLogoAppForm::OpenCameraExecute() {
    for (int i = kFirstCameraSlot; i < kSlotCount; ++i)
        if (!state_.slots[i].hasDevice()) state_.slots[i].DevicePath.clear();
}

void TLogoAppForm::terminateThread(int slot) { threads_.terminate(slot); }

bool TLogoAppForm::startAcquisition(int slot) {
    if (!state_.validSlot(slot) || !state_.slots[slot].hasDevice()) return false;
    if (state_.currentSlot != slot) {
        activateTab(slot);
        MainPageControlChange();
    }
    acquisition_.SetAcquire(1);
    resumeFrames(slot);
    if (state_.slots[slot].Thread.load() != nullptr) return true;
    if (threads_.start(slot)) return true;
    state_.history.append(threads_.lastError());
    return false;
}

// A settings change made while acquisition was off leaves the slot paused; frames asked for now
// must flow unless a suspension is still outstanding.
void TLogoAppForm::resumeFrames(int slot) {
    CameraSlot& s = state_.slots[slot];
    if (s.SavedAcquireStates.empty() && s.AcquireState.load() == 1) s.Paused = false;
}

void TLogoAppForm::showFrameCounters(std::int32_t frameCount, std::int32_t transferEfficiency) {
    currentTab_->RawFrameCount->setText(QString::number(frameCount));
    currentTab_->RateDisplay->setText(QString::number(transferEfficiency));
}

void TLogoAppForm::refreshCalibrateButtonColour() { panel_->colourCalibrateButton(); }

void TLogoAppForm::setHourglass(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++hourglassDepth_;
    } else if (hourglassDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --hourglassDepth_;
    }
}

void TLogoAppForm::setCloseCameraEnabled(bool enabled) { Closecamera1->setEnabled(enabled); }

void TLogoAppForm::closeSlotDevice(int slot) {
    threads_.closeDevice(state_.slots[slot].Device.exchange(kNoDevice));
}

void TLogoAppForm::CloseCameraExecute() {
    int slot = state_.currentSlot;
    if (slot == 0 || slot >= MainPageControl->count()) return;
    Refresh5->setEnabled(true);

    // With a lower camera tab hidden the page's position differs from its slot; show it again first.
    if (visiblePosition(slot) != slot) {
        activateTab(slot);
        MainPageControlChange();
        repaint();
    }
    CameraSlot& s = state_.slots[slot];
    s.SavedAcquireStates.clear();
    if (s.Thread.load() != nullptr) {
        terminateThread(slot);
        services_.delay.wait(100);
    }
    bool fixed = state_.factory.isFixedConfiguration();
    // The prompt comes once the camera is closed: while it is open, the slot must not look like one
    // that still holds the camera (a subscriber would attach to it, discovery would not reopen it),
    // and nothing of the close is left to run after it.
    std::optional<SetupFiles::SettingsToSave> toSave;
    if (s.SettingsChanged && !state_.setupLoadInProgress && !fixed && !s.Locked) {
        s.SettingsChanged = false;
        toSave = setupFiles_->settingsToSave();
    }
    if (fixed) panel_->UnlockSettings();
    // A later camera in this slot starts unlocked, so its changes are offered for saving.
    s.Locked = false;
    closeSlotDevice(slot);
    // A closed slot forgets its camera: a subscriber that looks for the serial must not find it here.
    s.Serial = 0;
    s.Factory = FactoryInfo{};
    s.Console = ConsoleBlock{};

    state_.history.append("Camera closed: " + MainPageControl->tabText(slot).toStdString());
    ErrLog->setCurrentRow(ErrLog->count() - 1);

    if (MainPageControl->currentIndex() != 0) {
        setTabCaption(slot, QString());
        setTabShown(slot, false);
    }
    tabs_[static_cast<std::size_t>(slot - 1)]->EnableOruCheckBox->setChecked(false);
    activateTab(0);
    MainPageControlChange();
    repaint();
    if (toSave) setupFiles_->offerToSaveSettings(*toSave);
}

void TLogoAppForm::playSound(const char* file) {
    if (tools_) tools_->playSound(file);
}

void TLogoAppForm::refreshLaunchBoxes() {
    if (launches_) launches_->refreshLaunchBoxes();
}

void TLogoAppForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimised, only the tray icon stays; its Restore brings the window back.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tools_)
        QMetaObject::invokeMethod(this, [this] { tools_->minimiseToTray(); }, Qt::QueuedConnection);
}

void TLogoAppForm::closeCamera(int slot) {
    if (!state_.validSlot(slot) || slot == 0 || !state_.slots[slot].hasDevice()) return;
    if (slot != state_.currentSlot) {
        // The close acts on the current slot; the tab shown stops mattering as it ends on History.
        state_.currentSlot = slot;
        currentTab_ = tabs_[static_cast<std::size_t>(slot - 1)];
    }
    CloseCameraExecute();
}

void TLogoAppForm::deviceChange(std::intptr_t wParam) {
    StatusBar->showMessage(tr("Device Changed."));
    repaint();
    if (wParam != kDevNodesChanged) return;
    // Every camera that has gone is closed, the shown one too: its subscribers are told (1330).
    for (int slot = kFirstCameraSlot; slot < kSlotCount; ++slot) {
        if (!state_.slots[slot].hasDevice()) continue;
        if (calls_.ShortIOByTab(req::GetMode, slot, 0) < 0) {
            TCameraTab* tab = tabs_[static_cast<std::size_t>(slot - 1)];
            {
                // Unticked by the console itself: the launch handlers must not act.
                QSignalBlocker oru(tab->EnableOruCheckBox);
                QSignalBlocker m2(tab->LaunchM2);
                tab->EnableOruCheckBox->setChecked(false);
                tab->LaunchM2->setChecked(false);
            }
            closeCamera(slot);
            state_.slots[slot].DevicePath.clear();
        }
    }
}

std::intptr_t TLogoAppForm::dispatchMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    if (message == kDeviceChangeMessage) {
        deviceChange(wParam);
        return 0;
    }
    if (message >= subscriber_protocol::kFrameBlockHandle && message <= subscriber_protocol::kGainFactor) {
        // Answered at once: what the request shows in a box does not wait for anyone.
        RequestSafeDialogs::RequestScope scope(dialogs_);
        return subscriberRequest(message, wParam, lParam);
    }
    return 0;
}

void TLogoAppForm::StatusBarDblClick() {
    state_.debugLogging = !state_.debugLogging;
    state_.history.append(state_.debugLogging ? "Debug started." : "Debug ended.");
}

bool TLogoAppForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StatusBar && event->type() == QEvent::MouseButtonDblClick) {
        StatusBarDblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TLogoAppForm::FileExit1Execute() {
    state_.closing = true;
    Timer1->stop();
    service_->CalibrationTimer->stop();
    NoViewTimer->stop();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (state_.slots[slot].Thread.load() != nullptr) {
            terminateThread(slot);
            services_.delay.wait(100);
        }
    }
    if (viewers_) viewers_->closeAll();
    if (utilities_) utilities_->closeAll();
    for (int slot = 0; slot < kSlotCount; ++slot) closeSlotDevice(slot);
    close();
}

void TLogoAppForm::endOnSignal() {
    if (formClosed_) return;
    dialogs_.setEnding();
    // Boxes and dialogs just closed return once their own event loops are left; the exit follows then.
    QMetaObject::invokeMethod(this, [this] {
        if (QApplication::activeModalWidget()) {
            dialogs_.closeOpenDialogs();
            endOnSignal();
            return;
        }
        FileExit1Execute();
    }, Qt::QueuedConnection);
}

bool TLogoAppForm::soundOn() const { return SoundOnOff1->isChecked(); }

void TLogoAppForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormPaint();
}

// The window's place and the sound switch, once, when the window is first shown.
void TLogoAppForm::FormPaint() {
    if (windowSettingsRead_) return;
    windowSettingsRead_ = true;
    WindowSettings settings = readWindowSettings(RegUtil1, {x(), y(), height(), width()});
    SoundOnOff1->setChecked(settings.soundOn);
    placeFrameAt(*this, QPoint(settings.bounds.left, settings.bounds.top));
}

void TLogoAppForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TLogoAppForm::FormClose() {
    if (formClosed_) return;
    formClosed_ = true;
    state_.closing = true;
    Timer1->stop();
    service_->CalibrationTimer->stop();
    NoViewTimer->stop();
    CameraSlot& current = state_.current();
    if (current.SettingsChanged && !state_.factory.isFixedConfiguration() && !state_.setupLoadInProgress) {
        if (dialogs_.ending())
            state_.history.append("Changed settings were not saved.");
        else
            offerToSaveSettings();
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (state_.slots[slot].Thread.load() != nullptr) {
            terminateThread(slot);
            services_.delay.wait(100);
        }
    }
    if (viewers_) viewers_->closeAll();
    if (utilities_) utilities_->closeAll();
    for (int slot = 0; slot < kSlotCount; ++slot) closeSlotDevice(slot);
    storeWindowSettings(RegUtil1, {SoundOnOff1->isChecked(), {x(), y(), height(), width()}});
    // The devices are closed, so no read still blocks a thread that is asked to end.
    threads_.terminateAll();
    threads_.joinAll();
    port_.unregisterWindow(windowHandle_);
    command_.reset();
}

}  // namespace kestrom
