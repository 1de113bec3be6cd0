// The bench console serving subscriber programs over the message socket: its window takes their connect requests.
#pragma once

#include <memory>
#include <string>

#include "bench_console.h"
#include "platform/transport_server.h"

namespace kestrom::bench {

// The console's 1326 connect reduced to what delivery needs: the window joins the shown slot's
// thread as a receiving subscriber. A subscriber program that is gone leaves the thread's table.
struct DeliveryConsole {
    // Frame blocks and the socket get names of this bench run, so that a console that runs on the
    // machine keeps its own.
    DeliveryConsole(bool deterministic, const std::string& socketPath, const std::string& blockPrefix);
    ~DeliveryConsole();

    // Starts the slot's thread, then the socket; throws when either cannot be had.
    void serve();
    std::size_t subscriberCount() const;

    BenchConsole console;
    WindowHandle window = 0;
    std::unique_ptr<TransportServer> server;
};

}  // namespace kestrom::bench
