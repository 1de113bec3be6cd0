// A console on deterministic simulated cameras.
#include "console_fixture.h"

#include <QCoreApplication>

#include <QTabWidget>
#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace kestrom::testing {

sim::CameraConfig camera(int deviceIndex, std::uint16_t serial, const std::string& firmware) {
    sim::CameraConfig c;
    c.deviceIndex = deviceIndex;
    c.serial = serial;
    c.firmware = firmware;
    return c;
}

sim::CameraConfig pulsedCamera(std::uint16_t serial) {
    sim::CameraConfig c = camera(0, serial);
    c.chopper = false;
    c.pulseGain = {410, 820, 2048, 3276, 4095};
    c.pulseOffset = {100, 200, 300, 400, 500};
    c.choppedGain = c.pulseGain;
    c.choppedOffset = c.pulseOffset;
    return c;
}

void ConsoleFixture::start(std::vector<sim::CameraConfig> cameras) {
    sim::Config config;
    config.cameras = std::move(cameras);
    config.deterministic = true;
    dialogs = ScriptedDialogs{};
    delay = InstantDelay{};
    shell = RecordingShell{};
    driver = std::make_unique<sim::Driver>(config);
    startConsole();
}

void ConsoleFixture::startConsole() {
    if (configFolder.empty()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        configFolder = (std::filesystem::temp_directory_path() /
                        ("kestrom-console-test-" + std::to_string(getpid()) + "-" + info->name()))
                           .string();
        std::filesystem::remove_all(configFolder);
        std::filesystem::create_directories(configFolder);
    }
    form = std::make_unique<TLogoAppForm>(ConsoleServices{*driver, delay, *dialogService, {}, false, configFolder,
                                                          "kt" + std::to_string(getpid()) + "_", shellService, &shell});
}

void ConsoleFixture::TearDown() {
    form.reset();
    driver.reset();
    if (!configFolder.empty()) std::filesystem::remove_all(configFolder);
    configFolder.clear();
}

std::vector<std::string> ConsoleFixture::linesSince(std::size_t mark) const {
    auto lines = form->state().history.lines();
    // size() counts every line written; lines() holds only the newest.
    const std::size_t newer = std::min(form->state().history.size() - std::min(mark, form->state().history.size()), lines.size());
    return {lines.end() - static_cast<std::ptrdiff_t>(newer), lines.end()};
}

bool ConsoleFixture::historyHas(const std::string& line) const {
    auto lines = form->state().history.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void ConsoleFixture::showTab(int slot) { form->pageControl()->setCurrentIndex(slot); }

void ConsoleFixture::pumpOnce() {
    form->mainThread().waitForPending(std::chrono::milliseconds(2));
    form->mainThread().runPending();
    QCoreApplication::processEvents();
}

void ConsoleFixture::feed(const std::vector<std::int16_t>& pixels, int deviceIndex, int slot) {
    driver->setReplayFrame(deviceIndex, pixels);
    const std::int32_t before = form->state().slots[slot].FrameCount.load();
    driver->produceFrame(deviceIndex);
    ASSERT_TRUE(pumpUntil([&] { return form->state().slots[slot].FrameCount.load() > before; }));
}

}  // namespace kestrom::testing
