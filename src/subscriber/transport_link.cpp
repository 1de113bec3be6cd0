// The console's message socket as a subscriber component's link.
#include "subscriber/transport_link.h"

#include <thread>
#include <vector>

namespace kestrom {

TransportLink::TransportLink(TransportClientOptions options) : client_(std::move(options)) {
    client_.setOnConsoleGone([this] { noticeLoss(); });
}

TransportLink::~TransportLink() { client_.setOnConsoleGone({}); }

void TransportLink::noticeLoss() {
    if (!live_ || client_.isConnected()) return;
    live_ = false;
    // A listener may add or remove listeners, or look for the next console.
    std::vector<std::function<void()>> listeners;
    for (auto& [token, listener] : listeners_) listeners.push_back(listener);
    for (auto& listener : listeners) listener();
}

WindowHandle TransportLink::findConsole() {
    // A loss that no pump has told yet is told before the next console is looked for.
    noticeLoss();
    if (!client_.isConnected()) {
        if (!client_.connect(lastError_)) return 0;
        lastError_.clear();
        live_ = true;
    }
    return client_.findConsoleWindow();
}

WindowHandle TransportLink::createWindow(WindowHandler handler) {
    return client_.isConnected() ? client_.registerWindow(std::move(handler)) : 0;
}

void TransportLink::destroyWindow(WindowHandle window) { client_.unregisterWindow(window); }

std::intptr_t TransportLink::send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    return client_.send(window, msg, wParam, lParam);
}

void TransportLink::pump(std::chrono::milliseconds timeout) {
    if (client_.isConnected() || live_) {
        client_.processIncoming(timeout);
        noticeLoss();
        return;
    }
    if (timeout.count() > 0) std::this_thread::sleep_for(timeout);
}

int TransportLink::addGoneListener(std::function<void()> listener) {
    int token = nextToken_++;
    listeners_.emplace(token, std::move(listener));
    return token;
}

void TransportLink::removeGoneListener(int token) { listeners_.erase(token); }

}  // namespace kestrom
