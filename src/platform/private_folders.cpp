// Making the console's folders private as they are made.
#include "platform/private_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace kestrom {

bool makePrivateFolders(const std::string& folder, std::string& error) {
    if (folder.empty()) return true;
    // Each level in turn, from the top, so that every folder made here gets 0700.
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        std::string level = folder.substr(0, end);
        if (!level.empty() && level.back() != '/') {
            if (mkdir(level.c_str(), 0700) == 0) {
                // The umask may have taken the owner's own bits.
                if (chmod(level.c_str(), 0700) != 0) {
                    error = "Cannot create " + level + ": " + std::strerror(errno);
                    return false;
                }
            } else if (errno != EEXIST) {
                error = "Cannot create " + level + ": " + std::strerror(errno);
                return false;
            }
        }
        if (end == std::string::npos) break;
    }
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) {
        error = "Cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "Cannot create " + folder + ": it is not a folder";
        return false;
    }
    return true;
}

}  // namespace kestrom
