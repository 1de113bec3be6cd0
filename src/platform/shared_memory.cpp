// POSIX shared memory under the console's exact block names.
#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

namespace kestrom {

namespace {

// Owners of each name in this process; the last one to close removes the name.
std::mutex ownersMutex;
std::map<std::string, int>& owners() {
    static std::map<std::string, int> counts;
    return counts;
}

std::string failure(const std::string& what, const std::string& name, int error) {
    return what + " " + name + ": " + std::strerror(error);
}

}  // namespace

SharedMemory::SharedMemory(std::string name, int fd, void* data, std::size_t size, bool owner)
    : name_(std::move(name)), fd_(fd), data_(data), size_(size), owner_(owner) {}

std::unique_ptr<SharedMemory> SharedMemory::createOrOpen(const std::string& name, std::size_t size,
                                                         std::string& error) {
    // Held across open and registration so that a closing owner cannot remove the name in between.
    std::lock_guard lock(ownersMutex);
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = failure("Cannot create shared memory", name, errno);
        return nullptr;
    }
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
