// The console's side of the subscriber protocol: requests 1324 to 1340 from subscriber windows.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <cstdio>
#include <cstring>

#include "camera_link/scoped_value.h"
#include "console/camera_tab.h"
#include "console/logo_app_form.h"

namespace kestrom {

namespace {

std::string handleText(WindowHandle window) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", window);
    return text;
}

}  // namespace

void TLogoAppForm::activateSlot(int slot) {
    activateTab(slot);
    MainPageControlChange();
    MainPageControl->repaint();
}

// The factory record at offset 0 and the status block at offset 1024 of the slot's own camera.
void TLogoAppForm::publishRecords(int slot) {
    if (!command_ || slot < 0 || slot >= kSlotCount) return;
    const CameraSlot& s = state_.slots[static_cast<std::size_t>(slot)];
    std::memcpy(command_->bytes() + subscriber_protocol::kCommandFactoryOffset, s.Factory.bytes.data(), FactoryInfo::kSize);
    std::memcpy(command_->bytes() + subscriber_protocol::kCommandConsoleOffset, s.Console.bytes.data(), ConsoleBlock::kSize);
}

std::string TLogoAppForm::serialList() const {
    std::string list;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (slot) list += ',';
        list += std::to_string(state_.slots[slot].Serial);
    }
    return list;
}

std::intptr_t TLogoAppForm::subscriberRequest(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    auto window = static_cast<WindowHandle>(wParam);
    // A slot outside the table is never used as an index.
    bool validSlot = lParam >= 0 && lParam < kSlotCount;
    int slot = validSlot ? static_cast<int>(lParam) : 0;
    switch (message) {
        case subscriber_protocol::kFrameBlockHandle:
        case subscriber_protocol::kFrameCount: {
            // Range-checked before the arithmetic: any 64-bit number may come from a client.
            const bool inTable = wParam >= -1 && wParam < kSlotCount - 1;
            const std::intptr_t index = inTable ? wParam + 1 : 0;
            CameraDriver* thread = inTable ? state_.slots[index].Thread.load() : nullptr;
            bool handle = message == subscriber_protocol::kFrameBlockHandle;
            if (!thread) {
                StatusBar->showMessage(QString("%1%2 Sending NULL.")
                                           .arg(handle ? "No camera actve: " : "No camera actve for record count: ")
                                           .arg(wParam));
                return 0;
            }
            std::intptr_t value = handle ? thread->mappingHandle() : state_.slots[index].FrameCount.load();
            StatusBar->showMessage(QString("%1%2").arg(handle ? "Sending hMap: " : "Sending FrameCount: ").arg(value));
            return value;
        }
        case subscriber_protocol::kConnect: {
            state_.history.append("External connection");
            int current = state_.currentSlot;
            if (current == 0) {
                state_.history.append("External connection rejected from tab 0");
                return 0;
            }
            CameraSlot& s = state_.slots[current];
            if (currentTab_->EnableOruCheckBox->isChecked() && s.OruWindow == 0) s.OruWindow = window;
            if (currentTab_->LaunchM2->isChecked() && s.SkeldWindow == 0) s.SkeldWindow = window;
            publishRecords(current);
            acquisition_.SetAcquire(1);
            if (state_.slots[current].Thread.load() == nullptr && state_.slots[current].hasDevice()) {
                state_.history.append("Thread started.");
                if (!threads_.start(current)) state_.history.append(threads_.lastError());
            }
            acquisition_.SetAcquire(1);
            resumeFrames(current);
            if (CameraDriver* thread = state_.slots[current].Thread.load(); thread && !thread->addSubscriber(window)) {
                // Told, not left waiting for frames that never come.
                state_.history.append("External connection refused: the camera has " +
                                      std::to_string(CameraDriver::kMaxSubscribers) + " subscribers already");
                return 0;
            }
            return current;
        }
        case subscriber_protocol::kCalibrate: {
            if (!validSlot || slot < 1) return 0;
            if (slot != state_.currentSlot) activateSlot(slot);
            calls_.ReadCameraState();
            if (state_.console.statusFlags() & ConsoleBlock::kCalibrationGood) {
                state_.history.append("Calibration was found good.");
                setTextColour(currentTab_->CalibrateButton, panel_colour::kBrightGreen);
            }
            state_.history.append("Calibration started.");
            debugOutput_("Starting calibration");
            service_->CalibrateButton1Click();
            debugOutput_("Ending calibration");
            return 0;
        }
        case subscriber_protocol::kStart:
        case subscriber_protocol::kStop:
        case subscriber_protocol::kClose: {
            CameraDriver* thread = validSlot ? state_.slots[slot].Thread.load() : nullptr;
            if (!thread) return 0;
            const char* what = message == subscriber_protocol::kStart ? "Start issued." : message == subscriber_protocol::kStop ? "Stop issued" : "Close issued.";
            if (message == subscriber_protocol::kStart) thread->queueStart(window);
            if (message == subscriber_protocol::kStop) thread->queueStop(window);
            if (message == subscriber_protocol::kClose) thread->queueClose(window);
            if (state_.debugLogging) state_.history.appendRaw(handleText(window) + ": " + what);
            return 0;
        }
        case subscriber_protocol::kOruClosed:
        case subscriber_protocol::kSkeldClosed: {
            if (!validSlot || slot < 1 || slot > kLastCameraSlot) return 0;
            if (slot != state_.currentSlot) activateSlot(slot);
            TCameraTab* t = tabs_[static_cast<std::size_t>(slot - 1)];
            if (message == subscriber_protocol::kOruClosed) {
                QSignalBlocker quiet(t->EnableOruCheckBox);
                t->EnableOruCheckBox->setEnabled(false);
                t->EnableOruCheckBox->setChecked(false);
                t->EnableOruCheckBox->setEnabled(true);
            } else {
                QSignalBlocker quiet(t->LaunchM2);
                t->LaunchM2->setChecked(false);
            }
            if (CameraDriver* thread = state_.slots[slot].Thread.load()) thread->queueClose(window);
            return 0;
        }
        case subscriber_protocol::kFindSerial: {
            state_.history.append("Serial search:" + std::to_string(lParam));
            for (int i = 0; i < kSlotCount; ++i) {
                if (static_cast<std::intptr_t>(state_.slots[i].Serial) != lParam) continue;
                if (i != state_.currentSlot) activateSlot(i);
                publishRecords(i);
                port_.send(window, subscriber_protocol::kFindSerial, lParam, i);
                state_.history.append("Serial found tab:" + std::to_string(i));
                return i;
            }
            return 0;
        }
        case subscriber_protocol::kMenuLockout:
            menuLockout(lParam != 0);
            return 0;
        case subscriber_protocol::kLoadSetup: {
            if (lParam == 0 || !validSlot || !command_) return 0;
            const char* text = reinterpret_cast<const char*>(command_->bytes());
            std::string path(text, strnlen(text, subscriber_protocol::kCommandTextSize));
            state_.history.append("Setup:" + std::to_string(slot) + " " + path);
            if (slot != state_.currentSlot) activateSlot(slot);
            state_.history.append("After page change:" + std::to_string(slot) + " " + path);
            acquisition_.SuspendAcquisition();
            {
                ScopedValue remote(state_.remoteChangeInProgress, true);
                panel_->UnlockSettings();
                setupFiles_->OpenInit(path);
            }
            panel_->LockSettings();
            acquisition_.ResumeAcquisition();
            state_.history.append("After setup:" + std::to_string(slot) + " " + path);
            if (CameraDriver* thread = state_.slots[slot].Thread.load()) {
                thread->addSubscriber(window);
                thread->queueStart(window);
            }
            return 0;
        }
        case subscriber_protocol::kPixelCorrection:
            panel_->SetPixelCorrection(lParam != 0 ? 1 : 0);
            return 0;
        case subscriber_protocol::kGainCorrection:
            panel_->SetGainCorrection(lParam != 0 ? 1 : 0);
            return 0;
        case subscriber_protocol::kSerialList: {
            if (!command_) return 0;
            std::string list = serialList();
            std::size_t n = std::min(list.size(), subscriber_protocol::kCommandTextSize - 1);
            std::memcpy(command_->bytes(), list.data(), n);
            command_->bytes()[n] = 0;
            return 0;
        }
        case subscriber_protocol::kGainFactor: {
            state_.history.append("Remote gain factor:" + std::to_string(lParam));
            acquisition_.SetAcquire(0);
            {
                ScopedValue remote(state_.remoteChangeInProgress, true);
                panel_->UnlockSettings();
                currentTab_->GainFactor->setText(QString::number(lParam));
                panel_->GainFactor1KeyDown();
            }
            panel_->LockSettings();
            acquisition_.SetAcquire(1);
            return 0;
        }
        default:
            return 0;
    }
}

