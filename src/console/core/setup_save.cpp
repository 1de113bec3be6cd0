// Save As: the current slot's settings written into a setup file, keeping the file's other lines.
#include <charconv>
#include <cmath>

#include "console/core/setup_file.h"
#include "console/core/recent_setup_files.h"
#include "console/core/setup_files.h"

namespace kestrom {

namespace {

std::int32_t savedValue(SetupKey key, const PanelSettings& p) {
    switch (key) {
        case SetupKey::ChopSource:
            return p.chopSourceIndex;
        case SetupKey::ChopRate:
            return p.chopRateIndex;
        case SetupKey::TriggerMethod:
            return p.methodCopy;
        case SetupKey::PulseLockinOnOff:
            return p.pulseTypeIndex;
        case SetupKey::PulsePeriod:
            return SetupFiles::pulsePeriodFromRate(p.pulseRateText);
        case SetupKey::VideoTrigger:
            return p.videoTriggerTicked ? 1 : 0;
        case SetupKey::VideoThreshold:
            return p.videoThresholdIndex;
        case SetupKey::ExposureTime:
            return setupInteger(p.exposureTimeText);
        case SetupKey::BadPixelsOnOff:
            return p.badPixelCaption == "Turn off" ? 1 : 0;
        case SetupKey::GainValue:
            return setupInteger(p.gainValueText);
        case SetupKey::GainValueOnOff:
            return p.gainCaption == "Turn off" ? 1 : 0;
    }
    return 0;
}

}  // namespace

std::int32_t SetupFiles::pulsePeriodFromRate(const std::string& rateText) {
    std::string_view s(rateText);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double rate = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), rate, std::chars_format::fixed);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || rate == 0 ||
        !std::isfinite(rate))
        return 0;
    double period = std::trunc(1'000'000.0 / rate);
    if (period < INT32_MIN || period > INT32_MAX) return 0;
    return static_cast<std::int32_t>(period);
}

void SetupFiles::FileSaveAs1Execute() {
    if (saveAs(settingsToSave())) state_.current().SettingsChanged = false;
}

bool SetupFiles::saveAs(const SettingsToSave& settings) {
    if (!settings.offered) return false;
    if (!settings.setupFile.empty()) SaveDialog.fileName = settings.setupFile;
    std::optional<std::string> chosen = dialogs_.saveFile(SaveDialog);
    if (!chosen) return false;
    SaveDialog.fileName = *chosen;

    try {
        kestrom::RecordSetupFile(RegCtl1, settings.serial, *chosen);
    } catch (const RegistryError& e) {
        target_.showStandardError(e.what());
        return false;
    }

    SetupFileText existing = readSetupFile(*chosen);
    if (existing.status == SetupFileText::Status::Unreadable) {
        // Its lines could not be kept, so it is not overwritten.
        target_.showStandardError("Setup file not saved. " + existing.error);
        return false;
    }
    std::vector<std::string> lines = std::move(existing.lines);
    for (SetupKey key : kSetupSaveOrder)
        writeSetupKey(lines, setupKeyText(key), savedValue(key, settings.panel));

    if (RegistryWriteError err = saveSetupFile(*chosen, lines)) {
        target_.showStandardError(*err);
        return false;
    }
    return true;
}

}  // namespace kestrom
