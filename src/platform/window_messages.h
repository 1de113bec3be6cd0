// The process's message port: numbered messages sent or posted to window handles.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/main_thread_calls.h"

namespace kestrom {

// A window handle is a 32-bit number; 0 is never a window.
using WindowHandle = std::uint32_t;

using WindowHandler = std::function<std::intptr_t(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam)>;
// How a window of another process takes a posted message: written to its connection at once.
using WindowPoster = std::function<void(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam)>;

// Sends to windows of other processes in one go: all are written before any reply is awaited, and
// the replies share one deadline. A window that fails or does not answer in time gives 0 and is gone.
// cancel, when set, ends the wait early (the sends then count as unanswered but their windows stay).
class RemoteSender {
public:
    virtual ~RemoteSender() = default;
    virtual void sendToAll(const std::vector<WindowHandle>& windows, std::uint32_t msg, std::intptr_t wParam,
                           std::intptr_t lParam, std::vector<std::intptr_t>& results,
                           const std::atomic<bool>* cancel) = 0;
    // Any thread: waits look at their cancel flag again at once.
    virtual void wakeWaits() = 0;
};

// Windows of this process register a handler. A window of another process is registered here by
// the transport server with a handler that forwards over its connection, so senders never tell the
// two apart.
class MessagePort {
public:
    explicit MessagePort(MainThreadCalls& mainThread) : mainThread_(mainThread) {}
    MessagePort(const MessagePort&) = delete;
    MessagePort& operator=(const MessagePort&) = delete;

    WindowHandle registerWindow(WindowHandler handler);
    // A window of another process: the handler forwards a send and waits for the answer, the
    // poster forwards a post from whichever thread posts it.
    WindowHandle registerWindow(WindowHandler handler, WindowPoster poster);
    void unregisterWindow(WindowHandle window);
    bool isWindow(WindowHandle window) const;
    // A window of another process (registered with a poster).
    bool isRemote(WindowHandle window) const;

    // The transport that reaches windows of other processes; sendToAll goes through it.
    void setRemoteSender(std::shared_ptr<RemoteSender> sender);
    // Any thread, after setting a sendToAll's cancel flag: its wait ends now, not at its deadline.
    void wakeRemoteWaits();
    // Any thread. Sends to every window and collects the answers; windows of other processes are
    // sent to together (RemoteSender), windows of this process are called one after the other on
    // the calling thread. Results in the order of windows, 0 for an unknown window.
    std::vector<std::intptr_t> sendToAll(const std::vector<WindowHandle>& windows, std::uint32_t msg,
                                         std::intptr_t wParam, std::intptr_t lParam,
                                         const std::atomic<bool>* cancel = nullptr);

    // Synchronous: the handler runs on the caller's thread and its result is returned; 0 for an
    // unknown window.
    std::intptr_t send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);

    // Queued for the main thread; false for an unknown window. A window that is gone by the time
    // the main thread gets to it does not get the message. A window of another process gets it at
    // once through its poster.
    bool post(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);

    // Main thread: a message that was posted elsewhere (by another process) and has waited its turn
    // reaches its window now; nothing for an unknown window.
    void deliverPosted(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);

private:
    struct Window {
        WindowHandler handler;
        WindowPoster poster;   // empty for windows of this process
    };
    WindowHandle add(Window window);
    std::shared_ptr<Window> find(WindowHandle window) const;

    MainThreadCalls& mainThread_;
    mutable std::mutex mutex_;
    // Shared so that a handler may unregister its own window while it runs.
    std::unordered_map<WindowHandle, std::shared_ptr<Window>> windows_;
    std::shared_ptr<RemoteSender> remote_;
    WindowHandle next_ = 0x00010000;
};

}  // namespace kestrom
