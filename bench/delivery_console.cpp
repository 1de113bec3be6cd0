// The delivery bench's console window and socket.
#include "delivery_console.h"

#include <stdexcept>

namespace kestrom::bench {

namespace {
constexpr std::uint32_t kConnect = 1326;
}

DeliveryConsole::DeliveryConsole(bool deterministic, const std::string& socketPath, const std::string& blockPrefix)
    : console(deterministic) {
    console.threads.context().frameBlockPrefix = blockPrefix;
    window = console.port.registerWindow([this](std::uint32_t msg, std::intptr_t w, std::intptr_t) -> std::intptr_t {
        if (msg != kConnect) return 0;
        int slot = console.state.currentSlot;
        CameraDriver* thread = console.state.slots[static_cast<std::size_t>(slot)].Thread.load();
        if (!thread) return 0;
        thread->addSubscriber(static_cast<WindowHandle>(w));
        return slot;
    });
    TransportServerOptions options;
    options.socketPath = socketPath;
    server = std::make_unique<TransportServer>(console.port, console.mainThread, window, options);
    server->setOnWindowGone([this](WindowHandle gone) {
        for (CameraSlot& slot : console.state.slots)
            if (CameraDriver* thread = slot.Thread.load()) thread->dropSubscriber(gone);
    });
}

DeliveryConsole::~DeliveryConsole() {
    // The subscriber programs learn that the console has gone and leave.
    server->stop();
    console.port.unregisterWindow(window);
}

void DeliveryConsole::serve() {
    console.startThread();
    std::string error;
    if (!server->start(error)) throw std::runtime_error("the socket cannot be opened: " + error);
}

std::size_t DeliveryConsole::subscriberCount() const {
    CameraDriver* thread = console.state.slots[1].Thread.load();
    return thread ? thread->subscribers().size() : 0;
}

}  // namespace kestrom::bench
