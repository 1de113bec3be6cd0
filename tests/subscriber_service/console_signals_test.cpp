// SIGTERM against the real console in the states where nobody can answer it: it ends within 2 s,
// saves nothing it was not told to, and leaves neither shared memory nor its socket behind.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "running_console.h"

namespace kestrom::test {
namespace {

using Clock = std::chrono::steady_clock;

struct ConsoleSignals : RunningConsole {
    pid_t child = -1;

    bool exists(const std::string& path) const {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }
    // SIGTERM now: the console must be gone within 2 s, in order (exit status 0), its names removed.
    void expectEndsOnSigterm() {
        const std::string command = sharedMemoryPath("KIIICommand");
        const std::string socket = socketPath();
        const auto sent = Clock::now();
        ::kill(console_, SIGTERM);
        const bool ended = waitForEnd(2000ms);
        EXPECT_TRUE(ended) << "still running 2 s after SIGTERM";
        if (!ended) return;
        EXPECT_LT(Clock::now() - sent, 2000ms);
        EXPECT_TRUE(WIFEXITED(endStatus()) && WEXITSTATUS(endStatus()) == 0) << "status " << endStatus();
        EXPECT_FALSE(exists(command)) << command << " left behind";
        EXPECT_FALSE(exists(socket)) << socket << " left behind";
        console_ = -1;
    }
    void TearDown() override {
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        RunningConsole::TearDown();
    }
};

TEST_F(ConsoleSignals, UnsavedSettingsAreNotOfferedAndNotSaved) {
    startConsole({{0, 1111}});
    RecordingWindow window(*client);
    ASSERT_EQ(request(kConnect, window.handle, 0), 1);
    ASSERT_EQ(request(kGainFactor, window.handle, 4), 0);
    ASSERT_TRUE(waitForHistory("Remote gain factor:4"));
    client->disconnect();
    expectEndsOnSigterm();
    EXPECT_EQ(historyCount("Changed settings were not saved."), 1) << history();
}

// A subscriber program that asks for a serial and never returns from the console's answer to it:
// the console is inside that request, waiting, when the signal comes.
[[noreturn]] void stuckInSerialAnswer(const std::string& socketPath, int serial) {
    TransportClientOptions options;
    options.socketPath = socketPath;
    TransportClient c(options);
    std::string error;
    if (!c.connect(error)) _exit(2);
    WindowHandle self = c.registerWindow([](std::uint32_t msg, std::intptr_t, std::intptr_t) -> std::intptr_t {
        if (msg == kFindSerial)
            for (;;) ::pause();
        return 0;
    });
    c.send(c.findConsoleWindow(), kFindSerial, self, serial);
    _exit(3);
}

TEST_F(ConsoleSignals, ARequestWaitingForItsSubscriberDoesNotHoldTheEnd) {
    startConsole({{0, 1111}});
    RecordingWindow window(*client);
    ASSERT_EQ(request(kConnect, window.handle, 0), 1);
    child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) stuckInSerialAnswer(socketPath(), 1111);
    ASSERT_TRUE(waitForHistory("Serial search:1111"));
    client->disconnect();
    expectEndsOnSigterm();
}

// A damaged last setup file opens its error box while the window is being made, before the socket
// exists; nobody answers it.
TEST_F(ConsoleSignals, ABoxOpenAtStartDoesNotHoldTheEnd) {
    const std::string setup = dir_ + "/damaged.setup";
    std::ofstream(setup) << std::string(64, '\0');
    ::mkdir((dir_ + "/config").c_str(), 0700);
    std::ofstream(dir_ + "/config/user.reg")
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Vantrel\\Kestrom3\\Control\\1111]\n"
        << "\"MRL1\"=\"" << setup << "\"\n";
    launchConsole({{0, 1111}});
    ASSERT_TRUE(waitForHistory("it is not a setup file", 15000ms)) << history();
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(consoleAlive());
    const auto sent = Clock::now();
    ::kill(console_, SIGTERM);
    ASSERT_TRUE(waitForEnd(2000ms)) << "still running 2 s after SIGTERM:\n" << history();
    EXPECT_LT(Clock::now() - sent, 2000ms);
    EXPECT_TRUE(WIFEXITED(endStatus()) && WEXITSTATUS(endStatus()) == 0) << "status " << endStatus();
    console_ = -1;
}

}  // namespace
}  // namespace kestrom::test
