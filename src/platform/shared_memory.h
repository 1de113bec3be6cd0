// Named shared memory blocks that other programs open by name ("/Kest3_1", "/KIIICommand").
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace kestrom {

class SharedMemory {
public:
    enum class Access { ReadOnly, ReadWrite };

    // The owner's side: creates the named block (mode 0600) or opens the one that exists, grows it
    // to size when it is smaller, and maps size bytes read/write. Nullptr and error text on failure.
    // A block that exists is used only when it belongs to this user and has mode 0600.
    // The name is removed when the last owner in this process closes it: programs that still have
    // the block mapped keep their mapping, and the next owner starts from a fresh block. Owners that
    // overlap in this process (a slot's ending thread and its successor) share one block.
    static std::unique_ptr<SharedMemory> createOrOpen(const std::string& name, std::size_t size, std::string& error);

    // A reader's side: opens an existing block and maps size bytes; never removes the name.
    // A block of another user is an error: it is not the console's.
    // A block smaller than size is an error, not a mapping that faults past its end.
    static std::unique_ptr<SharedMemory> openExisting(const std::string& name, std::size_t size, Access access,
                                                      std::string& error);

    ~SharedMemory();
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    void* data() const { return data_; }
    std::uint8_t* bytes() const { return static_cast<std::uint8_t*>(data_); }
    std::size_t size() const { return size_; }
    const std::string& name() const { return name_; }
    // The descriptor of the open object; what the console hands out as the block's mapping handle.
    int handle() const { return fd_; }

private:
    SharedMemory(std::string name, int fd, void* data, std::size_t size, bool owner);

    std::string name_;
    int fd_;
    void* data_;
    std::size_t size_;
    bool owner_;
};

}  // namespace kestrom
