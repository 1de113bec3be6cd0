// Dialog requests of "&Save data", "&Load data", "Save &Bitmap to disk" and the log's "... Browse".
#include "viewer/core/frame_file_dialogs.h"

namespace kestrom {

namespace {

FileDialogRequest request(const char* title, const char* filter, const std::string& dataDirectory,
                          const std::string& pattern, const char* extension) {
    FileDialogRequest r;
    r.title = title;
    r.filter = filter;
    r.initialDirectory = dataDirectory;
    r.fileName = pattern;
    r.defaultExtension = extension;
    return r;
}

}  // namespace

FileDialogRequest saveDataDialog(const std::string& dataDirectory) {
    return request("Save current frame to disk file.", "Frame data (.RAW)|*.RAW", dataDirectory,
                   "*.RAW", "RAW");
}

FileDialogRequest loadDataDialog(const std::string& dataDirectory) {
    return request("Load frame from disk file.", "Frame data (.frm)|*.RAW", dataDirectory, "*.RAW",
                   "");
}

FileDialogRequest saveBitmapDialog(const std::string& dataDirectory) {
    return request("Save Frame as Bitmap on disk.", "Bitmap files (.bmp)|*.bmp", dataDirectory,
                   "*.BMP", "bmp");
}

FileDialogRequest logBrowseDialog(const std::string& dataDirectory, const std::string& pattern) {
    return request("Save frame(s) to disk file.", "Saved frames|*.RAW", dataDirectory, pattern,
                   "RAW");
}

}  // namespace kestrom
