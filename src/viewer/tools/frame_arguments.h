// The arguments after a kestrom3-frame command's name: its switches and its files.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrom {

struct CommandArguments {
    std::vector<std::string> files;
    std::set<std::string, std::less<>> switches;  // those given, of the ones the command knows
    // Options that take a value ("--out FILE" or "--out=FILE"), the last one given of each.
    std::map<std::string, std::string, std::less<>> options;
    bool help = false;
    std::optional<std::string> error;  // what is wrong with them; the usage follows it
};

// Switches, options and files may come in any order; after "--" every argument is a file, so that
// a file whose name starts with "-" can be named. A switch or option the command does not know,
// or an option without its value, is an error.
CommandArguments parseCommandArguments(const std::vector<std::string>& args,
                                       const std::vector<std::string_view>& knownSwitches,
                                       const std::vector<std::string_view>& knownOptions = {});

}  // namespace kestrom
