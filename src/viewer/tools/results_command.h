// kestrom3-frame results: the beam results of saved or logged frame records.
#pragma once

#include <cstdio>

#include "frame_arguments.h"

namespace kestrom {

inline constexpr std::string_view kCsvSwitch = "--csv";
inline constexpr std::string_view kMethodOption = "--method";  // knife-edge or second-moment

// For each file its results as "Key: value" lines, a "File: PATH" line first when there are
// several files and an empty line between files; with --csv a header line and one line per file.
// A file that is no frame record gets one line on `err` and the others are still done. Exit
// status: 0 when every file gave its results, 1 otherwise, 2 for a method it does not know. With
// --method second-moment the widths are the second moments' and the Iso... lines follow.
int runResultsCommand(const CommandArguments& arguments, std::FILE* out, std::FILE* err);

}  // namespace kestrom
