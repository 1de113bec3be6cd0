// The file dialogs of the viewer's frame files: titles, filters and default extensions.
#pragma once

#include <string>

#include "platform/dialog_service.h"

namespace kestrom {

// Each starts in the data directory with the file pattern as its name; the save dialogs ask
// before overwriting.
FileDialogRequest saveDataDialog(const std::string& dataDirectory);
FileDialogRequest loadDataDialog(const std::string& dataDirectory);
FileDialogRequest saveBitmapDialog(const std::string& dataDirectory);
// "... Browse" of the data-logging dialog, with the caller's pattern ("*.RAW" or "*.CSV").
FileDialogRequest logBrowseDialog(const std::string& dataDirectory, const std::string& pattern);

}  // namespace kestrom
