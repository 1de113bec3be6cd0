// The message socket's folder and file name, and the checks on the folder.
#include "platform/transport_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrom {

namespace {

std::string safeName(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == '_';
        if (!keep) c = '_';
    }
    return out;
}

}  // namespace

std::string socketFileName(std::string_view windowClass, std::string_view caption) {
    return safeName(windowClass) + "-" + safeName(caption) + ".sock";
}

std::string runtimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/kestrom3";
    return "/tmp/kestrom3-" + std::to_string(geteuid());
}

std::string consoleSocketPath() {
    return runtimeFolder() + "/" + socketFileName(kConsoleWindowClass, kConsoleWindowCaption);
}

std::string socketFolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool preparePrivateFolder(const std::string& folder, std::string& error) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "Cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0) {
        error = "Cannot inspect " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = folder + " is not a directory";
        return false;
    }
    if (st.st_uid != geteuid()) {
        error = folder + " belongs to user " + std::to_string(st.st_uid) + ", not to this user";
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = folder + " has mode " + mode + "; others may use it (0700 expected)";
        return false;
    }
    return true;
}

}  // namespace kestrom
