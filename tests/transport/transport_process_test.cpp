// A subscriber in a second process: connect, frame notices with a stop sent from inside one, the closing notice.
#include <sys/wait.h>
#include <unistd.h>

#include "transport_fixture.h"

namespace kestrom::test {
namespace {

// The child's whole life; its exit code says how far it got (0: everything as expected).
int subscriberProcess(const TransportClientOptions& options) {
    TransportClient client(options);
    std::string error;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (!client.connect(error)) {
        if (std::chrono::steady_clock::now() > deadline) return 2;
        std::this_thread::sleep_for(10ms);
    }
    WindowHandle console = client.findConsoleWindow();
    WindowHandle self = 0;
    std::vector<std::intptr_t> frames;
    bool closed = false;
    self = client.registerWindow([&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
        if (msg == 1326) {
            frames.push_back(w);
            if (frames.size() == 3 && client.send(console, 1329, self, l) != 77) return -1;
            return w * 2;
        }
        if (msg == 1330) closed = w == self && l == 2;
        return 0;
    });
    if (self == 0) return 3;
    if (client.send(console, 1326, self, 0) != 2) return 4;
    while (!closed && client.isConnected() && std::chrono::steady_clock::now() < deadline + 5s)
        client.processIncoming(20ms);
    if (!closed) return 5;
    return frames == std::vector<std::intptr_t>{1, 2, 3} ? 0 : 6;
}

using TransportProcess = ConsoleSide;

TEST_F(TransportProcess, SubscriberInAnotherProcessReceivesFramesAndStops) {
    // Forked before the server's thread exists, so the child is an ordinary single-threaded program.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(subscriberProcess(clientOptions()));

    std::vector<std::string> requests;
    WindowHandle subscriber = 0;
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
        requests.push_back(std::to_string(msg) + " " + std::to_string(l));
        if (msg == 1326) {
            subscriber = static_cast<WindowHandle>(w);
            return 2;
        }
        return msg == 1329 ? 77 : 0;
    };
    startServer(options(2000ms));
    ASSERT_TRUE(pumpUntil([&] { return subscriber != 0; }));
    for (std::intptr_t frame = 1; frame <= 3; ++frame) EXPECT_EQ(port.send(subscriber, 1326, frame, 2), frame * 2);
    EXPECT_EQ(requests, (std::vector<std::string>{"1326 0", "1329 2"}));
    EXPECT_TRUE(port.post(subscriber, 1330, subscriber, 2));

    int status = 0;
    ASSERT_TRUE(pumpUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 5000ms));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The program has ended: its window goes from the console.
    ASSERT_TRUE(pumpUntil([&] { return goneWindows().size() == 1; }));
    EXPECT_EQ(goneWindows().front(), subscriber);
}

}  // namespace
}  // namespace kestrom::test
