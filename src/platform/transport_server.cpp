// The console's message socket: connections, the I/O thread, and sends and posts to and from client windows.
#include "platform/transport_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/transport_paths.h"
#include "platform/transport_socket.h"
#include "platform/transport_wire.h"

namespace kestrom {

using wire::Frame;
using wire::Kind;

namespace {

// A client registers a window per subscriber component; far more than this is not a subscriber.
constexpr std::size_t kMaxWindowsPerConnection = 1024;

struct Connection {
    Connection(std::uint64_t id_, int fd_) : id(id_), fd(fd_) {}
    ~Connection() {
        if (noticeFd >= 0) ::close(noticeFd);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    const std::uint64_t id;
    const int fd;   // closed by the I/O thread only, once the connection is gone

    std::mutex writeMutex;   // guards open and unsent; nothing is written once open is false
    bool open = true;
    std::vector<std::uint8_t> unsent;

    // The I/O thread's own.
    wire::FrameReader reader;
    bool greeted = false;

    // The notice connection: the console's sends to this client and the client's replies to them.
    // The I/O thread never reads it; the thread that waits for a reply reads it itself, so a frame
    // notice costs the subscriber's round trip and no hand-over between threads. Several threads
    // may wait on it at once (the main thread and each camera's): one reads at a time and hands
    // every reply to the send it answers.
    // Set once by the I/O thread under the core's mutex, closed with the connection's last owner.
    int noticeFd = -1;
    std::mutex noticeWriteMutex;      // one send is written whole before the next
    wire::FrameReader noticeReader;   // the reading thread's
    bool noticeReading = false;       // under the core's mutex: a thread reads it now

    // Guarded by the core's mutex.
    bool gone = false;
    std::uint64_t token = 0;     // opens the notice connection
    std::vector<WindowHandle> windows;
    std::size_t waiting = 0;     // its requests queued for the main thread
    std::size_t awaited = 0;     // sends to it waiting for its reply

    bool hasNotice() const { return noticeFd >= 0 && !gone; }   // under the core's mutex
};

// A send or post from a client, waiting for the main thread.
struct Request {
    std::shared_ptr<Connection> from;
    Frame frame;
};

// A thread that waits for replies; woken through its event descriptor when a reply it waits for
// was read by another thread, a connection failed, or (the main thread) a client's send is queued.
struct ReplyWaiter {
    ReplyWaiter() : fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~ReplyWaiter() {
        if (fd >= 0) ::close(fd);
    }
    ReplyWaiter(const ReplyWaiter&) = delete;
    ReplyWaiter& operator=(const ReplyWaiter&) = delete;
    void signal() const {
        std::uint64_t one = 1;
        // A counter that is already set wakes the thread just the same.
        [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
    }
    void clear() const {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(fd, &count, sizeof count);
    }
    const int fd;
};

ReplyWaiter& threadWaiter() {
    thread_local ReplyWaiter waiter;
    return waiter;
}

struct PendingReply {
    std::shared_ptr<Connection> connection;
    ReplyWaiter* waiter = nullptr;
    bool answered = false;
    bool failed = false;
    std::int64_t result = 0;
};

}  // namespace

struct TransportServer::Core : RemoteSender, std::enable_shared_from_this<Core> {
    Core(MessagePort& port_, MainThreadCalls& mainThread_, WindowHandle consoleWindow_, TransportServerOptions options_)
        : port(port_), mainThread(mainThread_), consoleWindow(consoleWindow_), options(std::move(options_)) {
        if (options.socketPath.empty()) options.socketPath = consoleSocketPath();
    }

