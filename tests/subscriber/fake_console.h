// A console in the test's own hands: the subscriber's link, the console's answers, its shared memory and its notices.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera_records/console_block.h"
#include "camera_records/factory_info.h"
#include "platform/shared_memory.h"
#include "subscriber/console_link.h"

namespace kestrom::test {

// Everything runs on the test's thread: requests are answered inside send(), frame notices are
// sends the test makes, posted notices wait for the component's pump().
class FakeConsole : public ConsoleLink {
public:
    static constexpr WindowHandle kConsoleWindow = 0x4242;

    struct Request {
        std::uint32_t msg;
        std::intptr_t wParam;
        std::intptr_t lParam;
        bool operator==(const Request&) const = default;
    };

    // Shared memory under names of this test only.
    FakeConsole();
    ~FakeConsole() override;

    // The console starts (its "KIIICommand" appears) or ends (its windows and shared memory go).
    void run();
    void vanish();
    bool running() const { return running_; }

    // What the console shows and holds.
    int currentSlot = 1;
    std::array<int, 11> serials{};
    FactoryInfo factory;     // the held record, published for 1326 and 1334
    ConsoleBlock console;    // the held status block

    std::vector<Request> requests;
    std::vector<Request> requestsOf(std::uint32_t msg) const;
    std::string setupPathSeen;   // read from "KIIICommand" when 1336 came
    std::string prefix() const { return prefix_; }

    // A slot's frame block, created on first use; pixels are row after row.
    SharedMemory& frameBlock(int slot);
    void setPixel(int slot, int row, int column, std::int16_t value);
    void fillPixels(int slot, std::int16_t value);
    // Replaced by a fresh block under the same name, as a new acquisition thread makes it.
    void renewFrameBlock(int slot);
    void removeFrameBlock(int slot);
    // The console runs on, but its "KIIICommand" cannot be opened any more.
    void dropCommandBlock() { command_.reset(); }

    // Notices to the subscriber window: a frame is sent and handled at once; the others are posted.
    // sendFrame completes the slot's block first, as the console does; notifyFrame only sends.
    std::intptr_t sendFrame(WindowHandle window, std::intptr_t frameCount, int slot);
    std::intptr_t notifyFrame(WindowHandle window, std::intptr_t frameCount, int slot) {
        return send(window, 1326, frameCount, slot);
    }
    void post(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);

    // ConsoleLink.
    WindowHandle findConsole() override { return running_ ? kConsoleWindow : 0; }
    WindowHandle createWindow(WindowHandler handler) override;
    void destroyWindow(WindowHandle window) override { windows_.erase(window); }
    std::intptr_t send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) override;
    void pump(std::chrono::milliseconds) override;
    int descriptor() const override { return -1; }
    int addGoneListener(std::function<void()> listener) override;
    void removeGoneListener(int token) override { listeners_.erase(token); }

    std::size_t windowCount() const { return windows_.size(); }

private:
    std::intptr_t answer(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);
    void publishRecords();
    std::string frameBlockName(int slot) const;

    std::string prefix_;
    bool running_ = false;
    std::unique_ptr<SharedMemory> command_;
    std::map<int, std::unique_ptr<SharedMemory>> frameBlocks_;
    std::map<WindowHandle, WindowHandler> windows_;
    WindowHandle nextWindow_ = 0x10000;
    std::deque<std::pair<WindowHandle, Request>> posted_;
    std::map<int, std::function<void()>> listeners_;
    int nextToken_ = 1;
};

}  // namespace kestrom::test
