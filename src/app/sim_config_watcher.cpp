// Applies the "attached" state and the scene of each configured camera when the file changes.
#include "app/sim_config_watcher.h"

#include <QFileInfo>

namespace kestrom {

SimConfigWatcher::SimConfigWatcher(std::string path, sim::Driver& driver,
                                   std::function<void(const std::string&)> report)
    : path_(std::move(path)), driver_(driver), report_(std::move(report)) {
    // The folder too: editors save by writing a new file and renaming it over the old one.
    watcher_.addPath(QString::fromStdString(path_));
    watcher_.addPath(QFileInfo(QString::fromStdString(path_)).absolutePath());
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { reload(); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { reload(); });
}

void SimConfigWatcher::reload() {
    // Editors replace the file; watch the new one.
    if (!watcher_.files().contains(QString::fromStdString(path_))) watcher_.addPath(QString::fromStdString(path_));
    if (!QFileInfo::exists(QString::fromStdString(path_))) return;  // between an editor's write and rename
    std::string error;
    auto config = sim::loadConfigFile(path_, error);
    if (!config) {
        report_("Simulator configuration not applied: " + error);
        return;
    }
    for (const sim::CameraConfig& camera : config->cameras) {
        // The scene changes from the camera's next frame, so a gain map can be made without a restart.
        if (!(camera.beam == driver_.beam(camera.deviceIndex))) driver_.setBeam(camera.deviceIndex, camera.beam);
        if (camera.attached == driver_.isAttached(camera.deviceIndex)) continue;
        if (camera.attached)
            driver_.attach(camera.deviceIndex);
        else
            driver_.detach(camera.deviceIndex);
    }
}

}  // namespace kestrom
