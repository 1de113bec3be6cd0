// Real waits of the console.
#include "platform/delay_service.h"

#include <chrono>
#include <thread>

namespace kestrom {

void SleepingDelay::wait(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kestrom
