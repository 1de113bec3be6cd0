// The Python subscriber example against a console side that serves it frames from a prepared frame block.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/shared_memory.h"
#include "transport_fixture.h"

namespace kestrom::test {
namespace {

constexpr std::size_t kBlockSize = 31744;
constexpr std::size_t kFactoryOffset = 31008;
constexpr int kWidth = 124;

std::string findPython() {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = (folder.empty() ? "." : folder) + "/python3";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

struct SubscriberExample : ConsoleSide {
    std::string prefix = "kestrom_example_" + std::to_string(getpid()) + "_";
    std::unique_ptr<SharedMemory> block;
    WindowHandle subscriber = 0;
    std::vector<std::pair<std::intptr_t, std::intptr_t>> closeRequests;
    pid_t child = -1;
    int output = -1;

    void SetUp() override {
        std::string error;
        block = SharedMemory::createOrOpen("/" + prefix + "Kest3_1", kBlockSize, error);
        ASSERT_TRUE(block) << error;
        auto* pixels = reinterpret_cast<std::int16_t*>(block->bytes());
        for (int i = 0; i < kWidth * kWidth; ++i) pixels[i] = -3000;
        // Read as unsigned, this pixel would be the peak.
        pixels[0] = -32768;
        block->bytes()[kFactoryOffset] = 0x12;   // serial 4660, big-endian
        block->bytes()[kFactoryOffset + 1] = 0x34;
        onConsoleMessage = [this](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
            if (msg == 1326) {
                subscriber = static_cast<WindowHandle>(w);
                return 1;
            }
            if (msg == 1330) closeRequests.emplace_back(w, l);
            return 0;
        };
        startServer(options(2000ms));
    }

    void TearDown() override {
        if (output >= 0) close(output);
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }

    void setPeak(std::int16_t value) {
        auto* pixels = reinterpret_cast<std::int16_t*>(block->bytes());
        pixels[60 * kWidth + 61] = value;
    }

    void launch(int frames) {
        std::string python = findPython();
        ASSERT_FALSE(python.empty()) << "python3 is not on PATH: the subscriber example cannot be checked";
        std::vector<std::string> args{python, KESTROM_SUBSCRIBER_EXAMPLE, std::to_string(frames), "--socket",
                                      socketPath(), "--shm-prefix", prefix};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int pipeFds[2];
        ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(pipeFds[1], 1);
            dup2(pipeFds[1], 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        output = pipeFds[0];
        fcntl(output, F_SETFL, O_NONBLOCK);
    }

    // Pumps the main thread until the program ends; its exit code and everything it printed.
    std::pair<int, std::string> finish() {
        std::string text;
        int status = 0;
        bool ended = pumpUntil(
            [&] {
                char buffer[4096];
                ssize_t n;
                while ((n = read(output, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
                return waitpid(child, &status, WNOHANG) == child;
            },
            10000ms);
        if (!ended) return {-1, text + "[still running]"};
        child = -1;
        char buffer[4096];
        ssize_t n;
        while ((n = read(output, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
    }
};

TEST_F(SubscriberExample, PrintsEachFramesCountAndPeakAndLeavesAfterTheLast) {
    launch(3);
    ASSERT_TRUE(pumpUntil([&] { return subscriber != 0; }, 10000ms)) << finish().second;
    for (int i = 1; i <= 3; ++i) {
        setPeak(static_cast<std::int16_t>(1000 + i));
        EXPECT_EQ(port.send(subscriber, 1326, 100 + i, 1), 0);
    }
    auto [code, text] = finish();
    EXPECT_EQ(code, 0) << text;
    std::string window = std::to_string(subscriber);
    EXPECT_EQ(text, "connected window " + window + " slot 1\n"
                    "frame 101 slot 1 serial 4660 peak 1001\n"
                    "frame 102 slot 1 serial 4660 peak 1002\n"
                    "frame 103 slot 1 serial 4660 peak 1003\n"
                    "done\n");
    // It asked to leave the camera's subscribers before it went.
    EXPECT_EQ(closeRequests, (std::vector<std::pair<std::intptr_t, std::intptr_t>>{{subscriber, 1}}));
}

TEST_F(SubscriberExample, EndsWhenTheConsoleClosesTheCamera) {
    launch(10);
    ASSERT_TRUE(pumpUntil([&] { return subscriber != 0; }, 10000ms)) << finish().second;
    setPeak(-5);
    EXPECT_EQ(port.send(subscriber, 1326, 1, 1), 0);
    EXPECT_TRUE(port.post(subscriber, 1330, subscriber, 1));
    auto [code, text] = finish();
    EXPECT_EQ(code, 0) << text;
    EXPECT_EQ(text, "connected window " + std::to_string(subscriber) + " slot 1\n"
                    "frame 1 slot 1 serial 4660 peak -5\n"
                    "camera closed\n");
    EXPECT_TRUE(closeRequests.empty());
}

TEST_F(SubscriberExample, RefusesAFrameBlockOfAnotherUser) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the block to another user; not run as root here";
    ASSERT_EQ(fchown(block->handle(), 65534, 65534), 0);
    launch(3);
    ASSERT_TRUE(pumpUntil([&] { return subscriber != 0; }, 10000ms)) << finish().second;
    EXPECT_EQ(port.send(subscriber, 1326, 1, 1), 0);
    auto [code, text] = finish();
    EXPECT_EQ(code, 1) << text;
    EXPECT_NE(text.find("Kest3_1 belongs to another user"), std::string::npos) << text;
    EXPECT_EQ(text.find("frame 1 slot 1"), std::string::npos) << text;
    // It still left the camera's subscribers.
    EXPECT_EQ(closeRequests, (std::vector<std::pair<std::intptr_t, std::intptr_t>>{{subscriber, 1}}));
}

}  // namespace
}  // namespace kestrom::test