    bool start(std::string& error);
    void stop();
    void wake();
    void run();
    void acceptAll();
    void readFrom(const std::shared_ptr<Connection>& conn);
    void flush(const std::shared_ptr<Connection>& conn);
    void handle(const std::shared_ptr<Connection>& conn, const Frame& frame);
    void registerWindow(const std::shared_ptr<Connection>& conn, const Frame& frame);
    bool write(const std::shared_ptr<Connection>& conn, const Frame& frame);
    void drop(const std::shared_ptr<Connection>& conn, bool notify);
    void announceGone(const std::vector<WindowHandle>& windows);
    std::intptr_t forwardSend(const std::shared_ptr<Connection>& conn, WindowHandle window, std::uint32_t msg,
                              std::intptr_t wParam, std::intptr_t lParam);
    void sendToAll(const std::vector<WindowHandle>& windows, std::uint32_t msg, std::intptr_t wParam,
                   std::intptr_t lParam, std::vector<std::intptr_t>& results,
                   const std::atomic<bool>* cancel) override;
    void wakeWaits() override;
    std::shared_ptr<Connection> ownerOf(WindowHandle window) const;
    std::uint32_t beginSend(const std::shared_ptr<Connection>& conn, WindowHandle window, std::uint32_t msg,
                            std::intptr_t wParam, std::intptr_t lParam, ReplyWaiter& waiter,
                            std::chrono::steady_clock::time_point deadline);
    void awaitReplies(ReplyWaiter& waiter, const std::vector<std::uint32_t>& sequences,
                      std::chrono::steady_clock::time_point deadline, const std::atomic<bool>* cancel);
    // waitCancelled: the sender stopped waiting before the deadline (its camera closes); a reply
    // not in yet then says nothing about the client, which stays.
    std::intptr_t finishSend(std::uint32_t sequence, bool waitCancelled = false);
    bool readNoticeOnce(const std::shared_ptr<Connection>& conn);
    void signalWaiters(std::uint64_t connection, const ReplyWaiter* except);
    void attachNotice(const std::shared_ptr<Connection>& conn, const Frame& frame);
    bool readable(const Connection& conn) const;
    bool writeNotice(Connection& conn, const Frame& frame, std::chrono::steady_clock::time_point deadline);
    void answer(const Connection& conn, const Frame& reply);
    bool takeSend(Request& request, bool& unblocked, const ReplyWaiter& waiter);
    bool released(Connection& conn);
    void drain();
    void runRequest(const Request& request);

    MessagePort& port;
    MainThreadCalls& mainThread;
    const WindowHandle consoleWindow;
    TransportServerOptions options;

    SocketFile file;
    int listenFd = -1;
    int wakeRead = -1;
    std::atomic<int> wakeWrite{-1};
    std::thread io;
    std::atomic<bool> started{false};
    std::atomic<bool> stopping{false};
    std::atomic<bool> abandoned{false};   // the console is ending: no wait for a reply goes on

