#include "console/console_utilities.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "console/camera_tab.h"
#include "console/console_viewers.h"
#include "console/logo_app_form.h"
#include "console/settings_panel.h"
#include "maintenance/ok_help_right_dlg.h"
#include "subscriber/port_link.h"

namespace kestrom {

ConsoleUtilities::ConsoleUtilities(TLogoAppForm& form) : QObject(&form), form_(form) {}

ConsoleUtilities::~ConsoleUtilities() { closeAll(); }

void ConsoleUtilities::connectTab(TCameraTab* tab) {
    connect(tab->UtilitiesButton, &QPushButton::clicked, this, &ConsoleUtilities::BitBtn2Click);
}

TOKHelpRightDlg* ConsoleUtilities::dialog(int slot) const {
    return form_.state().validSlot(slot) ? dialogs_[static_cast<std::size_t>(slot)].data() : nullptr;
}

void ConsoleUtilities::BitBtn2Click() {
    ConsoleState& state = form_.state();
    const int slot = state.currentSlot;
    if (!validCameraSlot(slot) || !state.slots[slot].hasDevice()) return;
    form_.panel().switchCorrectionsOff();
    if (!state.slots[slot].hasDevice()) return;  // a failed request closed the camera
    QPointer<TOKHelpRightDlg>& dialog = dialogs_[static_cast<std::size_t>(slot)];
    if (!dialog) {
        dialog = new TOKHelpRightDlg(*this, &form_);
        dialog->setWindowFlag(Qt::Window);
        // Its first map request failed and closed the camera: it closes as it would have then.
        if (!dialog->active()) {
            dialog->close();
            return;
        }
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void ConsoleUtilities::closeAll() {
    for (QPointer<TOKHelpRightDlg>& dialog : dialogs_) {
        if (!dialog) continue;
        TOKHelpRightDlg* window = dialog.data();
        dialog.clear();
        window->close();
        delete window;
    }
}

int ConsoleUtilities::currentSlot() const { return form_.state().currentSlot; }

std::string ConsoleUtilities::tabCaption(int slot) const { return form_.tabCaption(slot).toStdString(); }

std::string ConsoleUtilities::serialNumberText(int slot) const {
    TCameraTab* tab = form_.cameraTab(slot);
    return tab ? tab->SerialDisplay->text().toStdString() : std::string();
}

FactoryInfo ConsoleUtilities::factoryOf(int slot) const {
    return form_.state().validSlot(slot) ? form_.state().slots[slot].Factory : FactoryInfo{};
}

bool ConsoleUtilities::pulsedMode(int slot) const {
    TCameraTab* tab = form_.cameraTab(slot);
    return tab && tab->PulseMode->isChecked();
}

bool ConsoleUtilities::cameraGainCorrectionOn(int slot) const {
    TCameraTab* tab = form_.cameraTab(slot);
    return tab && tab->GainOnOff->text() == "Turn off";
}

bool ConsoleUtilities::privilegedMode() const { return form_.state().privilegedMode; }

bool ConsoleUtilities::cameraOpen(int slot) const {
    return validCameraSlot(slot) && form_.state().slots[slot].hasDevice();
}

bool ConsoleUtilities::frameBlockMapped(int slot) const {
    return validCameraSlot(slot) && form_.state().slots[slot].Thread.load() != nullptr;
}

bool ConsoleUtilities::mapRequest(int slot, const Request& request, void* buffer, std::uint32_t length) {
    return form_.calls().maintenanceRequest(request, slot, buffer, length);
}

void ConsoleUtilities::suspendAcquisition(int slot) { form_.acquisition().SuspendAcquisition(slot); }

void ConsoleUtilities::resumeAcquisition(int slot) { form_.acquisition().ResumeAcquisition(slot); }

bool ConsoleUtilities::paused(int slot) const {
    return form_.state().validSlot(slot) && form_.state().slots[slot].Paused.load();
}

void ConsoleUtilities::setPaused(int slot, bool paused) {
    if (form_.state().validSlot(slot)) form_.state().slots[slot].Paused.store(paused);
}

void ConsoleUtilities::utilityClosed(int slot) {
    if (!form_.state().validSlot(slot)) return;
    QPointer<TOKHelpRightDlg>& dialog = dialogs_[static_cast<std::size_t>(slot)];
    // Freed once the event that closed it has been handled; the next Utilities click opens a new one.
    if (dialog) dialog->deleteLater();
    dialog.clear();
    // The switches of another tab follow its camera's status when that tab is shown.
    if (slot == form_.state().currentSlot && form_.state().slots[slot].hasDevice() && !form_.state().closing) {
        form_.panel().GetGainCorrection();
        if (form_.state().slots[slot].hasDevice()) form_.panel().GetPixelCorrection();
    }
}

void ConsoleUtilities::showServiceControl(int slot, ServiceControl control, bool shown) {
    TCameraTab* tab = form_.cameraTab(slot);
    if (!tab) return;
    switch (control) {
        case ServiceControl::RawGain:
            tab->GainValue->setVisible(shown);
            break;
        case ServiceControl::CalibrationOff:
            tab->KillCalibrationButton->setVisible(shown);
            tab->KillCalibrationButton->setEnabled(shown);
            break;
        case ServiceControl::RawOffset:
            tab->OffsetBias->setVisible(shown);
            tab->OBLabel->setVisible(shown);
            break;
    }
}

void ConsoleUtilities::setSetupMode(int slot, bool on) {
    constexpr std::int32_t kSetupMode = 0x01000000;
    form_.calls().ShortIOOnSlot(req::SetDebug, slot, on ? kSetupMode : 0);
}

void ConsoleUtilities::appendHistory(const std::string& line) { form_.state().history.appendRaw(line); }

ConsoleLink& ConsoleUtilities::subscriberLink() {
    if (!link_) link_ = std::make_unique<PortLink>(form_.messagePort(), form_.windowHandle());
    return *link_;
}

SubscriberOptions ConsoleUtilities::subscriberOptions() const {
    SubscriberOptions options;
    options.sharedMemoryPrefix = form_.sharedMemoryNamespace();
    return options;
}

RegistryStore& ConsoleUtilities::registry() { return form_.registry(); }

DialogService& ConsoleUtilities::dialogs() { return form_.dialogs(); }

std::string ConsoleUtilities::defaultDataDirectory() const { return form_.viewers().defaultDataDirectory(); }

void ConsoleUtilities::openHelp() { form_.viewers().openHelp(); }

}  // namespace kestrom
