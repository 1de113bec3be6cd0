// Sends, replies and posts between the console and client windows, including sends made while another send waits.
#include <set>

#include "transport_fixture.h"

namespace kestrom::test {
namespace {

// What happened, in order, across the console and its clients.
class Journal {
public:
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

using TransportMessages = ConsoleSide;

TEST_F(TransportMessages, SendsCarryTheirValuesAndResultsBothWays) {
    startServer();
    std::vector<std::int64_t> seen;
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
        seen.insert(seen.end(), {msg, w, l});
        return -w;
    };
    std::atomic<WindowHandle> found{0}, first{0}, second{0}, other{0};
    std::atomic<std::intptr_t> result{0};
    std::atomic<bool> onClientThread{false};
    const std::thread::id mainId = std::this_thread::get_id();

    ClientThread client(clientOptions(), [&](TransportClient& c) {
        found = c.findConsoleWindow();
        first = c.registerWindow([&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
            onClientThread = std::this_thread::get_id() != mainId;
            return static_cast<std::intptr_t>(msg) + w * 10 + l * 100;
        });
        second = c.registerWindow([](std::uint32_t, std::intptr_t w, std::intptr_t) -> std::intptr_t { return w - 1; });
        result = c.send(c.findConsoleWindow(), 1325, std::intptr_t{1} << 40, -(std::intptr_t{1} << 50));
    });
    ClientThread another(clientOptions(), [&](TransportClient& c) {
        other = c.registerWindow([](auto, auto, auto) -> std::intptr_t { return 0; });
    });
    ASSERT_TRUE(pumpUntil([&] { return client.setupDone() && another.setupDone(); }));

    EXPECT_EQ(found.load(), console);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1325, std::int64_t{1} << 40, -(std::int64_t{1} << 50)}));
    EXPECT_EQ(result.load(), -(std::intptr_t{1} << 40));
    // Handles are the console's: non-zero, distinct across clients, and known to its port.
    std::set<WindowHandle> handles{console, first, second, other};
    EXPECT_EQ(handles.size(), 4u);
    EXPECT_EQ(handles.count(0), 0u);
    for (WindowHandle w : {first.load(), second.load(), other.load()}) EXPECT_TRUE(port.isWindow(w));

    EXPECT_EQ(port.send(first, 1326, 5, 2), 1326 + 50 + 200);
    EXPECT_EQ(port.send(second, 1326, -41, 2), -42);
    EXPECT_TRUE(onClientThread.load());
    EXPECT_EQ(server->connectionCount(), 2u);
}

TEST_F(TransportMessages, PostsArriveInOrderInBothDirections) {
    startServer();
    std::vector<std::intptr_t> atConsole;
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t w, std::intptr_t) -> std::intptr_t {
        if (msg == 1330) atConsole.push_back(w);
        return 0;
    };
    std::mutex m;
    std::vector<std::intptr_t> atClient;
    std::atomic<WindowHandle> window{0};
    ClientThread client(clientOptions(), [&](TransportClient& c) {
        window = c.registerWindow([&](std::uint32_t, std::intptr_t w, std::intptr_t) -> std::intptr_t {
            std::lock_guard lock(m);
            atClient.push_back(w);
            return 0;
        });
        for (int i = 1; i <= 300; ++i) EXPECT_TRUE(c.post(c.findConsoleWindow(), 1330, i, 1));
    });
    ASSERT_TRUE(pumpUntil([&] { return atConsole.size() == 300; }));
    // From the main thread and from a worker, as the ending acquisition thread posts 1330.
    for (int i = 1; i <= 150; ++i) EXPECT_TRUE(port.post(window, 1326, i, 1));
    std::thread worker([&] {
        for (int i = 151; i <= 300; ++i) port.post(window, 1326, i, 1);
    });
    worker.join();
    ASSERT_TRUE(pumpUntil([&] {
        std::lock_guard lock(m);
        return atClient.size() == 300;
    }));
    std::vector<std::intptr_t> expected;
    for (int i = 1; i <= 300; ++i) expected.push_back(i);
    EXPECT_EQ(atConsole, expected);
    std::lock_guard lock(m);
    EXPECT_EQ(atClient, expected);
}

