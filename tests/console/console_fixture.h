// A console on deterministic simulated cameras, its timers driven by the test.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "console/logo_app_form.h"
#include "platform/delay_service.h"
#include "platform/dialog_service.h"
#include "platform/shell_service.h"
#include "simulator/sim_driver.h"

namespace kestrom::testing {

// A camera of the simulator at a device number with a serial and firmware text.
sim::CameraConfig camera(int deviceIndex, std::uint16_t serial, const std::string& firmware = "v1.05");
// A pulsed camera without a chopper at device 0; gain table 410 820 2048 3276 4095 for both
// methods, pulsed offsets 100 200 300 400 500.
sim::CameraConfig pulsedCamera(std::uint16_t serial = 555);

class ConsoleFixture : public ::testing::Test {
protected:
    void start(std::vector<sim::CameraConfig> cameras);
    // A console on the driver the test has made.
    void startConsole();
    void TearDown() override;

    // The history lines written since the mark.
    std::vector<std::string> linesSince(std::size_t mark) const;
    std::size_t mark() const { return form->state().history.size(); }
    bool historyHas(const std::string& line) const;
    // Makes a camera tab current the way a user's click does.
    void showTab(int slot);

    // The main-thread queue and the Qt event loop, until the condition holds (5 s at most); then a
    // few rounds more, so that what a frame queued (processing, an idle step) has run.
    template <typename Condition>
    bool pumpUntil(Condition condition) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!condition() && std::chrono::steady_clock::now() < until) pumpOnce();
        settle();
        return condition();
    }
    void settle() {
        for (int i = 0; i < 5; ++i) pumpOnce();
    }
    void pumpOnce();
    // One frame of these pixels from a camera through the console to its slot's subscribers.
    void feed(const std::vector<std::int16_t>& pixels, int deviceIndex = 0, int slot = 1);

    std::unique_ptr<sim::Driver> driver;
    InstantDelay delay;
    ScriptedDialogs dialogs;
    DialogService* dialogService = &dialogs;   // what the console asks the user through
    RecordingShell shell;   // programs started, documents opened, sounds played
    ShellService* shellService = &shell;   // what the console starts programs with
    std::unique_ptr<TLogoAppForm> form;
    std::string configFolder;   // this test's user.reg and system.reg
};

}  // namespace kestrom::testing
