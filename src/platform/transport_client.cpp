// The client's connection to the console: greeting, window registration, sends, posts and incoming messages.
#include "platform/transport_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/transport_paths.h"
#include "platform/transport_socket.h"

namespace kestrom {

using wire::Frame;
using wire::Kind;

TransportClient::TransportClient(TransportClientOptions options) : options_(std::move(options)) {
    if (options_.socketPath.empty()) options_.socketPath = consoleSocketPath();
}

TransportClient::~TransportClient() { closeSocket(); }

bool TransportClient::connect(std::string& error) {
    if (fd_ >= 0) return true;
    int fd = connectTo(options_.socketPath, error);
    if (fd < 0) return false;
    // Whoever listens there must be this user's console.
    if (!peerIsUser(fd, geteuid()) || !setNonBlocking(fd)) {
        error = "The socket at " + options_.socketPath + " is not this user's console";
        ::close(fd);
        return false;
    }
    fd_ = fd;
    reader_ = wire::FrameReader{};
    windows_.clear();
    posted_.clear();
    early_.clear();
    abandoned_.clear();
    goneNotice_ = false;

    Frame ack;
    bool greeted = writeFrame(Frame{Kind::Hello, nextSequence(), 0, wire::kProtocolVersion,
                                    static_cast<std::int64_t>(wire::kMagic), 0}) &&
                   readFrame(ack, Clock::now() + options_.helloTimeout) == Read::Frame;
    if (!greeted || ack.kind != Kind::HelloAck || static_cast<std::uint64_t>(ack.wParam) != wire::kMagic) {
        error = "The console at " + options_.socketPath + " did not greet";
    } else if (ack.msg != wire::kProtocolVersion || ack.window == 0) {
        error = "The console speaks protocol version " + std::to_string(ack.msg) + ", this program version " +
                std::to_string(wire::kProtocolVersion);
    } else {
        consoleWindow_ = ack.window;
        return true;
    }
    closeSocket();
    goneNotice_ = false;
    return false;
}

void TransportClient::disconnect() {
    closeSocket();
    windows_.clear();
    posted_.clear();
    goneNotice_ = false;
}

void TransportClient::closeSocket() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    consoleWindow_ = 0;
    reader_ = wire::FrameReader{};
    early_.clear();
    abandoned_.clear();
}

void TransportClient::lose() {
    if (fd_ < 0) return;
    closeSocket();
    // Told from processIncoming(), after the messages the console posted before it went.
    goneNotice_ = true;
}

std::uint32_t TransportClient::nextSequence() {
    if (++sequence_ == 0) ++sequence_;
    return sequence_;
}

std::optional<TransportClient::Clock::time_point> TransportClient::replyDeadline() const {
    if (options_.replyTimeout.count() <= 0) return std::nullopt;
    return Clock::now() + options_.replyTimeout;
}

TransportClient::Read TransportClient::readFrame(Frame& frame, std::optional<Clock::time_point> deadline) {
    for (;;) {
        if (fd_ < 0) return Read::Lost;
        std::string error;
        auto result = reader_.next(frame, error);
        if (result == wire::FrameReader::Result::Frame) return Read::Frame;
        if (result == wire::FrameReader::Result::Bad) {
            lose();
            return Read::Lost;
        }
        int wait = -1;
        if (deadline) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            wait = static_cast<int>(std::max<long long>(0, left));
        }
        pollfd p{fd_, POLLIN, 0};
        int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return Read::Timeout;
        std::uint8_t buffer[4096];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n <= 0) {
            lose();
            return Read::Lost;
        }
        reader_.append(buffer, static_cast<std::size_t>(n));
    }
}

bool TransportClient::writeFrame(const Frame& frame) {
    if (fd_ < 0) return false;
    std::uint8_t bytes[wire::kFrameSize];
    wire::encode(frame, bytes);
    std::size_t written = 0;
    const auto deadline = replyDeadline();
    while (written < sizeof bytes) {
        ssize_t n = ::send(fd_, bytes + written, sizeof bytes - written, MSG_NOSIGNAL);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The console reads again once its main thread catches up.
            int wait = -1;
            if (deadline) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
                wait = static_cast<int>(std::max<long long>(0, left));
            }
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, wait) > 0 || errno == EINTR) continue;
        }
        lose();
        return false;
    }
    return true;
}

