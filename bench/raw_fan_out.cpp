// The bare fan-out loop that a delivery to subscriber processes is compared with.
#include "raw_fan_out.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "camera_records/console_block.h"

namespace kestrom::bench {

namespace {

constexpr std::size_t kNoticeSize = 40;   // a frame of the message socket

[[noreturn]] void answerNotices(int fd, const std::uint8_t* block) {
    std::vector<std::uint8_t> copy(frame_block::kSize);
    std::uint8_t notice[kNoticeSize];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0) continue;
        if (::recv(fd, notice, sizeof notice, MSG_WAITALL) != static_cast<ssize_t>(sizeof notice)) _exit(0);
        std::memcpy(copy.data(), block, copy.size());
        notice[1] = copy[notice[0] % copy.size()];
        if (::send(fd, notice, sizeof notice, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof notice)) _exit(0);
    }
}

}  // namespace

double rawFanOutMicros(int processes) {
    void* mapped = ::mmap(nullptr, frame_block::kSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("mmap failed");
    auto* block = static_cast<std::uint8_t*>(mapped);
    std::vector<int> fds;
    std::vector<pid_t> children;
    auto cleanUp = [&] {
        for (int fd : fds) ::close(fd);   // each child's read ends and it leaves
        for (pid_t child : children) ::waitpid(child, nullptr, 0);
        ::munmap(mapped, frame_block::kSize);
    };
    for (int i = 0; i < processes; ++i) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            cleanUp();
            throw std::runtime_error("socketpair failed");
        }
        pid_t child = ::fork();
        if (child == 0) {
            ::close(pair[0]);
            for (int fd : fds) ::close(fd);
            answerNotices(pair[1], block);
        }
        ::close(pair[1]);
        if (child < 0) {
            ::close(pair[0]);
            cleanUp();
            throw std::runtime_error("fork failed");
        }
        fds.push_back(pair[0]);
        children.push_back(child);
    }

    bool ok = true;
    std::uint8_t notice[kNoticeSize] = {}, answer[kNoticeSize];
    auto frames = [&](int n) {
        for (int f = 0; f < n && ok; ++f) {
            std::memset(block, f & 0xFF, frame_block::kSize);   // the camera's new frame
            for (int fd : fds) {
                notice[0] = static_cast<std::uint8_t>(f);
                pollfd p{fd, POLLIN, 0};
                ok = ::send(fd, notice, sizeof notice, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof notice) &&
                     ::poll(&p, 1, 3000) == 1 &&
                     ::recv(fd, answer, sizeof answer, MSG_WAITALL) == static_cast<ssize_t>(sizeof answer) &&
                     answer[0] == notice[0];
                if (!ok) break;
            }
        }
    };
    const int perBatch = std::max(1, 4000 / processes);
    frames(perBatch / 2);   // every process warm
    std::vector<double> results;
    for (int b = 0; b < 7 && ok; ++b) {
        auto start = std::chrono::steady_clock::now();
        frames(perBatch);
        results.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() /
                          (perBatch * processes));
    }
    cleanUp();
    if (!ok || results.empty()) throw std::runtime_error("a fan-out process stopped answering");
    std::sort(results.begin(), results.end());
    return results[results.size() / 2];
}

}  // namespace kestrom::bench
