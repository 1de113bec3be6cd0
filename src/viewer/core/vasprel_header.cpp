// The version text of a frame header.
#include "viewer/core/vasprel_header.h"

#include <cstring>

namespace kestrom {

std::string versionText(const VasprelHeader& header) {
    const void* end = std::memchr(header.Version, '\0', sizeof header.Version);
    std::size_t size =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - header.Version)
            : sizeof header.Version;
    return std::string(header.Version, size);
}

}  // namespace kestrom
