// What a client writes while the console's main thread waits for its reply reaches the console in order, and the connection goes on afterwards.
#include <sys/socket.h>

#include <cstring>
#include <set>

#include "transport_fixture.h"

namespace kestrom::test {
namespace {

using Clock = std::chrono::steady_clock;
using wire::Frame;
using wire::Kind;

struct TransportWaiting : ConsoleSide {
    std::mutex seenMutex;
    std::vector<std::string> seen;   // console messages, marked when they ran inside the pending send
    std::atomic<bool> inSend{false};

    void SetUp() override {
        onConsoleMessage = [this](std::uint32_t msg, std::intptr_t w, std::intptr_t) -> std::intptr_t {
            std::lock_guard lock(seenMutex);
            seen.push_back(std::string(inSend ? "during " : "after ") + std::to_string(msg) + " " + std::to_string(w));
            return w * 10;
        };
    }
    std::vector<std::string> seenNow() {
        std::lock_guard lock(seenMutex);
        return seen;
    }
};

std::vector<std::uint8_t> bytesOf(const Frame& frame) {
    std::vector<std::uint8_t> bytes(wire::kFrameSize);
    wire::encode(frame, bytes.data());
    return bytes;
}

// Reads until the frame for which want holds; false when the connection ends first.
bool readUntil(RawPeer& peer, Frame& frame, const std::function<bool(const Frame&)>& want) {
    while (peer.read(frame))
        if (want(frame)) return true;
    return false;
}

// What the peer does once it has the console's send; to is the console window.
using Script = std::function<void(RawPeer&, const Frame& send, WindowHandle to)>;

Frame replyTo(const Frame& send, std::int64_t result) {
    return Frame{Kind::Reply, send.sequence, send.window, send.msg, result, 0};
}

struct Case {
    const char* name;
    Script script;
    std::intptr_t result;                  // what the console's send returns
    bool stays;                            // the peer's window is still in the port afterwards
    std::vector<std::string> seen;         // console messages, once everything settled
};

TEST_F(TransportWaiting, FramesBeforeAndWithTheReplyAreHandledInOrder) {
    const std::vector<Case> cases = {
        {"reply alone", [](RawPeer& p, const Frame& s, WindowHandle) { p.write(replyTo(s, 100)); }, 100, true, {}},
        {"stale reply first",
         [](RawPeer& p, const Frame& s, WindowHandle) {
             Frame stale = replyTo(s, 7);
             stale.sequence += 1000;
             p.write(stale);
             p.write(replyTo(s, 100));
         },
         100, true, {}},
        {"reply in two pieces",
         [](RawPeer& p, const Frame& s, WindowHandle) {
             auto bytes = bytesOf(replyTo(s, 100));
             p.writeBytes(bytes.data(), 13);
             std::this_thread::sleep_for(20ms);
             p.writeBytes(bytes.data() + 13, bytes.size() - 13);
         },
         100, true, {}},
        {"send to the console first",
         [](RawPeer& p, const Frame& s, WindowHandle to) {
             p.write(Frame{Kind::Send, 77, to, 1329, 4, 0});
             Frame answer;
             bool answered = readUntil(p, answer, [](const Frame& f) { return f.kind == Kind::Reply && f.sequence == 77; });
             p.write(replyTo(s, answered ? answer.wParam : -1));
         },
         40, true, {"during 1329 4"}},
        {"post then send to the console first",
         [](RawPeer& p, const Frame& s, WindowHandle to) {
             p.write(Frame{Kind::Post, 0, to, 1330, 5, 0});
             p.write(Frame{Kind::Send, 78, to, 1329, 6, 0});
             Frame answer;
             readUntil(p, answer, [](const Frame& f) { return f.kind == Kind::Reply && f.sequence == 78; });
             p.write(replyTo(s, 100));
         },
         100, true, {"during 1329 6", "after 1330 5"}},
        {"reply and post in one write, then another post",
         [](RawPeer& p, const Frame& s, WindowHandle to) {
             auto bytes = bytesOf(replyTo(s, 100));
             auto post = bytesOf(Frame{Kind::Post, 0, to, 1330, 1, 0});
             bytes.insert(bytes.end(), post.begin(), post.end());
             p.writeBytes(bytes.data(), bytes.size());
             std::this_thread::sleep_for(30ms);
             p.write(Frame{Kind::Post, 0, to, 1330, 2, 0});
         },
         100, true, {"after 1330 1", "after 1330 2"}},
        {"hang up", [](RawPeer& p, const Frame&, WindowHandle) { ::shutdown(p.fd(), SHUT_RDWR); }, 0, false, {}},
        {"bad frame",
         [](RawPeer& p, const Frame&, WindowHandle) {
             std::uint8_t junk[wire::kFrameSize];
             std::memset(junk, 0xA5, sizeof junk);
             p.writeBytes(junk, sizeof junk);
         },
         0, false, {}},
    };
    startServer(options(3000ms));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard lock(seenMutex);
            seen.clear();
        }
        RawPeer peer(socketPath());
        ASSERT_TRUE(peer.ok());
        const WindowHandle window = peer.greetAndRegister();
        ASSERT_NE(window, 0u);
        std::thread peerThread([&] {
            Frame send;
            if (readUntil(peer, send, [](const Frame& f) { return f.kind == Kind::Send; })) c.script(peer, send, console);
        });
        inSend = true;
        const auto start = Clock::now();
        const std::intptr_t result = port.send(window, 1326, 1, 2);
        inSend = false;
        const auto waited = Clock::now() - start;
        peerThread.join();
        EXPECT_EQ(result, c.result);
        // Neither a hang-up nor a broken frame is waited out.
        EXPECT_LT(waited, 1500ms);
        pumpUntil([&] { return seenNow().size() >= c.seen.size() && port.isWindow(window) == c.stays; }, 1000ms);
        pumpUntil([] { return false; }, 30ms);
        EXPECT_EQ(seenNow(), c.seen);
        EXPECT_EQ(port.isWindow(window), c.stays);
        if (c.stays) {
            // The connection is read as before once the send is over.
            std::thread again([&] {
                Frame send;
                if (readUntil(peer, send, [](const Frame& f) { return f.kind == Kind::Send; })) peer.write(replyTo(send, 55));
            });
            EXPECT_EQ(port.send(window, 1326, 3, 4), 55);
            again.join();
        }
    }
}

