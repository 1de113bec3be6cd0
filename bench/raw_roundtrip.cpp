// The socket round trip that the message transport is measured against.
#include "raw_roundtrip.h"

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kestrom::bench {

namespace {

constexpr std::size_t kMessageSize = 16;

bool readAll(int fd, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t got = ::read(fd, p, n);
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t put = ::send(fd, p, n, MSG_NOSIGNAL);
        if (put <= 0) return false;
        p += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

[[noreturn]] void echo(int fd) {
    std::uint8_t message[kMessageSize];
    while (readAll(fd, message, sizeof message) && writeAll(fd, message, sizeof message)) {
    }
    _exit(0);
}

}  // namespace

double rawRoundTripMicros() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) throw std::runtime_error("socketpair failed");
    pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::close(fds[0]);
        echo(fds[1]);
    }
    ::close(fds[1]);
    const int fd = fds[0];

    std::uint8_t request[kMessageSize] = {}, reply[kMessageSize];
    bool ok = true;
    auto batch = [&](int n) {
        for (int i = 0; i < n && ok; ++i) {
            request[0] = static_cast<std::uint8_t>(i);
            ok = writeAll(fd, request, sizeof request) && readAll(fd, reply, sizeof reply) && reply[0] == request[0];
        }
    };
    batch(2000);   // both processes warm
    std::vector<double> results;
    for (int b = 0; b < 9 && ok; ++b) {
        auto start = std::chrono::steady_clock::now();
        batch(5000);
        results.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() /
                          5000);
    }
    ::close(fd);   // the child's read ends and it leaves
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!ok || results.empty()) throw std::runtime_error("the echo process stopped answering");
    std::sort(results.begin(), results.end());
    return results[results.size() / 2];
}

}  // namespace kestrom::bench
