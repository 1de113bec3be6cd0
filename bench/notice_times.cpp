// The notice-time file: mapped shared, so a reader sees each stamp once the notice is out.
#include "notice_times.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace kestrom::bench {

namespace {
constexpr std::size_t kBytes = static_cast<std::size_t>(NoticeTimes::kSlots) * 2 * sizeof(std::int64_t);
}

std::int64_t monotonicNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

NoticeTimes::NoticeTimes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("the notice-time file " + path + " cannot be made: " + std::strerror(errno));
    if (::ftruncate(fd, static_cast<off_t>(kBytes)) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error("the notice-time file " + path + " cannot be sized: " + std::strerror(error));
    }
    void* mapped = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int error = errno;
    ::close(fd);
    if (mapped == MAP_FAILED)
        throw std::runtime_error("the notice-time file " + path + " cannot be mapped: " + std::strerror(error));
    slots_ = static_cast<std::int64_t*>(mapped);
}

NoticeTimes::~NoticeTimes() { ::munmap(slots_, kBytes); }

void NoticeTimes::stamp(std::int64_t frameCount) {
    std::int64_t* slot = slots_ + 2 * (frameCount % kSlots);
    std::atomic_ref<std::int64_t>(slot[1]).store(monotonicNanoseconds(), std::memory_order_relaxed);
    std::atomic_ref<std::int64_t>(slot[0]).store(frameCount, std::memory_order_release);
}

}  // namespace kestrom::bench
