// Editing the simulator's configuration file while the console runs attaches and detaches cameras
// and changes what they look at.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <functional>
#include <string>

#include "simulator/sim_driver.h"

namespace kestrom {

class SimConfigWatcher : public QObject {
    Q_OBJECT
public:
    // report receives a line for the history when the edited file cannot be read.
    SimConfigWatcher(std::string path, sim::Driver& driver, std::function<void(const std::string&)> report);

private:
    void reload();

    std::string path_;
    sim::Driver& driver_;
    std::function<void(const std::string&)> report_;
    QFileSystemWatcher watcher_;
};

}  // namespace kestrom
