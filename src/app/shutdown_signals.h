// SIGTERM and SIGINT start the console's orderly shutdown, as "E&xit" does.
#pragma once

#include <functional>

namespace kestrom {

// Installs the handlers; onSignal runs later on the main thread, from the event loop.
void installShutdownSignals(std::function<void()> onSignal);

}  // namespace kestrom
