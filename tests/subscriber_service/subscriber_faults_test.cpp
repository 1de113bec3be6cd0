// Bad input and failing subscriber programs against the real console: no crash, no hang, nothing left behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <limits>
#include <thread>

#include "../transport/transport_fixture.h"
#include "running_console.h"

namespace kestrom::test {
namespace {

using Clock = std::chrono::steady_clock;
using wire::Frame;
using wire::Kind;

struct SubscriberFaults : RunningConsole {
    // A subscriber of this process on the shown camera (tab 1), already receiving.
    std::unique_ptr<RecordingWindow> healthy;
    std::vector<Clock::time_point> healthyTimes;

    void startWithHealthySubscriber() {
        startConsole({{0, 1111}});
        healthy = std::make_unique<RecordingWindow>(*client, [this](const Message& m) -> std::intptr_t {
            if (m.msg == kConnect) healthyTimes.push_back(Clock::now());
            return 0;
        });
        ASSERT_EQ(request(kConnect, healthy->handle, 0), 1);
        ASSERT_TRUE(pumpUntil([&] { return healthyTimes.size() >= 2; }));
    }
    // Frames still reach the healthy subscriber.
    void expectFramesGoOn(std::size_t more = 2) {
        const std::size_t target = healthyTimes.size() + more;
        EXPECT_TRUE(pumpUntil([&] { return healthyTimes.size() >= target; }, 3000ms)) << "frames stopped";
    }
    // Connections and shared memory that a subscriber program leaves behind are closed again.
    void expectDescriptorsBackTo(int count) {
        EXPECT_TRUE(pumpUntil([&] { return consoleDescriptorCount() == count; }, 3000ms))
            << consoleDescriptorCount() << " descriptors open, " << count << " before";
    }

