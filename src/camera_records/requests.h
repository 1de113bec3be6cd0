// The catalogue of the camera driver's control requests: code, name and buffer size, in one table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrom {

enum class RequestKind { Short, Item, Block };

struct Request {
    std::uint32_t code;
    std::string_view name;      // used in error lines
    std::uint32_t bufferSize;   // bytes both ways; for blocks the largest buffer the request takes
    RequestKind kind;
};

namespace req {
// Short requests: one 32-bit host-order value.
inline constexpr Request GetMode{0x89892004, "IOCTL_SPC_GET_MODE", 4, RequestKind::Short};
inline constexpr Request SetExposureTime{0x89892008, "IOCTL_SPC_SET_EXPOSURE_TIME", 4, RequestKind::Short};
inline constexpr Request GetExposureTime{0x8989200C, "IOCTL_SPC_GET_EXPOSURE_TIME", 4, RequestKind::Short};
inline constexpr Request SetPulsePeriod{0x89892010, "IOCTL_SPC_SET_PULSE_PERIOD", 4, RequestKind::Short};
inline constexpr Request GetPulsePeriod{0x89892014, "IOCTL_SPC_GET_PULSE_PERIOD", 4, RequestKind::Short};
inline constexpr Request SetPulseLockin{0x89892018, "IOCTL_SPC_SET_PULSE_LOCKIN", 4, RequestKind::Short};
inline constexpr Request GetPulseLockin{0x8989201C, "IOCTL_SPC_GET_PULSE_LOCKIN", 4, RequestKind::Short};
inline constexpr Request SetPulseLockinPeriod{0x89892020, "IOCTL_SPC_SET_PULSE_LOCKIN_PERIOD", 4, RequestKind::Short};
inline constexpr Request GetPulseLockinPeriod{0x89892024, "IOCTL_SPC_GET_PULSE_LOCKIN_PERIOD", 4, RequestKind::Short};
inline constexpr Request SetPixelCorrection{0x89892048, "IOCTL_SPC_SET_PIXEL_CORRECTION", 4, RequestKind::Short};
inline constexpr Request GetPixelCorrection{0x8989204C, "IOCTL_SPC_GET_PIXEL_CORRECTION", 4, RequestKind::Short};
inline constexpr Request SetGainCorrection{0x89892050, "IOCTL_SPC_SET_GAIN_CORRECTION", 4, RequestKind::Short};
inline constexpr Request GetGainCorrection{0x89892054, "IOCTL_SPC_GET_GAIN_CORRECTION", 4, RequestKind::Short};
inline constexpr Request SetGain{0x89892058, "IOCTL_SPC_SET_GAIN", 4, RequestKind::Short};
inline constexpr Request SetAcquire{0x89892068, "IOCTL_SPC_SET_ACQUIRE", 4, RequestKind::Short};
inline constexpr Request GetAcquire{0x8989206C, "IOCTL_SPC_GET_ACQUIRE", 4, RequestKind::Short};
inline constexpr Request SetTriggerMethod{0x89892074, "IOCTL_SPC_SET_TRIGGER_METHOD", 4, RequestKind::Short};
inline constexpr Request GetTriggerMethod{0x89892078, "IOCTL_SPC_GET_TRIGGER_METHOD", 4, RequestKind::Short};
inline constexpr Request SetChopRate{0x8989207C, "IOCTL_SPC_SET_CHOP_RATE", 4, RequestKind::Short};
inline constexpr Request SetVideoTrigger{0x8989208C, "IOCTL_SPC_SET_VIDEO_TRIGGER", 4, RequestKind::Short};
inline constexpr Request SetVideoTriggerThreshold{0x89892094, "IOCTL_SPC_SET_VIDEO_TRIGGER_THRESHOLD", 4, RequestKind::Short};
inline constexpr Request GetVideoTriggerThreshold{0x89892098, "IOCTL_SPC_GET_VIDEO_TRIGGER_THRESHOLD", 4, RequestKind::Short};
inline constexpr Request Calibrate{0x898920F0, "IOCTL_CALIBRATE", 4, RequestKind::Short};
inline constexpr Request SetDebug{0x898920F8, "IOCTL_SET_DEBUG", 4, RequestKind::Short};
inline constexpr Request SetOffset{0x89892100, "IOCTL_SPC_SET_OFFSET", 4, RequestKind::Short};
inline constexpr Request GetOffset{0x89892104, "IOCTL_SPC_GET_OFFSET", 4, RequestKind::Short};

// Item requests: {item, value}; both directions share one code.
inline constexpr std::uint32_t kItemCode = 0x89892060;
inline constexpr std::int32_t kVisibleWavelengthItem = 96;
inline constexpr Request SetVisibleWavelength{kItemCode, "IOCTL_SPC_SET_VISIBLE_WAVELENGTH", 8, RequestKind::Item};
inline constexpr Request GetVisibleWavelength{kItemCode, "IOCTL_SPC_GET_VISIBLE_WAVELENGTH", 8, RequestKind::Item};

// Block requests.
inline constexpr Request GetFactoryInformation{0x898920A0, "IOCTL_SPC_GET_FACTORY_INFORMATION", 256, RequestKind::Block};
inline constexpr Request SetFactoryInformation{0x8989209C, "IOCTL_SPC_SET_FACTORY_INFORMATION", 256, RequestKind::Block};
inline constexpr Request GetConsoleAsBlock{0x898920C8, "IOCTL_GET_CONSOLE_AS_BLOCK", 256, RequestKind::Block};
inline constexpr Request GetPulseBadPixelMap{0x89892034, "IOCTL_SPC_GET_PULSE_BAD_PIXEL_MAP", 2048, RequestKind::Block};
inline constexpr Request GetChopBadPixelMap{0x8989202C, "IOCTL_SPC_GET_CHOP_BAD_PIXEL_MAP", 2048, RequestKind::Block};
inline constexpr Request SetPulseBadPixelMap{0x89892030, "IOCTL_SPC_SET_PULSE_BAD_PIXEL_MAP", 2048, RequestKind::Block};
inline constexpr Request SetChopBadPixelMap{0x89892028, "IOCTL_SPC_SET_CHOP_BAD_PIXEL_MAP", 2048, RequestKind::Block};
inline constexpr Request GetPulseGainMap{0x89892044, "IOCTL_SPC_GET_PULSE_GAIN_MAP", 30752, RequestKind::Block};
inline constexpr Request GetChopGainMap{0x8989203C, "IOCTL_SPC_GET_CHOP_GAIN_MAP", 30752, RequestKind::Block};
inline constexpr Request SetPulseGainMap{0x89892040, "IOCTL_SPC_SET_PULSE_GAIN_MAP", 30752, RequestKind::Block};
inline constexpr Request SetChopGainMap{0x89892038, "IOCTL_SPC_SET_CHOP_GAIN_MAP", 30752, RequestKind::Block};
// A thermal camera's temperature table travels in the pulsed gain map's requests; only the name differs.
inline constexpr Request GetTemperatureMap{0x89892044, "IOCTL_SPC_GET_Temperature_MAP", 30752, RequestKind::Block};
inline constexpr Request SetTemperatureMap{0x89892040, "IOCTL_SPC_SET_Temperature_MAP", 30752, RequestKind::Block};
inline constexpr Request SetFirmwareProgram{0x898920B4, "IOCTL_SPC_SET_FIRMWARE_PROGRAM", 0, RequestKind::Block};
inline constexpr Request SetLcaProgram{0x898920AC, "IOCTL_SPC_SET_LCA_PROGRAM", 16384, RequestKind::Block};

// The console's short form of the status request, for firmware other than "v1.05".
inline constexpr std::uint32_t kConsoleBlockShortSize = 96;
// The firmware buffer is the file padded to a multiple of 4 bytes; no fixed size.
}  // namespace req

