// Host-order accessors of the factory information record.
#include "camera_records/factory_info.h"

#include <cstring>

#include "camera_records/byte_order.h"

namespace kestrom {

std::uint16_t FactoryInfo::word(std::size_t offset) const { return readBE16(&bytes[offset]); }
void FactoryInfo::setWord(std::size_t offset, std::uint16_t value) { writeBE16(&bytes[offset], value); }

std::string FactoryInfo::text(TextField field) const {
    const char* begin = reinterpret_cast<const char*>(&bytes[field.offset]);
    std::size_t n = 0;
    while (n < field.size && begin[n] != '\0') ++n;
    return std::string(begin, n);
}

void FactoryInfo::setText(TextField field, const std::string& value) {
    std::size_t n = std::min(value.size(), field.size - 1);
    std::memcpy(&bytes[field.offset], value.data(), n);
    bytes[field.offset + n] = 0;
}

// The floats are stored in the PC's little-endian order and are never swapped.
float FactoryInfo::floatLE(std::size_t offset) const {
    std::uint32_t bits = std::uint32_t(bytes[offset]) | (std::uint32_t(bytes[offset + 1]) << 8) |
                         (std::uint32_t(bytes[offset + 2]) << 16) | (std::uint32_t(bytes[offset + 3]) << 24);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void FactoryInfo::setFloatLE(std::size_t offset, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace kestrom