    void TearDown() override {
        healthy.reset();
        RunningConsole::TearDown();
    }
};

std::vector<std::uint8_t> frameBytes(const Frame& f) {
    std::vector<std::uint8_t> bytes(wire::kFrameSize);
    wire::encode(f, bytes.data());
    return bytes;
}

std::vector<std::uint8_t> withWord(std::vector<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);
    return bytes;
}

TEST_F(SubscriberFaults, MalformedTruncatedAndOversizedFramesEndOnlyTheirOwnConnection) {
    startWithHealthySubscriber();
    const int descriptors = consoleDescriptorCount();
    const auto send = frameBytes(Frame{Kind::Send, 5, consoleWindow, kConnect, 0, 0});
    struct Case {
        const char* name;
        bool greet;
        std::vector<std::uint8_t> bytes;
        bool consoleCloses;   // else the program ends with the frame unfinished
    };
    const Case cases[] = {
        {"a send before the greeting", false, send, true},
        {"frame size 36", true, withWord(send, 0, 36), true},
        {"frame size 1000", true, withWord(send, 0, 1000), true},
        {"unknown kind", true, withWord(send, 4, 42), true},
        {"reserved word set", true, withWord(send, 20, 1), true},
        {"a kind only the console sends", true, frameBytes(Frame{Kind::HelloAck, 1, 1, 1, 0, 0}), true},
        {"a megabyte of text", false, std::vector<std::uint8_t>(1 << 20, 'A'), true},
        {"half a frame, then the program ends", true, std::vector<std::uint8_t>(send.begin(), send.begin() + 17), false},
    };
    for (const Case& c : cases) {
        {
            RawPeer peer(socketPath());
            ASSERT_TRUE(peer.ok()) << c.name;
            if (c.greet) {
                ASSERT_NE(peer.greetAndRegister(), 0u) << c.name;
            }
            // A console that closes early makes a long write fail: that is the point.
            peer.writeBytes(c.bytes.data(), c.bytes.size());
            if (c.consoleCloses) {
                EXPECT_TRUE(peer.closedByServer()) << c.name;
            }
        }
        expectFramesGoOn(1);
    }
    expectDescriptorsBackTo(descriptors);
}

TEST_F(SubscriberFaults, UnknownMessagesAndSlotsOutsideTheTableAreAnsweredWithZero) {
    startWithHealthySubscriber();
    const std::intptr_t w = healthy->handle;
    const std::intptr_t huge = std::intptr_t{1} << 40;
    struct Case {
        std::uint32_t msg;
        std::intptr_t wParam, lParam;
    };
    const Case cases[] = {
        {0, w, 1},          {1323, w, 1},       {1333, w, 1},         {1341, w, 1},         {0xFFFFFFFF, w, 1},
        {1324, -1, 0},      {1324, 10, 0},      {1324, -huge, 0},     {1325, huge, 0},
        {1325, std::numeric_limits<std::intptr_t>::min(), 0},
        {1327, w, -5},      {1327, w, huge},    {kStart, w, huge},    {kStop, w, -1},       {kClose, w, 11},
        {1331, w, huge},    {1332, w, -7},      {kLoadSetup, w, -1},  {kLoadSetup, w, huge},
    };
    for (const Case& c : cases)
        EXPECT_EQ(request(c.msg, c.wParam, c.lParam), 0) << c.msg << " " << c.wParam << " " << c.lParam;
    // The stop and close for slots that do not exist left the window receiving.
    expectFramesGoOn(3);
}

TEST_F(SubscriberFaults, SetupPathWithoutANulIsTakenToItsThousandTwentyFourBytesOnly) {
    startWithHealthySubscriber();
    std::memset(command(), 'A', 2048);   // no NUL anywhere in the block
    EXPECT_EQ(request(kLoadSetup, healthy->handle, 1), 0);
    const std::string path(1024, 'A');
    EXPECT_EQ(historyCount("Setup:1 " + path + "\n"), 1);
    EXPECT_EQ(historyCount("After setup:1 " + path + "\n"), 1);
    expectFramesGoOn();
}

// Connections that come in a crowd and go, and a program that asks to connect a thousand times.
TEST_F(SubscriberFaults, FloodOfConnectionsAndConnectRequestsLeavesOneSubscriberAndNoDescriptor) {
    startWithHealthySubscriber();
    const int descriptors = consoleDescriptorCount();
    {
        std::vector<std::unique_ptr<RawPeer>> crowd;
        for (int i = 0; i < 200; ++i) {
            crowd.push_back(std::make_unique<RawPeer>(socketPath()));
            ASSERT_TRUE(crowd.back()->ok()) << i;
            if (i % 2 == 0) {
                ASSERT_NE(crowd.back()->greetAndRegister(), 0u) << i;
            }
        }
    }
    expectDescriptorsBackTo(descriptors);

    const int connectsBefore = historyCount("External connection\n");
    RecordingWindow eager(*client);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(client->post(consoleWindow, kConnect, eager.handle, 0));
    ASSERT_TRUE(pumpUntil([&] { return historyCount("External connection\n") == connectsBefore + 1000; }, 15000ms));
    ASSERT_TRUE(pumpUntil([&] { return eager.frames().size() >= 3; }));
    std::vector<std::intptr_t> frames = eager.frames();
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_EQ(frames[i], frames[i - 1] + 1) << "each frame once";
    expectFramesGoOn();
}

TEST_F(SubscriberFaults, FiftyFirstSubscriberOfASlotIsRefusedUntilAPlaceIsFree) {
    startConsole({{0, 1111}});
    std::vector<std::unique_ptr<RecordingWindow>> windows;
    for (int i = 0; i < 51; ++i) {
        windows.push_back(std::make_unique<RecordingWindow>(*client));
        ASSERT_EQ(request(kConnect, windows.back()->handle, 0), i < 50 ? 1 : 0) << i;
    }
    EXPECT_EQ(historyCount("External connection refused: the camera has 50 subscribers already"), 1);
    RecordingWindow& last = *windows.back();
    ASSERT_TRUE(pumpUntil([&] {
        for (int i = 0; i < 50; ++i)
            if (windows[i]->frames().size() < 2) return false;
        return true;
    }));
    EXPECT_TRUE(last.frames().empty());

    // The first leaves (after the next frame); then the 51st finds its place.
    EXPECT_EQ(request(kClose, windows[0]->handle, 1), 0);
    const std::size_t firstHad = windows[0]->frames().size();
    ASSERT_TRUE(pumpUntil([&] { return windows[1]->frames().size() >= firstHad + 3; }));
    EXPECT_LE(windows[0]->frames().size(), firstHad + 1);
    EXPECT_EQ(request(kConnect, last.handle, 0), 1);
    EXPECT_TRUE(pumpUntil([&] { return last.frames().size() >= 2; }));
}

// A subscriber program of its own, in a child process: connects on the shown tab and then, in its
// first frame notice, either dies or never answers. Only system-level calls and the client follow
// the fork; this test process has no other threads.
enum class Misbehaviour { DiesInHandler, NeverAnswers };

[[noreturn]] void misbehavingSubscriber(const std::string& socketPath, Misbehaviour how) {
    TransportClientOptions options;
    options.socketPath = socketPath;
    TransportClient c(options);
    std::string error;
    if (!c.connect(error)) _exit(2);
    WindowHandle self = c.registerWindow([how](std::uint32_t msg, std::intptr_t, std::intptr_t) -> std::intptr_t {
        if (msg != kConnect) return 0;
        if (how == Misbehaviour::DiesInHandler) ::raise(SIGKILL);
        for (;;) ::pause();
    });
    if (self == 0 || c.send(c.findConsoleWindow(), kConnect, self, 0) != 1) _exit(3);
    const auto until = Clock::now() + 20s;
    while (c.isConnected() && Clock::now() < until) c.processIncoming(100ms);
    _exit(4);
}

TEST_F(SubscriberFaults, SubscriberKilledInsideItsFrameHandlerIsDroppedAtOnce) {
    startWithHealthySubscriber();
    const int descriptors = consoleDescriptorCount();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) misbehavingSubscriber(socketPath(), Misbehaviour::DiesInHandler);
    int status = 0;
    ASSERT_TRUE(pumpUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 10000ms));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "it died in its frame handler; status " << status;
    EXPECT_TRUE(waitForHistory("is gone; removed."));
    const std::size_t before = healthyTimes.size();
    expectFramesGoOn(3);
    for (std::size_t i = before + 1; i < healthyTimes.size(); ++i)
        EXPECT_LT(healthyTimes[i] - healthyTimes[i - 1], 500ms) << "frames come at the camera's rate again";
    expectDescriptorsBackTo(descriptors);
}

