// The registry stand-in: typed values of HKCU and HKLM, kept as registry-export text files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace kestrom {

// HKEY_CURRENT_USER lives in user.reg, which the console writes; HKEY_LOCAL_MACHINE in
// system.reg, which only the installer or the administrator writes.
enum class RegistryHive { CurrentUser, LocalMachine };

struct RegistryValue {
    // Other: a type the console never writes (hex:, hex(2):, ...), carried through unchanged.
    enum class Kind { String, Dword, Other };
    Kind kind = Kind::String;
    std::string text;  // String: the text; Other: the data as the file writes it after "="
    std::uint32_t dword = 0;

    static RegistryValue string(std::string value) { return {Kind::String, std::move(value), 0}; }
    static RegistryValue number(std::uint32_t value) { return {Kind::Dword, {}, value}; }
    bool operator==(const RegistryValue&) const = default;
};

struct NamedRegistryValue {
    std::string name;
    RegistryValue value;
};

// Set when a write did not take place; the file and every other key are then as they were.
using RegistryWriteError = std::optional<std::string>;

// Every call opens the hive afresh from its file, so edits made between runs, or by another
// program, are seen; nothing is cached. Key paths such as "\Software\Vantrel\Kestrom3\Control\1234"
// are relative to the hive; leading, trailing and doubled backslashes do not matter. Key and
// value names compare case-insensitively and keep the case in which they were first written.
// Main thread only.
class RegistryStore {
  public:
    // Files larger than this are not read at all: such a file is no settings file of ours.
    static constexpr std::size_t kMaxFileBytes = 1u << 20;

    // The settings are the user's alone: the folder is made 0700 and user.reg is written 0600.
    static constexpr mode_t kSettingsFileMode = 0600;

    // folder holds user.reg and system.reg; it is created on the first write. Temporary files
    // that a killed write left in it are removed.
    explicit RegistryStore(std::string folder);

    // $KESTROM_CONFIG_DIR, else $XDG_CONFIG_HOME/kestrom3, else ~/.config/kestrom3.
    static std::string defaultFolder();

    const std::string& folder() const { return folder_; }
    std::string filePath(RegistryHive hive) const;

    // A damaged or unreadable file reads as far as it can and reports what it could not read
    // through this sink (once per distinct report); the caller logs it.
    void setWarningSink(std::function<void(const std::string&)> sink) {
        warningSink_ = std::move(sink);
    }

    bool keyExists(RegistryHive hive, std::string_view keyPath);
    std::optional<RegistryValue> value(RegistryHive hive, std::string_view keyPath,
                                       std::string_view name);

    // Creates the key and the keys above it; nothing is written when the key exists.
    RegistryWriteError createKey(RegistryHive hive, std::string_view keyPath);
    // Creates the key when missing. An empty name is the key's unnamed value ("@").
    // Writing the value a key already holds writes nothing.
    RegistryWriteError setValue(RegistryHive hive, std::string_view keyPath, std::string_view name,
                                const RegistryValue& value);
    // Several values of one key in one write of the file: a reader, or a write killed half-way,
    // sees all of them or none.
    RegistryWriteError setValues(RegistryHive hive, std::string_view keyPath,
                                 const std::vector<NamedRegistryValue>& values);

  private:
    struct Loaded;
    Loaded load(RegistryHive hive);
    RegistryWriteError save(RegistryHive hive, const Loaded& loaded);
    void warn(RegistryHive hive, const std::string& text);
    void removeStaleTemporaries();

    std::string folder_;
    std::function<void(const std::string&)> warningSink_;
    std::string lastWarning_[2];
};

// Replaces a file's contents in one step: a temporary file in the same folder, flushed to disk,
// then renamed over the old one. On failure the old file is untouched and the reason is returned.
// A symbolic link is followed, so the file it names is replaced and the link stays.
// With a mode the file gets that mode; without, it keeps the mode of the file it replaces, and a
// new file gets the mode of any new file (0666 less the umask).
RegistryWriteError replaceFileAtomically(const std::string& path, std::string_view contents,
                                         std::optional<mode_t> mode = std::nullopt);

}  // namespace kestrom
