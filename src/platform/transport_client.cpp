// The client's connection to the console: greeting, window registration, sends, posts and incoming messages.
#include "platform/transport_client.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
    Channel channel = Channel::Main;
    bool greeted = writeFrame(Frame{Kind::Hello, nextSequence(), 0, wire::kProtocolVersion,
                                    static_cast<std::int64_t>(wire::kMagic), 0}) &&
                   readFrame(ack, channel, Clock::now() + options_.helloTimeout) == Read::Frame;
    if (!greeted || ack.kind != Kind::HelloAck || static_cast<std::uint64_t>(ack.wParam) != wire::kMagic) {
        error = "The console at " + options_.socketPath + " did not greet";
    } else if (ack.msg != wire::kProtocolVersion || ack.window == 0) {
        error = "The console speaks protocol version " + std::to_string(ack.msg) + ", this program version " +
                std::to_string(wire::kProtocolVersion);
    } else {
        consoleWindow_ = ack.window;
        if (ack.lParam != 0) openNoticeConnection(static_cast<std::uint64_t>(ack.lParam));
        openWatch();
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

// Without it (a console that refuses it, or no descriptors left) the console's sends come on the
// main connection, only a little slower.
void TransportClient::openNoticeConnection(std::uint64_t token) {
    std::string error;
    int fd = connectTo(options_.socketPath, error);
    if (fd < 0) return;
    if (!peerIsUser(fd, geteuid()) || !setNonBlocking(fd)) {
        ::close(fd);
        return;
    }
    noticeFd_ = fd;
    noticeReader_ = wire::FrameReader{};
    Frame ack;
    std::uint8_t hello[wire::kFrameSize];
    wire::encode(Frame{Kind::NoticeHello, nextSequence(), 0, wire::kProtocolVersion,
                       static_cast<std::int64_t>(wire::kMagic), static_cast<std::int64_t>(token)},
                 hello);
    // A new, empty socket takes the whole frame at once; a failure here leaves the main connection be.
    bool opened = ::send(noticeFd_, hello, sizeof hello, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof hello);
    if (opened) {
        // Its greeting is the first thing on it; nothing else can come before that.
        const auto deadline = Clock::now() + options_.helloTimeout;
        opened = false;
        while (noticeReader_.buffered() < wire::kFrameSize && Clock::now() < deadline) {
            pollfd p{noticeFd_, POLLIN, 0};
            if (::poll(&p, 1, pollTimeout(deadline)) <= 0) continue;
            if (!receive(noticeFd_, noticeReader_)) break;
        }
        std::string bad;
        opened = noticeReader_.next(ack, bad) == wire::FrameReader::Result::Frame && ack.kind == Kind::HelloAck &&
                 ack.window == consoleWindow_;
    }
    if (!opened) closeNoticeConnection();
}

// One descriptor for event loops, ready when either connection is readable or queued posts can go.
void TransportClient::openWatch() {
    watchFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event main{EPOLLIN, {}}, notice{EPOLLIN, {}};
    if (watchFd_ >= 0 && (::epoll_ctl(watchFd_, EPOLL_CTL_ADD, fd_, &main) != 0 ||
                          (noticeFd_ >= 0 && ::epoll_ctl(watchFd_, EPOLL_CTL_ADD, noticeFd_, &notice) != 0))) {
        ::close(watchFd_);
        watchFd_ = -1;
    }
    if (watchFd_ < 0 && noticeFd_ >= 0) {
        // An event loop could watch only the main connection: the console's sends stay on it.
        closeNoticeConnection();
    }
}

// The console's sends come on the main connection again.
void TransportClient::closeNoticeConnection() {
    if (noticeFd_ >= 0) ::close(noticeFd_);
    noticeFd_ = -1;
    noticeReader_ = wire::FrameReader{};
}

void TransportClient::watchWritable(bool on) {
    if (watchFd_ < 0 || on == watchingWritable_) return;
    epoll_event main{on ? std::uint32_t{EPOLLIN | EPOLLOUT} : std::uint32_t{EPOLLIN}, {}};
    if (::epoll_ctl(watchFd_, EPOLL_CTL_MOD, fd_, &main) == 0) watchingWritable_ = on;
}

void TransportClient::closeSocket() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    closeNoticeConnection();
    if (watchFd_ >= 0) ::close(watchFd_);
    watchFd_ = -1;
    consoleWindow_ = 0;
    reader_ = wire::FrameReader{};
    unsent_.clear();
    watchingWritable_ = false;
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

bool TransportClient::receive(int fd, wire::FrameReader& reader) {
    std::uint8_t buffer[4096];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) return false;
    reader.append(buffer, static_cast<std::size_t>(n));
    return true;
}

TransportClient::Read TransportClient::readFrame(Frame& frame, Channel& channel,
                                                 std::optional<Clock::time_point> deadline, bool onlyBuffered) {
    for (;;) {
        if (fd_ < 0) return Read::Lost;
        std::string error;
        // The console's sends first: a window answers them before its posted messages.
        if (noticeFd_ >= 0) {
            auto result = noticeReader_.next(frame, error);
            if (result == wire::FrameReader::Result::Frame) {
                channel = Channel::Notice;
                return Read::Frame;
            }
            if (result == wire::FrameReader::Result::Bad) {
                lose();
                return Read::Lost;
            }
        }
        auto result = reader_.next(frame, error);
        if (result == wire::FrameReader::Result::Frame) {
            channel = Channel::Main;
            return Read::Frame;
        }
        if (result == wire::FrameReader::Result::Bad) {
            lose();
            return Read::Lost;
        }
        if (onlyBuffered) return Read::Timeout;
        pollfd p[2] = {{fd_, static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0}, {noticeFd_, POLLIN, 0}};
        int ready = ::poll(p, noticeFd_ >= 0 ? 2 : 1, pollTimeout(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return Read::Timeout;
        if (p[1].revents && !receive(noticeFd_, noticeReader_)) {
            // The console ends both connections together; what it wrote on the main one before
            // it went is still read, and the end of that one tells that it has gone.
            closeNoticeConnection();
            continue;
        }
        if ((p[0].revents & POLLOUT) && !flushQueued(false)) return Read::Lost;
        if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) && !receive(fd_, reader_)) {
            lose();
            return Read::Lost;
        }
    }
}

