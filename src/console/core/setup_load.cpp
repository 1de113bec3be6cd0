// OpenInit: a setup file applied to the current slot's camera, key by key in the load order.
#include <filesystem>

#include "console/core/setup_file.h"
#include "console/core/setup_files.h"

namespace kestrom {

namespace {

// The load flag holds off the save prompt for the whole load; it is cleared however the load ends.
class LoadInProgress {
  public:
    explicit LoadInProgress(ConsoleState& state) : state_(state) {
        state_.setupLoadInProgress = true;
    }
    ~LoadInProgress() { state_.setupLoadInProgress = false; }
    LoadInProgress(const LoadInProgress&) = delete;
    LoadInProgress& operator=(const LoadInProgress&) = delete;

  private:
    ConsoleState& state_;
};

std::string currentDirectory() {
    std::error_code ec;
    return std::filesystem::current_path(ec).string();
}

}  // namespace

void SetupFiles::applyKey(SetupKey key, std::int32_t value) {
    switch (key) {
        case SetupKey::GainValue:
            target_.loadGainValue(value);
            break;
        case SetupKey::ChopSource:
            target_.loadChopSource(value);
            break;
        case SetupKey::ChopRate:
            target_.loadChopRate(value);
            break;
        case SetupKey::TriggerMethod:
            target_.loadTriggerMethod(value != 0);
            break;
        case SetupKey::VideoTrigger:
            target_.loadVideoTrigger(value != 0);
            break;
        case SetupKey::VideoThreshold:
            target_.loadVideoThreshold(value);
            break;
        case SetupKey::ExposureTime:
            target_.loadExposureTime(value);
            break;
        case SetupKey::BadPixelsOnOff:
            target_.loadBadPixelCorrection(value);
            break;
        case SetupKey::GainValueOnOff:
            target_.loadGainCorrection(value);
            break;
        case SetupKey::PulseLockinOnOff:
        case SetupKey::PulsePeriod:
            break;  // saved, never loaded
    }
}

void SetupFiles::OpenInit(const std::string& file) {
    LoadInProgress loading(state_);
    try {
        RecordSetupFile(file);
    } catch (const RegistryError& e) {
        // The load ends here; the settings and their changed flag are as they were.
        target_.showStandardError(e.what());
        return;
    }

    SetupFileText text = readSetupFile(file);
    switch (text.status) {
        case SetupFileText::Status::Missing:
            // Every key is then missing and reported; nothing changes.
            state_.history.append("WARNING setup file does not exist: " + file);
            state_.history.append("The current directory is: " + currentDirectory());
            break;
        case SetupFileText::Status::Unreadable:
            // Not a setup file: nothing of it is applied.
            state_.history.append(text.error);
            target_.showStandardError(text.error);
            state_.current().SettingsChanged = false;
            return;
        case SetupFileText::Status::Read:
            state_.history.append("Processing setup file: " + file);
            state_.current().SetupFile = file;
            SaveDialog.initialDirectory = directoryOf(file);
            break;
    }

    if (state_.factory.isFixedConfiguration() && !state_.remoteChangeInProgress)
        target_.LockSettings();

    for (const SetupLoadStep& step : kSetupLoadOrder) {
        // A failed request has closed the camera: nothing more can reach it.
        if (step.needsCamera && !state_.current().hasDevice()) break;
        const char* key = setupKeyText(step.key);
        std::optional<std::string> value = findSetupValue(text.lines, key);
        if (!value) {
            state_.history.append(std::string(key) + " NOT FOUND in setup file: " + file);
            continue;
        }
        applyKey(step.key, setupInteger(*value));
    }
    state_.current().SettingsChanged = false;
}

}  // namespace kestrom
