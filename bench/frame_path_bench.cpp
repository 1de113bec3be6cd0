// Frame-path bench: baselines and the console's read-and-deliver cycle, printed as "name: value" lines.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "baselines.h"
#include "console_cycle.h"
#include "cpu_placement.h"

namespace {

using namespace kestrom::bench;

struct Figures {
    double memcpyUs, handoffUs, cycleUs, simReadUs, simFrameUs, cpuPercent, simReadCpuPercent, framesPerSecond;
};

// Every figure of one placement, measured in one go with the same placement.
Figures measure(int frames, double seconds) {
    Figures f{};
    f.memcpyUs = memcpyMicros();
    f.handoffUs = threadHandoffMicros();
    Cycle cycle = consoleCycle(frames);
    f.cycleUs = cycle.cycleUs;
    f.simReadUs = cycle.simReadUs;
    f.simFrameUs = simFrameMicros();
    CpuAt48Hz cpu = consoleCpuAt48Hz(seconds);
    f.cpuPercent = cpu.consolePercent;
    f.simReadCpuPercent = cpu.simReadPercent;
    f.framesPerSecond = cpu.framesPerSecond;
    return f;
}

void print(const Figures& f, const char* suffix) {
    std::printf("memcpy_us%s: %.3f\n", suffix, f.memcpyUs);
    std::printf("thread_handoff_us%s: %.2f\n", suffix, f.handoffUs);
    std::printf("cycle_us%s: %.2f\n", suffix, f.cycleUs);
    std::printf("cycle_over_thread_handoff%s: %.3f\n", suffix, f.cycleUs / f.handoffUs);
    std::printf("cycle_sim_read_us%s: %.2f\n", suffix, f.simReadUs);
    // The console's own share: the simulator's read counted as the one copy of a frame it must make.
    std::printf("cycle_console_share_over_thread_handoff%s: %.3f\n", suffix,
                (f.cycleUs - f.simReadUs + f.memcpyUs) / f.handoffUs);
    std::printf("sim_frame_us%s: %.1f\n", suffix, f.simFrameUs);
    std::printf("console_cpu_percent_48hz%s: %.3f\n", suffix, f.cpuPercent);
    std::printf("console_cpu_percent_48hz_in_sim_read%s: %.3f\n", suffix, f.simReadCpuPercent);
    std::printf("frames_per_second_48hz%s: %.1f\n", suffix, f.framesPerSecond);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 20000;
    double seconds = 3.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) frames = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    }
    try {
        // Pinned first: threads take their placement from the thread that starts them.
        bool pinned = pinToCpu0();
        Figures one = measure(frames, seconds);
        bool unpinned = unpin();
        Figures any = measure(frames, seconds);

        std::printf("cpu_placement: headline figures with every thread pinned to CPU 0 (sched_setaffinity %s); "
                    "*_unpinned figures with threads free on %d CPUs%s\n",
                    pinned ? "applied" : "REFUSED", usableCpuCount(), unpinned ? "" : " (affinity not restored)");
        print(one, "");
        print(any, "_unpinned");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "frame_path_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
