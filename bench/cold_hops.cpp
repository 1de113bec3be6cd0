// Baselines for a frame's way at a camera's pace: how long a wake-up takes when the one woken has
// been asleep since the last frame, as "name: value" lines (medians, microseconds).
//
//   cold_hops [--count N] [--hz H]
//
// cold_socket_hop_us: a process writes its clock to a socket, another blocked in read takes it.
// cold_thread_hop_us: a thread notifies a condition variable another thread waits on.
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "notice_times.h"

namespace {

using kestrom::bench::monotonicNanoseconds;

double medianMicros(std::vector<std::int64_t> ns) {
    if (ns.empty()) throw std::runtime_error("no hop was measured");
    std::nth_element(ns.begin(), ns.begin() + static_cast<std::ptrdiff_t>(ns.size() / 2), ns.end());
    return static_cast<double>(ns[ns.size() / 2]) / 1e3;
}

void pause(int hz) { std::this_thread::sleep_for(std::chrono::microseconds(1000000 / hz)); }

double socketHopMicros(int count, int hz) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        throw std::runtime_error(std::string("socketpair failed: ") + std::strerror(errno));
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    if (child == 0) {
        // The receiver: the time each stamp took to arrive, sent back at the end.
        ::close(pair[0]);
        std::vector<std::int64_t> hops;
        std::int64_t sent = 0;
        for (int i = 0; i < count; ++i) {
            if (::read(pair[1], &sent, sizeof sent) != sizeof sent) ::_exit(1);
            hops.push_back(monotonicNanoseconds() - sent);
        }
        const double median = medianMicros(hops);
        ::_exit(::write(pair[1], &median, sizeof median) == sizeof median ? 0 : 1);
    }
    ::close(pair[1]);
    for (int i = 0; i < count; ++i) {
        pause(hz);
        const std::int64_t now = monotonicNanoseconds();
        if (::write(pair[0], &now, sizeof now) != sizeof now) throw std::runtime_error("the socket hop's write failed");
    }
    double median = 0;
    const bool read = ::read(pair[0], &median, sizeof median) == sizeof median;
    ::close(pair[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the socket hop's receiver failed");
    return median;
}

double threadHopMicros(int count, int hz) {
    std::mutex mutex;
    std::condition_variable ready;
    std::int64_t stamp = 0;
    std::vector<std::int64_t> hops;
    std::thread waiter([&] {
        for (int i = 0; i < count; ++i) {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return stamp != 0; });
            hops.push_back(monotonicNanoseconds() - stamp);
            stamp = 0;
        }
    });
    for (int i = 0; i < count; ++i) {
        pause(hz);
        {
            std::lock_guard lock(mutex);
            stamp = monotonicNanoseconds();
        }
        ready.notify_one();
    }
    waiter.join();
    return medianMicros(hops);
}

}  // namespace

int main(int argc, char** argv) {
    int count = 240, hz = 48;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--count") == 0) count = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--hz") == 0) hz = std::atoi(argv[i + 1]);
    }
    try {
        if (count < 1 || hz < 1) throw std::runtime_error("--count and --hz are at least 1");
        std::printf("cold_socket_hop_us: %.1f\n", socketHopMicros(count, hz));
        std::printf("cold_thread_hop_us: %.1f\n", threadHopMicros(count, hz));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cold_hops: %s\n", e.what());
        return 1;
    }
    return 0;
}
