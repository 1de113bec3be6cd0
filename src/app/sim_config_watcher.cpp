// Applies the "attached" state of each configured camera when the file changes.
#include "app/sim_config_watcher.h"

namespace kestrom {

SimConfigWatcher::SimConfigWatcher(std::string path, sim::Driver& driver,
                                   std::function<void(const std::string&)> report)
    : path_(std::move(path)), driver_(driver), report_(std::move(report)) {
    watcher_.addPath(QString::fromStdString(path_));
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { reload(); });
}

void SimConfigWatcher::reload() {
    // Editors replace the file; watch the new one.
    if (!watcher_.files().contains(QString::fromStdString(path_))) watcher_.addPath(QString::fromStdString(path_));
    std::string error;
    auto config = sim::loadConfigFile(path_, error);
    if (!config) {
        report_("Simulator configuration not applied: " + error);
        return;
    }
    for (const sim::CameraConfig& camera : config->cameras) {
        if (camera.attached == driver_.isAttached(camera.deviceIndex)) continue;
        if (camera.attached)
            driver_.attach(camera.deviceIndex);
        else
            driver_.detach(camera.deviceIndex);
    }
}

}  // namespace kestrom
