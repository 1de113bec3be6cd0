// Message numbers and shared memory of the subscriber protocol, for the console and its subscribers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrom::subscriber_protocol {

// Requests to the console's main window; the console's notices reuse 1326, 1330 and 1334.
inline constexpr std::uint32_t kFrameBlockHandle = 1324;
inline constexpr std::uint32_t kFrameCount = 1325;
inline constexpr std::uint32_t kConnect = 1326;         // also: a new frame is in the frame block
inline constexpr std::uint32_t kCalibrate = 1327;
inline constexpr std::uint32_t kStart = 1328;
inline constexpr std::uint32_t kStop = 1329;
inline constexpr std::uint32_t kClose = 1330;           // also: the console has closed the camera
inline constexpr std::uint32_t kOruClosed = 1331;
inline constexpr std::uint32_t kSkeldClosed = 1332;
inline constexpr std::uint32_t kFindSerial = 1334;      // also: the serial was found
inline constexpr std::uint32_t kMenuLockout = 1335;
inline constexpr std::uint32_t kLoadSetup = 1336;
inline constexpr std::uint32_t kPixelCorrection = 1337;
inline constexpr std::uint32_t kGainCorrection = 1338;
inline constexpr std::uint32_t kSerialList = 1339;
inline constexpr std::uint32_t kGainFactor = 1340;
inline constexpr std::uint32_t kCalibrationDone = 1341;

// "KIIICommand": the factory record at 0 (or a text of up to 1024 bytes), the status block at 1024.
inline constexpr const char* kCommandBlockName = "KIIICommand";
inline constexpr std::size_t kCommandBlockSize = 2048;
inline constexpr std::size_t kCommandFactoryOffset = 0;
inline constexpr std::size_t kCommandTextSize = 1024;
inline constexpr std::size_t kCommandConsoleOffset = 1024;
inline constexpr std::size_t kCommandRecordsSize = 1280;
// Frame blocks are "Kest3_" and the slot number.
inline constexpr const char* kFrameBlockName = "Kest3_";

}  // namespace kestrom::subscriber_protocol
