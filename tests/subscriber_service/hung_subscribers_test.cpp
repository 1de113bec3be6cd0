// Subscriber programs that stop answering (stopped as by a debugger) against the real console: each
// camera waits for its own hung subscribers once, all of them together, and no other camera waits.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "running_console.h"

namespace kestrom::test {
namespace {

using Clock = std::chrono::steady_clock;

// A subscriber program of its own, in a child process: finds the camera of the serial, subscribes,
// and writes a byte to ready once it has had two frames; then it goes on taking frames until the
// test stops it (SIGSTOP) or ends it.
[[noreturn]] void subscriberOf(const std::string& socketPath, int serial, int ready) {
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
    const WindowHandle console = c.findConsoleWindow();
    if (self == 0 || c.send(console, kFindSerial, self, serial) == 0 || c.send(console, kConnect, self, 0) == 0)
        _exit(3);
    bool told = false;
    const auto until = Clock::now() + 60s;
    while (c.isConnected() && Clock::now() < until) {
        c.processIncoming(20ms);
        if (!told && frames >= 2) {
            char byte = 1;
            told = ::write(ready, &byte, 1) == 1;
        }
    }
    _exit(4);
}

// A subscriber program that takes 200 ms over each frame: exits 0 once it has had ten frames with
// no frame count missing, 5 when one was skipped.
[[noreturn]] void slowSubscriberOf(const std::string& socketPath, int serial) {
    TransportClientOptions options;
    options.socketPath = socketPath;
    TransportClient c(options);
    std::string error;
    if (!c.connect(error)) _exit(2);
    std::vector<std::intptr_t> counts;
    WindowHandle self = c.registerWindow([&counts](std::uint32_t msg, std::intptr_t w, std::intptr_t) -> std::intptr_t {
        if (msg != kConnect) return 0;
        counts.push_back(w);
        std::this_thread::sleep_for(200ms);
        return 0;
    });
    const WindowHandle console = c.findConsoleWindow();
    if (self == 0 || c.send(console, kFindSerial, self, serial) == 0 || c.send(console, kConnect, self, 0) == 0)
        _exit(3);
    const auto until = Clock::now() + 20s;
    while (c.isConnected() && counts.size() < 10 && Clock::now() < until) c.processIncoming(20ms);
    if (counts.size() < 10) _exit(4);
    for (std::size_t i = 1; i < counts.size(); ++i)
        if (counts[i] != counts[i - 1] + 1) _exit(5);
    _exit(0);
}

struct HungSubscribers : RunningConsole {
    std::vector<pid_t> children;
    int readyPipe[2] = {-1, -1};

    // A subscriber in this process of the camera with this serial, recording when each frame came.
    struct Healthy {
        std::unique_ptr<RecordingWindow> window;
        std::vector<Clock::time_point> times;
    };
    std::vector<std::unique_ptr<Healthy>> healthy;

    Healthy& subscribeHere(int serial) {
        auto h = std::make_unique<Healthy>();
        Healthy* raw = h.get();
        h->window = std::make_unique<RecordingWindow>(*client, [raw](const Message& m) -> std::intptr_t {
            if (m.msg == kConnect) raw->times.push_back(Clock::now());
            return 0;
        });
        EXPECT_NE(request(kFindSerial, h->window->handle, serial), 0);
        EXPECT_NE(request(kConnect, h->window->handle, 0), 0);
        EXPECT_TRUE(pumpUntil([raw] { return raw->times.size() >= 3; }));
        healthy.push_back(std::move(h));
        return *raw;
    }

    // Subscriber programs of these serials, each receiving frames by the time this returns.
    void startSubscriberPrograms(const std::vector<int>& serials) {
        ASSERT_EQ(::pipe(readyPipe), 0);
        for (int serial : serials) {
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) subscriberOf(socketPath(), serial, readyPipe[1]);
            children.push_back(child);
        }
        std::size_t ready = 0;
        ASSERT_TRUE(pumpUntil([&] {
            char byte;
            pollfd p{readyPipe[0], POLLIN, 0};
            while (::poll(&p, 1, 0) > 0 && ::read(readyPipe[0], &byte, 1) == 1) ++ready;
            return ready == serials.size();
        }, 10000ms));
    }

