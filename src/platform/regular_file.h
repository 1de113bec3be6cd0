// Reading a file the user names, or one anybody could swap: only a regular file, and never blocking.
#pragma once

#include <cstddef>
#include <string>

namespace kestrom {

// A whole regular file read in one go, refusing more than cap bytes. Opening never blocks, so a
// FIFO or device given as a file name fails instead of hanging. Every file the console and the
// simulator read (settings, setup files, the simulator's configuration and state, uploads) is
// read through here.
struct CappedFileRead {
    enum class Outcome { Read, Absent, TooLarge, Failed } outcome = Outcome::Absent;
    std::string data;
    std::string reason;  // Failed: the system's text, or "not a regular file"
    bool opened = false;  // Failed with this set: the file opened and its reading failed
};
CappedFileRead readFileCapped(const std::string& path, std::size_t cap);

// The first count bytes of a regular file (fewer when it is shorter), never blocking either; a
// longer file is not read further. Outcome Read, Absent or Failed.
CappedFileRead readFileStart(const std::string& path, std::size_t count);

}  // namespace kestrom
