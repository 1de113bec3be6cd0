// Beam-results bench: TResults::Compute on a Gaussian beam frame against the raw kernel a frame
// needs at the least (one histogram pass, row and column sums, one LUT pass), the second-moment
// widths on the same frame and their accuracy on analytic beams, then the surface's frame bitmap
// fill and its whole frame-to-pixels step, printed as "name: value" lines.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "median_figures.h"
#include "platform/dialog_service.h"
#include "results_test_support.h"
#include "second_moment_cases.h"
#include "viewer/core/beam_2d.h"
#include "viewer/core/beam_3d.h"
#include "viewer/core/pal.h"
#include "viewer/core/results.h"
#include "viewer/core/second_moment_widths.h"
#include "viewer/surface.h"

namespace {

using namespace kestrom;

constexpr int kSide = 124;
constexpr int kPixels = kSide * kSide;  // 15,376
constexpr int kRuns = 9;                // the figures are the medians of these
constexpr int kIterations = 4000;

// A live frame: a beam of 8,000 counts (sigma 7 x 5 pixels) over a ground of 50 counts with 6
// counts of noise, so that the ellipse holds most of the frame, as on a camera with an offset.
std::unique_ptr<test::Frame16> beamFrame() {
    auto frame = test::liveFrame(kSide, kSide);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(100, 12);
    for (int i = 0; i < kPixels; ++i) frame->data()[i] = static_cast<std::int16_t>(noise(random));
    test::addGaussian(*frame, {61.3, 58.7, 7, 5, 16000});
    return frame;
}

// The floor, written plainly: every pixel counted into a 64K-entry value histogram with its
// column and row, the row and column sums, then every pixel through a 64K-entry LUT.
void rawKernel(benchmark::State& state) {
    const auto frame = beamFrame();
    struct Entry {
        std::uint32_t count, columns, rows, unused;
    };
    std::vector<Entry> histogram(65536);
    std::vector<std::uint8_t> lut(65536), bitmap(kPixels);
    for (int i = 0; i < 65536; ++i) lut[i] = static_cast<std::uint8_t>(i >> 8);
    std::int32_t columnSums[kSide], rowSums[kSide];
    const std::int16_t* pixels = frame->data();
    for (auto _ : state) {
        for (int c = 0; c < kSide; ++c) columnSums[c] = 0;
        for (int r = 0; r < kSide; ++r) {
            std::int32_t rowSum = 0;
            for (int c = 0; c < kSide; ++c) {
                const std::int16_t v = pixels[r * kSide + c];
                Entry& e = histogram[static_cast<std::uint16_t>(v)];
                ++e.count;
                e.columns += static_cast<std::uint32_t>(c);
                e.rows += static_cast<std::uint32_t>(r);
                rowSum += v;
                columnSums[c] += v;
            }
            rowSums[r] = rowSum;
        }
        for (int i = 0; i < kPixels; ++i) bitmap[i] = lut[static_cast<std::uint16_t>(pixels[i])];
        benchmark::DoNotOptimize(histogram.data());
        benchmark::DoNotOptimize(bitmap.data());
        benchmark::DoNotOptimize(columnSums);
        benchmark::DoNotOptimize(rowSums);
        benchmark::ClobberMemory();
    }
}

void compute(benchmark::State& state) {
    auto frame = beamFrame();
    ScriptedDialogs dialogs;
    TResults results(dialogs);
    for (auto _ : state) {
        results.Compute(frame.get());
        benchmark::DoNotOptimize(frame->GetHeader());
        benchmark::ClobberMemory();
    }
    if (!(frame->GetHeader()->BeamWidthx > 0)) state.SkipWithError("the beam has no width");
}

// The second-moment widths of the frame: corners, the whole frame, then the turned window until it
// stands still.
void isoWidths(benchmark::State& state) {
    const auto frame = beamFrame();
    SecondMomentWidths w;
    for (auto _ : state) {
        w = secondMomentWidths(frame->data(), kSide, kSide);
        benchmark::DoNotOptimize(&w);
        benchmark::ClobberMemory();
    }
    if (!(w.major > 0)) state.SkipWithError("the beam has no second-moment width");
}

// The whole results with the second-moment method chosen.
void computeSecondMoment(benchmark::State& state) {
    auto frame = beamFrame();
    ScriptedDialogs dialogs;
    TResults results(dialogs);
    results.SetWidthMethod(WidthMethod::SecondMoment);
    for (auto _ : state) {
        results.Compute(frame.get());
        benchmark::DoNotOptimize(frame->GetHeader());
        benchmark::ClobberMemory();
    }
}

// The largest errors over the analytic beams, clean and over a ground of 1000 with noise of 20
// r.m.s.: of every diameter (a round beam's effective one) in percent, and of the azimuth of the
// beams that are not round in degrees.
struct Accuracy {
    double diameterPercent = 0;
    double azimuthDegrees = 0;
};

Accuracy isoAccuracy() {
    Accuracy worst;
    for (const test::TurnedBeam& beam : test::accuracyBeams())
        for (const test::Ground& ground : {test::Ground{}, test::Ground{1000, 20, 1}}) {
            const std::vector<std::int16_t> pixels = test::turnedBeamPixels(beam, ground);
            const SecondMomentWidths w = secondMomentWidths(pixels.data(), kSide, kSide);
            auto error = [&](double measured, double truth) {
                worst.diameterPercent =
                    std::max(worst.diameterPercent, std::abs(measured / truth - 1) * 100);
            };
            if (beam.diameterU == beam.diameterV) {
                error(w.effectiveDiameter, beam.diameterU);
                continue;
            }
            error(w.major, beam.diameterU);
            error(w.minor, beam.diameterV);
            worst.azimuthDegrees =
                std::max(worst.azimuthDegrees, std::abs(w.azimuthDegrees() - beam.angleDegrees));
        }
    return worst;
}

// A new frame into the 2-D view: its lookup table built and every pixel through it.
void lutFill(benchmark::State& state) {
    auto frame = beamFrame();
    TBeam2D view;
    view.SetClientSize(500, 500);
    view.SetPalette(TPal::CreatePalette(0));
    for (auto _ : state) {
        view.SetFrame(frame.get());
        benchmark::DoNotOptimize(view.frameBitmap().pixels.data());
        benchmark::ClobberMemory();
    }
}

// A new frame into the 3-D view and drawn: its vertex grid built, the wires, then the underlay,
// into a 500 x 500 picture at the default rotation and tilt.
void render3d(benchmark::State& state) {
    auto frame = beamFrame();
    TBeam3D view;
    view.SetClientSize(500, 500);
    view.SetShowImage(true);
    view.SetPalette(TPal::CreatePalette(0));
    for (auto _ : state) {
        view.SetFrame(frame.get());
        view.render();
        benchmark::DoNotOptimize(view.bitmap().pixels.data());
        benchmark::ClobberMemory();
    }
    if (view.grid().vertices.size() != 124u * 124u) state.SkipWithError("the grid is not 124 x 124");
}

// What the viewer does with each frame it shows: the results, then the surface with the image,
// crosshair, aperture, cursor and profiles, results text and colour bar composed into its
// 500 x 500 off-screen image.
void frameToPixels(benchmark::State& state) {
    auto frame = beamFrame();
    ScriptedDialogs dialogs;
    TResults results(dialogs);
    TSurface::Frame* frames[] = {frame.get(), nullptr};
    TSurface surface;
    surface.resize(500, 500);
    surface.SetFrameArray(frames);
    surface.SetZoomToCursor(true);
    for (int item : {kShowImage, kShowCrosshair, kShowAperture, kShowCursor, kShowResults,
                     kShowColorBar})
        surface.SetShow(item, true);
    for (auto _ : state) {
        results.Compute(frame.get());
        surface.SetCurrentFrame(0);
        benchmark::DoNotOptimize(surface.offscreenImage().constBits());
        benchmark::ClobberMemory();
    }
    if (surface.offscreenImage().size() != QSize(500, 500))
        state.SkipWithError("the surface is not 500 x 500");
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    bench::registerRepeated("raw_kernel", rawKernel, kIterations, kRuns);
    bench::registerRepeated("compute", compute, kIterations, kRuns);
    bench::registerRepeated("iso_widths", isoWidths, kIterations, kRuns);
    bench::registerRepeated("compute_second_moment", computeSecondMoment, kIterations, kRuns);
    bench::registerRepeated("lut_fill", lutFill, kIterations, kRuns);
    bench::registerRepeated("frame_to_pixels", frameToPixels, kIterations / 4, kRuns);
    bench::registerRepeated("render3d", render3d, kIterations / 4, kRuns);
    // The two benches' repetitions take turns, so that a change of the machine's load falls on
    // both figures of the ratio alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    bench::MedianFigures figures("results_bench");
    benchmark::RunSpecifiedBenchmarks(&figures);
    if (figures.failed || figures.micros.size() != 7) return 1;
    const double raw = figures.micros["raw_kernel"], computed = figures.micros["compute"];
    std::printf("raw_kernel_us: %.2f\n", raw);
    std::printf("compute_us: %.2f\n", computed);
    std::printf("compute_over_raw_kernel: %.2f\n", computed / raw);
    std::printf("iso_widths_us: %.2f\n", figures.micros["iso_widths"]);
    std::printf("compute_second_moment_us: %.2f\n", figures.micros["compute_second_moment"]);
    const Accuracy accuracy = isoAccuracy();
    std::printf("iso_error_percent_max: %.3f\n", accuracy.diameterPercent);
    std::printf("iso_azimuth_error_deg_max: %.3f\n", accuracy.azimuthDegrees);
    std::printf("lut_fill_us: %.2f\n", figures.micros["lut_fill"]);
    std::printf("frame_to_pixels_us: %.2f\n", figures.micros["frame_to_pixels"]);
    std::printf("render3d_us: %.2f\n", figures.micros["render3d"]);
    return 0;
}