    static Clock::duration longestGap(const std::vector<Clock::time_point>& times, std::size_t from = 1) {
        Clock::duration longest{};
        for (std::size_t i = std::max<std::size_t>(from, 1); i < times.size(); ++i)
            longest = std::max(longest, times[i] - times[i - 1]);
        return longest;
    }

    static Clock::duration framePeriod(const std::vector<Clock::time_point>& times) {
        std::vector<Clock::duration> gaps;
        for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
        std::sort(gaps.begin(), gaps.end());
        return gaps.empty() ? Clock::duration{} : gaps[gaps.size() / 2];
    }

    void TearDown() override {
        for (pid_t child : children) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        for (int fd : readyPipe)
            if (fd >= 0) ::close(fd);
        healthy.clear();
        RunningConsole::TearDown();
    }
};

TEST_F(HungSubscribers, ThreeStoppedTogetherStallTheirCameraForOneBound) {
    startConsole({{0, 1111}});
    Healthy& mine = subscribeHere(1111);
    startSubscriberPrograms({1111, 1111, 1111});
    const std::size_t before = mine.times.size();
    for (pid_t child : children) ::kill(child, SIGSTOP);
    ASSERT_TRUE(pumpUntil([&] { return historyCount("is gone; removed.") == 3; }, 15000ms)) << history();
    ASSERT_TRUE(pumpUntil([&] { return mine.times.size() >= before + 5; }));
    const auto longest = longestGap(mine.times, before);
    EXPECT_LT(longest, 3300ms) << "the three hung subscribers cost one bound together";
    EXPECT_GT(longest, 2500ms) << "a hung subscriber is waited for";
}

TEST_F(HungSubscribers, EachCameraWaitsOnlyForItsOwnHungSubscribers) {
    startConsole({{0, 1111}, {1, 2222}});
    Healthy& second = subscribeHere(2222);
    startSubscriberPrograms({2222, 1111});
    const std::size_t before = second.times.size();
    ::kill(children[0], SIGSTOP);   // camera 2222's
    pumpFor(1000ms);
    ::kill(children[1], SIGSTOP);   // camera 1111's, a second later
    ASSERT_TRUE(pumpUntil([&] { return historyCount("is gone; removed.") == 2; }, 15000ms)) << history();
    ASSERT_TRUE(pumpUntil([&] { return second.times.size() >= before + 5; }));
    EXPECT_LT(longestGap(second.times, before), 3300ms) << "camera 2222 waited for camera 1111's hung subscriber";
}

TEST_F(HungSubscribers, AHungSubscriberOfOneCameraLeavesAnotherCamerasFramesOnTime) {
    startConsole({{0, 1111}, {1, 2222}});
    Healthy& second = subscribeHere(2222);
    startSubscriberPrograms({1111});
    pumpFor(500ms);
    const auto period = framePeriod(second.times);
    const std::size_t before = second.times.size();
    ::kill(children[0], SIGSTOP);
    ASSERT_TRUE(pumpUntil([&] { return historyCount("is gone; removed.") == 1; }, 15000ms)) << history();
    EXPECT_LT(longestGap(second.times, before), 2 * period)
        << "frame period " << std::chrono::duration_cast<std::chrono::milliseconds>(period).count() << " ms";
}

TEST_F(HungSubscribers, ASlowSubscriberGetsEveryFrameAndSlowsOnlyItsOwnCamera) {
    startConsole({{0, 1111}, {1, 2222}});
    Healthy& second = subscribeHere(2222);
    pumpFor(500ms);
    const auto period = framePeriod(second.times);
    const int connects = historyCount("External connection\n");
    pid_t slow = ::fork();
    ASSERT_GE(slow, 0);
    if (slow == 0) slowSubscriberOf(socketPath(), 1111);
    children.push_back(slow);
    // Measured from once it takes frames: showing its camera's tab is not what is measured here.
    ASSERT_TRUE(pumpUntil([&] { return historyCount("External connection\n") > connects; }));
    pumpFor(300ms);
    const std::size_t before = second.times.size();
    int status = 0;
    ASSERT_TRUE(pumpUntil([&] { return ::waitpid(slow, &status, WNOHANG) == slow; }, 20000ms));
    children.clear();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the slow subscriber missed frames; status " << status;
    EXPECT_LT(longestGap(second.times, before), 2 * period);
}

}  // namespace
}  // namespace kestrom::test
