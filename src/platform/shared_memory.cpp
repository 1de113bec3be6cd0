// POSIX shared memory under the console's exact block names.
#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace kestrom {

namespace {

// Owners of each name in this process; the last one to close removes the name.
std::mutex ownersMutex;
// Never destroyed: a block held by an object that outlives main() (a static) still finds it.
std::map<std::string, int>& owners() {
    static auto* counts = new std::map<std::string, int>;
    return *counts;
}

std::string failure(const std::string& what, const std::string& name, int error) {
    return what + " " + name + ": " + std::strerror(error);
}

// Another user who made the name first could read every frame or feed us forged records, so a
// block we did not make ourselves is used only when it is ours: empty when it is, else why not.
std::string foreignBlock(const struct stat& st, const std::string& name, bool privateMode) {
    if (st.st_uid != geteuid()) return "Shared memory " + name + " belongs to another user";
    if (privateMode && (st.st_mode & 07777) != 0600) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return "Shared memory " + name + " has mode " + mode + ", not 0600";
    }
    return {};
}

// Creates the name, or opens the one that exists when it is ours with mode 0600; -1 and error
// text otherwise. A stale block of our own from a console that crashed is reused.
int openOwnBlock(const std::string& name, std::string& error) {
    // A few tries: the name may go between a failed exclusive create and the open of what exists.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            // The creation mode passes through the umask; the block's mode must not depend on it.
            if (fchmod(fd, 0600) != 0) {
                error = failure("Cannot create shared memory", name, errno);
                close(fd);
                shm_unlink(name.c_str());
                return -1;
            }
            return fd;
        }
        if (errno != EEXIST) {
            error = failure("Cannot create shared memory", name, errno);
            return -1;
        }
        fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0 && errno == ENOENT) continue;
        if (fd < 0) {
            error = failure("Cannot open shared memory", name, errno);
            return -1;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            error = failure("Cannot open shared memory", name, errno);
            close(fd);
            return -1;
        }
        error = foreignBlock(st, name, true);
        if (error.empty()) return fd;
        close(fd);
        return -1;
    }
    error = "Cannot create shared memory " + name + ": it keeps appearing and vanishing";
    return -1;
}

}  // namespace

SharedMemory::SharedMemory(std::string name, int fd, void* data, std::size_t size, bool owner)
    : name_(std::move(name)), fd_(fd), data_(data), size_(size), owner_(owner) {}

std::unique_ptr<SharedMemory> SharedMemory::createOrOpen(const std::string& name, std::size_t size,
                                                         std::string& error) {
    // Held across open and registration so that a closing owner cannot remove the name in between.
    std::lock_guard lock(ownersMutex);
    int fd = openOwnBlock(name, error);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || (static_cast<std::size_t>(st.st_size) < size && ftruncate(fd, static_cast<off_t>(size)) != 0)) {
        error = failure("Cannot size shared memory", name, errno);
        close(fd);
        return nullptr;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        error = failure("Cannot map shared memory", name, errno);
        close(fd);
        return nullptr;
    }
    ++owners()[name];
    return std::unique_ptr<SharedMemory>(new SharedMemory(name, fd, data, size, true));
}

std::unique_ptr<SharedMemory> SharedMemory::openExisting(const std::string& name, std::size_t size, Access access,
                                                         std::string& error) {
    bool writable = access == Access::ReadWrite;
    int fd = shm_open(name.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
    if (fd < 0) {
        error = failure("Cannot open shared memory", name, errno);
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = failure("Cannot open shared memory", name, errno);
        close(fd);
        return nullptr;
    }
    if (std::string foreign = foreignBlock(st, name, false); !foreign.empty()) {
        error = foreign;
        close(fd);
        return nullptr;
    }
    if (static_cast<std::size_t>(st.st_size) < size) {
        error = "Shared memory " + name + " holds " + std::to_string(st.st_size) + " bytes, not " + std::to_string(size);
        close(fd);
        return nullptr;
    }
    void* data = mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        error = failure("Cannot map shared memory", name, errno);
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<SharedMemory>(new SharedMemory(name, fd, data, size, false));
}

SharedMemory::~SharedMemory() {
    munmap(data_, size_);
    close(fd_);
    if (!owner_) return;
    std::lock_guard lock(ownersMutex);
    auto it = owners().find(name_);
    if (it != owners().end() && --it->second == 0) {
        owners().erase(it);
        shm_unlink(name_.c_str());
    }
}

}  // namespace kestrom
