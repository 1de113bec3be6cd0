// Frame-log bench: one binary log record against one plain write of as many bytes, printed as
// "name: value" lines.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "median_figures.h"
#include "viewer/core/frame_log.h"
#include "viewer/core/frame_record.h"

namespace {

using namespace kestrom;
namespace fs = std::filesystem;

constexpr int kFiles = 2000;  // files per run: about 100 MB in the temporary folder, removed after
constexpr int kRuns = 5;      // the figures are the medians of these

std::string folder;

FrameBlockBytes beamBlock() {
    FrameBlockBytes block{};
    for (int r = 0; r < 124; ++r)
        for (int c = 0; c < 124; ++c) {
            int d = (r - 62) * (r - 62) + (c - 61) * (c - 61);
            auto v = static_cast<std::int16_t>(d < 400 ? 16000 - 40 * d : 12);
            std::memcpy(block.data() + 2 * (r * 124 + c), &v, 2);
        }
    return block;
}

void clearFolder() {
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
}

// One logged frame: the header text into "FrameHeader", the record written whole and the next file
// made, as the view window's logging step does for each frame.
void logFrame(benchmark::State& state) {
    clearFolder();
    const FrameBlockBytes block = beamBlock();
    VasprelHeader header{};
    std::memcpy(header.Version, "h2.90", 6);
    header.Height = header.Width = 124;
    header.PixelBits = 14;
    header.FrameTotal = 2.5e6;
    header.Centroidx = 61.37;
    FrameLog log;
    LogSettings settings;
    settings.logName = folder + "/beam.RAW";
    settings.framesLeft = kFiles + 1;
    if (auto error = log.start(settings, false)) state.SkipWithError(error->c_str());
    for (auto _ : state) {
        FrameLog::Step step = log.step(block.data(), header, LogTime{});
        if (step.outcome != FrameLog::Step::Outcome::Written)
            state.SkipWithError(step.error.c_str());
    }
    log.end();
}

// The floor: a new file in the same folder, one write of a record's 48,448 bytes, closed.
void rawWrite(benchmark::State& state) {
    clearFolder();
    const std::string bytes(frame_record::kSize, 'x');
    int n = 0;
    for (auto _ : state) {
        const std::string path = folder + "/raw" + std::to_string(++n) + ".RAW";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            state.SkipWithError("the plain write failed");
        if (fd >= 0) ::close(fd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (fs::temp_directory_path() / "kestrom-log-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("frame_log_bench: mkdtemp");
        return 1;
    }
    folder = pattern;
    bench::registerRepeated("log_frame", logFrame, kFiles, kRuns);
    bench::registerRepeated("raw_write", rawWrite, kFiles, kRuns);
    benchmark::Initialize(&argc, argv);
    bench::MedianFigures figures("frame_log_bench");
    benchmark::RunSpecifiedBenchmarks(&figures);
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (figures.failed || figures.micros.size() != 2) return 1;
    const double log = figures.micros["log_frame"], raw = figures.micros["raw_write"];
    std::printf("log_frame_us: %.1f\n", log);
    std::printf("raw_write_us: %.1f\n", raw);
    std::printf("log_over_raw_write: %.2f\n", log / raw);
    return 0;
}
