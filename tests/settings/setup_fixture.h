// A console with one open camera in slot 1, a recording settings panel and scripted dialogs.
#pragma once

#include <functional>

#include "camera_link/console_state.h"
#include "console/core/recent_setup_files.h"
#include "console/core/setup_files.h"
#include "platform/dialog_service.h"
#include "settings_fixture.h"

namespace kestrom::test {

// Writes each panel operation as one word and its value, in the order they run.
class RecordingPanel : public SetupTarget {
  public:
    explicit RecordingPanel(ConsoleState& state) : state_(state) {}

    std::vector<std::string> calls;
    std::vector<std::string> errors;
    std::vector<bool> loadFlagDuringCalls;
    std::function<void(const std::string&)> onCall;  // runs after each call is recorded
    bool hidden = false;
    PanelSettings panel;

    void LockSettings() override { record("lock"); }
    void loadGainValue(int v) override { record("gain " + std::to_string(v)); }
    void loadChopSource(int v) override { record("chopsource " + std::to_string(v)); }
    void loadChopRate(int v) override { record("choprate " + std::to_string(v)); }
    void loadTriggerMethod(bool chopped) override {
        record(chopped ? "method chopped" : "method pulsed");
    }
    void loadVideoTrigger(bool ticked) override { record(ticked ? "video on" : "video off"); }
    void loadVideoThreshold(int v) override { record("threshold " + std::to_string(v)); }
    void loadExposureTime(int v) override { record("exposure " + std::to_string(v)); }
    void loadBadPixelCorrection(int v) override { record("badpixels " + std::to_string(v)); }
    void loadGainCorrection(int v) override { record("gaincorrection " + std::to_string(v)); }
    bool exposureTimeHidden() const override { return hidden; }
    PanelSettings panelSettings() const override { return panel; }
    void showStandardError(const std::string& text) override { errors.push_back(text); }

  private:
    void record(const std::string& call) {
        calls.push_back(call);
        loadFlagDuringCalls.push_back(state_.setupLoadInProgress);
        if (onCall) onCall(call);
    }
    ConsoleState& state_;
};

class SetupFilesTest : public ::testing::Test {
  protected:
    static constexpr std::uint16_t kSerial = 4660;

    SetupFilesTest() {
        state.currentSlot = 1;
        state.current().Device = 3;
        state.factory.setWord(FactoryInfo::kSerialNumber, kSerial);
        state.current().Serial = kSerial;
    }

    std::string file(const std::string& name) const { return folder.file(name); }
    std::vector<std::string> recent() {
        TRegCtl ctl(store);
        return readRecentSetupFiles(ctl, kSerial);
    }
    std::vector<std::string> history() const { return state.history.lines(); }

    TempFolder folder;
    TempFolder config;
    RegistryStore store{config.path()};
    ConsoleState state;
    ScriptedDialogs dialogs;
    RecordingPanel panel{state};
    SetupFiles setup{state, store, dialogs, panel};
};

}  // namespace kestrom::test
