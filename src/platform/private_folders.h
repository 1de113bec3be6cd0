// Folders of the console's own files (settings, history, camera state) that nobody else may read.
#pragma once

#include <string>

namespace kestrom {

// Makes folder, and every missing folder above it, with mode 0700 whatever the umask. Folders that
// exist already are left as they are: the user chose them. False and error text on failure.
bool makePrivateFolders(const std::string& folder, std::string& error);

}  // namespace kestrom
