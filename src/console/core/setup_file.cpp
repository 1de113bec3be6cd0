// Reading, key lookup and key writing of setup files.
#include "console/core/setup_file.h"

#include <sys/stat.h>

#include <charconv>

#include "platform/regular_file.h"

namespace kestrom {

SetupFileText readSetupFile(const std::string& path) {
    SetupFileText result;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return result;

    CappedFileRead file = readFileCapped(path, kMaxSetupFileBytes);
    switch (file.outcome) {
        case CappedFileRead::Outcome::Absent:
            return result;
        case CappedFileRead::Outcome::Failed:
            result.status = SetupFileText::Status::Unreadable;
            result.error = "Cannot read setup file " + path + ": " + file.reason;
            return result;
        case CappedFileRead::Outcome::TooLarge:
            result.status = SetupFileText::Status::Unreadable;
            result.error = "Setup file " + path + " is larger than 1 MiB; it is not a setup file";
            return result;
        case CappedFileRead::Outcome::Read:
            break;
    }
    if (file.data.find('\0') != std::string::npos) {
        result.status = SetupFileText::Status::Unreadable;
        result.error = "Setup file " + path + " holds binary data; it is not a setup file";
        return result;
    }
    result.status = SetupFileText::Status::Read;
    result.lines = splitSetupLines(file.data);
    return result;
}

std::vector<std::string> splitSetupLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::optional<std::string> findSetupValue(const std::vector<std::string>& lines,
                                          std::string_view key) {
    for (const auto& line : lines) {
        if (line.find(key) == std::string::npos) continue;
        // The first "=" of the line, which may come before the key's own.
        std::string value = line.substr(line.find('=') + 1);
        if (value.empty()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

std::int32_t setupInteger(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return 0;  // from_chars would take "-" twice
    std::int64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (ec != std::errc() || end != text.data() + text.size()) return 0;
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return 0;
    return static_cast<std::int32_t>(value);
}

void writeSetupKey(std::vector<std::string>& lines, std::string_view key, std::int32_t value) {
    std::string line = std::string(key) + std::to_string(value);
    for (auto& existing : lines) {
        if (existing.find(key) != std::string::npos) {
            existing = std::move(line);
            return;
        }
    }
    lines.push_back(std::move(line));
}

RegistryWriteError saveSetupFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return replaceFileAtomically(path, text);
}

}  // namespace kestrom
