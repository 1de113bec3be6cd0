// Appends history lines to the log file.
#include "console/core/history_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/private_folders.h"

namespace kestrom {

// An orderly end says so, as the start does; a log that stops without it tells of a crash.
HistoryLog::~HistoryLog() {
    if (!file_) return;
    write("---- console ended ----");
    std::fclose(file_);
}

bool HistoryLog::open(const std::string& path) {
    path_ = path;
    std::string folder = std::filesystem::path(path).parent_path().string();
    std::string folderError;
    if (!makePrivateFolders(folder, folderError)) {
        error_ = "Cannot open history log " + path + ": " + folderError;
        return false;
    }
    return openFile(true);
}

bool HistoryLog::openFile(bool announce) {
    const std::string& path = path_;
    auto fail = [&](const std::string& why) {
        error_ = "Cannot open history log " + path + ": " + why;
        return false;
    };
    // What happened on the cameras is the user's business alone; non-blocking, so that a FIFO
    // under the log's name cannot hold the console in open().
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail("not a regular file");
    }
    // A log written by an older console may be readable by everyone.
    if (st.st_uid == geteuid() && (st.st_mode & 07777) != 0600) fchmod(fd, 0600);
    file_ = fdopen(fd, "a");
    if (!file_) {
        int err = errno;
        ::close(fd);
        return fail(std::strerror(err));
    }
    bytes_ = static_cast<std::uint64_t>(st.st_size);
    if (announce) write("---- console started ----");
    return true;
}

void HistoryLog::turnOver() {
    std::fclose(file_);
    file_ = nullptr;
    auto numbered = [&](int n) { return path_ + "." + std::to_string(n); };
    std::remove(numbered(keptFiles_).c_str());
    for (int n = keptFiles_ - 1; n >= 1; --n) std::rename(numbered(n).c_str(), numbered(n + 1).c_str());
    if (keptFiles_ >= 1)
        std::rename(path_.c_str(), numbered(1).c_str());
    else
        std::remove(path_.c_str());
    // A log that cannot be opened again stays closed; the window still shows the history.
    if (openFile(false)) write("---- continued from " + numbered(1) + " ----");
}

void HistoryLog::write(const std::string& line) {
    if (!file_) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    int written = std::fprintf(file_, "%s\t%s\n", stamp, line.c_str());
    std::fflush(file_);
    if (written > 0) bytes_ += static_cast<std::uint64_t>(written);
    if (bytes_ >= maxBytes_) turnOver();
}

std::string HistoryLog::defaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state) return std::string(state) + "/kestrom3/history.log";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/kestrom3/history.log";
}

}  // namespace kestrom
