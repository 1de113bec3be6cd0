// A console reduced to its frame path: one simulated camera on tab 1, its thread, a main-thread loop.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "camera_link/acquisition_threads.h"
#include "camera_records/requests.h"
#include "simulator/sim_driver.h"
#include "timed_device.h"

namespace kestrom::bench {

// The window's part: no labels to paint; counts frames and may ask for the next one.
class BenchHost : public AcquisitionHost {
public:
    void showFrameCounters(std::int32_t, std::int32_t) override {
        ++frames;
        if (onFrame) onFrame();
    }
    void showConsoleBlock() override {}
    void refreshCalibrateButtonColour() override {}
    void setHourglass(bool) override {}

    long frames = 0;
    std::function<void()> onFrame;
};

// A beam of the camera's size, for the simulator to replay.
std::vector<std::int16_t> preparedFrame();

// The simulator's camera 0 open on tab 1, which is shown. Throws when the simulator refuses.
struct BenchConsole {
    explicit BenchConsole(bool deterministic);
    ~BenchConsole();

    void request(const Request& request, std::int32_t value);
    void acquire();
    void startThread();
    // The main thread's event loop, as far as frames go.
    void runUntil(const std::function<bool()>& done);

    ConsoleState state;
    sim::Driver driver;
    TimedDevice device{driver};
    MainThreadCalls mainThread;
    MessagePort port{mainThread};
    BenchHost host;
    AcquisitionThreads threads{AcquisitionContext{state, device, mainThread, port, host, {}}};
    DeviceHandle camera = kNoDevice;
};

}  // namespace kestrom::bench