    mutable std::mutex mutex;
    std::vector<ReplyWaiter*> waiters;   // threads waiting for replies now, each once
    ReplyWaiter* mainWaiter = nullptr;   // the main thread's, while it waits: a queued send wakes it
    std::mt19937_64 tokens{std::random_device{}()};
    std::vector<std::shared_ptr<Connection>> connections;
    std::unordered_map<std::uint32_t, PendingReply> pending;
    std::uint32_t nextSequence = 0;
    std::deque<Request> requests;
    bool drainQueued = false;
    // The main thread's own: requests in progress, and a drain that found one in progress.
    int requestDepth = 0;
    bool drainDeferred = false;
    std::function<void(WindowHandle)> onWindowGone;
    std::uint64_t nextConnection = 1;
};

bool TransportServer::Core::start(std::string& error) {
    if (started.load()) {
        error = "The message socket is already open";
        return false;
    }
    if (!preparePrivateFolder(socketFolderOf(options.socketPath), error)) return false;
    int pipeFds[2];
    if (pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("Cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    listenFd = listenAt(options.socketPath, file, error);
    if (listenFd < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    wakeRead = pipeFds[0];
    wakeWrite = pipeFds[1];
    started.store(true);
    io = std::thread([this] { run(); });
    port.setRemoteSender(shared_from_this());
    return true;
}

void TransportServer::Core::stop() {
    if (!started.load() || stopping.exchange(true)) return;
    port.setRemoteSender(nullptr);
    wake();
    if (io.joinable()) io.join();
    std::vector<std::shared_ptr<Connection>> all;
    {
        std::lock_guard lock(mutex);
        all = connections;
    }
    for (const auto& conn : all) drop(conn, false);
    {
        std::lock_guard lock(mutex);
        for (const auto& conn : connections) ::close(conn->fd);
        connections.clear();
        requests.clear();
        for (ReplyWaiter* waiter : waiters) waiter->signal();
    }
    ::close(listenFd);
    removeSocketFile(options.socketPath, file);
    ::close(wakeRead);
    ::close(wakeWrite.exchange(-1));
}

void TransportServer::Core::wake() {
    int fd = wakeWrite.load();
    if (fd < 0) return;
    char byte = 1;
    // A full pipe already wakes the thread.
    [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
}

void TransportServer::Core::run() {
    std::vector<pollfd> fds;
    std::vector<std::shared_ptr<Connection>> polled;
    while (!stopping.load()) {
        fds.assign({pollfd{wakeRead, POLLIN, 0}, pollfd{listenFd, POLLIN, 0}});
        polled.clear();
        {
            std::lock_guard lock(mutex);
            // Writers have let go of a gone connection (open is false), so its descriptor can close.
            std::erase_if(connections, [](const std::shared_ptr<Connection>& conn) {
                if (!conn->gone) return false;
                ::close(conn->fd);
                return true;
            });
            for (const auto& conn : connections) {
                short events = 0;
                if (readable(*conn)) events |= POLLIN;
                {
                    std::lock_guard writeLock(conn->writeMutex);
                    if (!conn->unsent.empty()) events |= POLLOUT;
                }
                if (events == 0) continue;
                fds.push_back(pollfd{conn->fd, events, 0});
                polled.push_back(conn);
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[0].revents) {
            char buffer[256];
            while (::read(wakeRead, buffer, sizeof buffer) > 0) {
            }
        }
        if (fds[1].revents & POLLIN) acceptAll();
        for (std::size_t i = 0; i < polled.size(); ++i) {
            const pollfd& p = fds[i + 2];
            const auto& conn = polled[i];
            if (p.revents & POLLOUT) flush(conn);
            if (p.events & POLLIN) {
                if (p.revents & (POLLIN | POLLHUP | POLLERR)) readFrom(conn);
            } else if (p.revents & (POLLHUP | POLLERR)) {
                drop(conn, true);
            }
        }
    }
}

void TransportServer::Core::acceptAll() {
    for (;;) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;
        }
        // Only the console's own user may talk to it.
        if (!peerIsUser(fd, geteuid())) {
            ::close(fd);
            continue;
        }
        std::lock_guard lock(mutex);
        connections.push_back(std::make_shared<Connection>(nextConnection++, fd));
    }
}

void TransportServer::Core::readFrom(const std::shared_ptr<Connection>& conn) {
    std::uint8_t buffer[4096];
    // A bounded number of reads per wakeup, so that one busy client cannot keep the others waiting.
    for (int round = 0; round < 16; ++round) {
        ssize_t n = ::recv(conn->fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            drop(conn, true);
            return;
        }
        conn->reader.append(buffer, static_cast<std::size_t>(n));
        Frame frame;
        std::string error;
        for (;;) {
            auto result = conn->reader.next(frame, error);
            if (result == wire::FrameReader::Result::NeedMore) break;
            if (result == wire::FrameReader::Result::Bad) {
                drop(conn, true);
                return;
            }
            handle(conn, frame);
            // Nothing after a frame that ended the connection is taken from it.
            std::lock_guard lock(mutex);
            if (conn->gone) return;
        }
        std::lock_guard lock(mutex);
        if (conn->gone || !readable(*conn)) return;
    }
}

bool TransportServer::Core::readable(const Connection& conn) const {
    // A client whose requests pile up is not read until the main thread catches up. One with a
    // single connection is read on while the console waits for its answer, since it may be stuck
    // writing before it can answer; if it piles up far more then, it is flooding and is gone.
    // A client with a notice connection answers there whatever its main connection holds.
    return conn.waiting < options.maxWaitingRequests ||
           (conn.awaited > 0 && !conn.hasNotice() && conn.waiting <= options.maxRequestsWhileAwaited);
}

void TransportServer::Core::flush(const std::shared_ptr<Connection>& conn) {
    bool failed = false;
    {
        std::lock_guard lock(conn->writeMutex);
        if (!conn->open) return;
        while (!conn->unsent.empty()) {
            ssize_t n = ::send(conn->fd, conn->unsent.data(), conn->unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                conn->unsent.erase(conn->unsent.begin(), conn->unsent.begin() + n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                failed = !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
                break;
            }
        }
    }
    if (failed) drop(conn, true);
}

void TransportServer::Core::handle(const std::shared_ptr<Connection>& conn, const Frame& frame) {
    if (!conn->greeted) {
        if (frame.kind == Kind::NoticeHello) {
            attachNotice(conn, frame);
            return;
        }
        if (frame.kind != Kind::Hello) {
            drop(conn, true);
            return;
        }
        bool agreed = frame.msg == wire::kProtocolVersion && static_cast<std::uint64_t>(frame.wParam) == wire::kMagic;
        std::uint64_t token = 0;
        if (agreed) {
            std::lock_guard lock(mutex);
            while (token == 0) token = tokens();
            conn->token = token;
        }
        // A refused client still learns which version the console speaks.
        write(conn, Frame{Kind::HelloAck, frame.sequence, agreed ? consoleWindow : 0, wire::kProtocolVersion,
                          static_cast<std::int64_t>(wire::kMagic), static_cast<std::int64_t>(token)});
        if (!agreed) {
            drop(conn, true);
            return;
        }
        conn->greeted = true;
        return;
    }
    switch (frame.kind) {
        case Kind::Register:
            registerWindow(conn, frame);
            return;
        case Kind::Unregister: {
            bool own = false;
            {
                std::lock_guard lock(mutex);
                auto it = std::find(conn->windows.begin(), conn->windows.end(), frame.window);
                if (it != conn->windows.end()) {
                    conn->windows.erase(it);
                    own = true;
                }
            }
            // Another client's window is not this client's to remove.
            if (!own) return;
            port.unregisterWindow(frame.window);
            announceGone({frame.window});
            return;
        }
        case Kind::Send:
        case Kind::Post: {
            bool schedule = false;
            bool flooding = false;
            {
                std::lock_guard lock(mutex);
                requests.push_back(Request{conn, frame});
                ++conn->waiting;
                flooding = conn->waiting > options.maxRequestsWhileAwaited && !conn->hasNotice();
                schedule = !drainQueued;
                drainQueued = true;
                // A main thread that waits for a client's reply takes the send from here itself.
                if (mainWaiter && frame.kind == Kind::Send) mainWaiter->signal();
            }
            if (flooding) {
                drop(conn, true);
                return;
            }
            if (schedule) {
                std::weak_ptr<Core> weak = weak_from_this();
                mainThread.post([weak] {
                    if (auto core = weak.lock()) core->drain();
                });
            }
            return;
        }
        case Kind::Reply:
            answer(*conn, frame);
            return;
        default:
            // Hello twice, or what only the console sends.
            drop(conn, true);
            return;
    }
}

void TransportServer::Core::registerWindow(const std::shared_ptr<Connection>& conn, const Frame& frame) {
    bool tooMany = false;
    {
        std::lock_guard lock(mutex);
        tooMany = conn->windows.size() >= kMaxWindowsPerConnection;
    }
    if (tooMany) {
        // Far more windows than a subscriber program has: treated like any broken client.
        drop(conn, true);
        return;
    }
    // The handle is known only once the port has allocated it; nobody can address the window before.
    auto handle = std::make_shared<std::atomic<WindowHandle>>(0);
    std::shared_ptr<Core> self = shared_from_this();
    WindowHandle window = port.registerWindow(
        [self, conn, handle](std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
            return self->forwardSend(conn, handle->load(), msg, wParam, lParam);
        },
        [self, conn, handle](std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
            self->write(conn, Frame{Kind::Post, 0, handle->load(), msg, wParam, lParam});
        });
    handle->store(window);
    {
        std::lock_guard lock(mutex);
        if (!conn->gone) {
            conn->windows.push_back(window);
            window = 0;
        }
    }
    if (window != 0) {
        // The connection went while the window was made.
        port.unregisterWindow(window);
        return;
    }
    write(conn, Frame{Kind::Registered, frame.sequence, handle->load(), 0, 0, 0});
}

bool TransportServer::Core::write(const std::shared_ptr<Connection>& conn, const Frame& frame) {
    std::uint8_t bytes[wire::kFrameSize];
    wire::encode(frame, bytes);
    bool failed = false;
    bool overflow = false;
    bool queued = false;
    {
        std::lock_guard lock(conn->writeMutex);
        if (!conn->open) return false;
        std::size_t written = 0;
        if (conn->unsent.empty()) {
            ssize_t n = ::send(conn->fd, bytes, sizeof bytes, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n >= 0)
                written = static_cast<std::size_t>(n);
            else
                failed = !(errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        }
        if (!failed && written < sizeof bytes) {
            // The I/O thread sends the rest when the client reads again.
            conn->unsent.insert(conn->unsent.end(), bytes + written, bytes + sizeof bytes);
            queued = true;
            overflow = conn->unsent.size() > options.maxUnsentBytes;
        }
    }
    if (failed || overflow) {
        drop(conn, true);
        return false;
    }
    if (queued) wake();
    return true;
}

void TransportServer::Core::drop(const std::shared_ptr<Connection>& conn, bool notify) {
    {
        std::lock_guard lock(conn->writeMutex);
        if (!conn->open) return;
        conn->open = false;
        conn->unsent.clear();
        ::shutdown(conn->fd, SHUT_RDWR);
    }
    std::vector<WindowHandle> windows;
    {
        std::lock_guard lock(mutex);
        conn->gone = true;
        // The client sees its notice connection end too; the descriptor stays until its last user lets go.
        if (conn->noticeFd >= 0) ::shutdown(conn->noticeFd, SHUT_RDWR);
        windows.swap(conn->windows);
        // Sends waiting for this client return 0 now, not at their timeout.
        for (auto& [sequence, reply] : pending) {
            if (reply.connection->id != conn->id || reply.answered) continue;
            reply.failed = true;
            reply.waiter->signal();
        }
    }
    for (WindowHandle window : windows) port.unregisterWindow(window);
    if (notify) announceGone(windows);
    wake();
}

void TransportServer::Core::announceGone(const std::vector<WindowHandle>& windows) {
    if (stopping.load()) return;
    std::weak_ptr<Core> weak = weak_from_this();
    for (WindowHandle window : windows) {
        // From the event loop, never from inside the delivery that found the window gone.
        mainThread.post([weak, window] {
            auto core = weak.lock();
            if (!core || core->stopping.load()) return;
            std::function<void(WindowHandle)> callback;
            {
                std::lock_guard lock(core->mutex);
                callback = core->onWindowGone;
            }
            if (callback) callback(window);
        });
    }
}

std::intptr_t TransportServer::Core::forwardSend(const std::shared_ptr<Connection>& conn, WindowHandle window,
                                                 std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    const auto deadline = std::chrono::steady_clock::now() + options.sendTimeout;
    ReplyWaiter& waiter = threadWaiter();
    std::uint32_t sequence = beginSend(conn, window, msg, wParam, lParam, waiter, deadline);
    if (sequence == 0) return 0;
    awaitReplies(waiter, {sequence}, deadline, nullptr);
    return finishSend(sequence);
}

std::shared_ptr<Connection> TransportServer::Core::ownerOf(WindowHandle window) const {
    std::lock_guard lock(mutex);
    for (const auto& conn : connections)
        if (!conn->gone && std::find(conn->windows.begin(), conn->windows.end(), window) != conn->windows.end())
            return conn;
    return nullptr;
}

// Every window is sent to before any reply is awaited, and all replies share one deadline: hung
// clients of one delivery cost one bound together, not one each.
void TransportServer::Core::sendToAll(const std::vector<WindowHandle>& windows, std::uint32_t msg,
                                      std::intptr_t wParam, std::intptr_t lParam, std::vector<std::intptr_t>& results,
                                      const std::atomic<bool>* cancel) {
    const auto deadline = std::chrono::steady_clock::now() + options.sendTimeout;
    ReplyWaiter& waiter = threadWaiter();
    std::vector<std::uint32_t> sequences(windows.size(), 0);
    std::vector<std::uint32_t> begun;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        auto conn = ownerOf(windows[i]);
        if (conn) sequences[i] = beginSend(conn, windows[i], msg, wParam, lParam, waiter, deadline);
        if (sequences[i] != 0) begun.push_back(sequences[i]);
    }
    if (!begun.empty()) awaitReplies(waiter, begun, deadline, cancel);
    const bool cancelled = cancel && cancel->load() && std::chrono::steady_clock::now() < deadline;
    results.assign(windows.size(), 0);
    for (std::size_t i = 0; i < windows.size(); ++i)
        if (sequences[i] != 0) results[i] = finishSend(sequences[i], cancelled);
}

void TransportServer::Core::wakeWaits() {
    std::lock_guard lock(mutex);
    for (ReplyWaiter* waiter : waiters) waiter->signal();
}

// Writes the send and registers its reply; 0 when the client is gone or cannot take it.
std::uint32_t TransportServer::Core::beginSend(const std::shared_ptr<Connection>& conn, WindowHandle window,
                                               std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam,
                                               ReplyWaiter& waiter, std::chrono::steady_clock::time_point deadline) {
    std::uint32_t sequence = 0;
    bool viaNotice = false;
    bool rereadClient = false;
    {
        std::lock_guard lock(mutex);
        if (conn->gone || stopping.load()) return 0;
        do {
            sequence = ++nextSequence;
        } while (sequence == 0 || pending.count(sequence));
        pending.emplace(sequence, PendingReply{conn, &waiter});
        viaNotice = conn->hasNotice();
        rereadClient = ++conn->awaited == 1 && !conn->hasNotice() && conn->waiting >= options.maxWaitingRequests;
    }
    // The I/O thread had stopped reading this client: it may be stuck writing before it can answer.
    if (rereadClient) wake();
    const Frame send{Kind::Send, sequence, window, msg, wParam, lParam};
    if (viaNotice ? !writeNotice(*conn, send, deadline) : !write(conn, send)) {
        if (viaNotice) drop(conn, true);
        // Registered as failed: finishSend gives 0 and forgets it.
        std::lock_guard lock(mutex);
        pending.find(sequence)->second.failed = true;
    }
    return sequence;
}

// The reply's result, or 0 when the client failed or did not answer in time (it is gone then).
std::intptr_t TransportServer::Core::finishSend(std::uint32_t sequence, bool waitCancelled) {
    std::shared_ptr<Connection> late;
    std::intptr_t result = 0;
    {
        std::lock_guard lock(mutex);
        auto it = pending.find(sequence);
        if (it == pending.end()) return 0;
        const PendingReply& reply = it->second;
        if (reply.answered)
            result = static_cast<std::intptr_t>(reply.result);
        else if (!reply.failed && !abandoned.load() && !waitCancelled)   // an ending console still tells it 1330
            late = reply.connection;
        --reply.connection->awaited;
        pending.erase(it);
    }
    // A client that does not answer in time is treated as gone.
    if (late) drop(late, true);
    return result;
}

// Waits until every one of the sequences is answered or failed, the deadline passes, or cancel is
// set. Meanwhile it reads the notice connections of every reply that this thread waits for,
// including those of waits further out on its stack, unless another thread reads them already; the
// main thread also runs the sends that clients make meanwhile.
void TransportServer::Core::awaitReplies(ReplyWaiter& waiter, const std::vector<std::uint32_t>& sequences,
                                         std::chrono::steady_clock::time_point deadline,
                                         const std::atomic<bool>* cancel) {
    const bool onMain = mainThread.onMainThread();
    std::unique_lock lock(mutex);
    ReplyWaiter* outerMain = mainWaiter;
    const bool listed = std::find(waiters.begin(), waiters.end(), &waiter) != waiters.end();
    if (!listed) waiters.push_back(&waiter);
    if (onMain) mainWaiter = &waiter;
    struct Unlist {
        Core& core;
        ReplyWaiter& waiter;
        bool listed;
        bool onMain;
        ReplyWaiter* outerMain;
        ~Unlist() {
            if (!listed) std::erase(core.waiters, &waiter);
            if (onMain) core.mainWaiter = outerMain;
        }
    } unlist{*this, waiter, listed, onMain, outerMain};

    std::vector<std::shared_ptr<Connection>> reading;
    std::vector<pollfd> fds;
    for (;;) {
        const bool done = std::all_of(sequences.begin(), sequences.end(), [&](std::uint32_t s) {
            const PendingReply& r = pending.find(s)->second;
            return r.answered || r.failed;
        });
        if (done || stopping.load() || abandoned.load() || (cancel && cancel->load()) ||
            std::chrono::steady_clock::now() >= deadline)
            return;
        Request request;
        bool unblocked = false;
        if (onMain && takeSend(request, unblocked, waiter)) {
            lock.unlock();
            if (unblocked) wake();
            runRequest(request);
            lock.lock();
            continue;
        }
        reading.clear();
        for (auto& [sequence, reply] : pending) {
            Connection& conn = *reply.connection;
            if (reply.waiter != &waiter || reply.answered || reply.failed || !conn.hasNotice() || conn.noticeReading)
                continue;
            conn.noticeReading = true;
            reading.push_back(reply.connection);
        }
        lock.unlock();
        fds.assign(1, pollfd{waiter.fd, POLLIN, 0});
        for (const auto& conn : reading) fds.push_back(pollfd{conn->noticeFd, POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), pollTimeout(deadline));
        if (ready > 0 && fds[0].revents) waiter.clear();
        for (std::size_t i = 0; i < reading.size(); ++i)
            if (ready > 0 && fds[i + 1].revents && !readNoticeOnce(reading[i])) drop(reading[i], true);
        lock.lock();
        for (const auto& conn : reading) {
            conn->noticeReading = false;
            // Others that wait on this client now read it themselves.
            signalWaiters(conn->id, &waiter);
        }
    }
}

// Under the core's mutex: wakes the threads, but one, that wait for a reply of the connection.
void TransportServer::Core::signalWaiters(std::uint64_t connection, const ReplyWaiter* except) {
    for (const auto& [sequence, reply] : pending)
        if (reply.connection->id == connection && reply.waiter != except && !reply.answered && !reply.failed)
            reply.waiter->signal();
}

// Takes what the notice connection holds: replies are handed to their sends; false when the
// client broke the protocol or went.
bool TransportServer::Core::readNoticeOnce(const std::shared_ptr<Connection>& conn) {
    std::uint8_t buffer[512];
    ssize_t n = ::recv(conn->noticeFd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) return false;
    conn->noticeReader.append(buffer, static_cast<std::size_t>(n));
    Frame frame;
    std::string error;
    for (;;) {
        auto result = conn->noticeReader.next(frame, error);
        if (result == wire::FrameReader::Result::NeedMore) return true;
        // Only replies travel this way to the console.
        if (result == wire::FrameReader::Result::Bad || frame.kind != Kind::Reply) return false;
        answer(*conn, frame);
    }
}

void TransportServer::Core::answer(const Connection& conn, const Frame& reply) {
    std::lock_guard lock(mutex);
    auto it = pending.find(reply.sequence);
    // A reply to a send that timed out finds nothing and is dropped.
    if (it == pending.end() || it->second.connection->id != conn.id || it->second.answered) return;
    it->second.answered = true;
    it->second.result = reply.wParam;
    // The thread that read it for itself needs no waking.
    if (it->second.waiter != &threadWaiter()) it->second.waiter->signal();
}

bool TransportServer::Core::writeNotice(Connection& conn, const Frame& frame,
                                        std::chrono::steady_clock::time_point deadline) {
    std::uint8_t bytes[wire::kFrameSize];
    wire::encode(frame, bytes);
    std::size_t written = 0;
    std::lock_guard lock(conn.noticeWriteMutex);
    // The client answers each send before the next, so its notice connection is nearly empty.
    while (written < sizeof bytes) {
        ssize_t n = ::send(conn.noticeFd, bytes + written, sizeof bytes - written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int timeout = pollTimeout(deadline);
            pollfd p{conn.noticeFd, POLLOUT, 0};
            if (timeout > 0 && ::poll(&p, 1, timeout) >= 0) continue;
        }
        return false;
    }
    return true;
}

// A second connection that a greeted client opens with its token becomes that client's notice
// connection; a wrong token or version is refused like a wrong hello.
void TransportServer::Core::attachNotice(const std::shared_ptr<Connection>& conn, const Frame& frame) {
    bool agreed = frame.msg == wire::kProtocolVersion && static_cast<std::uint64_t>(frame.wParam) == wire::kMagic &&
                  frame.lParam != 0 && conn->reader.buffered() == 0;
    std::shared_ptr<Connection> owner;
    if (agreed) {
        std::lock_guard lock(mutex);
        for (const auto& c : connections)
            if (!c->gone && c->token == static_cast<std::uint64_t>(frame.lParam) && c->noticeFd < 0) owner = c;
    }
    int fd = owner ? ::fcntl(conn->fd, F_DUPFD_CLOEXEC, 0) : -1;
    bool attached = false;
    if (fd >= 0) {
        std::uint8_t ack[wire::kFrameSize];
        wire::encode(Frame{Kind::HelloAck, frame.sequence, consoleWindow, wire::kProtocolVersion,
                           static_cast<std::int64_t>(wire::kMagic), 0},
                     ack);
        // Answered and put to use in one step: every send on it follows its answer, and a send
        // made once the client has its answer already takes it. A new socket takes the whole frame.
        std::lock_guard lock(mutex);
        if (!owner->gone && owner->noticeFd < 0 &&
            ::send(conn->fd, ack, sizeof ack, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(sizeof ack)) {
            owner->noticeFd = fd;
            attached = true;
        }
    }
    if (!attached) {
        if (fd >= 0) ::close(fd);
        // A refused client still learns which version the console speaks.
        write(conn, Frame{Kind::HelloAck, frame.sequence, 0, wire::kProtocolVersion,
                          static_cast<std::int64_t>(wire::kMagic), 0});
        drop(conn, true);
        return;
    }
    // The socket lives on in the owner; this connection only lets go of its descriptor.
    {
        std::lock_guard writeLock(conn->writeMutex);
        conn->open = false;
    }
    std::lock_guard lock(mutex);
    conn->gone = true;
}

// Inside a request, only a client that the main thread waits for may have its send run within the
// wait: it is that client's part of the exchange (a request made from inside its answer to the
// console). Every other client's request waits until the request in progress has been answered.
bool TransportServer::Core::takeSend(Request& request, bool& unblocked, const ReplyWaiter& waiter) {
    auto awaited = [&](const Connection& conn) {
        if (requestDepth == 0) return true;
        return std::any_of(pending.begin(), pending.end(), [&](const auto& entry) {
            const PendingReply& reply = entry.second;
            return reply.waiter == &waiter && reply.connection->id == conn.id && !reply.answered && !reply.failed;
        });
    };
    auto it = std::find_if(requests.begin(), requests.end(),
                           [&](const Request& r) { return r.frame.kind == Kind::Send && awaited(*r.from); });
    if (it == requests.end()) return false;
    request = std::move(*it);
    requests.erase(it);
    unblocked = released(*request.from);
    return true;
}

bool TransportServer::Core::released(Connection& conn) {
    --conn.waiting;
    // Back under the limit: the I/O thread reads this client again.
    return conn.waiting + 1 == options.maxWaitingRequests;
}

void TransportServer::Core::drain() {
    std::size_t budget = 0;
    {
        std::lock_guard lock(mutex);
        drainQueued = false;
        budget = requests.size();
    }
    // A request in progress may run an event loop of its own (a box, a wait that handles
    // messages); what arrived meanwhile runs after it, never inside it.
    if (requestDepth > 0) {
        drainDeferred = true;
        return;
    }
    // Only what was queued so far: a flooding client must not keep the event loop from other work.
    while (budget-- > 0 && !stopping.load()) {
        Request request;
        bool unblocked = false;
        {
            std::lock_guard lock(mutex);
            if (requests.empty()) return;
            request = std::move(requests.front());
            requests.pop_front();
            unblocked = released(*request.from);
        }
        if (unblocked) wake();
        runRequest(request);
    }
}

void TransportServer::Core::runRequest(const Request& request) {
    const Frame& f = request.frame;
    ++requestDepth;
    if (f.kind == Kind::Post) {
        // Posted before the client went: still delivered.
        port.deliverPosted(f.window, f.msg, f.wParam, f.lParam);
    } else {
        std::intptr_t result = port.send(f.window, f.msg, f.wParam, f.lParam);
        write(request.from, Frame{Kind::Reply, f.sequence, f.window, f.msg, static_cast<std::int64_t>(result), 0});
    }
    if (--requestDepth > 0 || !drainDeferred) return;
    drainDeferred = false;
    std::weak_ptr<Core> weak = weak_from_this();
    mainThread.post([weak] {
        if (auto core = weak.lock()) core->drain();
    });
}

TransportServer::TransportServer(MessagePort& port, MainThreadCalls& mainThread, WindowHandle consoleWindow,
                                 TransportServerOptions options)
    : core_(std::make_shared<Core>(port, mainThread, consoleWindow, std::move(options))) {}

TransportServer::~TransportServer() { core_->stop(); }

bool TransportServer::start(std::string& error) { return core_->start(error); }

void TransportServer::stop() { core_->stop(); }

void TransportServer::abandonWaits() {
    core_->abandoned.store(true);
    core_->wakeWaits();
}

void TransportServer::setOnWindowGone(std::function<void(WindowHandle)> callback) {
    std::lock_guard lock(core_->mutex);
    core_->onWindowGone = std::move(callback);
}

const std::string& TransportServer::socketPath() const { return core_->options.socketPath; }

std::size_t TransportServer::connectionCount() const {
    std::lock_guard lock(core_->mutex);
    return static_cast<std::size_t>(std::count_if(core_->connections.begin(), core_->connections.end(),
                                                  [](const auto& conn) { return !conn->gone; }));
}

}  // namespace kestrom
