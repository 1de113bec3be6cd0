// The process's message port: numbered messages sent or posted to window handles.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/main_thread_calls.h"

namespace kestrom {

// A window handle is a 32-bit number; 0 is never a window.
using WindowHandle = std::uint32_t;

using WindowHandler = std::function<std::intptr_t(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam)>;
// How a window of another process takes a posted message: written to its connection at once.
using WindowPoster = std::function<void(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam)>;

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
    WindowHandle next_ = 0x00010000;
};

}  // namespace kestrom
