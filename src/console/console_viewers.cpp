#include "console/console_viewers.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include "console/camera_tab.h"
#include "console/console_launches.h"
#include "console/console_tools.h"
#include "console/logo_app_form.h"
#include "subscriber/port_link.h"
#include "viewer/view_window.h"

namespace kestrom {

ConsoleViewers::ConsoleViewers(TLogoAppForm& form) : QObject(&form), form_(form) {}

ConsoleViewers::~ConsoleViewers() { closeAll(); }

void ConsoleViewers::connectTab(TCameraTab* tab) {
    connect(tab->ViewButton, &QPushButton::clicked, this, &ConsoleViewers::ViewButton1Click);
}

TViewWindow* ConsoleViewers::viewer(int slot) const {
    return slot >= 0 && slot < kSlotCount ? viewers_[static_cast<std::size_t>(slot)].data() : nullptr;
}

void ConsoleViewers::ViewButton1Click() {
    ConsoleState& state = form_.state();
    const int slot = state.currentSlot;
    if (slot == 0) return;
    form_.calls().ReadCameraState();
    CameraSlot& s = state.slots[static_cast<std::size_t>(slot)];
    if (!s.hasDevice()) return;  // the state could not be read and the camera was closed
    if (s.Factory.cameraType() & 1) {
        // Thermal cameras are shown by an outside program of their own.
        form_.launches().viewThermal();
        return;
    }
    QPointer<TViewWindow>& viewer = viewers_[static_cast<std::size_t>(slot)];
    if (!viewer) viewer = new TViewWindow(*this, &form_);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    form_.startAcquisition(slot);
}

void ConsoleViewers::closeAll() {
    for (QPointer<TViewWindow>& viewer : viewers_) {
        if (!viewer) continue;
        TViewWindow* window = viewer.data();
        viewer.clear();
        window->close();
        delete window;
    }
}

int ConsoleViewers::currentSlot() const { return form_.state().currentSlot; }

std::string ConsoleViewers::tabCaption(int slot) const { return form_.tabCaption(slot).toStdString(); }

std::string ConsoleViewers::serialNumberText() const {
    TCameraTab* tab = form_.currentTab();
    return tab ? tab->SerialDisplay->text().toStdString() : std::string();
}

FactoryInfo ConsoleViewers::currentFactory() const { return form_.state().current().Factory; }

void ConsoleViewers::clearPaused(int slot) {
    if (slot >= 0 && slot < kSlotCount) form_.state().slots[static_cast<std::size_t>(slot)].Paused = false;
}

void ConsoleViewers::viewerClosed(int slot) {
    if (slot < 0 || slot >= kSlotCount) return;
    QPointer<TViewWindow>& viewer = viewers_[static_cast<std::size_t>(slot)];
    // Freed once the event that closed it has been handled; the next View opens a new one.
    if (viewer) viewer->deleteLater();
    viewer.clear();
}

ConsoleLink& ConsoleViewers::subscriberLink() {
    if (!link_) link_ = std::make_unique<PortLink>(form_.messagePort(), form_.windowHandle());
    return *link_;
}

SubscriberOptions ConsoleViewers::subscriberOptions() const {
    SubscriberOptions options;
    options.sharedMemoryPrefix = form_.sharedMemoryNamespace();
    return options;
}

RegistryStore& ConsoleViewers::registry() { return form_.registry(); }

DialogService& ConsoleViewers::dialogs() { return form_.dialogs(); }

std::string ConsoleViewers::defaultDataDirectory() const {
    // The program's own folder is not the user's to write on this system; the documents folder is.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    return QDir(folder).absolutePath().toStdString() + "/";
}

void ConsoleViewers::showAbout() { form_.tools().HelpAbout1Execute(); }

void ConsoleViewers::openHelp() { form_.tools().Index1Click(); }

}  // namespace kestrom
