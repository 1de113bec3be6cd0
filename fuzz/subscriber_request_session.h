// Arbitrary bytes read as what clients and the camera bus can do to a running console: subscriber
// requests with any 64-bit numbers, texts in the command block, cameras attached and detached,
// frames, and turns of the event loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrom::fuzz {

// The operation byte, taken modulo kStepOperations: the requests 1324..1340 first (0..16), then the
// other things that happen to a console.
inline constexpr std::uint8_t kRequestOperations = 17;
enum StepOperation : std::uint8_t {
    kCommandText = kRequestOperations,   // the step's 16 number bytes as text in the command block
    kDetach,                             // camera wParam % 2
    kAttach,
    kFrame,
    kEvents,                             // one turn of the event loop
    kDeviceChange,                       // the device-change message with the step's numbers
    kStepOperations
};

// One step is 17 bytes: an operation byte, then wParam and lParam (little-endian); a shorter tail
// is ignored. Returns the broken rule, empty when every answer kept the rules. The console lives
// on between calls, as a real one does between clients.
std::string subscriberRequestFault(const std::uint8_t* data, std::size_t size);

// Ends the console of the calls above (tests end it before their QApplication goes).
void endRequestConsole();

}  // namespace kestrom::fuzz
