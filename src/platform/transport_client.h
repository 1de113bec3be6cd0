// A subscriber program's end of the message socket: its windows, its sends and posts, and what the console sends them.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "platform/transport_wire.h"
#include "platform/window_messages.h"

namespace kestrom {

struct TransportClientOptions {
    std::string socketPath;                        // empty: consoleSocketPath()
    std::chrono::milliseconds replyTimeout{0};     // 0: a send waits as long as the console lives
    std::chrono::milliseconds helloTimeout{3000};  // for the console's greeting on connect
};

// A client process keeps one connection and multiplexes all its windows over it, and a second one,
// its notice connection, on which the console's sends to those windows arrive. One thread uses
// a client: the thread that handles its windows' messages. The console's sends to those windows
// run their handlers on that thread, from processIncoming() or from inside a send() that waits for
// its own reply (so a window can answer a send the console makes while it handles this one).
// Posted messages are handled only by processIncoming(), as an event loop handles them.
class TransportClient {
public:
    explicit TransportClient(TransportClientOptions options = {});
    ~TransportClient();
    TransportClient(const TransportClient&) = delete;
    TransportClient& operator=(const TransportClient&) = delete;

    // Connects to the console and exchanges greetings; false and the reason when no console runs,
    // its socket belongs to another user or it speaks another protocol version.
    bool connect(std::string& error);
    // Closes the connection without the console-gone callback; this client's windows are gone.
    void disconnect();
    bool isConnected() const { return fd_ >= 0; }

    // The console's main window, as FindWindow finds it: 0 while not connected.
    WindowHandle findConsoleWindow() const { return consoleWindow_; }

    // A window of this process; the console allocates its handle. 0 when not connected.
    WindowHandle registerWindow(WindowHandler handler);
    void unregisterWindow(WindowHandle window);

    // Synchronous: the target's result, or 0 for an unknown window, a lost console or a reply that
    // takes longer than the reply timeout. A window of this client is called directly.
    std::intptr_t send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);
    // Queued for the target; false when not connected, or when kMaxQueuedPosts posts already wait
    // for the console to take them (a full message queue). Posting never waits for the console:
    // what it has not taken yet goes out whenever this client waits or handles messages.
    bool post(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);
    static constexpr std::size_t kMaxQueuedPosts = 10000;

    // Waits up to timeout for the first message, then handles what has been read with it:
    // sends are answered, posted messages delivered in order. When the console has gone, the
    // messages it posted before are still delivered, then the console-gone callback runs once.
    // Returns the number of messages handled.
    std::size_t processIncoming(std::chrono::milliseconds timeout);

    // For an event loop that watches the connection (readable: call processIncoming(0ms)); -1 when
    // closed. It stands for both connections, and is also ready while queued posts can go out.
    int descriptor() const { return fd_ < 0 ? -1 : (watchFd_ >= 0 ? watchFd_ : fd_); }
    // Whether the console's sends arrive on their own connection (a console that offers one).
    bool hasNoticeConnection() const { return noticeFd_ >= 0; }

    void setOnConsoleGone(std::function<void()> callback) { onConsoleGone_ = std::move(callback); }

private:
    using Clock = std::chrono::steady_clock;
    enum class Read { Frame, Timeout, Lost };
    enum class Channel { Main, Notice };

    Read readFrame(wire::Frame& frame, Channel& channel, std::optional<Clock::time_point> deadline,
                   bool onlyBuffered = false);
    bool receive(int fd, wire::FrameReader& reader);
    bool writeFrame(const wire::Frame& frame, Channel channel = Channel::Main);
    void openNoticeConnection(std::uint64_t token);
    void openWatch();
    void closeNoticeConnection();
    bool queuePost(const std::uint8_t* bytes);
    bool flushQueued(bool wait);
    void answerNotices();
    void watchWritable(bool on);
    bool awaitAnswer(std::uint32_t sequence, wire::Frame& answer);
    void dispatch(const wire::Frame& frame, Channel channel);
    void deliver(const wire::Frame& frame);
    std::optional<Clock::time_point> replyDeadline() const;
    std::uint32_t nextSequence();
    void lose();
    void closeSocket();

    TransportClientOptions options_;
    int fd_ = -1;
    int noticeFd_ = -1;
    int watchFd_ = -1;   // epoll over both connections, for event loops
    WindowHandle consoleWindow_ = 0;
    wire::FrameReader reader_;
    wire::FrameReader noticeReader_;
    std::deque<std::uint8_t> unsent_;   // posts (and the rest of one) the console has not taken yet
    bool watchingWritable_ = false;
    std::uint32_t sequence_ = 0;
    std::unordered_map<WindowHandle, std::shared_ptr<WindowHandler>> windows_;
    std::deque<wire::Frame> posted_;
    std::unordered_map<std::uint32_t, wire::Frame> early_;   // answers that reached a nested wait
    std::set<std::uint32_t> abandoned_;                        // sends that timed out
    bool goneNotice_ = false;
    std::function<void()> onConsoleGone_;
};

}  // namespace kestrom
