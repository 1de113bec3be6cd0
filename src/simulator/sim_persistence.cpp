// Reading and atomic writing of a camera's state files.
#include "simulator/sim_persistence.h"

#include <unistd.h>

#include <array>
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
// Each file ends in the CRC-32 of what it holds, little-endian, as the camera checks its own memory:
// a file of the right size that the camera did not write is told from one it did.
constexpr std::size_t kCheckSize = 4;

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}
}  // namespace

StateStore::StateStore(std::string directory, std::uint16_t serial) {
    if (!directory.empty()) folder_ = (fs::path(directory) / std::to_string(serial)).string();
}

std::optional<Bytes> StateStore::load(const std::string& name,
                                      const std::function<bool(const Bytes&)>& valid) const {
    if (!enabled()) return std::nullopt;
    const std::string path = (fs::path(folder_) / name).string();
    CappedFileRead file = readFileCapped(path, kLargestStateFile);
    if (file.outcome == CappedFileRead::Outcome::Absent) return std::nullopt;
    auto ignored = [&](const std::string& why) -> std::optional<Bytes> {
        damaged_.push_back("Simulated camera state " + path + " ignored: " + why);
        return std::nullopt;
    };
    if (file.outcome == CappedFileRead::Outcome::TooLarge) return ignored("larger than anything a camera keeps");
    if (file.outcome != CappedFileRead::Outcome::Read) return ignored(file.reason);
    if (file.data.size() < kCheckSize) return ignored("no check sum");
    Bytes bytes(file.data.begin(), file.data.end() - kCheckSize);
    const auto* check = reinterpret_cast<const std::uint8_t*>(file.data.data()) + bytes.size();
    const std::uint32_t stored = check[0] | check[1] << 8 | check[2] << 16 | std::uint32_t{check[3]} << 24;
    if (stored != crc32(bytes.data(), bytes.size())) return ignored("check sum does not match");
    if (!valid(bytes)) return ignored("wrong size for what it holds");
    return bytes;
}

bool StateStore::save(const std::string& name, const Bytes& bytes) const {
    if (!enabled()) return true;
    std::string error;
    if (!makePrivateFolders(folder_, error)) return false;
    Bytes checked = bytes;
    const std::uint32_t crc = crc32(bytes.data(), bytes.size());
    for (int shift = 0; shift < 32; shift += 8) checked.push_back(static_cast<std::uint8_t>(crc >> shift));
    std::string_view contents(reinterpret_cast<const char*>(checked.data()), checked.size());
    return !replaceFileAtomically((fs::path(folder_) / name).string(), contents, kStateFileMode);
}

}  // namespace kestrom::sim
