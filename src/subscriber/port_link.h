// The link of a component inside the console's own process: its window lives in the console's message port.
#pragma once

#include <map>

#include "platform/window_messages.h"
#include "subscriber/console_link.h"

namespace kestrom {

// The console's sends reach the component's handler directly; its posts reach it through the
// main thread's queue, which the host's event loop runs. Nothing here is pumped or watched.
class PortLink : public ConsoleLink {
public:
    PortLink(MessagePort& port, WindowHandle console) : port_(port), console_(console) {}

    WindowHandle findConsole() override { return port_.isWindow(console_) ? console_ : 0; }
    WindowHandle createWindow(WindowHandler handler) override { return port_.registerWindow(std::move(handler)); }
    void destroyWindow(WindowHandle window) override { port_.unregisterWindow(window); }
    std::intptr_t send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) override {
        return port_.send(window, msg, wParam, lParam);
    }
    void pump(std::chrono::milliseconds) override {}
    int descriptor() const override { return -1; }
    // The console outlives the windows of its own process.
    int addGoneListener(std::function<void()>) override { return 0; }
    void removeGoneListener(int) override {}

private:
    MessagePort& port_;
    WindowHandle console_;
};

}  // namespace kestrom
