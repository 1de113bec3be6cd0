// The console's single-instance lock: a lock file held with flock while the console runs.
#pragma once

#include <string>

namespace kestrom {

class SingleInstanceLock {
public:
    // lockPath: the lock file, e.g. "$XDG_RUNTIME_DIR/KesTromIII.lock".
    explicit SingleInstanceLock(std::string lockPath);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this process now holds the lock; false when another process holds it
    // or the lock file cannot be made (error() says why).
    bool acquire();
    const std::string& error() const { return error_; }

    // The default lock file for the lock named "KesTromIII".
    static std::string defaultPath();

private:
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

}  // namespace kestrom
