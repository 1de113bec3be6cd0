// Appends history lines to the log file.
#include "console/history_log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace kestrom {

HistoryLog::~HistoryLog() {
    if (file_) std::fclose(file_);
}

bool HistoryLog::open(const std::string& path) {
    std::error_code ec;
    auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    file_ = std::fopen(path.c_str(), "a");
    if (!file_) {
        error_ = "Cannot open history log " + path + ": " + std::strerror(errno);
        return false;
    }
    write("---- console started ----");
    return true;
}

void HistoryLog::write(const std::string& line) {
    if (!file_) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(file_, "%s\t%s\n", stamp, line.c_str());
    std::fflush(file_);
}

std::string HistoryLog::defaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state) return std::string(state) + "/kestrom3/history.log";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/kestrom3/history.log";
}

}  // namespace kestrom
