// The bench's console: setup and main-thread loop.
#include "bench_console.h"

#include <chrono>
#include <cmath>
#include <stdexcept>

namespace kestrom::bench {

std::vector<std::int16_t> preparedFrame() {
    std::vector<std::int16_t> pixels(frame_block::kPixelCount);
    for (int y = 0; y < frame_block::kHeight; ++y)
        for (int x = 0; x < frame_block::kWidth; ++x) {
            double r2 = (x - 62.0) * (x - 62.0) / 324.0 + (y - 62.0) * (y - 62.0) / 144.0;
            pixels[static_cast<std::size_t>(y * frame_block::kWidth + x)] =
                static_cast<std::int16_t>(16000.0 * std::exp(-2.0 * r2));
        }
    return pixels;
}

namespace {
sim::Config simConfig(bool deterministic) {
    sim::Config config = sim::defaultConfig();
    config.deterministic = deterministic;
    return config;
}
}  // namespace

BenchConsole::BenchConsole(bool deterministic) : driver(simConfig(deterministic)) {
    int error = 0;
    camera = driver.open(deviceName(0), DeviceAccess::ReadWrite, error);
    if (camera == kNoDevice) throw std::runtime_error("the simulator's camera 0 does not open: " + systemErrorText(error));
    state.slots[1].Device.store(camera);
    state.currentSlot = 1;
}

BenchConsole::~BenchConsole() {
    threads.terminateAll();
    state.slots[1].Device.store(kNoDevice);
    driver.close(camera);
    threads.joinAll();
}

void BenchConsole::request(const Request& r, std::int32_t value) {
    std::uint32_t returned = 0;
    int error = 0;
    if (!driver.control(camera, r.code, &value, sizeof value, returned, error))
        throw std::runtime_error(std::string(r.name) + " failed: " + systemErrorText(error));
}

void BenchConsole::acquire() {
    request(req::SetAcquire, 1);
    state.slots[1].AcquireState.store(1);
}

void BenchConsole::startThread() {
    if (!threads.start(1)) throw std::runtime_error(threads.lastError());
}

void BenchConsole::runUntil(const std::function<bool()>& done) {
    // A long wait: an idle event loop does not wake on its own either.
    while (!done()) {
        mainThread.waitForPending(std::chrono::milliseconds(200));
        mainThread.runPending();
    }
}

}  // namespace kestrom::bench
