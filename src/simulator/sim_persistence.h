// The state folder of one camera: what the camera keeps across power cycles, one file per item.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrom::sim {

using Bytes = std::vector<std::uint8_t>;

// Files live in <directory>/<serial>/; with an empty directory nothing is kept.
class StateStore {
public:
    StateStore(std::string directory, std::uint16_t serial);

    bool enabled() const { return !folder_.empty(); }

    // The file's bytes when it exists, its check sum holds and it passes the check; nothing
    // otherwise, so a damaged file leaves the camera at its configured value. A file that is there
    // but does not hold what the camera wrote is named in damaged().
    std::optional<Bytes> load(const std::string& name, const std::function<bool(const Bytes&)>& valid) const;

    // Writes the bytes and their check sum to a temporary file and renames it over the old one, so a
    // crash never leaves half a file. True when nothing is kept or the write succeeded.
    bool save(const std::string& name, const Bytes& bytes) const;

    // One line for each file that load() found damaged and ignored.
    const std::vector<std::string>& damaged() const { return damaged_; }

private:
    std::string folder_;
    mutable std::vector<std::string> damaged_;
};

}  // namespace kestrom::sim
