// kestrom3-frame COMMAND ...: work on saved and logged frame records from the command line; each
// command is one entry of the table below.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "frame_arguments.h"
#include "render_command.h"
#include "results_command.h"

namespace {

using namespace kestrom;

constexpr const char* kUsage =
    "Usage: kestrom3-frame COMMAND [OPTION]... FILE...\n"
    "Commands:\n"
    "  results [--csv] [--method M] FILE...\n"
    "                           the beam results of frame records (.RAW) as the viewer computes\n"
    "                           them for a loaded frame, one \"Key: value\" line each\n"
    "      --csv                one line per file after a header line, for a logged series\n"
    "      --method M           knife-edge (the viewer's default) or second-moment; with\n"
    "                           second-moment the Iso... lines follow (ISO 11146 widths)\n"
    "  render FILE --out IMAGE.png [OPTION]...\n"
    "                           the frame as the viewer shows it, results and overlays included\n"
    "      --size WxH           the picture's size (500x500)\n"
    "      --palette P          colour, grey or printer (colour)\n"
    "      --scale S            1X, 2X, 4X, 8X, 16X or 32X (1X)\n"
    "      --base COUNTS        the scale base (0)\n"
    "      --zoom Z             0, 1 or 2, around the cursor (0)\n"
    "      --cursor C,R         the cursor's column and row (the frame's middle)\n"
    "      --hide ITEM,...      crosshair, aperture, cursor, results, colorbar\n"
    "  --help                   this text\n"
    "Exit status: 0 done, 1 a file gave no results, 2 bad usage.\n";

struct Command {
    std::string_view name;
    std::vector<std::string_view> switches;
    std::vector<std::string_view> options;
    int (*run)(const CommandArguments&, std::FILE* out, std::FILE* err);
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"results", {kCsvSwitch}, {kMethodOption}, runResultsCommand},
        {"render", {}, renderOptionNames(), runRenderCommand},
    };
    return table;
}

int usageError(const std::string& problem) {
    std::fprintf(stderr, "kestrom3-frame: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usageError("no command given");
    const std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    for (const Command& command : commands()) {
        if (command.name != name) continue;
        const CommandArguments arguments = parseCommandArguments(
            std::vector<std::string>(argv + 2, argv + argc), command.switches,
                                  command.options);
        if (arguments.error) return usageError(*arguments.error);
        if (arguments.help) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arguments.files.empty()) return usageError(name + " needs at least one frame file");
        return command.run(arguments, stdout, stderr);
    }
    return usageError("unknown command \"" + name + "\"");
}
