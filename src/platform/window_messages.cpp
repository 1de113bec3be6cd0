// In-process delivery of window messages, and the hand-over to windows of other processes.
#include "platform/window_messages.h"

#include <utility>

namespace kestrom {

WindowHandle MessagePort::add(Window entry) {
    std::lock_guard lock(mutex_);
    while (next_ == 0 || windows_.count(next_)) ++next_;
    WindowHandle window = next_++;
    windows_.emplace(window, std::make_shared<Window>(std::move(entry)));
    return window;
}

WindowHandle MessagePort::registerWindow(WindowHandler handler) { return add(Window{std::move(handler), {}}); }

WindowHandle MessagePort::registerWindow(WindowHandler handler, WindowPoster poster) {
    return add(Window{std::move(handler), std::move(poster)});
}

void MessagePort::unregisterWindow(WindowHandle window) {
    std::shared_ptr<Window> entry;   // released after the lock, in case it owns windows itself
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    entry = std::move(it->second);
    windows_.erase(it);
}

bool MessagePort::isWindow(WindowHandle window) const { return find(window) != nullptr; }

bool MessagePort::isRemote(WindowHandle window) const {
    auto entry = find(window);
    return entry && entry->poster;
}

void MessagePort::setRemoteSender(std::shared_ptr<RemoteSender> sender) {
    std::lock_guard lock(mutex_);
    remote_ = std::move(sender);
}

void MessagePort::wakeRemoteWaits() {
    std::shared_ptr<RemoteSender> remote;
    {
        std::lock_guard lock(mutex_);
        remote = remote_;
    }
    if (remote) remote->wakeWaits();
}

std::vector<std::intptr_t> MessagePort::sendToAll(const std::vector<WindowHandle>& windows, std::uint32_t msg,
                                                  std::intptr_t wParam, std::intptr_t lParam,
                                                  const std::atomic<bool>* cancel) {
    std::vector<std::intptr_t> results(windows.size(), 0);
    std::shared_ptr<RemoteSender> remote;
    {
        std::lock_guard lock(mutex_);
        remote = remote_;
    }
    std::vector<WindowHandle> others;
    std::vector<std::size_t> otherIndex;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        auto entry = find(windows[i]);
        if (!entry) continue;
        if (entry->poster && remote) {
            others.push_back(windows[i]);
            otherIndex.push_back(i);
        } else {
            results[i] = entry->handler(msg, wParam, lParam);
        }
    }
    if (others.empty()) return results;
    std::vector<std::intptr_t> answers;
    remote->sendToAll(others, msg, wParam, lParam, answers, cancel);
    for (std::size_t k = 0; k < otherIndex.size() && k < answers.size(); ++k) results[otherIndex[k]] = answers[k];
    return results;
}

std::shared_ptr<MessagePort::Window> MessagePort::find(WindowHandle window) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second;
}

std::intptr_t MessagePort::send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    auto entry = find(window);
    return entry ? entry->handler(msg, wParam, lParam) : 0;
}

bool MessagePort::post(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    auto entry = find(window);
    if (!entry) return false;
    if (entry->poster) {
        entry->poster(msg, wParam, lParam);
        return true;
    }
    mainThread_.post([this, window, msg, wParam, lParam] { deliverPosted(window, msg, wParam, lParam); });
    return true;
}

void MessagePort::deliverPosted(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    auto entry = find(window);
    if (!entry) return;
    if (entry->poster)
        entry->poster(msg, wParam, lParam);
    else
        entry->handler(msg, wParam, lParam);
}

}  // namespace kestrom
