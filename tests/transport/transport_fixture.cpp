// Shared pieces of the transport tests.
#include "transport_fixture.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/transport_socket.h"

namespace kestrom::test {

TempFolder::TempFolder() {
    char name[] = "/tmp/kestrom-transport-XXXXXX";
    const char* made = mkdtemp(name);
    if (!made) throw std::runtime_error("mkdtemp failed");
    path_ = made;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool pumpUntil(MainThreadCalls& calls, const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        calls.waitForPending(5ms);
        calls.runPending();
    }
    return true;
}

TransportServerOptions ConsoleSide::options(std::chrono::milliseconds sendTimeout) const {
    TransportServerOptions o;
    o.socketPath = socketPath();
    o.sendTimeout = sendTimeout;
    return o;
}

void ConsoleSide::startServer(TransportServerOptions serverOptions) {
    server = std::make_unique<TransportServer>(port, calls, console, std::move(serverOptions));
    server->setOnWindowGone([this](WindowHandle window) {
        std::lock_guard lock(goneMutex);
        gone.push_back(window);
    });
    std::string error;
    ASSERT_TRUE(server->start(error)) << error;
}

TransportClientOptions ConsoleSide::clientOptions() const {
    TransportClientOptions o;
    o.socketPath = socketPath();
    return o;
}

std::vector<WindowHandle> ConsoleSide::goneWindows() {
    std::lock_guard lock(goneMutex);
    return gone;
}

ClientThread::ClientThread(TransportClientOptions options, Body setup) {
    thread_ = std::thread([this, options, setup] {
        TransportClient client(options);
        std::string error;
        if (!client.connect(error)) {
            ADD_FAILURE() << error;
            setupDone_.store(true);
            return;
        }
        connected_.store(true);
        if (setup) setup(client);
        setupDone_.store(true);
        while (!stop_.load() && client.isConnected()) client.processIncoming(5ms);
    });
}

ClientThread::~ClientThread() { stop(); }

void ClientThread::stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
}

RawPeer::RawPeer(const std::string& path) {
    std::string error;
    fd_ = connectTo(path, error);
}

RawPeer::~RawPeer() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawPeer::writeBytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd_, p, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RawPeer::write(const wire::Frame& frame) {
    std::uint8_t bytes[wire::kFrameSize];
    wire::encode(frame, bytes);
    return writeBytes(bytes, sizeof bytes);
}

bool RawPeer::read(wire::Frame& frame, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::string error;
        auto result = reader_.next(frame, error);
        if (result == wire::FrameReader::Result::Frame) return true;
        if (result == wire::FrameReader::Result::Bad) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        std::uint8_t buffer[4096];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        reader_.append(buffer, static_cast<std::size_t>(n));
    }
}

WindowHandle RawPeer::greetAndRegister() {
    wire::Frame answer;
    if (!write(hello()) || !read(answer) || answer.kind != wire::Kind::HelloAck) return 0;
    if (!write(wire::Frame{wire::Kind::Register, 77, 0, 0, 0, 0}) || !read(answer)) return 0;
    return answer.kind == wire::Kind::Registered && answer.sequence == 77 ? answer.window : 0;
}

bool RawPeer::closedByServer(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        std::uint8_t buffer[4096];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        if (n < 0) return false;
    }
}

wire::Frame hello(std::uint32_t version) {
    return wire::Frame{wire::Kind::Hello, 1, 0, version, static_cast<std::int64_t>(wire::kMagic), 0};
}

}  // namespace kestrom::test
