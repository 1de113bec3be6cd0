// The console's end of the message socket: windows of subscriber programs appear in its message port.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/main_thread_calls.h"
#include "platform/window_messages.h"

namespace kestrom {

struct TransportServerOptions {
    std::string socketPath;                         // empty: consoleSocketPath()
    std::chrono::milliseconds sendTimeout{3000};    // a client window that takes longer to answer is gone
    std::size_t maxUnsentBytes = 256 * 1024;        // frames a client has not read yet; more and it is gone
    std::size_t maxWaitingRequests = 256;           // one client's requests waiting for the main thread;
                                                    // its connection is not read while there are more,
    std::size_t maxRequestsWhileAwaited = 4096;     // unless the console awaits its reply; more and it is gone
};

// One I/O thread accepts and reads every connection; it never runs a window's handler. Requests
// for the console's windows run on the main thread (through MainThreadCalls), one at a time; a send
// to a client window writes to its connection and waits for the reply, and while the main thread
// waits it answers the requests of the client it waits for (a subscriber stops its frames from
// inside its frame handler), while every other client's request waits its turn. A client that disconnects, breaks the protocol, does not answer in
// time or does not read what it is sent is gone: its sends return 0 and its windows leave the port.
class TransportServer {
public:
    // consoleWindow is the handle a client is given when it looks for the console.
    TransportServer(MessagePort& port, MainThreadCalls& mainThread, WindowHandle consoleWindow,
                    TransportServerOptions options = {});
    ~TransportServer();
    TransportServer(const TransportServer&) = delete;
    TransportServer& operator=(const TransportServer&) = delete;

    // Prepares the folder, takes the socket and starts the I/O thread; false and the reason when
    // the folder is not private, another console listens, or the socket cannot be made.
    bool start(std::string& error);
    // Closes every connection (without onWindowGone calls) and removes the socket file.
    void stop();

    // Any thread: the console is ending. Every wait for a client's reply ends now and later sends
    // are not waited for (they give 0); the connections stay until stop().
    void abandonWaits();

    // Called on the main thread, once for each client window that is gone.
    void setOnWindowGone(std::function<void(WindowHandle)> callback);

    const std::string& socketPath() const;
    std::size_t connectionCount() const;

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

}  // namespace kestrom
