// The console's running event log: every line the camera link and the console write.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kestrom {

class History {
public:
    // currentSlot gives the slot number that prefixes a line at the moment it is written.
    explicit History(std::function<int()> currentSlot) : currentSlot_(std::move(currentSlot)) {}

    // The current slot number in decimal, one space, then the text.
    void append(const std::string& text);
    // A line written as it stands, without the slot number.
    void appendRaw(const std::string& line);

    std::vector<std::string> lines() const;
    std::size_t size() const;
    std::string last() const;

    // Called with each new line, on the writer's thread.
    void addListener(std::function<void(const std::string&)> listener);

private:
    std::function<int()> currentSlot_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::vector<std::function<void(const std::string&)>> listeners_;
};

}  // namespace kestrom
