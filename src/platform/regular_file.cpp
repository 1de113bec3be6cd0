// Whole-file reads that a FIFO, a device or a folder under the name cannot hold up.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kestrom {

namespace {

// A descriptor of the regular file under the name, or -1 with the outcome set.
int openRegular(const std::string& path, CappedFileRead& r, struct stat& st) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return -1;
        r.outcome = CappedFileRead::Outcome::Failed;
        r.reason = std::strerror(errno);
        return -1;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        r.outcome = CappedFileRead::Outcome::Failed;
        r.reason = "not a regular file";
        ::close(fd);
        return -1;
    }
    r.opened = true;
    return fd;
}

}  // namespace

CappedFileRead readFileStart(const std::string& path, std::size_t count) {
    CappedFileRead r;
    struct stat st {};
    int fd = openRegular(path, r, st);
    if (fd < 0) return r;
    r.data.resize(count);
    std::size_t got = 0;
    while (got < count) {
        ssize_t n = ::read(fd, r.data.data() + got, count - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r.outcome = CappedFileRead::Outcome::Failed;
            r.reason = std::strerror(errno);
            r.data.clear();
            ::close(fd);
            return r;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    r.data.resize(got);
    r.outcome = CappedFileRead::Outcome::Read;
    return r;
}

CappedFileRead readFileCapped(const std::string& path, std::size_t cap) {
    CappedFileRead r;
    struct stat st {};
    int fd = openRegular(path, r, st);
    if (fd < 0) return r;
    if (static_cast<std::uintmax_t>(st.st_size) > cap) {
        ::close(fd);
        r.outcome = CappedFileRead::Outcome::TooLarge;
        return r;
    }
    // One byte more than the size tells a file that grew since fstat from one that did not.
    r.data.resize(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), cap) + 1);
    std::size_t got = 0;
    while (got < r.data.size()) {
        ssize_t n = ::read(fd, r.data.data() + got, r.data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r.outcome = CappedFileRead::Outcome::Failed;
            r.reason = std::strerror(errno);
            ::close(fd);
            return r;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (got == r.data.size() && got <= cap) r.data.resize(std::min(cap + 1, 2 * got));
    }
    ::close(fd);
    r.data.resize(got);
    r.outcome = got > cap ? CappedFileRead::Outcome::TooLarge : CappedFileRead::Outcome::Read;
    if (r.outcome == CappedFileRead::Outcome::TooLarge) r.data.clear();
    return r;
}

}  // namespace kestrom
