// The keys of a setup file: the order in which a save writes them and in which a load applies them.
#pragma once

#include <array>

namespace kestrom {

enum class SetupKey {
    ChopSource,
    ChopRate,
    TriggerMethod,
    PulseLockinOnOff,
    PulsePeriod,
    VideoTrigger,
    VideoThreshold,
    ExposureTime,
    BadPixelsOnOff,
    GainValue,
    GainValueOnOff,
};

// Each key text ends in "=", so "GainValue=" does not match a "GainValueOnOff=" line.
constexpr const char* setupKeyText(SetupKey key) {
    switch (key) {
        case SetupKey::ChopSource:
            return "ChopSource=";
        case SetupKey::ChopRate:
            return "ChopRate=";
        case SetupKey::TriggerMethod:
            return "TriggerMethod=";
        case SetupKey::PulseLockinOnOff:
            return "PulseLockinOnOff=";
        case SetupKey::PulsePeriod:
            return "PulsePeriod=";
        case SetupKey::VideoTrigger:
            return "VideoTrigger=";
        case SetupKey::VideoThreshold:
            return "VideoThreshold=";
        case SetupKey::ExposureTime:
            return "ExposureTime=";
        case SetupKey::BadPixelsOnOff:
            return "BadPixelsOnOff=";
        case SetupKey::GainValue:
            return "GainValue=";
        case SetupKey::GainValueOnOff:
            return "GainValueOnOff=";
    }
    return "";
}

// The order of a save.
inline constexpr std::array<SetupKey, 11> kSetupSaveOrder{
    SetupKey::ChopSource,       SetupKey::ChopRate,       SetupKey::TriggerMethod,
    SetupKey::PulseLockinOnOff, SetupKey::PulsePeriod,    SetupKey::VideoTrigger,
    SetupKey::VideoThreshold,   SetupKey::ExposureTime,   SetupKey::BadPixelsOnOff,
    SetupKey::GainValue,        SetupKey::GainValueOnOff,
};

struct SetupLoadStep {
    SetupKey key;
    // The load ends before this step when a request failed and closed the camera.
    bool needsCamera;
};

// The order of a load. The gain goes first so that the offset follows it at once, and again
// after the method, whose gain table turns the same gain into another factor and offset.
// Pulse lock-in and pulse period are saved but never loaded.
inline constexpr std::array<SetupLoadStep, 10> kSetupLoadOrder{{
    {SetupKey::GainValue, false},
    {SetupKey::ChopSource, true},
    {SetupKey::ChopRate, true},
    {SetupKey::TriggerMethod, true},
    {SetupKey::GainValue, false},
    {SetupKey::VideoTrigger, true},
    {SetupKey::VideoThreshold, true},
    {SetupKey::ExposureTime, true},
    {SetupKey::BadPixelsOnOff, true},
    {SetupKey::GainValueOnOff, true},
}};

}  // namespace kestrom
