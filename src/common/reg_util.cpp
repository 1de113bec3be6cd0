// TRegUtil over the registry store.
#include "common/reg_util.h"

#include <charconv>

namespace kestrom {

namespace {

std::optional<RegistryHive> hiveOf(int accessor) {
    if (accessor == hkHKEY_CURRENT_USER) return RegistryHive::CurrentUser;
    if (accessor == hkHKEY_LOCAL_MACHINE) return RegistryHive::LocalMachine;
    return std::nullopt;
}

const char* rootText(int accessor) {
    static const char* const names[] = {"HKEY_CLASSES_ROOT",   "HKEY_CURRENT_USER",
                                        "HKEY_LOCAL_MACHINE",  "HKEY_USERS",
                                        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
    return names[accessor];
}

}  // namespace

void TRegUtil::SetRootKey(int root) {
    rootKey_ = root;
    if (root >= hkHKEY_CLASSES_ROOT && root <= hkHKEY_DYN_DATA) accessor_ = root;
}

std::optional<RegistryValue> TRegUtil::read(const std::string& name) {
    std::optional<RegistryHive> hive = hiveOf(accessor_);
    if (!hive) return std::nullopt;
    return store_.value(*hive, BaseKey, name);
}

void TRegUtil::write(const std::string& name, const RegistryValue& value) {
    std::optional<RegistryHive> hive = hiveOf(accessor_);
    if (!hive)
        throw RegistryError(std::string("Failed to create key ") + BaseKey + ": " +
                            rootText(accessor_) + " is not kept by this console");
    if (RegistryWriteError err = store_.setValue(*hive, BaseKey, name, value))
        throw RegistryError("Failed to set data for '" + name + "': " + *err);
}

bool TRegUtil::ValueExists(const std::string& name) { return read(name).has_value(); }

bool TRegUtil::ReadBool(const std::string& name, bool defaultValue) {
    auto v = read(name);
    return v && v->kind == RegistryValue::Kind::Dword ? v->dword != 0 : defaultValue;
}

int TRegUtil::ReadInteger(const std::string& name, int defaultValue) {
    auto v = read(name);
    return v && v->kind == RegistryValue::Kind::Dword ? static_cast<int>(v->dword) : defaultValue;
}

std::string TRegUtil::ReadString(const std::string& name, const std::string& defaultValue) {
    auto v = read(name);
    return v && v->kind == RegistryValue::Kind::String ? v->text : defaultValue;
}

double TRegUtil::ReadDouble(const std::string& name, double defaultValue) {
    std::string text = ReadString(name, formatDouble(defaultValue));
    std::string_view s(text);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return defaultValue;
    return value;
}

void TRegUtil::WriteBool(const std::string& name, bool value) {
    write(name, RegistryValue::number(value ? 1 : 0));
}

void TRegUtil::WriteInteger(const std::string& name, int value) {
    write(name, RegistryValue::number(static_cast<std::uint32_t>(value)));
}

void TRegUtil::WriteString(const std::string& name, const std::string& value) {
    write(name, RegistryValue::string(value));
}

void TRegUtil::WriteDouble(const std::string& name, double value) {
    WriteString(name, formatDouble(value));
}

std::string TRegUtil::formatDouble(double value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

}  // namespace kestrom