TEST_F(TransportMessages, SubscriberStopsItsFramesFromInsideTheFrameNotice) {
    startServer();
    Journal journal;
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t, std::intptr_t l) -> std::intptr_t {
        journal.add("console " + std::to_string(msg) + " " + std::to_string(l));
        return msg == 1329 ? 0 : 1;
    };
    std::atomic<WindowHandle> window{0};
    ClientThread client(clientOptions(), [&](TransportClient& c) {
        window = c.registerWindow([&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
            journal.add("frame " + std::to_string(w));
            // Waits for the console while the console waits for this window.
            c.send(c.findConsoleWindow(), 1329, window, l);
            // Posted now, handled by the console's event loop after its delivery is over.
            c.post(c.findConsoleWindow(), 1331, window, l);
            return msg == 1326 ? 11 : 0;
        });
    });
    ASSERT_TRUE(pumpUntil([&] { return client.setupDone(); }));

    EXPECT_EQ(port.send(window, 1326, 17, 3), 11);
    journal.add("delivered");
    ASSERT_TRUE(pumpUntil([&] { return journal.lines().size() == 4; }));
    EXPECT_EQ(journal.lines(), (std::vector<std::string>{"frame 17", "console 1329 3", "delivered", "console 1331 3"}));
}

TEST_F(TransportMessages, SerialReplyIsSentInsideTheSerialRequestAndMayNestFurther) {
    startServer();
    Journal journal;
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
        journal.add("console " + std::to_string(msg));
        if (msg == 1334) {
            // The reply goes to the requesting window before the request returns.
            std::intptr_t answered = port.send(static_cast<WindowHandle>(w), 1334, l, 3);
            journal.add("reply returned " + std::to_string(answered));
            return 3;
        }
        return 99;
    };
    std::atomic<std::intptr_t> slot{-1};
    ClientThread client(clientOptions(), [&](TransportClient& c) {
        WindowHandle self = c.registerWindow([&](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
            journal.add("client " + std::to_string(msg) + " serial " + std::to_string(w) + " slot " + std::to_string(l));
            journal.add("deeper " + std::to_string(c.send(c.findConsoleWindow(), 1325, 2, 0)));
            return 5;
        });
        slot = c.send(c.findConsoleWindow(), 1334, self, 4660);
        journal.add("request returned " + std::to_string(slot.load()));
    });
    ASSERT_TRUE(pumpUntil([&] { return client.setupDone(); }));
    EXPECT_EQ(slot.load(), 3);
    EXPECT_EQ(journal.lines(), (std::vector<std::string>{"console 1334", "client 1334 serial 4660 slot 3",
                                                         "console 1325", "deeper 99", "reply returned 5",
                                                         "request returned 3"}));
}

// Two programs that ask at the same moment: the second one's request runs after the first has
// ended, also while the first waits for its own program's answer or runs an event loop of its own.
TEST_F(TransportMessages, ARequestOfAnotherClientWaitsForTheOneInProgress) {
    enum class Inside { ReplyToItsOwnClient, NestedEventLoop };
    const struct {
        const char* name;
        Inside inside;
    } cases[] = {{"while the console waits for the first client's answer", Inside::ReplyToItsOwnClient},
                 {"while the first request runs an event loop", Inside::NestedEventLoop}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!server) startServer(options(2000ms));
        Journal journal;
        std::atomic<bool> firstBegun{false}, secondAsking{false};
        onConsoleMessage = [&](std::uint32_t, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
            journal.add("begin " + std::to_string(l));
            if (l == 1) {
                firstBegun = true;
                if (c.inside == Inside::ReplyToItsOwnClient)
                    port.send(static_cast<WindowHandle>(w), 1334, 1234, 1);
                else
                    pumpUntil([] { return false; }, 300ms);
            }
            journal.add("end " + std::to_string(l));
            return l;
        };
        ClientThread first(clientOptions(), [&](TransportClient& client) {
            WindowHandle self = client.registerWindow([&](std::uint32_t, std::intptr_t, std::intptr_t) -> std::intptr_t {
                // Answered only once the other program's request has reached the console.
                while (!secondAsking.load()) std::this_thread::sleep_for(1ms);
                std::this_thread::sleep_for(150ms);
                return 0;
            });
            client.send(client.findConsoleWindow(), 1334, self, 1);
        });
        ClientThread second(clientOptions(), [&](TransportClient& client) {
            WindowHandle self = client.registerWindow([](std::uint32_t, std::intptr_t, std::intptr_t) -> std::intptr_t { return 0; });
            while (!firstBegun.load()) std::this_thread::sleep_for(1ms);
            secondAsking = true;
            client.send(client.findConsoleWindow(), 1334, self, 2);
        });
        ASSERT_TRUE(pumpUntil([&] { return first.setupDone() && second.setupDone(); }, 5000ms));
        EXPECT_EQ(journal.lines(), (std::vector<std::string>{"begin 1", "end 1", "begin 2", "end 2"}));
    }
}

