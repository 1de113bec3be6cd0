// Names of log files: a typed name split into folder, base name and extension, and numbered files.
#pragma once

#include <cstdint>
#include <string>

namespace kestrom {

struct LogFileNameParts {
    std::string folder;     // up to and with the last "/", empty for a bare name
    std::string base;       // the name without its extension
    std::string extension;  // from the last "." of the name, with it; empty without one
};
LogFileNameParts splitLogFileName(const std::string& path);

// folder + base + counter as "%06i" + extension: beam, 1, ".RAW" gives "beam000001.RAW".
std::string numberedLogFileName(const std::string& folder, const std::string& base,
                                std::int32_t counter, const std::string& extension);

// A name typed without extension gets ".RAW".
std::string withDefaultLogExtension(const std::string& name);

// "*" or "?" in a log name is the pattern the dialog started with, not a name; the text says so.
std::string wildcardInLogName(const std::string& path);

}  // namespace kestrom
