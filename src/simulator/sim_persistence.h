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

    // The file's bytes when it exists and passes the check; nothing otherwise, so a damaged file
    // leaves the camera at its configured value.
    std::optional<Bytes> load(const std::string& name, const std::function<bool(const Bytes&)>& valid) const;

    // Writes a temporary file and renames it over the old one, so a crash never leaves half a file.
    // True when nothing is kept or the write succeeded.
    bool save(const std::string& name, const Bytes& bytes) const;

private:
    std::string folder_;
};

}  // namespace kestrom::sim
