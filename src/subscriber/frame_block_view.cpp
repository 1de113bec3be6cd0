// Opening a slot's frame block for reading, once per block rather than once per frame.
#include "subscriber/frame_block_view.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "camera_records/console_block.h"

namespace kestrom {

const std::uint8_t* FrameBlockView::acquire(const std::string& name, std::string& error) {
    int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        error = "Cannot open shared memory " + name + ": " + std::strerror(errno);
        block_.reset();
        return nullptr;
    }
    struct stat st {};
    bool known = fstat(fd, &st) == 0;
    ::close(fd);
    if (known && block_ && name == name_ && st.st_dev == device_ && st.st_ino == inode_) return block_->bytes();

    block_ = SharedMemory::openExisting(name, frame_block::kSize, SharedMemory::Access::ReadOnly, error);
    if (!block_) return nullptr;
    // The identity of what was mapped, which may be newer than what was looked at above.
    struct stat mapped {};
    if (fstat(block_->handle(), &mapped) != 0) {
        error = "Cannot open shared memory " + name + ": " + std::strerror(errno);
        block_.reset();
        return nullptr;
    }
    name_ = name;
    device_ = mapped.st_dev;
    inode_ = mapped.st_ino;
    return block_->bytes();
}

}  // namespace kestrom
