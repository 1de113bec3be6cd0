// flock-based single-instance lock; the kernel drops the lock if the console dies.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/transport_paths.h"

namespace kestrom {

SingleInstanceLock::SingleInstanceLock(std::string lockPath) : path_(std::move(lockPath)) {}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) {
        flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

SingleInstanceLock::Outcome SingleInstanceLock::acquire() {
    if (fd_ >= 0) return Outcome::Acquired;
    std::string folderError;
    if (!preparePrivateFolder(socketFolderOf(path_), folderError)) {
        error_ = folderError;
        return Outcome::Failed;
    }
    // Non-blocking and not through a link: a FIFO or a planted link must not hold or redirect us.
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        error_ = "Cannot open lock file " + path_ + ": " + std::strerror(errno);
        return Outcome::Failed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        error_ = "Lock file " + path_ + " is not a regular file of this user";
        ::close(fd);
        return Outcome::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            error_ = "Another console is running";
            return Outcome::AlreadyRunning;
        }
        error_ = "Cannot lock " + path_ + ": " + std::strerror(err);
        return Outcome::Failed;
    }
    fd_ = fd;
    return Outcome::Acquired;
}

std::string SingleInstanceLock::defaultPath() { return runtimeFolder() + "/KesTromIII.lock"; }

}  // namespace kestrom