TEST_F(TransportWaiting, OtherClientsAreServedWhileOneIsAwaitedAndSendsNestAcrossClients) {
    startServer(options(3000ms));
    std::atomic<WindowHandle> otherWindow{0};
    ClientThread other(clientOptions(), [&](TransportClient& c) {
        otherWindow = c.registerWindow([](std::uint32_t, std::intptr_t w, std::intptr_t) -> std::intptr_t { return w + 1; });
    });
    ASSERT_TRUE(pumpUntil([&] { return other.setupDone(); }));
    // A console handler that, asked by the awaited client, sends on to the other client.
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t w, std::intptr_t) -> std::intptr_t {
        {
            std::lock_guard lock(seenMutex);
            seen.push_back("console " + std::to_string(msg) + " " + std::to_string(w));
        }
        return msg == 1329 ? port.send(otherWindow, 1326, w, 0) * 10 : w;
    };

    std::atomic<WindowHandle> awaitedWindow{0};
    std::atomic<bool> otherSent{false};
    ClientThread awaited(clientOptions(), [&](TransportClient& c) {
        awaitedWindow = c.registerWindow([&](std::uint32_t, std::intptr_t w, std::intptr_t) -> std::intptr_t {
            // Waits until another client has been answered by the console meanwhile.
            const auto until = Clock::now() + 2s;
            while (!otherSent.load() && Clock::now() < until) std::this_thread::sleep_for(1ms);
            if (!otherSent.load()) return -1;   // the console did not answer the other client while it waited
            return c.send(c.findConsoleWindow(), 1329, w, 0) + 1;
        });
    });
    ASSERT_TRUE(pumpUntil([&] { return awaited.setupDone(); }));

    std::atomic<std::intptr_t> otherAnswer{-1};
    std::thread third([&] {
        TransportClient c(clientOptions());
        std::string error;
        if (!c.connect(error)) return;
        std::this_thread::sleep_for(20ms);
        otherAnswer = c.send(c.findConsoleWindow(), 1331, 8, 0);
        otherSent = true;
    });
    const std::intptr_t result = port.send(awaitedWindow, 1326, 4, 0);
    pumpUntil([&] { return otherSent.load(); });
    third.join();
    EXPECT_EQ(otherAnswer.load(), 8);
    // 4 -> the other client's 5 -> the console's 50 -> the awaited client's 51.
    EXPECT_EQ(result, 51);
    std::lock_guard lock(seenMutex);
    EXPECT_EQ(seen, (std::vector<std::string>{"console 1331 8", "console 1329 4"}));
}

}  // namespace
}  // namespace kestrom::test
