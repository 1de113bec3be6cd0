// Entry of the Kestrom III control console: one instance, the simulated cameras when no camera exists.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMetaObject>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/shutdown_signals.h"
#include "app/sim_config_watcher.h"
#include "console/core/history_log.h"
#include "console/logo_app_form.h"
#include "console/qt_dialogs.h"
#include "console/qt_shell.h"
#include "platform/delay_service.h"
#include "platform/single_instance.h"
#include "platform/transport_paths.h"
#include "platform/transport_server.h"
#include "simulator/sim_driver.h"

namespace {

std::string defaultSimulatorStateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state) return std::string(state) + "/kestrom3/simulator";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/kestrom3/simulator";
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kestrom3-console");
    QApplication::setApplicationVersion(PROJECT_VERSION_TEXT);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Kestrom III Control Console: camera discovery and settings, calibration, setup files and live frames.\n"
        "Runs on the simulated cameras when no camera device exists.\n"
        "Qt's own options apply too, e.g. '-platform offscreen' runs without a display.");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption simConfig("sim-config", "Simulated cameras from the configuration file <path>.", "path");
    QCommandLineOption historyLog("history-log", "Append the history to <path> (default: " +
                                                     QString::fromStdString(kestrom::HistoryLog::defaultPath()) + ").",
                                  "path");
    QCommandLineOption acquire("acquire", "Start live frames on every camera opened at start, as a subscriber would.");
    parser.addOption(simConfig);
    parser.addOption(historyLog);
    parser.addOption(acquire);
    parser.process(app);

    // A console already runs: end at once and leave it alone. One that cannot tell says why.
    kestrom::SingleInstanceLock lock(kestrom::SingleInstanceLock::defaultPath());
    switch (lock.acquire()) {
        case kestrom::SingleInstanceLock::Outcome::Acquired:
            break;
        case kestrom::SingleInstanceLock::Outcome::AlreadyRunning:
            std::fprintf(stderr, "kestrom3-console: a console already runs for this user; this one ends.\n");
            return 0;
        case kestrom::SingleInstanceLock::Outcome::Failed:
            std::fprintf(stderr, "kestrom3-console: cannot take the single-instance lock: %s\n", lock.error().c_str());
            return 1;
    }

    kestrom::QtDialogs dialogs;
    kestrom::RequestSafeDialogs safeDialogs(dialogs);
    // Tests that run several consoles side by side give each its own shared-memory names.
    const char* shmNamespaceVariable = std::getenv("KESTROM_SHM_NAMESPACE");
    const std::string shmNamespace = shmNamespaceVariable ? shmNamespaceVariable : "";
    std::string socketPath = kestrom::consoleSocketPath();

    // Beyond a file-size limit a write fails (EFBIG), which the saves and logs report and undo,
    // instead of ending the console with what it has not saved.
    std::signal(SIGXFSZ, SIG_IGN);

    // Installed before the cameras are opened. A signal that comes while the window is being made
    // (a box about a damaged setup file may be open) ends the start as soon as the window exists.
    kestrom::TLogoAppForm* window = nullptr;
    std::atomic<kestrom::TransportServer*> listening{nullptr};
    bool signalled = false;
    kestrom::installShutdownSignals(
        [&listening] {
            if (kestrom::TransportServer* server = listening.load()) server->abandonWaits();
        },
        [&window, &signalled, &safeDialogs] {
            signalled = true;
            if (window)
                window->endOnSignal();
            else
                safeDialogs.setEnding();
        },
        [shmNamespace, socketPath] {
            ::unlink(socketPath.c_str());
            ::shm_unlink(("/" + shmNamespace + kestrom::subscriber_protocol::kCommandBlockName).c_str());
            for (int slot = kestrom::kFirstCameraSlot; slot <= kestrom::kLastCameraSlot; ++slot)
                ::shm_unlink(("/" + shmNamespace + "Kest3_" + std::to_string(slot)).c_str());
        });

    std::string configError;
    kestrom::sim::Config config = kestrom::sim::defaultConfig();
    // The window moves the working directory; names given on the command line keep meaning what they meant.
    auto absolute = [](const QString& path) {
        return path.isEmpty() ? std::string{} : QFileInfo(path).absoluteFilePath().toStdString();
    };
    std::string configPath = absolute(parser.value(simConfig));
    if (!configPath.empty()) {
        auto loaded = kestrom::sim::loadConfigFile(configPath, configError);
        if (loaded) {
            config = *loaded;
        } else {
            std::fprintf(stderr, "%s\n", configError.c_str());
            config = kestrom::sim::Config{};  // start with no cameras rather than guess
        }
    }
    if (config.stateDirectory.empty()) config.stateDirectory = defaultSimulatorStateDirectory();
    kestrom::sim::Driver driver(config);

    kestrom::SleepingDelay delay;
    std::string logPath = parser.isSet(historyLog) ? absolute(parser.value(historyLog))
                                                   : kestrom::HistoryLog::defaultPath();
    kestrom::QtShell shell;
    kestrom::QtSoundPlayer sounds;
    kestrom::TLogoAppForm form(
        kestrom::ConsoleServices{driver, delay, safeDialogs, logPath, true, {}, shmNamespace, &shell, &sounds});
    dialogs.setParent(&form);
    if (!configError.empty()) form.state().history.append("Simulator configuration not read: " + configError);
    for (const std::string& line : driver.damagedState()) form.state().history.append(line);

    driver.setDeviceChangeCallback([&form] {
        QMetaObject::invokeMethod(
            &form, [&form] { form.dispatchMessage(kestrom::kDeviceChangeMessage, kestrom::kDevNodesChanged, 0); },
            Qt::QueuedConnection);
    });
    std::unique_ptr<kestrom::SimConfigWatcher> watcher;
    if (!configPath.empty() && configError.empty())
        watcher = std::make_unique<kestrom::SimConfigWatcher>(
            configPath, driver, [&form](const std::string& line) { form.state().history.append(line); });
    window = &form;
    if (signalled) form.endOnSignal();
    // Subscriber programs reach the window through this socket; it goes before the window does.
    kestrom::TransportServer transport(form.messagePort(), form.mainThread(), form.windowHandle());
    transport.setOnWindowGone([&form](kestrom::WindowHandle gone) { form.windowGone(gone); });
    listening.store(&transport);
    std::string transportError;
    if (!transport.start(transportError)) form.state().history.append("Subscriber socket not available: " + transportError);
    if (parser.isSet(acquire)) {
        int shown = form.state().currentSlot;
        for (int slot = kestrom::kFirstCameraSlot; slot <= kestrom::kLastCameraSlot; ++slot)
            if (form.state().slots[slot].hasDevice()) form.startAcquisition(slot);
        if (shown != form.state().currentSlot && form.state().slots[shown].hasDevice()) form.startAcquisition(shown);
    }

    form.show();
    int result = app.exec();
    listening.store(nullptr);
    driver.setDeviceChangeCallback({});
    return result;
}