void TLogoAppForm::windowGone(WindowHandle window) {
    bool dropped = false;
    for (CameraSlot& slot : state_.slots)
        if (CameraDriver* thread = slot.Thread.load()) dropped = thread->dropSubscriber(window) || dropped;
    for (CameraSlot& slot : state_.slots) {
        if (slot.OruWindow == window) slot.OruWindow = 0;
        if (slot.SkeldWindow == window) slot.SkeldWindow = 0;
    }
    if (dropped) state_.history.append("Subscriber window " + handleText(window) + " is gone; removed.");
}

void TLogoAppForm::menuLockout(bool enabled) {
    if (state_.currentSlot == 0) {
        dialogs_.messageBox("External program request error.", "Ignoring request to hide/show controls.",
                                     BoxButtons::OkCancel, BoxIcon::Warning);
        return;
    }
    if (enabled)
        panel_->UnlockSettings();
    else
        panel_->LockSettings();
    FileOpenItem->setEnabled(enabled);
    SaveAs1->setEnabled(enabled);
    SetAlias1->setEnabled(enabled);
    // The service buttons of the first camera tab; the correction switches of the current one.
    TCameraTab* first = tabs_[0];
    for (QWidget* w : {static_cast<QWidget*>(first->CalibrateButton), static_cast<QWidget*>(first->KillCalibrationButton),
                       static_cast<QWidget*>(first->ViewButton), static_cast<QWidget*>(first->FactoryButton),
                       static_cast<QWidget*>(first->UtilitiesButton), static_cast<QWidget*>(currentTab_->BadPixelOnOff),
                       static_cast<QWidget*>(currentTab_->GainOnOff)})
        w->setEnabled(enabled);
}

}  // namespace kestrom
