// The delivery measurements: subscriber processes forked first, then the console side serves them.
#include "delivery_bench.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cpu_placement.h"
#include "delivery_console.h"
#include "subscriber_process.h"

namespace kestrom::bench {

namespace {

using namespace std::chrono_literals;

// A private folder for the socket and frame-block names of one measurement.
struct RunPlace {
    RunPlace() {
        char name[] = "/tmp/kestrom-bench-XXXXXX";
        if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
        folder = name;
        socketPath = folder + "/console.sock";
        static int runs = 0;
        blockPrefix = "/kestrom-bench-" + std::to_string(getpid()) + "-" + std::to_string(++runs) + "-Kest3_";
    }
    ~RunPlace() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string folder, socketPath, blockPrefix;
};

// The console's loop until done() holds; throws when it does not within the limit.
void loopUntil(DeliveryConsole& dc, const std::function<bool()>& done, double limitSeconds, const char* what) {
    const double until = wallSeconds() + limitSeconds;
    dc.console.runUntil([&] { return done() || wallSeconds() > until; });
    if (!done()) throw std::runtime_error(what);
}

void awaitSubscribers(DeliveryConsole& dc, int count) {
    loopUntil(dc, [&] { return dc.subscriberCount() == static_cast<std::size_t>(count); }, 20.0,
              "the subscriber processes did not all connect");
}

void reap(SubscriberProcesses& subscribers) {
    if (!subscribers.join(10s)) throw std::runtime_error("a subscriber process failed or did not leave");
}

}  // namespace

FlatOut deliverFlatOut(int count, double seconds) {
    RunPlace place;
    SubscriberProcesses subscribers(count, place.socketPath, place.blockPrefix);
    std::vector<double> cycles;
    long frames = 0;
    double elapsed = 0;
    {
        DeliveryConsole dc(true, place.socketPath, place.blockPrefix);
        BenchConsole& c = dc.console;
        c.acquire();
        c.driver.setReplayFrame(0, preparedFrame());
        // The next frame is ready before the thread asks for it: no time goes to waiting for the camera.
        c.host.onFrame = [&] { c.driver.produceFrame(0); };
        dc.serve();
        awaitSubscribers(dc, count);
        c.driver.produceFrame(0);
        loopUntil(dc, [&] { return c.host.frames >= 200; }, 20.0, "the first frames did not come");

        constexpr int kBatches = 5;
        for (int b = 0; b < kBatches; ++b) {
            const double start = wallSeconds();
            const long frames0 = c.host.frames;
            c.runUntil([&] { return wallSeconds() >= start + seconds / kBatches; });
            const double batch = wallSeconds() - start;
            const long delivered = c.host.frames - frames0;
            if (delivered <= 0) throw std::runtime_error("no frame was delivered in a batch");
            cycles.push_back(batch * 1e6 / static_cast<double>(delivered));
            frames += delivered;
            elapsed += batch;
        }
    }
    reap(subscribers);
    std::sort(cycles.begin(), cycles.end());
    return {cycles[cycles.size() / 2], static_cast<double>(frames) / elapsed};
}

At48Hz deliverAt48Hz(int count, double seconds) {
    RunPlace place;
    SubscriberProcesses subscribers(count, place.socketPath, place.blockPrefix);
    At48Hz result{};
    {
        DeliveryConsole dc(false, place.socketPath, place.blockPrefix);
        BenchConsole& c = dc.console;
        c.request(req::SetTriggerMethod, 1);
        c.request(req::SetChopRate, 1);
        c.driver.advanceTime(5000);   // past the camera's settling after the changes
        c.driver.setReplayFrame(0, preparedFrame());
        c.acquire();
        dc.serve();
        awaitSubscribers(dc, count);
        const double warmUntil = wallSeconds() + 0.5;
        c.runUntil([&] { return wallSeconds() >= warmUntil; });

        const double wall0 = wallSeconds();
        const double cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const long frames0 = c.host.frames;
        c.runUntil([&] { return wallSeconds() >= wall0 + seconds; });
        const double wall = wallSeconds() - wall0;
        result.consoleCpuPercent = 100.0 * (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / wall;
        result.framesPerSecond = static_cast<double>(c.host.frames - frames0) / wall;
    }
    reap(subscribers);
    return result;
}

double hungPeersStallMs(int stopped) {
    RunPlace place;
    // Stopped ones cannot leave; the destructor ends them.
    SubscriberProcesses subscribers(stopped + 1, place.socketPath, place.blockPrefix);
    double longest = 0;
    {
        DeliveryConsole dc(false, place.socketPath, place.blockPrefix);
        BenchConsole& c = dc.console;
        c.request(req::SetTriggerMethod, 1);
        c.request(req::SetChopRate, 1);
        c.driver.advanceTime(5000);
        c.driver.setReplayFrame(0, preparedFrame());
        c.acquire();
        dc.serve();
        awaitSubscribers(dc, stopped + 1);
        const double warmUntil = wallSeconds() + 0.5;
        c.runUntil([&] { return wallSeconds() >= warmUntil; });
        double last = wallSeconds();
        c.host.onFrame = [&] {
            const double now = wallSeconds();
            longest = std::max(longest, now - last);
            last = now;
        };
        subscribers.stopFirst(stopped);
        // Until the hung ones are dropped and the frames have come at their rate again for a while.
        loopUntil(dc, [&] { return dc.subscriberCount() == 1; }, 30.0, "the stopped subscribers were not dropped");
        const double settle = wallSeconds() + 0.5;
        c.runUntil([&] { return wallSeconds() >= settle; });
        c.host.onFrame = nullptr;
    }
    return longest * 1000.0;
}

}  // namespace kestrom::bench
