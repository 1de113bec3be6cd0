#include "render_command.h"

#include <QApplication>
#include <QImageWriter>

#include <cstdlib>
#include <string>

#include "computed_frame.h"
#include "stderr_dialogs.h"
#include "viewer/tools/frame_render.h"

namespace kestrom {

const std::vector<std::string_view>& renderOptionNames() {
    static const std::vector<std::string_view> names = {
        "--out", "--size", "--palette", "--scale", "--base", "--zoom", "--cursor", "--hide"};
    return names;
}

int runRenderCommand(const CommandArguments& arguments, std::FILE* out, std::FILE* err) {
    const auto usage = [&](const std::string& problem) {
        std::fprintf(err,
                     "kestrom3-frame: render %s\nUsage: kestrom3-frame render FILE --out IMAGE.png "
                     "[OPTION]... (kestrom3-frame --help lists the options)\n",
                     problem.c_str());
        return 2;
    };
    if (arguments.files.size() != 1) return usage("takes one frame file");
    const auto target = arguments.options.find("--out");
    if (target == arguments.options.end() || target->second.empty())
        return usage("needs --out IMAGE.png");
    FrameRenderOptions options;
    for (const auto& [name, value] : arguments.options) {
        if (name == "--out") continue;
        if (const std::optional<std::string> problem = parseRenderOption(name, value, options))
            return usage(*problem);
    }

    StderrDialogs dialogs("kestrom3-frame");
    TResults results(dialogs);
    if (!results.buffersReady()) return 1;
    ComputedFrame computed = loadComputedFrame(arguments.files.front(), results);
    if (computed.error) {
        std::fprintf(err, "kestrom3-frame: %s\n", computed.error->c_str());
        return 1;
    }

    // The picture needs no screen.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "kestrom3-frame";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    const QImage image = renderFrame(*computed.frame, options);
    QImageWriter writer(QString::fromStdString(target->second), "png");
    if (!writer.write(image)) {
        std::fprintf(err, "kestrom3-frame: cannot write \"%s\": %s\n", target->second.c_str(),
                     writer.errorString().toStdString().c_str());
        return 1;
    }
    std::fprintf(out, "%s\n", target->second.c_str());
    return 0;
}

}  // namespace kestrom
