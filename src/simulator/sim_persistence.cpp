// Reading and atomic writing of a camera's state files.
#include "simulator/sim_persistence.h"

#include <unistd.h>

#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/private_folders.h"
#include "platform/registry_store.h"
#include "platform/regular_file.h"

namespace kestrom::sim {

namespace fs = std::filesystem;

namespace {
// No state file of the camera is larger than the firmware it may hold; anything bigger is damage.
constexpr std::size_t kLargestStateFile = 16u * 1024u * 1024u;
// The camera's state is the user's alone, like the console's settings.
constexpr mode_t kStateFileMode = 0600;
}  // namespace

StateStore::StateStore(std::string directory, std::uint16_t serial) {
    if (!directory.empty()) folder_ = (fs::path(directory) / std::to_string(serial)).string();
}

std::optional<Bytes> StateStore::load(const std::string& name,
                                      const std::function<bool(const Bytes&)>& valid) const {
    if (!enabled()) return std::nullopt;
    CappedFileRead file = readFileCapped((fs::path(folder_) / name).string(), kLargestStateFile);
    if (file.outcome != CappedFileRead::Outcome::Read) return std::nullopt;
    Bytes bytes(file.data.begin(), file.data.end());
    if (!valid(bytes)) return std::nullopt;
    return bytes;
}

bool StateStore::save(const std::string& name, const Bytes& bytes) const {
    if (!enabled()) return true;
    std::string error;
    if (!makePrivateFolders(folder_, error)) return false;
    std::string_view contents(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return !replaceFileAtomically((fs::path(folder_) / name).string(), contents, kStateFileMode);
}

}  // namespace kestrom::sim
