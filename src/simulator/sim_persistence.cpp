// Reading and atomic writing of a camera's state files.
#include "simulator/sim_persistence.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include "platform/private_folders.h"
#include "platform/registry_store.h"

namespace kestrom::sim {

namespace fs = std::filesystem;

namespace {
// No state file of the camera is larger than the firmware it may hold; anything bigger is damage.
constexpr std::uintmax_t kLargestStateFile = 16u * 1024u * 1024u;
// The camera's state is the user's alone, like the console's settings.
constexpr mode_t kStateFileMode = 0600;
}  // namespace

StateStore::StateStore(std::string directory, std::uint16_t serial) {
    if (!directory.empty()) folder_ = (fs::path(directory) / std::to_string(serial)).string();
}

std::optional<Bytes> StateStore::load(const std::string& name,
                                      const std::function<bool(const Bytes&)>& valid) const {
    if (!enabled()) return std::nullopt;
    fs::path path = fs::path(folder_) / name;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    auto size = fs::file_size(path, ec);
    if (ec || size > kLargestStateFile) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || !valid(bytes)) return std::nullopt;
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
