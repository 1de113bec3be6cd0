// The console's frame path timed against the simulated driver replaying a prepared frame.
#include "console_cycle.h"

#include <algorithm>
#include <cmath>

#include "bench_console.h"
#include "cpu_placement.h"

namespace kestrom::bench {

Cycle consoleCycle(int frames) {
    BenchConsole console(true);
    console.acquire();
    console.driver.setReplayFrame(0, preparedFrame());
    // The next frame is ready before the thread asks for it, so no time goes to waiting for the camera.
    console.host.onFrame = [&] { console.driver.produceFrame(0); };
    console.startThread();
    console.driver.produceFrame(0);

    const long warmUp = 200;
    console.runUntil([&] { return console.host.frames >= warmUp; });
    double start = wallSeconds();
    double read0 = console.device.microsInsideReads();
    console.runUntil([&] { return console.host.frames >= warmUp + frames; });
    double elapsed = wallSeconds() - start;
    // A read still in progress is left out: one in thousands.
    return {elapsed * 1e6 / frames, (console.device.microsInsideReads() - read0) / frames};
}

CpuAt48Hz consoleCpuAt48Hz(double seconds) {
    BenchConsole console(false);
    console.request(req::SetTriggerMethod, 1);
    console.request(req::SetChopRate, 1);
    console.driver.advanceTime(5000);   // past the camera's settling after the changes
    console.driver.setReplayFrame(0, preparedFrame());
    console.acquire();
    console.device.countCpu = true;
    console.startThread();

    double warmUntil = wallSeconds() + 0.5;
    console.runUntil([&] { return wallSeconds() >= warmUntil && console.device.readerKnown(); });

    clockid_t mainClock = callingThreadClock();
    clockid_t readerClock = console.device.readerClock();
    double wall0 = wallSeconds();
    double cpu0 = cpuSeconds(mainClock) + cpuSeconds(readerClock);
    double sim0 = console.device.cpuSecondsInsideReads();
    long frames0 = console.host.frames;
    console.runUntil([&] { return wallSeconds() >= wall0 + seconds; });
    double wall = wallSeconds() - wall0;
    double cpu = cpuSeconds(mainClock) + cpuSeconds(readerClock) - cpu0;
    // A read still in progress is left out: one frame in about 150.
    double sim = console.device.cpuSecondsInsideReads() - sim0;
    return {100.0 * cpu / wall, 100.0 * sim / wall, static_cast<double>(console.host.frames - frames0) / wall};
}

double simFrameMicros() {
    BenchConsole console(true);   // no thread: this thread reads, and the simulator synthesises
    console.acquire();
    std::vector<std::uint8_t> block(frame_block::kSize);
    std::vector<double> times;
    for (int i = 0; i < 61; ++i) {
        console.driver.produceFrame(0);
        std::uint32_t bytes = 0;
        int error = 0;
        if (console.driver.read(console.camera, block.data(), frame_block::kSize, bytes, error))
            times.push_back(console.driver.lastSynthesisMicroseconds());
    }
    if (times.empty()) return NAN;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace kestrom::bench
