// Results of frame records, as text blocks or CSV lines.
#include "results_command.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "computed_frame.h"
#include "viewer/core/result_values.h"
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
    WidthMethod method = WidthMethod::KnifeEdge;
    if (const auto chosen = arguments.options.find(kMethodOption);
        chosen != arguments.options.end()) {
        if (chosen->second == "second-moment") {
            method = WidthMethod::SecondMoment;
        } else if (chosen->second != "knife-edge") {
            std::fprintf(err,
                         "%s: results --method takes knife-edge or second-moment, not \"%s\"\n"
                         "Usage: kestrom3-frame results [--csv] [--method M] FILE... "
                         "(kestrom3-frame --help tells more)\n",
                         kProgram, oneLineText(chosen->second).c_str());
            return 2;
        }
    }
    StderrDialogs dialogs(kProgram);
    TResults results(dialogs);
    // Without its buffers TResults gives nothing but zeros; those are no results.
    if (!results.buffersReady()) return 1;
    results.SetWidthMethod(method);
    auto valuesOf = [method](const VasprelHeader& header) {
        Values values = resultValues(header);
        if (method == WidthMethod::SecondMoment) {
            const Values iso = secondMomentValues(header);
            values.insert(values.end(), iso.begin(), iso.end());
        }
        return values;
    };

    const bool csv = arguments.switches.count(kCsvSwitch) > 0;
    const bool named = arguments.files.size() > 1;
    if (csv) std::fputs(csvLine("File", valuesOf(VasprelHeader{}), true).c_str(), out);
    bool anyFailed = false, firstBlock = true;
    for (const std::string& path : arguments.files) {
        ComputedFrame computed = loadComputedFrame(path, results);
        if (computed.error) {
            std::fprintf(err, "%s: %s\n", kProgram, oneLineText(*computed.error).c_str());
            anyFailed = true;
            continue;
        }
        const Values values = valuesOf(*computed.frame->GetHeader());
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
