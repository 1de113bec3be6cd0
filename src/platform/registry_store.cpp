// Registry hives read from and written to registry-export files, one file per hive.
#include "platform/registry_store.h"

#include "platform/private_folders.h"
#include "platform/regular_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrom {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

const char* rootName(RegistryHive hive) {
    return hive == RegistryHive::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}
const char* fileName(RegistryHive hive) {
    return hive == RegistryHive::CurrentUser ? "user.reg" : "system.reg";
}
int hiveIndex(RegistryHive hive) { return hive == RegistryHive::CurrentUser ? 0 : 1; }

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The registry compares names without regard to case.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameName(text.substr(0, prefix.size()), prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string> splitKeyPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool holdsLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

struct NamedValue {
    std::string name;
    RegistryValue value;
};

struct Key {
    std::vector<std::string> path;  // components below the hive's root, in the case first written
    std::vector<NamedValue> values;
    std::unordered_map<std::string, std::size_t> valueIndex;  // folded name -> position

    NamedValue* find(std::string_view name) {
        auto it = valueIndex.find(folded(name));
        return it == valueIndex.end() ? nullptr : &values[it->second];
    }
    void set(std::string_view name, RegistryValue value) {
        if (NamedValue* existing = find(name)) {
            existing->value = std::move(value);
            return;
        }
        valueIndex.emplace(folded(name), values.size());
        values.push_back(NamedValue{std::string(name), std::move(value)});
    }
};

std::string foldedPath(const std::vector<std::string>& path, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) out += '\\';
        out += folded(path[i]);
    }
    return out;
}

// Every key is listed after the keys above it, and every key above a listed key is listed, so
// a key exists exactly when it is in the index. Lookups are hashed, so a large file reads in
// linear time.
struct Hive {
    std::vector<Key> keys;
    std::unordered_map<std::string, std::size_t> index;  // folded path -> position

    Key* find(const std::vector<std::string>& path) {
        auto it = index.find(foldedPath(path, path.size()));
        return it == index.end() ? nullptr : &keys[it->second];
    }
    bool exists(const std::vector<std::string>& path) const {
        return path.empty() || index.count(foldedPath(path, path.size())) != 0;
    }
    // The key, created with the keys above it when missing; a new key takes the case of the
    // components that already exist.
    Key& ensure(const std::vector<std::string>& path, bool& created) {
        created = false;
        std::size_t at = 0;
        for (std::size_t depth = 0; depth <= path.size(); ++depth) {
            std::string f = foldedPath(path, depth);
            auto it = index.find(f);
            if (it != index.end()) {
                at = it->second;
                continue;
            }
            std::vector<std::string> own = depth ? keys[at].path : std::vector<std::string>{};
            if (depth) own.push_back(path[depth - 1]);
            keys.push_back(Key{std::move(own), {}, {}});
            at = keys.size() - 1;
            index.emplace(std::move(f), at);
            created = true;
        }
        return keys[at];
    }
};

