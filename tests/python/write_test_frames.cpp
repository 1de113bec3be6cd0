// Writes the saved frames the Python package's tests read, with the viewer's own writers: one
// frame record per beam of the table below with its pixels beside it as a text log record
// (NAME.CSV), and a frame log "series.RAW" of the same beams.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "camera_records/console_block.h"
#include "viewer/core/frame_log.h"
#include "viewer/core/frame_record.h"
#include "viewer/core/log_csv.h"

namespace {

using namespace kestrom;

struct Beam {
    const char* name;
    double column, row;    // centre
    double wide, narrow;   // 1/e² radii, pixels
    double turnDegrees;    // of the wide axis, from +x toward +y
    double peak, ground, noise;  // raw values
    double hscale, vscale;       // pitch, µm
    std::int32_t binning, zLocation, wheelA, wheelB;
};

// Round, turned and elliptical, faint on noise, cut by the frame's edge, and nothing at all.
const Beam kBeams[] = {
    {"round", 61.3, 59.2, 18, 18, 0, 16000, 100, 6, 85, 85, 0, 1200, 0, 0},
    {"turned", 55.7, 64.1, 26, 11, 31, 12000, 40, 10, 100, 80, 1, -350, 2, 5},
    {"faint", 70.2, 50.8, 7, 5, -12, 900, 300, 25, 85, 85, 0, 0, 0, 0},
    {"edge", 4.5, 118.0, 14, 9, 70, 20000, 0, 3, 60, 60, 0, 800, 0, 3},
    {"dark", 0, 0, 1, 1, 0, 0, 0, 0, 85, 85, 0, 0, 0, 0},
};

FrameBlockBytes beamBlock(const Beam& b, std::uint32_t seed) {
    FrameBlockBytes block{};
    const double c = std::cos(b.turnDegrees * M_PI / 180), s = std::sin(b.turnDegrees * M_PI / 180);
    for (int r = 0; r < frame_block::kHeight; ++r) {
        for (int col = 0; col < frame_block::kWidth; ++col) {
            const double dx = col - b.column, dy = r - b.row;
            const double u = (dx * c + dy * s) / b.wide, v = (-dx * s + dy * c) / b.narrow;
            seed = seed * 1664525u + 1013904223u;  // a fixed ground noise, the same every run
            const double noise = b.noise * ((seed >> 8) / 16777216.0 - 0.5) * 3.4;
            const double value = b.ground + noise + b.peak * std::exp(-2 * (u * u + v * v));
            const auto pixel = static_cast<std::int16_t>(std::lround(std::min(value, 32767.0)));
            std::memcpy(block.data() + 2 * (r * frame_block::kWidth + col), &pixel, 2);
        }
    }
    for (std::size_t i = 2 * frame_block::kPixelCount; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(seed + i);
    return block;
}

VasprelHeader beamHeader(const Beam& b) {
    VasprelHeader h{};
    std::memcpy(h.Version, vasprel::kVersion, std::strlen(vasprel::kVersion) + 1);
    h.Height = h.Width = 124;
    h.PixelBits = 14;
    h.CaptureResolution = b.binning;
    h.PixelHScale = b.hscale;
    h.PixelVScale = b.vscale;
    h.Flags = vasprel::kValidData;
    h.ZLocation = b.zLocation;
    h.WheelA = b.wheelA;
    h.WheelB = b.wheelB;
    h.DateTime = 45000.25;
    h.Centroidx = 12.5;  // stale results of an earlier frame, which the readers must not use
    h.AC = 7;
    return h;
}

bool fail(const std::string& what) {
    std::fprintf(stderr, "write_test_frames: %s\n", what.c_str());
    return false;
}

bool writeAll(const std::string& folder) {
    FrameLog log;
    LogSettings settings;
    settings.logName = folder + "/series.RAW";
    settings.framesLeft = static_cast<std::int32_t>(std::size(kBeams));
    if (auto error = log.start(settings, false)) return fail(*error);
    std::uint32_t seed = 12345;
    for (const Beam& beam : kBeams) {
        const FrameBlockBytes block = beamBlock(beam, seed++);
        const VasprelHeader header = beamHeader(beam);
        const std::string base = folder + "/" + beam.name;
        if (auto error = writeFrameRecord(base + ".RAW", header, block.data())) return fail(*error);
        std::ofstream csv(base + ".CSV", std::ios::binary);
        csv << frameCsvText(block.data());
        if (!csv.flush()) return fail("cannot write " + base + ".CSV");
        const auto outcome = log.step(block.data(), header, LogTime{}).outcome;
        if (outcome != FrameLog::Step::Outcome::Written && outcome != FrameLog::Step::Outcome::Ended)
            return fail("the log did not write " + base);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return fail("usage: write_test_frames FOLDER"), 2;
    return writeAll(argv[1]) ? 0 : 1;
}
