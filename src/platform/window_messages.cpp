// In-process delivery of window messages.
#include "platform/window_messages.h"

#include <utility>

namespace kestrom {

WindowHandle MessagePort::registerWindow(WindowHandler handler) {
    std::lock_guard lock(mutex_);
    while (next_ == 0 || windows_.count(next_)) ++next_;
    WindowHandle window = next_++;
    windows_.emplace(window, std::make_shared<WindowHandler>(std::move(handler)));
    return window;
}

void MessagePort::unregisterWindow(WindowHandle window) {
    std::shared_ptr<WindowHandler> handler;   // released after the lock, in case it owns windows itself
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    handler = std::move(it->second);
    windows_.erase(it);
}

bool MessagePort::isWindow(WindowHandle window) const { return find(window) != nullptr; }

std::shared_ptr<WindowHandler> MessagePort::find(WindowHandle window) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second;
}

std::intptr_t MessagePort::send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    auto handler = find(window);
    return handler ? (*handler)(msg, wParam, lParam) : 0;
}

bool MessagePort::post(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    if (!find(window)) return false;
    mainThread_.post([this, window, msg, wParam, lParam] { send(window, msg, wParam, lParam); });
    return true;
}

}  // namespace kestrom
