// flock-based single-instance lock; the kernel drops the lock if the console dies.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kestrom {

SingleInstanceLock::SingleInstanceLock(std::string lockPath) : path_(std::move(lockPath)) {}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) {
        flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

bool SingleInstanceLock::acquire() {
    if (fd_ >= 0) return true;
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = "Cannot open lock file " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error_ = errno == EWOULDBLOCK ? "Another console is running" : std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

std::string SingleInstanceLock::defaultPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = (runtime && *runtime) ? runtime : "/tmp";
    return dir + "/KesTromIII-" + std::to_string(getuid()) + ".lock";
}

}  // namespace kestrom
