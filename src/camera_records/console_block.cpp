// Host-order accessors of the status block.
#include "camera_records/console_block.h"

#include <algorithm>
#include <cstring>

#include "camera_records/byte_order.h"

namespace kestrom {

std::int32_t ConsoleBlock::word(std::size_t offset) const {
    return static_cast<std::int32_t>(readBE32(&bytes[offset]));
}

void ConsoleBlock::setWord(std::size_t offset, std::int32_t value) {
    writeBE32(&bytes[offset], static_cast<std::uint32_t>(value));
}

std::string ConsoleBlock::firmwareRevision() const {
    const char* begin = reinterpret_cast<const char*>(&bytes[kFirmwareRevision]);
    std::size_t limit = kSize - kFirmwareRevision;
    std::size_t n = 0;
    while (n < limit && begin[n] != '\0') ++n;
    return std::string(begin, n);
}

// Fits the revision text and its NUL into the 8 bytes that the short form carries.
void ConsoleBlock::setFirmwareRevision(const std::string& text) {
    std::size_t n = std::min<std::size_t>(text.size(), 7);
    std::memset(&bytes[kFirmwareRevision], 0, 8);
    std::memcpy(&bytes[kFirmwareRevision], text.data(), n);
}

}  // namespace kestrom
