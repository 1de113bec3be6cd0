// How a subscriber component reaches the console: finding its window, a window of its own, sends, incoming messages.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/window_messages.h"

namespace kestrom {

// The component's view of the window system. One link may serve several components of a process;
// every call is made on the thread that handles the components' windows.
class ConsoleLink {
public:
    virtual ~ConsoleLink() = default;

    // FindWindow: the console's main window, 0 when no console runs. Looking may connect.
    virtual WindowHandle findConsole() = 0;
    // A window of this process that the console can address; 0 when none can be made now (no console).
    virtual WindowHandle createWindow(WindowHandler handler) = 0;
    virtual void destroyWindow(WindowHandle window) = 0;
    // SendMessage: the target's result, 0 for a window that is gone or a console that is not there.
    virtual std::intptr_t send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) = 0;

    // Handles what has arrived for this process's windows, waiting up to timeout for the first
    // message. A link whose messages arrive through the host's own event loop returns at once.
    virtual void pump(std::chrono::milliseconds timeout) = 0;
    // A descriptor that becomes readable when pump() has work; -1 when there is none to watch.
    virtual int descriptor() const = 0;

    // Called once each time the console that findConsole() found has gone: its windows and every
    // window created for it are gone with it. Returns a token for removeGoneListener().
    virtual int addGoneListener(std::function<void()> listener) = 0;
    virtual void removeGoneListener(int token) = 0;
};

}  // namespace kestrom