bool TransportClient::writeFrame(const Frame& frame, Channel channel) {
    const int fd = channel == Channel::Notice ? noticeFd_ : fd_;
    if (fd < 0) return false;
    std::uint8_t bytes[wire::kFrameSize];
    wire::encode(frame, bytes);
    if (channel == Channel::Main) {
        if (frame.kind == Kind::Post) return queuePost(bytes);
        // Behind the queued posts: the console sees this client's messages in the order it wrote
        // them, and a send made by a handler while this one waits cannot cut into it.
        unsent_.insert(unsent_.end(), bytes, bytes + wire::kFrameSize);
        return flushQueued(true);
    }
    std::size_t written = 0;
    const auto deadline = replyDeadline();
    while (written < sizeof bytes) {
        ssize_t n = ::send(fd, bytes + written, sizeof bytes - written, MSG_NOSIGNAL);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The console reads again once its main thread catches up.
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, pollTimeout(deadline)) > 0 || errno == EINTR) continue;
        }
        lose();
        return false;
    }
    return true;
}

bool TransportClient::queuePost(const std::uint8_t* bytes) {
    if (unsent_.size() >= kMaxQueuedPosts * wire::kFrameSize) return false;
    unsent_.insert(unsent_.end(), bytes, bytes + wire::kFrameSize);
    return flushQueued(false);
}

// Writes what the socket takes now; with wait, all of it (the console reads again once its main
// thread catches up), answering the console's sends meanwhile: it may be waiting for one of them
// before it reads on. False when the console is lost.
bool TransportClient::flushQueued(bool wait) {
    const auto deadline = replyDeadline();
    while (!unsent_.empty()) {
        if (fd_ < 0) return false;
        std::uint8_t chunk[4096];
        const std::size_t size = std::min(unsent_.size(), sizeof chunk);
        std::copy_n(unsent_.begin(), size, chunk);
        ssize_t n = ::send(fd_, chunk, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            unsent_.erase(unsent_.begin(), unsent_.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait) break;
            pollfd p[2] = {{fd_, POLLOUT, 0}, {noticeFd_, POLLIN, 0}};
            int ready = ::poll(p, noticeFd_ >= 0 ? 2 : 1, pollTimeout(deadline));
            if (ready > 0 && p[1].revents) answerNotices();
            if (ready > 0 || errno == EINTR) continue;
        }
        lose();
        return false;
    }
    watchWritable(!unsent_.empty());
    return true;
}

void TransportClient::answerNotices() {
    if (!receive(noticeFd_, noticeReader_)) {
        // Its end comes with the main connection's, which tells that the console has gone.
        closeNoticeConnection();
        return;
    }
    Frame frame;
    std::string error;
    while (noticeFd_ >= 0 && noticeReader_.next(frame, error) == wire::FrameReader::Result::Frame)
        dispatch(frame, Channel::Notice);
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
        Channel channel = Channel::Main;
        Read result = readFrame(frame, channel, deadline);
        if (result == Read::Lost) return false;
        if (result == Read::Timeout) {
            abandoned_.insert(sequence);
            return false;
        }
        if (channel == Channel::Main && (frame.kind == Kind::Reply || frame.kind == Kind::Registered)) {
            if (frame.sequence == sequence) {
                answer = frame;
                return true;
            }
            if (abandoned_.erase(frame.sequence) == 0) early_.emplace(frame.sequence, frame);
            continue;
        }
        dispatch(frame, channel);
    }
}

void TransportClient::dispatch(const Frame& frame, Channel channel) {
    // The notice connection carries the console's sends and nothing else.
    if (channel == Channel::Notice && frame.kind != Kind::Send) {
        lose();
        return;
    }
    switch (frame.kind) {
        case Kind::Send: {
            std::intptr_t result = 0;
            if (auto it = windows_.find(frame.window); it != windows_.end()) {
                auto handler = it->second;   // the handler may unregister its own window
                result = (*handler)(frame.msg, static_cast<std::intptr_t>(frame.wParam),
                                    static_cast<std::intptr_t>(frame.lParam));
            }
            // Answered on the connection the send came by.
            writeFrame(Frame{Kind::Reply, frame.sequence, frame.window, frame.msg, static_cast<std::int64_t>(result), 0},
                       channel);
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
        Channel channel = Channel::Main;
        // Once something was handled, only what has already been read: whatever else has arrived
        // keeps the descriptor ready for the next call, and a frame notice costs no extra look.
        Read result = readFrame(frame, channel, deadline, handled > 0);
        if (result == Read::Timeout) return handled;
        if (result == Read::Lost) continue;
        if (frame.kind == Kind::Send) ++handled;
        dispatch(frame, channel);
    }
}

}  // namespace kestrom
