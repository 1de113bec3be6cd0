// Everything an acquisition thread works with, owned by the console and outliving every thread.
#pragma once

#include <string>

#include "camera_link/acquisition_host.h"
#include "camera_link/console_state.h"
#include "platform/debug_output.h"
#include "platform/device_io.h"
#include "platform/main_thread_calls.h"
#include "platform/window_messages.h"

namespace kestrom {

struct AcquisitionContext {
    ConsoleState& state;
    DeviceIo& io;
    MainThreadCalls& mainThread;
    MessagePort& port;
    AcquisitionHost& host;
    DebugOutput debugOutput = defaultDebugOutput();
    // Frame blocks are named this prefix and the slot number; subscribers open "/Kest3_<slot>".
    std::string frameBlockPrefix = "/Kest3_";
};

}  // namespace kestrom
