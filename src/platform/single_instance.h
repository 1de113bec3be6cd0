// The console's single-instance lock: a lock file held with flock while the console runs.
#pragma once

#include <string>

namespace kestrom {

class SingleInstanceLock {
public:
    // lockPath: the lock file, e.g. defaultPath().
    explicit SingleInstanceLock(std::string lockPath);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    enum class Outcome {
        Acquired,        // this process now holds the lock
        AlreadyRunning,  // another console holds it
        Failed,          // the lock cannot be taken at all; error() says why
    };
    // The lock file's folder must be private to this user (it is made 0700 when missing), and the
    // file a regular file of this user: whoever else could make it could keep every console out.
    Outcome acquire();
    const std::string& error() const { return error_; }

    // "KesTromIII.lock" in the console's private runtime folder, beside its socket.
    static std::string defaultPath();

private:
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

}  // namespace kestrom