TEST_F(TransportMessages, MessagePostedToAClientWaitsForItsEventLoopEvenDuringASend) {
    startServer();
    Journal journal;
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t w, std::intptr_t) -> std::intptr_t {
        if (msg == 1327) port.post(static_cast<WindowHandle>(w), 1341, 0, 1);   // calibration done at once
        return 0;
    };
    ClientThread client(clientOptions(), [&](TransportClient& c) {
        WindowHandle self = c.registerWindow([&](std::uint32_t msg, std::intptr_t, std::intptr_t) -> std::intptr_t {
            journal.add("handled " + std::to_string(msg));
            return 0;
        });
        c.send(c.findConsoleWindow(), 1327, self, 1);
        journal.add("calibrate returned");
    });
    ASSERT_TRUE(pumpUntil([&] { return journal.lines().size() == 2; }));
    EXPECT_EQ(journal.lines(), (std::vector<std::string>{"calibrate returned", "handled 1341"}));
}

TEST_F(TransportMessages, ClientsReachEachOthersWindowsThroughTheConsole) {
    startServer();
    std::atomic<WindowHandle> target{0};
    std::atomic<std::intptr_t> result{0};
    ClientThread receiver(clientOptions(), [&](TransportClient& c) {
        target = c.registerWindow([](std::uint32_t, std::intptr_t w, std::intptr_t l) -> std::intptr_t { return w * l; });
    });
    ASSERT_TRUE(pumpUntil([&] { return receiver.setupDone(); }));
    ClientThread sender(clientOptions(), [&](TransportClient& c) { result = c.send(target, 1, 6, 7); });
    ASSERT_TRUE(pumpUntil([&] { return sender.setupDone(); }));
    EXPECT_EQ(result.load(), 42);
}

TEST_F(TransportMessages, ClientHearsOfTheConsoleGoingAfterWhatItPostedLast) {
    startServer();
    TransportClient client(clientOptions());
    std::string error;
    ASSERT_TRUE(client.connect(error)) << error;
    std::vector<std::string> events;
    client.setOnConsoleGone([&] { events.push_back("gone"); });
    WindowHandle window = client.registerWindow([&](std::uint32_t msg, std::intptr_t, std::intptr_t) -> std::intptr_t {
        events.push_back(std::to_string(msg));
        return 0;
    });
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(port.post(window, 1330, window, 1));
    server->stop();

    for (int i = 0; i < 50 && events.size() < 2; ++i) client.processIncoming(20ms);
    EXPECT_EQ(events, (std::vector<std::string>{"1330", "gone"}));
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(client.findConsoleWindow(), 0u);
    EXPECT_EQ(client.send(console, 1326, 1, 0), 0);
    EXPECT_FALSE(client.post(console, 1330, 1, 0));
    client.processIncoming(0ms);
    EXPECT_EQ(events.size(), 2u);
}

}  // namespace
}  // namespace kestrom::test
