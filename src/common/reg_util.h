// TRegUtil: typed values under one base key; reads fall back to defaults, writes throw.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/registry_store.h"

namespace kestrom {

// A registry failure that reaches the caller: the console shows it in its standard error box.
class RegistryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum TRootKey : int {
    hkHKEY_CLASSES_ROOT = 0,
    hkHKEY_CURRENT_USER = 1,
    hkHKEY_LOCAL_MACHINE = 2,
    hkHKEY_USERS = 3,
    hkHKEY_CURRENT_CONFIG = 4,
    hkHKEY_DYN_DATA = 5,
};

// Each operation opens the base key, acts and closes it again, so nothing stays open between
// calls and every read sees the file as it is now. Only HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE hold keys here; the other roots read as empty and refuse writes.
class TRegUtil {
  public:
    TRegUtil(RegistryStore& store, std::string baseKey)
        : BaseKey(std::move(baseKey)), store_(store) {}

    std::string BaseKey;  // key path relative to the root
    int RootKey() const { return rootKey_; }
    // 0..5 switch the root in use; any other value changes the property only.
    void SetRootKey(int root);

    // Reads never fail: a missing key, a missing value or a value of another type gives the
    // default.
    bool ValueExists(const std::string& name);
    bool ReadBool(const std::string& name, bool defaultValue);  // a dword, nonzero is true
    int ReadInteger(const std::string& name, int defaultValue);
    std::string ReadString(const std::string& name, const std::string& defaultValue);
    // Doubles are kept as text values ("0.1", "1e-05"); text that is not a number gives the
    // default.
    double ReadDouble(const std::string& name, double defaultValue);

    // Writes create the base key when missing and throw RegistryError when they fail.
    void WriteBool(const std::string& name, bool value);  // dword 0 or 1
    void WriteInteger(const std::string& name, int value);
    void WriteString(const std::string& name, const std::string& value);
    void WriteDouble(const std::string& name, double value);

    // The shortest text that reads back as the same double, "." as the decimal point.
    static std::string formatDouble(double value);

  private:
    std::optional<RegistryValue> read(const std::string& name);
    void write(const std::string& name, const RegistryValue& value);

    RegistryStore& store_;
    int rootKey_ = hkHKEY_CURRENT_USER;
    int accessor_ = hkHKEY_CURRENT_USER;
};

}  // namespace kestrom
