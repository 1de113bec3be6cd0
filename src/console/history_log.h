// The history written to a plain-text file as it happens, so field service can read it later.
#pragma once

#include <cstdio>
#include <string>

namespace kestrom {

class HistoryLog {
public:
    HistoryLog() = default;
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
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace kestrom
