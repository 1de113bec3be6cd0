#include "console/console_launches.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "camera_link/camera_driver.h"
#include "common/number_text.h"
#include "console/camera_tab.h"
#include "console/core/console_settings.h"
#include "console/core/recent_setup_files.h"
#include "console/core/registry_keys.h"
#include "common/qt/hourglass.h"
#include "console/logo_app_form.h"
#include "console/settings_panel.h"
#include "maintenance/core/thermal_table.h"
#include "platform/device_io.h"

namespace kestrom {
namespace {

constexpr int kProgramStartMilliseconds = 15000;
constexpr int kThermalViewerStartMilliseconds = 3000;

}  // namespace

ConsoleLaunches::ConsoleLaunches(TLogoAppForm& form) : QObject(&form), form_(form) {}

void ConsoleLaunches::connectTab(TCameraTab* tab) {
    // Toggled: the console's own unticking runs the handler too, unless it blocks the signals.
    connect(tab->EnableOruCheckBox, &QCheckBox::toggled, this, &ConsoleLaunches::EnableOruCheckBox1Click);
    connect(tab->LaunchM2, &QCheckBox::toggled, this, &ConsoleLaunches::LaunchM21Click);
}

std::string ConsoleLaunches::programPath(const char* key, const char* value) {
    TRegUtil util(form_.registry(), key);
    return readProgramPath(util, value);
}

void ConsoleLaunches::start(const std::string& program, const std::vector<std::string>& arguments) {
    std::string error;
    ShellService* shell = form_.shell();
    if (!shell) return;
    if (!shell->startProgram(program, arguments, error))
        form_.dialogs().messageBox("Installation error?", error, BoxButtons::Ok, BoxIcon::Error);
}

void ConsoleLaunches::waitAnswering(int milliseconds) {
    constexpr int kSlice = 50;
    for (int waited = 0; waited < milliseconds; waited += kSlice) {
        form_.delay().wait(kSlice);
        QApplication::processEvents();
    }
}

void ConsoleLaunches::EnableOruCheckBox1Click() {
    ConsoleState& state = form_.state();
    form_.calls().ReadCameraState();
    TCameraTab* tab = form_.currentTab();
    const int slot = state.currentSlot;
    CameraSlot& s = state.current();
    if (!tab->EnableOruCheckBox->isChecked()) {
        if (s.OruWindow != 0) {
            form_.messagePort().post(s.OruWindow, subscriber_protocol::kClose, 0, 0);
            if (CameraDriver* thread = s.Thread.load()) thread->dropSubscriber(s.OruWindow);
            s.OruWindow = 0;
        }
        return;
    }
    if (slot == 0) return;
    s.Paused = false;
    form_.acquisition().SetAcquire(1);
    if (s.Thread.load() == nullptr) {
        form_.startAcquisition(slot);
        form_.delay().wait(250);
    }
    form_.acquisition().SetAcquire(1);
    const std::string serial = tab->SerialDisplay->text().toStdString();
    const std::string path = programPath(kOruPcKey, "EXEPath");
    if (path.empty()) {
        form_.dialogs().messageBox("Installation error?", "OruPC for Kestrom III is not registered.", BoxButtons::Ok,
                                   BoxIcon::Error);
        return;
    }
    state.tabChangeAllowed = false;
    start(path, {"/KesTrom", "/" + serial});
    // The program is given its time to start before the console answers it.
    form_.delay().wait(kProgramStartMilliseconds);
    state.tabChangeAllowed = true;
}

void ConsoleLaunches::LaunchM21Click() {
    ConsoleState& state = form_.state();
    form_.calls().ReadCameraState();
    TCameraTab* tab = form_.currentTab();
    const int slot = state.currentSlot;
    CameraSlot& s = state.current();
    if (tab->LaunchM2->isChecked()) {
        if (slot == 0) return;
        // Every launch, not only the first: a camera whose acquisition was switched off since
        // would give the program no frames.
        form_.startAcquisition(slot);
        form_.delay().wait(100);
        form_.acquisition().SetAcquire(1);
        const std::string serial = tab->SerialDisplay->text().toStdString();
        const std::string path = programPath(kOruM2Key, "EXEPath");
        if (path.empty()) {
            form_.dialogs().messageBox("Installation error?", "Skeld for Kestrom III is not registered.",
                                       BoxButtons::Ok, BoxIcon::Error);
            return;
        }
        state.tabChangeAllowed = false;
        start(path, {"/KesTrom", "/" + serial});
        state.history.append("open: " + path);
        form_.delay().wait(kProgramStartMilliseconds);
        state.tabChangeAllowed = true;
        return;
    }
    if (s.SkeldWindow != 0) {
        state.history.append("Close message sent to Skeld.");
        form_.messagePort().post(s.SkeldWindow, subscriber_protocol::kClose, 0, 0);
        if (CameraDriver* thread = s.Thread.load()) thread->dropSubscriber(s.SkeldWindow);
        s.SkeldWindow = 0;
        return;
    }
    state.history.append("No window when launch unchecked. ");
}

void ConsoleLaunches::refreshLaunchBoxes() {
    TCameraTab* tab = form_.currentTab();
    if (!tab) return;
    tab->EnableOruCheckBox->setEnabled(!programPath(kOruPcKey, "EXEPath").empty());
    tab->LaunchM2->setEnabled(!programPath(kOruM2Key, "EXEPath").empty());
}

void ConsoleLaunches::viewThermal() {
    ConsoleState& state = form_.state();
    const int slot = state.currentSlot;
    TCameraTab* tab = form_.currentTab();
    DialogService& dialogs = form_.dialogs();
    if (form_.panel().methodCopy() != 1) {
        dialogs.messageBox("Camera error?", "The camera is not in chopped mode.", BoxButtons::Ok, BoxIcon::Error);
        return;
    }
    std::optional<Hourglass> hourglass(std::in_place);
    form_.panel().SetPixelCorrection(1);
    form_.panel().SetGainCorrection(1);
    if (!form_.startAcquisition(slot)) return;
    const std::string serial = tab->SerialDisplay->text().toStdString();
    std::string parameters;
    try {
        parameters = lastSetupFile(form_.setupFiles().regCtl(), state.slots[slot].Serial);
    } catch (const RegistryError& e) {
        state.history.append(e.what());
    }
    parameters += "," + serial;

    const std::string viewer = thermalViewerPath(form_.regUtil());
    if (viewer.empty()) {
        hourglass.reset();
        dialogs.messageBox("Installation error?", "The viewer for Kestrom III Thermal is not registered.",
                           BoxButtons::Ok, BoxIcon::Error);
        return;
    }

    form_.acquisition().SuspendAcquisition();
    std::vector<std::uint8_t> buffer(kThermalTableBytes, 0);
    if (!form_.calls().blockRequest(req::GetPulseGainMap, buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                                    BlockFailure::KeepPath)) {
        // The request's line is written and the camera closed; its DevicePath stays, so it is not
        // opened again until "&Open cameras".
        return;
    }
    form_.acquisition().ResumeAcquisition();
    ThermalTable table;
    table.fromBytes(buffer.data());
    std::string text;
    for (std::size_t i = 0; i < table.used(); ++i) text += formatFixed(static_cast<double>(table.entries[i]), 2) + " ";
    if (text.empty()) {
        hourglass.reset();
        dialogs.messageBox("Camera content error?", "No thermal table read from camera.", BoxButtons::Ok,
                           BoxIcon::Warning);
    }

    // The temporary folder as the user set it; one that is not there is an error, not another folder.
    const char* tmpdir = std::getenv("TMPDIR");
    std::string name = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/K3TXXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        hourglass.reset();
        dialogs.messageBox("File creation error", "Unable to create temporary file.", BoxButtons::Ok, BoxIcon::Error);
        return;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    if (written != text.size() || !closed)
        dialogs.messageBox("Temperature File Error",
                           "Can't perform one of the following file operations: Open, Seek, Read, Close.",
                           BoxButtons::OkCancel, BoxIcon::Error);
    parameters += "," + name;

    state.tabChangeAllowed = false;
    start(viewer, {parameters});
    waitAnswering(kThermalViewerStartMilliseconds);
    hourglass.reset();
    state.tabChangeAllowed = true;
}

}  // namespace kestrom
