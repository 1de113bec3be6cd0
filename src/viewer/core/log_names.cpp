// Splitting and numbering log file names.
#include "viewer/core/log_names.h"

#include <cstdio>

namespace kestrom {

LogFileNameParts splitLogFileName(const std::string& path) {
    LogFileNameParts parts;
    std::size_t slash = path.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    parts.folder = path.substr(0, nameStart);
    std::string name = path.substr(nameStart);
    std::size_t dot = name.rfind('.');
    parts.base = dot == std::string::npos ? name : name.substr(0, dot);
    parts.extension = dot == std::string::npos ? std::string() : name.substr(dot);
    return parts;
}

std::string numberedLogFileName(const std::string& folder, const std::string& base,
                                std::int32_t counter, const std::string& extension) {
    char number[16];
    std::snprintf(number, sizeof number, "%06i", counter);
    return folder + base + number + extension;
}

std::string withDefaultLogExtension(const std::string& name) {
    return splitLogFileName(name).extension.empty() ? name + ".RAW" : name;
}

std::string wildcardInLogName(const std::string& path) {
    if (path.substr(splitLogFileName(path).folder.size()).find_first_of("*?") == std::string::npos)
        return {};
    return "Cannot create file \"" + path + "\". A file name may not hold \"*\" or \"?\"";
}

}  // namespace kestrom
