// Subscriber bench: frames from the console to subscriber processes against a raw socket round trip, as "name: value" lines.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "cpu_placement.h"
#include "delivery_bench.h"
#include "raw_fan_out.h"
#include "raw_roundtrip.h"

namespace {

using namespace kestrom::bench;

constexpr int kCounts[] = {1, 4, 16};

struct Figures {
    double roundTripUs;       // the median of the three below
    double roundTripNearUs[3];// measured just before each delivery run, so that both see the same machine
    FlatOut none;        // the console's cycle with nobody to deliver to
    FlatOut with[3];     // with 1, 4 and 16 subscriber processes
    double fanOutUs[3];  // the same socket work and copy for 1, 4 and 16 bare processes
    At48Hz at48HzNone;   // the same console with nobody subscribed
    At48Hz at48Hz;       // 16 subscriber processes
    double hungStallMs;  // 3 of 4 subscriber processes stopped at once
};

// Every figure of one placement, measured in one go with the same placement.
Figures measure(double flatSeconds, double cpuSeconds) {
    Figures f{};
    f.none = deliverFlatOut(0, flatSeconds);
    for (int i = 0; i < 3; ++i) {
        f.roundTripNearUs[i] = rawRoundTripMicros();
        f.with[i] = deliverFlatOut(kCounts[i], flatSeconds);
        f.fanOutUs[i] = rawFanOutMicros(kCounts[i]);
    }
    double sorted[3] = {f.roundTripNearUs[0], f.roundTripNearUs[1], f.roundTripNearUs[2]};
    std::sort(sorted, sorted + 3);
    f.roundTripUs = sorted[1];
    f.at48HzNone = deliverAt48Hz(0, cpuSeconds);
    f.at48Hz = deliverAt48Hz(16, cpuSeconds);
    f.hungStallMs = hungPeersStallMs(3);
    return f;
}

void print(const Figures& f, const char* suffix) {
    std::printf("raw_roundtrip_us%s: %.2f\n", suffix, f.roundTripUs);
    std::printf("cycle_us_n0%s: %.2f\n", suffix, f.none.cycleUs);
    for (int i = 0; i < 3; ++i) {
        const int n = kCounts[i];
        // What each subscriber adds to the console's cycle: the frame notice, its copy of the block, the reply.
        const double perSubscriber = (f.with[i].cycleUs - f.none.cycleUs) / n;
        std::printf("cycle_us_n%d%s: %.2f\n", n, suffix, f.with[i].cycleUs);
        std::printf("raw_roundtrip_us_before_n%d%s: %.2f\n", n, suffix, f.roundTripNearUs[i]);
        std::printf("deliver_per_subscriber_us_n%d%s: %.2f\n", n, suffix, perSubscriber);
        std::printf("deliver_over_roundtrip_n%d%s: %.3f\n", n, suffix, perSubscriber / f.roundTripNearUs[i]);
        // What the console and the client library add to the bare socket work of N processes.
        std::printf("raw_fan_out_us_n%d%s: %.2f\n", n, suffix, f.fanOutUs[i]);
        std::printf("deliver_over_fan_out_n%d%s: %.3f\n", n, suffix, perSubscriber / f.fanOutUs[i]);
    }
    std::printf("frames_per_second_n16%s: %.0f\n", suffix, f.with[2].framesPerSecond);
    std::printf("console_cpu_percent_48hz_n0%s: %.3f\n", suffix, f.at48HzNone.consoleCpuPercent);
    std::printf("console_cpu_percent_48hz_n16%s: %.3f\n", suffix, f.at48Hz.consoleCpuPercent);
    std::printf("frames_per_second_48hz_n16%s: %.1f\n", suffix, f.at48Hz.framesPerSecond);
    std::printf("hung_peers_delivery_stall_ms_n3%s: %.0f\n", suffix, f.hungStallMs);
}

}  // namespace

int main(int argc, char** argv) {
    double flatSeconds = 1.5, cpuSeconds = 3.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--flat-seconds") == 0) flatSeconds = std::atof(argv[i + 1]);
        if (std::strcmp(argv[i], "--seconds") == 0) cpuSeconds = std::atof(argv[i + 1]);
    }
    try {
        // Pinned first: threads and forked processes take their placement from the one that starts them.
        bool pinned = pinToCpu0();
        Figures one = measure(flatSeconds, cpuSeconds);
        bool unpinned = unpin();
        Figures any = measure(flatSeconds, cpuSeconds);

        std::printf("cpu_placement: headline figures with every process and thread pinned to CPU 0 "
                    "(sched_setaffinity %s); *_unpinned figures free on %d CPUs%s\n",
                    pinned ? "applied" : "REFUSED", usableCpuCount(), unpinned ? "" : " (affinity not restored)");
        print(one, "");
        print(any, "_unpinned");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "subscriber_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
