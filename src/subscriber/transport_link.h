// The link of a program outside the console: the console's message socket, one connection for all its components.
#pragma once

#include <map>
#include <string>

#include "platform/transport_client.h"
#include "subscriber/console_link.h"

namespace kestrom {

// Looking for the console connects when there is no connection; a console that has gone is told
// to the listeners once, and the next look connects to whichever console runs then.
class TransportLink : public ConsoleLink {
public:
    explicit TransportLink(TransportClientOptions options = {});
    ~TransportLink() override;

    WindowHandle findConsole() override;
    WindowHandle createWindow(WindowHandler handler) override;
    void destroyWindow(WindowHandle window) override;
    std::intptr_t send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) override;
    void pump(std::chrono::milliseconds timeout) override;
    int descriptor() const override { return client_.descriptor(); }
    int addGoneListener(std::function<void()> listener) override;
    void removeGoneListener(int token) override;

    // Why the last look found no console (no socket, another user's, another protocol version).
    const std::string& lastError() const { return lastError_; }
    bool connected() const { return client_.isConnected(); }

private:
    void noticeLoss();

    TransportClient client_;
    bool live_ = false;
    std::string lastError_;
    std::map<int, std::function<void()>> listeners_;
    int nextToken_ = 1;
};

}  // namespace kestrom
