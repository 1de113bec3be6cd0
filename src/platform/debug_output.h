// The platform's debug output: short texts for a developer watching the console run.
#pragma once

#include <functional>
#include <string>

namespace kestrom {

using DebugOutput = std::function<void(const std::string&)>;

// Writes each text as a line to standard error when KESTROM_DEBUG_OUTPUT is set in the
// environment, and nowhere otherwise.
DebugOutput defaultDebugOutput();

}  // namespace kestrom