// ---- reading the file ----

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows' registry editor exports UTF-16LE with a byte-order mark; such a file copied over from
// Windows is read as UTF-8 text. Our own files are 8-bit text.
std::string decodeText(std::string data) {
    if (data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0xFF &&
        static_cast<unsigned char>(data[1]) == 0xFE) {
        std::string out;
        for (std::size_t i = 2; i + 1 < data.size(); i += 2) {
            std::uint32_t u = static_cast<unsigned char>(data[i]) |
                              (static_cast<unsigned char>(data[i + 1]) << 8);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < data.size()) {
                std::uint32_t low = static_cast<unsigned char>(data[i + 2]) |
                                    (static_cast<unsigned char>(data[i + 3]) << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            appendUtf8(out, u);
        }
        return out;
    }
    if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0) data.erase(0, 3);
    return data;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

struct Problems {
    int count = 0;
    std::size_t firstLine = 0;
    std::string firstReason;
    void add(std::size_t line, std::string reason) {
        if (count++ == 0) {
            firstLine = line;
            firstReason = std::move(reason);
        }
    }
};

// A quoted text from line[pos] == '"'; pos ends after the closing quote. Only \\ and \" are
// escapes; any other backslash stands for itself, so a path typed by hand with single
// backslashes reads as meant.
bool parseQuoted(std::string_view line, std::size_t& pos, std::string& out) {
    out.clear();
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) {
            out += line[++i];
        } else if (c == '"') {
            pos = i + 1;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool parseDword(std::string_view digits, std::uint32_t& out) {
    if (digits.empty() || digits.size() > 8) return false;
    out = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f')
            d = lowerAscii(c) - 'a' + 10;
        else
            return false;
        out = out * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

Hive parseExport(std::string_view text, std::string_view root, Problems& problems) {
    Hive hive;
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return hive;  // an empty file is no damage
    std::vector<std::string_view> lines = splitLines(text);
    std::size_t i = 0;
    if (lines.empty() || (trimBlanks(lines[0]) != kHeader && trimBlanks(lines[0]) != kOldHeader)) {
        problems.add(1, "no \"Windows Registry Editor Version 5.00\" header");
        if (!lines.empty() && !trimBlanks(lines[0]).starts_with("[")) i = 1;
    } else {
        i = 1;
    }

    Key* current = nullptr;
    bool inForeignSection = false;
    for (; i < lines.size(); ++i) {
        std::size_t lineNo = i + 1;
        std::string_view line = trimBlanks(lines[i]);
        if (line.empty() || line.front() == ';') continue;
        if (line.find('\0') != std::string_view::npos) {
            problems.add(lineNo, "binary data");
            continue;
        }
        if (line.front() == '[') {
            current = nullptr;
            inForeignSection = true;
            if (line.back() != ']') {
                problems.add(lineNo, "key line without \"]\"");
                continue;
            }
            std::string_view path = line.substr(1, line.size() - 2);
            std::size_t cut = path.find('\\');
            std::string_view first = path.substr(0, cut);
            if (!sameName(first, root)) {
                problems.add(lineNo, "key outside " + std::string(root));
                continue;
            }
            bool created;
            current = &hive.ensure(
                splitKeyPath(cut == std::string_view::npos ? "" : path.substr(cut)), created);
            inForeignSection = false;
            continue;
        }
        if (!current) {
            problems.add(lineNo,
                         inForeignSection ? "value of an unreadable key" : "value before any key");
            continue;
        }

        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() != '"' || !parseQuoted(line, pos, name)) {
            problems.add(lineNo, "not a value line");
            continue;
        }
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            problems.add(lineNo, "no \"=\" after the value name");
            continue;
        }
        ++pos;
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        std::string_view data = line.substr(pos);

        RegistryValue value;
        if (!data.empty() && data.front() == '"') {
            std::size_t q = 0;
            std::string s;
            if (!parseQuoted(data, q, s) || !trimBlanks(data.substr(q)).empty()) {
                problems.add(lineNo, "damaged text value");
                continue;
            }
            value = RegistryValue::string(std::move(s));
        } else if (startsWithNoCase(data, "dword:")) {
            std::uint32_t n;
            if (!parseDword(trimBlanks(data.substr(6)), n)) {
                problems.add(lineNo, "damaged dword value");
                continue;
            }
            value = RegistryValue::number(n);
        } else if (startsWithNoCase(data, "hex")) {
            // Binary and other types continue on the next line after a final backslash.
            std::string raw(data);
            while (!raw.empty() && raw.back() == '\\' && i + 1 < lines.size()) {
                raw += '\n';
                raw += lines[++i];
            }
            value = RegistryValue{RegistryValue::Kind::Other, std::move(raw), 0};
        } else {
            problems.add(lineNo, "unknown value type");
            continue;
        }
        current->set(name, std::move(value));
    }
    return hive;
}

// ---- writing the file ----

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string serialise(const Hive& hive, std::string_view root) {
    std::string out(kHeader);
    out += "\n\n";
    std::unordered_set<std::string> parents;
    for (const auto& key : hive.keys)
        if (!key.path.empty()) parents.insert(foldedPath(key.path, key.path.size() - 1));
    for (const auto& key : hive.keys) {
        // A key that holds no values but has keys below it is implied by them.
        if (key.values.empty() &&
            (key.path.empty() || parents.count(foldedPath(key.path, key.path.size()))))
            continue;
        out += '[';
        out += root;
        for (const auto& part : key.path) out += "\\" + part;
        out += "]\n";
        for (const auto& v : key.values) {
            out += v.name.empty() ? std::string("@") : quote(v.name);
            out += '=';
            switch (v.value.kind) {
                case RegistryValue::Kind::String:
                    out += quote(v.value.text);
                    break;
                case RegistryValue::Kind::Dword: {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "dword:%08x",
                                  static_cast<unsigned>(v.value.dword));
                    out += buf;
                    break;
                }
                case RegistryValue::Kind::Other:
                    out += v.value.text;
                    break;
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

std::string errnoText(int err) { return std::strerror(err); }

constexpr std::string_view kTemporaryLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kTemporarySuffix = 6;

// ".<file>.XXXXXX": hidden beside the file it replaces, and known as ours by its shape.
std::string temporaryName(const std::string& file) {
    static thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kTemporaryLetters.size() - 1);
    std::string name = "." + file + ".";
    for (std::size_t i = 0; i < kTemporarySuffix; ++i) name += kTemporaryLetters[pick(random)];
    return name;
}

bool isTemporaryOf(std::string_view name, const std::string& file) {
    std::size_t prefix = file.size() + 2;
    if (name.size() != prefix + kTemporarySuffix || name[0] != '.' || name.substr(1, file.size()) != file ||
        name[prefix - 1] != '.')
        return false;
    return name.substr(prefix).find_first_not_of(kTemporaryLetters) == std::string_view::npos;
}

}  // namespace

// ---- the store ----

struct RegistryStore::Loaded {
    enum class State { Absent, Clean, Damaged, Unreadable } state = State::Absent;
    Hive hive;
};

RegistryStore::RegistryStore(std::string folder) : folder_(std::move(folder)) {
    removeStaleTemporaries();
}

void RegistryStore::removeStaleTemporaries() {
    // A write that was killed leaves its temporary file; only one console writes here, and not yet.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!isTemporaryOf(name, fileName(RegistryHive::CurrentUser))) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(it->path().c_str());
    }
}

std::string RegistryStore::defaultFolder() {
    if (const char* dir = std::getenv("KESTROM_CONFIG_DIR"); dir && *dir) return dir;
    // A relative XDG_CONFIG_HOME is invalid and is to be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/kestrom3";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h)
        home = h;
    else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    return home + "/.config/kestrom3";
}

std::string RegistryStore::filePath(RegistryHive hive) const {
    return folder_ + "/" + fileName(hive);
}

void RegistryStore::warn(RegistryHive hive, const std::string& text) {
    std::string& last = lastWarning_[hiveIndex(hive)];
    if (text == last) return;
    last = text;
    if (warningSink_) warningSink_(text);
}

RegistryStore::Loaded RegistryStore::load(RegistryHive hive) {
    Loaded loaded;
    const std::string path = filePath(hive);
    CappedFileRead file = readFileCapped(path, kMaxFileBytes);
    switch (file.outcome) {
        case CappedFileRead::Outcome::Absent:
            lastWarning_[hiveIndex(hive)].clear();
            return loaded;
        case CappedFileRead::Outcome::Failed:
            loaded.state = Loaded::State::Unreadable;
            warn(hive,
                 path + " cannot be read (" + file.reason + "); its settings take their defaults.");
            return loaded;
        case CappedFileRead::Outcome::TooLarge:
            loaded.state = Loaded::State::Damaged;
            warn(
                hive,
                path + " is larger than 1 MiB and was not read; its settings take their defaults.");
            return loaded;
        case CappedFileRead::Outcome::Read:
            break;
    }
    Problems problems;
    loaded.hive = parseExport(decodeText(std::move(file.data)), rootName(hive), problems);
    if (problems.count == 0) {
        loaded.state = Loaded::State::Clean;
        lastWarning_[hiveIndex(hive)].clear();
        return loaded;
    }
    loaded.state = Loaded::State::Damaged;
    warn(hive, path + ": " + std::to_string(problems.count) +
                   (problems.count == 1 ? " line" : " lines") + " could not be read (line " +
                   std::to_string(problems.firstLine) + ": " + problems.firstReason +
                   "); what they held takes its defaults, and the file stays as it is until a "
                   "setting is saved.");
    return loaded;
}

RegistryWriteError RegistryStore::save(RegistryHive hive, const Loaded& loaded) {
    const std::string path = filePath(hive);
    std::string folderError;
    if (!makePrivateFolders(folder_, folderError)) return "Cannot write " + path + ": " + folderError;
    std::string backup;
    if (loaded.state == Loaded::State::Damaged) {
        // What could not be read is dropped by the rewrite; the damaged file is kept beside it.
        backup = path + ".damaged";
        ::unlink(backup.c_str());
        if (::link(path.c_str(), backup.c_str()) != 0) backup.clear();
    }
    if (RegistryWriteError err =
            replaceFileAtomically(path, serialise(loaded.hive, rootName(hive)), kSettingsFileMode)) {
        if (!backup.empty()) ::unlink(backup.c_str());
        return err;
    }
    lastWarning_[hiveIndex(hive)].clear();
    if (!backup.empty())
        warn(hive, path + " was rewritten without its unreadable lines; the old file is kept as " +
                       backup + ".");
    return std::nullopt;
}

bool RegistryStore::keyExists(RegistryHive hive, std::string_view keyPath) {
    return load(hive).hive.exists(splitKeyPath(keyPath));
}

std::optional<RegistryValue> RegistryStore::value(RegistryHive hive, std::string_view keyPath,
                                                  std::string_view name) {
    Loaded loaded = load(hive);
    Key* key = loaded.hive.find(splitKeyPath(keyPath));
    if (!key) return std::nullopt;
    NamedValue* v = key->find(name);
    if (!v) return std::nullopt;
    return v->value;
}

RegistryWriteError RegistryStore::createKey(RegistryHive hive, std::string_view keyPath) {
    if (hive == RegistryHive::LocalMachine)
        return std::string("HKEY_LOCAL_MACHINE is read-only for the console");
    std::vector<std::string> path = splitKeyPath(keyPath);
    for (const auto& part : path)
        if (holdsLineBreakOrNul(part)) return std::string("A key name cannot hold a line break");
    Loaded loaded = load(hive);
    if (loaded.state == Loaded::State::Unreadable)
        return "Cannot save settings: " + filePath(hive) + " cannot be read";
    if (loaded.hive.exists(path)) return std::nullopt;
    bool created;
    loaded.hive.ensure(path, created);
    return save(hive, loaded);
}

RegistryWriteError RegistryStore::setValue(RegistryHive hive, std::string_view keyPath,
                                           std::string_view name, const RegistryValue& value) {
    return setValues(hive, keyPath, {{std::string(name), value}});
}

RegistryWriteError RegistryStore::setValues(RegistryHive hive, std::string_view keyPath,
                                            const std::vector<NamedRegistryValue>& values) {
    if (hive == RegistryHive::LocalMachine)
        return std::string("HKEY_LOCAL_MACHINE is read-only for the console");
    std::vector<std::string> path = splitKeyPath(keyPath);
    for (const auto& part : path)
        if (holdsLineBreakOrNul(part)) return std::string("A key name cannot hold a line break");
    for (const auto& [name, value] : values)
        if (holdsLineBreakOrNul(name) ||
            (value.kind == RegistryValue::Kind::String && holdsLineBreakOrNul(value.text)))
            return "The value " + name + " cannot hold a line break";
    Loaded loaded = load(hive);
    if (loaded.state == Loaded::State::Unreadable)
        return "Cannot save settings: " + filePath(hive) + " cannot be read";
    bool created;
    Key& key = loaded.hive.ensure(path, created);
    bool changed = created;
    for (const auto& [name, value] : values) {
        if (NamedValue* existing = key.find(name); existing && existing->value == value) continue;
        key.set(name, value);
        changed = true;
    }
    if (!changed) return std::nullopt;
    return save(hive, loaded);
}

// ---- whole files ----

RegistryWriteError replaceFileAtomically(const std::string& path, std::string_view contents,
                                         std::optional<mode_t> mode) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        } else {
            // A link to a file not made yet: the file is made where the link points.
            std::error_code ec;
            std::filesystem::path to = std::filesystem::read_symlink(path, ec);
            if (!ec)
                target = (to.is_absolute() ? to : std::filesystem::path(path).parent_path() / to)
                             .string();
        }
    }
    // A new file without a given mode is created 0666 and the kernel takes the umask off; reading
    // the umask would mean setting it, which races every other thread that creates a file.
    std::optional<mode_t> finalMode = mode;
    if (!finalMode && ::stat(target.c_str(), &st) == 0) finalMode = st.st_mode & 07777;
    std::filesystem::path p(target);
    std::string dir = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = dir + "/" + temporaryName(p.filename().string());
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, finalMode ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return "Cannot write " + path + ": " + errnoText(errno);

    auto fail = [&](int err) -> RegistryWriteError {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return "Cannot write " + path + ": " + errnoText(err);
    };
    if (finalMode && ::fchmod(fd, *finalMode) != 0) return fail(errno);
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail(errno);
    int closing = fd;
    fd = -1;
    if (::close(closing) != 0) return fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return std::nullopt;
}

}  // namespace kestrom
