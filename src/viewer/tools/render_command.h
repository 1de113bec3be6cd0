// kestrom3-frame render: a saved or logged frame record drawn as the viewer shows it, into a PNG.
#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

#include "frame_arguments.h"

namespace kestrom {

// The options that take a value: --out and the picture's own (size, palette, scale, base, zoom,
// cursor, hide).
const std::vector<std::string_view>& renderOptionNames();

// One file, its results computed as the viewer does, drawn through the surface into --out.
// Exit status: 0 done, 1 the file was no frame record or the picture could not be written, 2 bad
// usage.
int runRenderCommand(const CommandArguments& arguments, std::FILE* out, std::FILE* err);

}  // namespace kestrom
