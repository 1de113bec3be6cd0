// A slot's frame block, mapped read-only and kept while the name still names the same block.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/shared_memory.h"

namespace kestrom {

// The console makes a fresh block each time a slot's acquisition thread starts, under the same
// name. Each frame asks whether the name still names the kept block (open and stat, no mapping);
// only a new block is mapped again.
class FrameBlockView {
public:
    // The block's bytes (frame_block::kSize of them) as they are now; nullptr and the reason when
    // the block cannot be opened or mapped, or is too small. A failure drops the kept mapping.
    const std::uint8_t* acquire(const std::string& name, std::string& error);
    void release() { block_.reset(); }

private:
    std::unique_ptr<SharedMemory> block_;
    std::string name_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace kestrom
