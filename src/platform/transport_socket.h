// Unix-domain socket plumbing of the message transport: listening, connecting, who is at the other end.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace kestrom {

// The file that a listening socket made, so that its owner removes only its own file.
struct SocketFile {
    dev_t device = 0;
    ino_t inode = 0;
};

// Binds and listens (non-blocking, close-on-exec) at path, mode 0600. A socket file that nobody
// listens at any more is the leftover of a console that died and is replaced; one that answers
// means another console runs, and that is an error, as is anything at path that is not a socket.
int listenAt(const std::string& path, SocketFile& file, std::string& error);

// Removes path when it is still the file that listenAt made.
void removeSocketFile(const std::string& path, const SocketFile& file);

// Connects (blocking) to a listening socket; -1 and the reason when nobody listens there.
int connectTo(const std::string& path, std::string& error);

// Whether the process at the other end of a connected socket ran as this user when it connected.
bool peerIsUser(int fd, uid_t user);

bool setNonBlocking(int fd);

// The timeout for poll() that ends at deadline: whole milliseconds rounded up, 0 once it has
// passed, -1 (no end) without a deadline.
int pollTimeout(std::optional<std::chrono::steady_clock::time_point> deadline);

}  // namespace kestrom