TEST_F(SubscriberFaults, SubscriberThatNeverAnswersIsDroppedAfterTheSendTimeout) {
    startWithHealthySubscriber();
    const int descriptors = consoleDescriptorCount();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) misbehavingSubscriber(socketPath(), Misbehaviour::NeverAnswers);
    struct Reap {
        pid_t pid;
        ~Reap() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reap{child};

    ASSERT_TRUE(pumpUntil([&] { return historyCount("is gone; removed.") == 1; }, 10000ms));
    const std::size_t before = healthyTimes.size();
    expectFramesGoOn(3);
    Clock::duration longest{};
    for (std::size_t i = 1; i < healthyTimes.size(); ++i)
        longest = std::max(longest, healthyTimes[i] - healthyTimes[i - 1]);
    // The console waited for it once, for the send timeout, and never again.
    EXPECT_GT(longest, 2500ms);
    EXPECT_LT(longest, 4500ms);
    for (std::size_t i = before + 1; i < healthyTimes.size(); ++i)
        EXPECT_LT(healthyTimes[i] - healthyTimes[i - 1], 500ms);
    expectDescriptorsBackTo(descriptors);
}

// A subscriber program that, once it receives frames, posts serial-list requests as fast as it
// can: 30000 of them, then it goes on taking frames. Exit 0 when it kept receiving frames.
[[noreturn]] void floodingSubscriber(const std::string& socketPath) {
    TransportClientOptions options;
    options.socketPath = socketPath;
    TransportClient c(options);
    std::string error;
    if (!c.connect(error)) _exit(2);
    long frames = 0;
    WindowHandle self = c.registerWindow([&frames](std::uint32_t msg, std::intptr_t, std::intptr_t) -> std::intptr_t {
        if (msg == kConnect) ++frames;
        return 0;
    });
    if (self == 0 || c.send(c.findConsoleWindow(), kConnect, self, 0) != 1) _exit(3);
    while (frames < 2 && c.isConnected()) c.processIncoming(100ms);
    for (int i = 0; i < 30000; ++i) c.post(c.findConsoleWindow(), kSerialList, self, 0);
    const long before = frames;
    const auto until = Clock::now() + 2s;
    while (c.isConnected() && Clock::now() < until) c.processIncoming(50ms);
    _exit(c.isConnected() && frames > before + 10 ? 0 : 4);
}

TEST_F(SubscriberFaults, SubscriberFloodingPostsWhileSubscribedStallsNobodysFrames) {
    startWithHealthySubscriber();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) floodingSubscriber(socketPath());
    int status = 0;
    ASSERT_TRUE(pumpUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 20000ms));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the flooding subscriber lost its frames; status "
                                                                << status;
    for (std::size_t i = 1; i < healthyTimes.size(); ++i)
        EXPECT_LT(healthyTimes[i] - healthyTimes[i - 1], 1000ms) << "frame " << i;
    expectFramesGoOn(3);
}

}  // namespace
}  // namespace kestrom::test
