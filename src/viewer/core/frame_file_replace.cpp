// Whole-file writes of frame records, their header text, logs and bitmaps.
#include "viewer/core/frame_file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace kestrom {

namespace {

std::atomic<unsigned> temporaryCounter{0};

std::string temporaryName(const std::string& folder, const std::string& name) {
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" +
           std::to_string(temporaryCounter.fetch_add(1)) + ".part";
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::optional<FileReplaceError> replaceFileWhole(const std::string& path,
                                                 const std::vector<std::string_view>& parts) {
    using Step = FileReplaceError::Step;
    const std::string folder = folderOf(path);
    const std::string name = path.substr(folder.size());
    if (name.empty()) return FileReplaceError{Step::Create, std::strerror(EISDIR)};

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = temporaryName(folder, name);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return FileReplaceError{Step::Create, std::strerror(errno)};

    auto fail = [&](Step step, int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        return FileReplaceError{step, std::strerror(err)};
    };
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ::fchmod(fd, existing.st_mode & 07777) != 0)
        return fail(Step::Create, errno);
    for (std::string_view part : parts)
        if (!writeAll(fd, part)) return fail(Step::Write, errno);
    int closing = fd;
    fd = -1;
    if (::close(closing) != 0) return fail(Step::Write, errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(Step::Create, errno);
    return std::nullopt;
}

std::optional<FileReplaceError> rewriteFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) return replaceFileWhole(path, {bytes});
    const bool written =
        writeAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    const int err = errno;
    if (::close(fd) != 0 && written)
        return FileReplaceError{FileReplaceError::Step::Write, std::strerror(errno)};
    if (!written) return FileReplaceError{FileReplaceError::Step::Write, std::strerror(err)};
    return std::nullopt;
}

std::optional<FileReplaceError> fillEmptyFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0)) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) return replaceFileWhole(path, {bytes});
    if (!writeAll(fd, bytes)) {
        const int err = errno;
        if (::ftruncate(fd, 0) != 0) ::unlink(path.c_str());
        ::close(fd);
        return FileReplaceError{FileReplaceError::Step::Write, std::strerror(err)};
    }
    if (::close(fd) != 0) {
        const int err = errno;
        if (::truncate(path.c_str(), 0) != 0) ::unlink(path.c_str());
        return FileReplaceError{FileReplaceError::Step::Write, std::strerror(err)};
    }
    return std::nullopt;
}

std::string describe(const FileReplaceError& error, const std::string& path) {
    const char* what =
        error.step == FileReplaceError::Step::Create ? "Cannot create file" : "Cannot write file";
    return std::string(what) + " \"" + path + "\". " + error.reason;
}

}  // namespace kestrom
