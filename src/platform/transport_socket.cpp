// Listening, connecting and peer credentials of the message socket.
#include "platform/transport_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestrom {

namespace {

bool makeAddress(const std::string& path, sockaddr_un& address, std::string& error) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "Socket path too long or empty: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// 0: connected, else the errno of the attempt.
int tryConnect(int fd, const sockaddr_un& address) {
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

}  // namespace

int listenAt(const std::string& path, SocketFile& file, std::string& error) {
    sockaddr_un address{};
    if (!makeAddress(path, address, error)) return -1;

    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = path + " exists and is not a socket";
            return -1;
        }
        int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe < 0) {
            error = std::string("Cannot create a socket: ") + std::strerror(errno);
            return -1;
        }
        int result = tryConnect(probe, address);
        ::close(probe);
        if (result == 0) {
            error = "Another console is running: it listens at " + path;
            return -1;
        }
        if (result != ECONNREFUSED) {
            error = "Cannot probe " + path + ": " + std::strerror(result);
            return -1;
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            error = "Cannot remove the stale socket " + path + ": " + std::strerror(errno);
            return -1;
        }
    }

    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("Cannot create a socket: ") + std::strerror(errno);
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "Cannot bind " + path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (::chmod(path.c_str(), 0600) != 0 || lstat(path.c_str(), &st) != 0 || ::listen(fd, 64) != 0) {
        error = "Cannot listen at " + path + ": " + std::strerror(errno);
        ::unlink(path.c_str());
        ::close(fd);
        return -1;
    }
    file = SocketFile{st.st_dev, st.st_ino};
    return fd;
}

void removeSocketFile(const std::string& path, const SocketFile& file) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && st.st_dev == file.device && st.st_ino == file.inode) ::unlink(path.c_str());
}

int connectTo(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (!makeAddress(path, address, error)) return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("Cannot create a socket: ") + std::strerror(errno);
        return -1;
    }
    int result = tryConnect(fd, address);
    if (result != 0) {
        ::close(fd);
        if (result == ENOENT || result == ECONNREFUSED)
            error = "No console is running (nothing listens at " + path + ")";
        else
            error = "Cannot connect to " + path + ": " + std::strerror(result);
        return -1;
    }
    return fd;
}

bool peerIsUser(int fd, uid_t user) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials) return false;
    return credentials.uid == user;
}

bool setNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int pollTimeout(std::optional<std::chrono::steady_clock::time_point> deadline) {
    if (!deadline) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

}  // namespace kestrom
