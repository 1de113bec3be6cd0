// The notice connection: how a client opens it, what travels on it, and clients that flood while the console waits.
#include <sys/socket.h>

#include <thread>

#include "transport_fixture.h"

namespace kestrom::test {
namespace {

using Clock = std::chrono::steady_clock;
using wire::Frame;
using wire::Kind;

Frame noticeHello(std::int64_t token, std::uint64_t magic = wire::kMagic) {
    return Frame{Kind::NoticeHello, 1, 0, wire::kProtocolVersion, static_cast<std::int64_t>(magic), token};
}

struct TransportNotice : ConsoleSide {
    // A hand-driven client: its greeting's token and one registered window.
    struct Greeted {
        std::unique_ptr<RawPeer> peer;
        std::int64_t token = 0;
        WindowHandle window = 0;
    };
    Greeted greet() {
        Greeted g{std::make_unique<RawPeer>(socketPath())};
        Frame ack;
        if (!g.peer->write(hello()) || !g.peer->read(ack) || ack.kind != Kind::HelloAck) return g;
        g.token = ack.lParam;
        if (!g.peer->write(Frame{Kind::Register, 5, 0, 0, 0, 0}) || !g.peer->read(ack)) return g;
        g.window = ack.kind == Kind::Registered ? ack.window : 0;
        return g;
    }
    // Opens a notice connection with hello; its answer's window (0: refused).
    WindowHandle openNotice(RawPeer& notice, const Frame& hello) {
        Frame ack;
        if (!notice.write(hello) || !notice.read(ack) || ack.kind != Kind::HelloAck) return ~0u;
        return ack.window;
    }
};

// Answers one send that arrives on peer with its wParam + 1, from its own thread.
std::thread answerOneSend(RawPeer& peer, std::atomic<bool>& sawSend) {
    return std::thread([&peer, &sawSend] {
        Frame send;
        if (!peer.read(send, 3000ms) || send.kind != Kind::Send) return;
        sawSend = true;
        peer.write(Frame{Kind::Reply, send.sequence, send.window, send.msg, send.wParam + 1, 0});
    });
}

// A camera that closes while its frame notice waits for a slow subscriber stops waiting; the
// subscriber has not failed to answer, so it stays, and hears of the close.
TEST_F(TransportNotice, ASendToAllItsSenderCancelsLeavesTheUnansweredClientConnected) {
    startServer(options(3000ms));
    RawPeer peer(socketPath());
    const WindowHandle window = peer.greetAndRegister();
    ASSERT_NE(window, 0u);
    std::atomic<bool> cancel{false};
    std::thread closing([&] {
        std::this_thread::sleep_for(100ms);
        cancel = true;
        port.wakeRemoteWaits();
    });
    const auto started = Clock::now();
    EXPECT_EQ(port.sendToAll({window}, 1326, 1, 1, &cancel), std::vector<std::intptr_t>{0});
    closing.join();
    EXPECT_LT(Clock::now() - started, 2000ms) << "the cancel did not end the wait";

    Frame send;
    ASSERT_TRUE(peer.read(send));
    ASSERT_EQ(send.kind, Kind::Send);
    ASSERT_TRUE(peer.write(Frame{Kind::Reply, send.sequence, send.window, send.msg, 0, 0}));   // late
    EXPECT_TRUE(port.post(window, 1330, window, 1)) << "the client was dropped";
    Frame post;
    ASSERT_TRUE(peer.read(post));
    EXPECT_EQ(post.kind, Kind::Post);
    EXPECT_EQ(post.msg, 1330u);
    EXPECT_TRUE(goneWindows().empty());
}

TEST_F(TransportNotice, OwnTokenOpensTheNoticeConnectionAndTheConsolesSendsTakeIt) {
    startServer();
    Greeted client = greet();
    ASSERT_NE(client.window, 0u);
    ASSERT_NE(client.token, 0);
    RawPeer notice(socketPath());
    ASSERT_EQ(openNotice(notice, noticeHello(client.token)), console);

    std::atomic<bool> sawSend{false};
    std::thread answerer = answerOneSend(notice, sawSend);
    EXPECT_EQ(port.send(client.window, 1326, 41, 1), 42);
    answerer.join();
    EXPECT_TRUE(sawSend.load());
    Frame stray;
    EXPECT_FALSE(client.peer->read(stray, 100ms)) << "the send came on the main connection too";

    // Posts keep to the main connection.
    EXPECT_TRUE(port.post(client.window, 1330, 7, 1));
    Frame post;
    ASSERT_TRUE(client.peer->read(post));
    EXPECT_EQ(post.kind, Kind::Post);
    EXPECT_EQ(post.msg, 1330u);
}

TEST_F(TransportNotice, NoticeHelloWithoutAValidTokenIsRefusedAndTheClientKeepsItsMainConnection) {
    startServer();
    Greeted client = greet();
    ASSERT_NE(client.window, 0u);
    struct Case {
        const char* name;
        Frame hello;
    };
    const Case cases[] = {
        {"unknown token", noticeHello(client.token ^ 0x5A5A)},
        {"token 0", noticeHello(0)},
        {"wrong magic", noticeHello(client.token, wire::kMagic + 1)},
    };
    for (const Case& c : cases) {
        RawPeer notice(socketPath());
        EXPECT_EQ(openNotice(notice, c.hello), 0u) << c.name;
        EXPECT_TRUE(notice.closedByServer()) << c.name;
    }
    // A second notice connection for a client that has one is refused like a wrong token.
    RawPeer first(socketPath());
    ASSERT_EQ(openNotice(first, noticeHello(client.token)), console);
    RawPeer second(socketPath());
    EXPECT_EQ(openNotice(second, noticeHello(client.token)), 0u);
    EXPECT_TRUE(second.closedByServer());

    std::atomic<bool> sawSend{false};
    std::thread answerer = answerOneSend(first, sawSend);
    EXPECT_EQ(port.send(client.window, 1326, 1, 1), 2);
    answerer.join();
    EXPECT_TRUE(goneWindows().empty());
}

TEST_F(TransportNotice, AnythingButAReplyOnTheNoticeConnectionEndsTheClientAtOnce) {
    startServer(options(3000ms));
    Greeted client = greet();
    ASSERT_NE(client.window, 0u);
    RawPeer notice(socketPath());
    ASSERT_EQ(openNotice(notice, noticeHello(client.token)), console);
    ASSERT_TRUE(notice.write(Frame{Kind::Post, 0, console, 1328, 1, 1}));

    const auto start = Clock::now();
    EXPECT_EQ(port.send(client.window, 1326, 1, 1), 0);
    EXPECT_LT(Clock::now() - start, 1000ms) << "waited for the timeout";
    ASSERT_TRUE(pumpUntil([&] { return goneWindows().size() == 1; }));
    EXPECT_EQ(goneWindows().front(), client.window);
    EXPECT_TRUE(client.peer->closedByServer());
    EXPECT_TRUE(notice.closedByServer());
}

// A client on one connection that floods with blocking writes while the console waits for its
// answer: the console reads on past its usual limit and, far past it, drops the client at once
// instead of stalling every frame for the whole send timeout.
TEST_F(TransportNotice, SingleConnectionClientFloodingWhileAwaitedIsDroppedWithoutWaitingOutTheTimeout) {
    TransportServerOptions o = options(3000ms);
    o.maxWaitingRequests = 64;
    o.maxRequestsWhileAwaited = 512;
    startServer(o);
    Greeted flood = greet();
    ASSERT_NE(flood.window, 0u);
    std::atomic<int> written{0};
    std::thread writer([&] {
        std::uint8_t bytes[wire::kFrameSize];
        wire::encode(Frame{Kind::Post, 0, console, 1339, 0, 0}, bytes);
        while (written < 100000 && flood.peer->writeBytes(bytes, sizeof bytes)) ++written;
    });
    // The console's main thread takes none of them: the writer blocks once the limit is reached.
    ASSERT_TRUE(pumpUntil([&] { return written.load() > 64; }));
    std::this_thread::sleep_for(100ms);

    const auto start = Clock::now();
    EXPECT_EQ(port.send(flood.window, 1326, 1, 1), 0);
    EXPECT_LT(Clock::now() - start, 1500ms) << "waited for the timeout";
    writer.join();
    EXPECT_LT(written.load(), 100000);
    ASSERT_TRUE(pumpUntil([&] { return goneWindows().size() == 1; }));
}

// A subscriber program that posts far faster than the console takes its posts: posting never
// blocks it, the console's frame notices are answered meanwhile, and what was accepted arrives in order.
TEST_F(TransportNotice, ClientThatPostsFasterThanTheConsoleReadsStillAnswersItsFrames) {
    TransportServerOptions o = options(3000ms);
    o.maxWaitingRequests = 64;
    startServer(o);
    std::vector<std::intptr_t> received;
    onConsoleMessage = [&](std::uint32_t msg, std::intptr_t w, std::intptr_t) -> std::intptr_t {
        if (msg == 1339) received.push_back(w);
        return 0;
    };
    std::atomic<WindowHandle> window{0};
    std::atomic<int> accepted{0};
    std::atomic<bool> refused{false};
    std::atomic<long> slowestPostUs{0};
    ClientThread client(clientOptions(), [&](TransportClient& c) {
        ASSERT_TRUE(c.hasNoticeConnection());
        window = c.registerWindow([](std::uint32_t, std::intptr_t w, std::intptr_t) -> std::intptr_t { return w + 1; });
        for (int i = 0; i < 30000; ++i) {
            const auto start = Clock::now();
            bool ok = c.post(c.findConsoleWindow(), 1339, accepted.load(), 0);
            slowestPostUs = std::max<long>(
                slowestPostUs.load(), std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
            if (!ok) {
                refused = true;
                break;
            }
            ++accepted;
        }
    });
    // The console's main thread takes nothing meanwhile.
    const auto limit = Clock::now() + 10000ms;
    while (!client.setupDone() && Clock::now() < limit) std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(client.setupDone());
    EXPECT_TRUE(refused.load()) << "the queue had no bound";
    EXPECT_GE(accepted.load(), static_cast<int>(TransportClient::kMaxQueuedPosts));
    EXPECT_LT(slowestPostUs.load(), 100000) << "a post waited for the console";

    // Its queued posts are still waiting for the console's main thread when the frame comes.
    EXPECT_EQ(port.send(window, 1326, 9, 1), 10);
    EXPECT_EQ(port.send(window, 1326, 10, 1), 11);
    ASSERT_TRUE(pumpUntil([&] { return received.size() == static_cast<std::size_t>(accepted.load()); }, 20000ms));
    for (std::size_t i = 0; i < received.size(); ++i) ASSERT_EQ(received[i], static_cast<std::intptr_t>(i));
    EXPECT_TRUE(goneWindows().empty());
}

}  // namespace
}  // namespace kestrom::test
