// The console's running event log: every line the camera link and the console write.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kestrom {

class History {
public:
    // Lines kept in memory, the newest; the history log file keeps them all.
    static constexpr std::size_t kKeptLines = 10000;

    // currentSlot gives the slot number that prefixes a line at the moment it is written.
    explicit History(std::function<int()> currentSlot) : currentSlot_(std::move(currentSlot)) {}

    // The current slot number in decimal, one space, then the text.
    void append(const std::string& text);
    // A line written as it stands, without the slot number.
    void appendRaw(const std::string& line);

    // The kept lines, oldest first.
    std::vector<std::string> lines() const;
    // Lines written so far, also those no longer kept.
    std::size_t size() const;
    std::string last() const;

    // Called with each new line, on the writer's thread.
    void addListener(std::function<void(const std::string&)> listener);

private:
    std::function<int()> currentSlot_;
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::size_t dropped_ = 0;
    std::vector<std::function<void(const std::string&)>> listeners_;
};

}  // namespace kestrom