bool TransportClient::awaitAnswer(std::uint32_t sequence, Frame& answer) {
    const auto deadline = replyDeadline();
    for (;;) {
        // A nested wait (a handler that sent while this send waited) may have read this answer.
        if (auto it = early_.find(sequence); it != early_.end()) {
            answer = it->second;
            early_.erase(it);
            return true;
        }
        Frame frame;
        Read result = readFrame(frame, deadline);
        if (result == Read::Lost) return false;
        if (result == Read::Timeout) {
            abandoned_.insert(sequence);
            return false;
        }
        if (frame.kind == Kind::Reply || frame.kind == Kind::Registered) {
            if (frame.sequence == sequence) {
                answer = frame;
                return true;
            }
            if (abandoned_.erase(frame.sequence) == 0) early_.emplace(frame.sequence, frame);
            continue;
        }
        dispatch(frame);
    }
}

void TransportClient::dispatch(const Frame& frame) {
    switch (frame.kind) {
        case Kind::Send: {
            std::intptr_t result = 0;
            if (auto it = windows_.find(frame.window); it != windows_.end()) {
                auto handler = it->second;   // the handler may unregister its own window
                result = (*handler)(frame.msg, static_cast<std::intptr_t>(frame.wParam),
                                    static_cast<std::intptr_t>(frame.lParam));
            }
            writeFrame(Frame{Kind::Reply, frame.sequence, frame.window, frame.msg, static_cast<std::int64_t>(result), 0});
            return;
        }
        case Kind::Post:
            posted_.push_back(frame);
            return;
        case Kind::Reply:
        case Kind::Registered:
            // Answers to sends that timed out.
            abandoned_.erase(frame.sequence);
            return;
        default:
            // Only a client sends these; the stream cannot be trusted any more.
            lose();
            return;
    }
}

void TransportClient::deliver(const Frame& frame) {
    auto it = windows_.find(frame.window);
    if (it == windows_.end()) return;
    auto handler = it->second;
    (*handler)(frame.msg, static_cast<std::intptr_t>(frame.wParam), static_cast<std::intptr_t>(frame.lParam));
}

WindowHandle TransportClient::registerWindow(WindowHandler handler) {
    if (fd_ < 0) return 0;
    std::uint32_t sequence = nextSequence();
    Frame answer;
    if (!writeFrame(Frame{Kind::Register, sequence, 0, 0, 0, 0}) || !awaitAnswer(sequence, answer)) return 0;
    if (answer.kind != Kind::Registered || answer.window == 0) {
        lose();
        return 0;
    }
    windows_[answer.window] = std::make_shared<WindowHandler>(std::move(handler));
    return answer.window;
}

void TransportClient::unregisterWindow(WindowHandle window) {
    if (windows_.erase(window) == 0) return;
    writeFrame(Frame{Kind::Unregister, 0, window, 0, 0, 0});
}

std::intptr_t TransportClient::send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam,
                                    std::intptr_t lParam) {
    if (auto it = windows_.find(window); it != windows_.end()) {
        auto handler = it->second;
        return (*handler)(msg, wParam, lParam);
    }
    if (fd_ < 0) return 0;
    std::uint32_t sequence = nextSequence();
    Frame answer;
    if (!writeFrame(Frame{Kind::Send, sequence, window, msg, wParam, lParam}) || !awaitAnswer(sequence, answer))
        return 0;
    if (answer.kind != Kind::Reply) {
        lose();
        return 0;
    }
    return static_cast<std::intptr_t>(answer.wParam);
}

bool TransportClient::post(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    if (windows_.count(window)) {
        posted_.push_back(Frame{Kind::Post, 0, window, msg, wParam, lParam});
        return true;
    }
    return writeFrame(Frame{Kind::Post, 0, window, msg, wParam, lParam});
}

std::size_t TransportClient::processIncoming(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::size_t handled = 0;
    for (;;) {
        if (!posted_.empty()) {
            Frame frame = posted_.front();
            posted_.pop_front();
            deliver(frame);
            ++handled;
            continue;
        }
        if (goneNotice_) {
            goneNotice_ = false;
            if (onConsoleGone_) onConsoleGone_();
            return handled;
        }
        if (fd_ < 0) return handled;
        Frame frame;
        // Once something was handled, only what has already arrived.
        Read result = readFrame(frame, handled > 0 ? Clock::now() : deadline);
        if (result == Read::Timeout) return handled;
        if (result == Read::Lost) continue;
        if (frame.kind == Kind::Send) ++handled;
        dispatch(frame);
    }
}

}  // namespace kestrom
