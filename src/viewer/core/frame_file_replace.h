// Writing a frame file whole: a temporary file beside it, renamed over the name once complete.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom {

struct FileReplaceError {
    enum class Step { Create, Write } step = Step::Create;
    std::string reason;  // the system's error text
};

// The parts are written one after another into a temporary file in the target's folder, which then
// takes the target's name; the name never holds half a file, and a failed write (a full disk, a
// file-size limit) removes the temporary file and leaves whatever the name held. An existing
// regular file keeps its mode; a new one gets the mode of any new file.
// Unlike the settings files these are not flushed to the disk one by one: a log writes dozens a
// second, and a flush each would hold up every frame.
std::optional<FileReplaceError> replaceFileWhole(const std::string& path,
                                                 const std::vector<std::string_view>& parts);

// For a file that is only ever regenerated (the intermediate header text): an existing regular file
// is overwritten where it stands and cut to size, which spares making a new file for every logged
// frame; anything else under the name (nothing, a link, a FIFO) is replaced as above.
std::optional<FileReplaceError> rewriteFile(const std::string& path, std::string_view bytes);

// For a file made empty a moment ago to receive these bytes (the waiting file of a log): they are
// written into it, and a write that fails cuts it back to empty, so nothing half-written stays
// under the name. A name that no longer holds an empty regular file is replaced as above instead.
std::optional<FileReplaceError> fillEmptyFile(const std::string& path, std::string_view bytes);

// "Cannot create file "<path>". <reason>" or "Cannot write file "<path>". <reason>".
std::string describe(const FileReplaceError& error, const std::string& path);

// The folder of a file name with its closing "/"; empty for a bare name.
std::string folderOf(const std::string& path);

}  // namespace kestrom
