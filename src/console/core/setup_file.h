// Setup files: the key-and-value lines of one camera's settings, read, looked up and written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_store.h"

namespace kestrom {

// A setup file is a dozen short lines; anything larger is not one and is not read.
inline constexpr std::size_t kMaxSetupFileBytes = 1u << 20;

struct SetupFileText {
    enum class Status { Read, Missing, Unreadable };
    Status status = Status::Missing;
    std::vector<std::string> lines;
    std::string error;  // Unreadable: a sentence naming the file and the reason
};

// A name that is no file, or a folder, counts as missing. A file that exists but cannot be
// opened, is not a regular file, is larger than kMaxSetupFileBytes or holds NUL bytes (not
// text) is unreadable.
SetupFileText readSetupFile(const std::string& path);

// Lines end with CR LF, a lone CR or a lone LF; a final line end does not start another line.
std::vector<std::string> splitSetupLines(std::string_view text);

// The text after the first "=" of the first line that holds key anywhere (case-sensitive);
// nothing when no line holds it or the text is empty.
std::optional<std::string> findSetupValue(const std::vector<std::string>& lines,
                                          std::string_view key);

// A signed decimal integer that fits 32 bits, blanks around it allowed ("+7", "-0", " 12 ");
// any other text, out-of-range numbers included, is 0.
std::int32_t setupInteger(std::string_view text);

// Replaces the first line that holds key with key and value, or appends that line.
void writeSetupKey(std::vector<std::string>& lines, std::string_view key, std::int32_t value);

// Writes every line followed by CR LF, replacing the file in one step.
RegistryWriteError saveSetupFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace kestrom
