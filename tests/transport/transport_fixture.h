// Shared pieces of the transport tests: a private folder, a console side with its server, clients on threads, raw peers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/main_thread_calls.h"
#include "platform/transport_client.h"
#include "platform/transport_server.h"
#include "platform/transport_wire.h"
#include "platform/window_messages.h"

namespace kestrom::test {

using namespace std::chrono_literals;

// A fresh folder with mode 0700 under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs the main thread's queued calls until done() holds; false when limit passes first.
bool pumpUntil(MainThreadCalls& calls, const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms);

// The console's process: the test's thread is its main thread, with one console window whose
// handler the test sets, and the server on a socket in a private folder.
struct ConsoleSide : ::testing::Test {
    TempFolder folder;
    MainThreadCalls calls;
    MessagePort port{calls};
    std::function<std::intptr_t(std::uint32_t, std::intptr_t, std::intptr_t)> onConsoleMessage;
    WindowHandle console = port.registerWindow([this](std::uint32_t msg, std::intptr_t w, std::intptr_t l) {
        return onConsoleMessage ? onConsoleMessage(msg, w, l) : 0;
    });
    std::mutex goneMutex;
    std::vector<WindowHandle> gone;   // onWindowGone calls, in order
    std::unique_ptr<TransportServer> server;

    std::string socketPath() const { return folder.file("console.sock"); }
    TransportServerOptions options(std::chrono::milliseconds sendTimeout = 200ms) const;
    void startServer(TransportServerOptions serverOptions);
    void startServer() { startServer(options()); }
    TransportClientOptions clientOptions() const;
    std::vector<WindowHandle> goneWindows();
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
        return test::pumpUntil(calls, done, limit);
    }
};

// A client program on its own thread: setup runs once connected, then the thread keeps handling
// incoming messages until stop() or until the body asks to finish.
class ClientThread {
public:
    using Body = std::function<void(TransportClient&)>;
    ClientThread(TransportClientOptions options, Body setup);
    ~ClientThread();
    void stop();
    bool connected() const { return connected_.load(); }
    bool setupDone() const { return setupDone_.load(); }
    // Ends the handling loop from inside a handler.
    void finish() { stop_.store(true); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> setupDone_{false};
    std::thread thread_;
};

// A hand-driven connection for frames that no well-behaved client writes.
class RawPeer {
public:
    explicit RawPeer(const std::string& path);
    ~RawPeer();
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool write(const wire::Frame& frame);
    bool writeBytes(const void* data, std::size_t size);
    // The next frame, or nothing when the connection closed or limit passed.
    bool read(wire::Frame& frame, std::chrono::milliseconds limit = 2000ms);
    // Hello, its answer, and one registered window; returns that window (0 on failure).
    WindowHandle greetAndRegister();
    // True when the server closed the connection within limit (frames before the end are skipped).
    bool closedByServer(std::chrono::milliseconds limit = 2000ms);

private:
    int fd_ = -1;
    wire::FrameReader reader_;
};

wire::Frame hello(std::uint32_t version = wire::kProtocolVersion);

}  // namespace kestrom::test
