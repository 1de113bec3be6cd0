// The console's running event log.
#include "camera_link/history.h"

namespace kestrom {

void History::append(const std::string& text) { appendRaw(std::to_string(currentSlot_()) + " " + text); }

void History::appendRaw(const std::string& line) {
    std::vector<std::function<void(const std::string&)>> listeners;
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
        if (lines_.size() > kKeptLines) {
            lines_.pop_front();
            ++dropped_;
        }
        listeners = listeners_;
    }
    for (auto& l : listeners) l(line);
}

std::vector<std::string> History::lines() const {
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

std::size_t History::size() const {
    std::lock_guard lock(mutex_);
    return dropped_ + lines_.size();
}

std::string History::last() const {
    std::lock_guard lock(mutex_);
    return lines_.empty() ? std::string{} : lines_.back();
}

void History::addListener(std::function<void(const std::string&)> listener) {
    std::lock_guard lock(mutex_);
    listeners_.push_back(std::move(listener));
}

}  // namespace kestrom
