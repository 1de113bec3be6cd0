// The history written to a plain-text file as it happens, so field service can read it later.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kestrom {

// The log keeps every line; with debug lines on that is a line per subscriber per frame, so the
// file is turned over by size: history.log becomes history.log.1, the older ones move up one, and
// the oldest beyond the kept count is removed.
class HistoryLog {
public:
    static constexpr std::uint64_t kDefaultMaxBytes = 16u << 20;
    static constexpr int kDefaultKeptFiles = 5;

    explicit HistoryLog(std::uint64_t maxBytes = kDefaultMaxBytes, int keptFiles = kDefaultKeptFiles)
        : maxBytes_(maxBytes), keptFiles_(keptFiles) {}
    // Writes the end line, as open() writes the start line.
    ~HistoryLog();
    HistoryLog(const HistoryLog&) = delete;
    HistoryLog& operator=(const HistoryLog&) = delete;

    // Opens the file for appending, making its folder (0700) and the file (0600). Anything other
    // than a regular file is refused. False and error() when it cannot.
    bool open(const std::string& path);
    // One line with its time; flushed at once so nothing is lost if the console dies.
    void write(const std::string& line);
    const std::string& error() const { return error_; }

    // $XDG_STATE_HOME/kestrom3/history.log, else ~/.local/state/kestrom3/history.log.
    static std::string defaultPath();

private:
    bool openFile(bool announce);
    void turnOver();

    const std::uint64_t maxBytes_;
    const int keptFiles_;
    std::string path_;
    std::uint64_t bytes_ = 0;
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace kestrom
