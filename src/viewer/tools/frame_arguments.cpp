// Parsing a command's arguments.
#include "frame_arguments.h"

#include <algorithm>

namespace kestrom {

CommandArguments parseCommandArguments(const std::vector<std::string>& args,
                                       const std::vector<std::string_view>& knownSwitches) {
    CommandArguments parsed;
    bool filesOnly = false;
    for (const std::string& arg : args) {
        if (filesOnly || arg.size() < 2 || arg[0] != '-') {
            parsed.files.push_back(arg);
        } else if (arg == "--") {
            filesOnly = true;
        } else if (arg == "--help" || arg == "-h") {
            parsed.help = true;
        } else if (std::find(knownSwitches.begin(), knownSwitches.end(), arg) !=
                   knownSwitches.end()) {
            parsed.switches.insert(arg);
        } else if (!parsed.error) {
            parsed.error = "unknown option \"" + arg + "\"";
        }
    }
    return parsed;
}

}  // namespace kestrom