inline constexpr auto kRequestCatalogue = std::to_array<Request>({
    req::GetMode, req::SetExposureTime, req::GetExposureTime, req::SetPulsePeriod, req::GetPulsePeriod,
    req::SetPulseLockin, req::GetPulseLockin, req::SetPulseLockinPeriod, req::GetPulseLockinPeriod,
    req::SetPixelCorrection, req::GetPixelCorrection, req::SetGainCorrection, req::GetGainCorrection,
    req::SetGain, req::SetAcquire, req::GetAcquire, req::SetTriggerMethod, req::GetTriggerMethod,
    req::SetChopRate, req::SetVideoTrigger, req::SetVideoTriggerThreshold, req::GetVideoTriggerThreshold,
    req::Calibrate, req::SetDebug, req::SetOffset, req::GetOffset, req::SetVisibleWavelength,
    req::GetVisibleWavelength, req::GetFactoryInformation, req::SetFactoryInformation, req::GetConsoleAsBlock,
    req::GetPulseBadPixelMap, req::GetChopBadPixelMap, req::SetPulseBadPixelMap, req::SetChopBadPixelMap,
    req::GetPulseGainMap, req::GetChopGainMap, req::SetPulseGainMap, req::SetChopGainMap,
    req::SetFirmwareProgram, req::SetLcaProgram,
});

// The catalogue entry for a code; the first one when two names share it. Nullptr if unknown.
const Request* findRequest(std::uint32_t code);

// Frame read: the whole frame block in one synchronous read.
inline constexpr std::uint32_t kFrameReadSize = 31744;

}  // namespace kestrom
