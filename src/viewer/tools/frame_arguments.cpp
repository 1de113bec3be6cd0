// Parsing a command's arguments.
#include "frame_arguments.h"

#include <algorithm>

namespace kestrom {

CommandArguments parseCommandArguments(const std::vector<std::string>& args,
                                       const std::vector<std::string_view>& knownSwitches,
                                       const std::vector<std::string_view>& knownOptions) {
    CommandArguments parsed;
    bool filesOnly = false;
    auto knownOption = [&](std::string_view name) {
        return std::find(knownOptions.begin(), knownOptions.end(), name) != knownOptions.end();
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (!filesOnly && arg.size() > 2 && arg.compare(0, 2, "--") == 0 && knownOption(name)) {
            if (equals != std::string::npos) {
                parsed.options[name] = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                parsed.options[name] = args[++i];
            } else if (!parsed.error) {
                parsed.error = "option \"" + arg + "\" needs a value";
            }
        } else if (filesOnly || arg.size() < 2 || arg[0] != '-') {
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
