// Finding the cameras among the device names and opening them in the first free slot.
#include <QApplication>
#include <QDir>
#include <QTabWidget>

#include "console/camera_tab.h"
#include "console/core/console_settings.h"
#include "common/qt/hourglass.h"
#include "console/logo_app_form.h"

namespace kestrom {

void TLogoAppForm::FindCameras() {
    for (int i = 0; i < kDeviceNameCount; ++i) {
        std::string path = deviceName(i);
        int error = 0;
        DeviceHandle probe = services_.io.open(path, DeviceAccess::Probe, error);
        if (probe == kNoDevice) continue;
        services_.io.close(probe);
        ListBox1.push_back(path);
    }
}

void TLogoAppForm::RefreshCameras() {
    ListBox1.clear();
    ListBox1Selected = -1;
    for (int i = 0; i < kDeviceNameCount; ++i) {
        std::string path = deviceName(i);
        bool held = false;
        for (const CameraSlot& slot : state_.slots)
            if (slot.DevicePath == path) held = true;
        if (held) continue;
        int error = 0;
        DeviceHandle probe = services_.io.open(path, DeviceAccess::Probe, error);
        if (probe == kNoDevice) continue;
        services_.io.close(probe);
        ListBox1.push_back(path);
    }
    for (std::size_t i = 0; i < ListBox1.size(); ++i) {
        ListBox1Selected = static_cast<int>(i);
        BitBtn1MouseDown();
    }
}

DeviceHandle TLogoAppForm::OpenCameraDevice(const std::string& path) {
    Hourglass hourglass;
    int error = 0;
    DeviceHandle device = services_.io.open(path, DeviceAccess::ReadWrite, error);
    if (device == kNoDevice) {
        playSound("Failed.wav");
        state_.history.append("Error opening camera: " + path + " - " + systemErrorText(error));
        return kNoDevice;
    }
    playSound("Good.wav");
    state_.history.append("Camera opened.");
    return device;
}

void TLogoAppForm::BitBtn1MouseDown() {
    if (ListBox1Selected < 0 || ListBox1Selected >= static_cast<int>(ListBox1.size())) {
        playSound("Failed.wav");
        state_.history.append("No camera selected");
        return;
    }
    std::string path = ListBox1[static_cast<std::size_t>(ListBox1Selected)];

    int slot = -1;
    for (int i = kFirstCameraSlot; i < kSlotCount && state_.slots[i].hasTab; ++i) {
        if (!state_.slots[i].hasDevice()) {
            slot = i;
            break;
        }
    }
    if (slot < 0) return;  // four cameras are open

    DeviceHandle device = OpenCameraDevice(path);
    if (device == kNoDevice) return;

    CameraSlot& s = state_.slots[slot];
    s.DevicePath = path;
    setTabCaption(slot, QString::fromStdString(path));
    setTabShown(slot, true);
    s.Device = device;
    activateTab(slot);
    MainPageControlChange();
    MainPageControl->repaint();

    if (!calls_.ReadCameraState()) return;  // the failure closed the camera again
    if (!s.hasDevice()) return;

    std::string alias = cameraAlias(state_.factory.serialNumber());
    setTabCaption(slot, alias.empty() ? QString::number(state_.factory.serialNumber()) : QString::fromStdString(alias));
    s.Serial = state_.factory.serialNumber();
    std::string setupFile = lastSetupFile();
    RefreshSettings();
    if (!setupFile.empty() && s.hasDevice()) loadSetupFile(setupFile);
    if (state_.factory.isFixedConfiguration()) {
        panel_->LockSettings();
        s.SettingsChanged = false;
    }
}

std::string TLogoAppForm::lastSetupFile() {
    try {
        return setupFiles_->lastSetupFile();
    } catch (const RegistryError& e) {
        state_.history.append(e.what());
        return {};
    }
}

// The recorded file's folder becomes the dialogs' start and the working directory.
void TLogoAppForm::loadSetupFile(const std::string& path) {
    std::string folder = SetupFiles::directoryOf(path);
    setupFiles_->setDialogsDirectory(folder);
    QDir::setCurrent(QString::fromStdString(folder));
    setupFiles_->OpenInit(path);
}

std::string TLogoAppForm::cameraAlias(std::uint32_t serial) {
    try {
        return readCameraAlias(setupFiles_->regCtl(), serial);
    } catch (const RegistryError& e) {
        state_.history.append(e.what());
        return {};
    }
}

}  // namespace kestrom
