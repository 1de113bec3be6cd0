// Results of frame records, as text blocks or CSV lines.
#include "results_command.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "computed_frame.h"
#include "result_values.h"
#include "stderr_dialogs.h"
#include "viewer/core/frame_header_text.h"
#include "viewer/core/log_csv.h"

namespace kestrom {
namespace {

constexpr const char* kProgram = "kestrom3-frame";

using Values = std::vector<std::pair<std::string, std::string>>;

std::string csvLine(const std::string& first, const Values& values, bool names) {
    std::string line = csvField(first);
    for (const auto& [name, value] : values) line += "," + csvField(names ? name : value);
    return line + "\n";
}

std::string textBlock(const std::string& path, const Values& values, bool named, bool first) {
    std::string block = first ? "" : "\n";
    if (named) block += "File: " + oneLineText(path) + "\n";
    for (const auto& [name, value] : values) block += name + ": " + value + "\n";
    return block;
}

}  // namespace

int runResultsCommand(const CommandArguments& arguments, std::FILE* out, std::FILE* err) {
    StderrDialogs dialogs(kProgram);
    TResults results(dialogs);
    // Without its buffers TResults gives nothing but zeros; those are no results.
    if (!results.buffersReady()) return 1;

    const bool csv = arguments.switches.count(kCsvSwitch) > 0;
    const bool named = arguments.files.size() > 1;
    if (csv) std::fputs(csvLine("File", resultValues(VasprelHeader{}), true).c_str(), out);
    bool anyFailed = false, firstBlock = true;
    for (const std::string& path : arguments.files) {
        ComputedFrame computed = loadComputedFrame(path, results);
        if (computed.error) {
            std::fprintf(err, "%s: %s\n", kProgram, oneLineText(*computed.error).c_str());
            anyFailed = true;
            continue;
        }
        const Values values = resultValues(*computed.frame->GetHeader());
        const std::string text =
            csv ? csvLine(path, values, false) : textBlock(path, values, named, firstBlock);
        std::fputs(text.c_str(), out);
        firstBlock = false;
    }
    // Results that never reached their reader (a full disk, a closed pipe) are a failure too.
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "%s: the results could not be written: %s\n", kProgram,
                     std::strerror(errno));
        return 1;
    }
    return anyFailed ? 1 : 0;
}

}  // namespace kestrom
