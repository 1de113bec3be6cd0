// SIGTERM and SIGINT start the console's orderly shutdown, as "E&xit" does, within a bound.
#pragma once

#include <chrono>
#include <functional>

namespace kestrom {

// Installs the handlers. atOnce runs on another thread as soon as the signal comes (it may only
// touch what is thread-safe: it ends waits that hold the main thread). onSignal runs on the main
// thread from whatever event loop runs then (also a box's own). Should the program still run
// `bound` after the signal, lastResort runs on another thread and the program ends at once.
void installShutdownSignals(std::function<void()> atOnce, std::function<void()> onSignal,
                            std::function<void()> lastResort,
                            std::chrono::milliseconds bound = std::chrono::milliseconds(1800));

}  // namespace kestrom
