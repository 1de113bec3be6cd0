// Starting, talking to and ending the real console program.
#include "running_console.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/transport_paths.h"

namespace kestrom::test {

namespace fs = std::filesystem;

namespace {

// Consoles name their shared memory "/KIIICommand" and "/Kest3_<slot>" whatever folder they run in,
// so the tests that start one take turns, also across test processes that ctest runs side by side.
constexpr const char* kTurnLock = "/tmp/kestrom3-console-process-tests.lock";

// The console started by test process `pid` names its shared memory with this in front.
std::string shmNamespace(pid_t pid) { return "kss" + std::to_string(pid) + "_"; }

}  // namespace

RecordingWindow::RecordingWindow(TransportClient& client, Answer answer)
    : client_(client), answer_(std::move(answer)) {
    handle = client_.registerWindow([this](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
        received.push_back({msg, w, l});
        return answer_ ? answer_(received.back()) : 0;
    });
}

RecordingWindow::~RecordingWindow() { client_.unregisterWindow(handle); }

std::vector<std::intptr_t> RecordingWindow::frames() const {
    std::vector<std::intptr_t> counts;
    for (const Message& m : received)
        if (m.msg == kConnect) counts.push_back(m.w);
    return counts;
}

std::uint32_t bigEndianWord(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void RunningConsole::SetUp() {
    lockFd_ = ::open(kTurnLock, O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    ASSERT_GE(lockFd_, 0);
    ASSERT_EQ(::flock(lockFd_, LOCK_EX), 0);
    char name[] = "/tmp/kestrom-subscriber-service-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
}

void RunningConsole::TearDown() {
    if (console_ > 0) {
        if (HasFailure()) std::fprintf(stderr, "console history:\n%s\n", history().c_str());
        stopConsole();
    }
    client.reset();
    command_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    if (lockFd_ >= 0) ::close(lockFd_);
}

std::string RunningConsole::socketPath() const {
    return dir_ + "/run/kestrom3/" + socketFileName(kConsoleWindowClass, kConsoleWindowCaption);
}

void RunningConsole::startConsole(const std::vector<Camera>& cameras) {
    launchConsole(cameras);
    const auto until = std::chrono::steady_clock::now() + 30s;
    auto opened = [&] {
        return cameras.empty() ? historyCount("No cameras found") > 0
                               : historyCount("Camera opened.") == static_cast<int>(cameras.size());
    };
    while (!opened()) {
        ASSERT_TRUE(consoleAlive()) << "the console ended at start:\n" << history();
        ASSERT_LT(std::chrono::steady_clock::now(), until) << "the cameras were not opened:\n" << history();
        std::this_thread::sleep_for(20ms);
    }
    TransportClientOptions options;
    options.socketPath = socketPath();
    client = std::make_unique<TransportClient>(options);
    std::string error;
    while (!client->connect(error)) {
        ASSERT_LT(std::chrono::steady_clock::now(), until) << error;
        std::this_thread::sleep_for(20ms);
    }
    consoleWindow = client->findConsoleWindow();
    command_ = consoleBlock("KIIICommand", 2048, true);
    ASSERT_TRUE(command_) << "the console has no /KIIICommand";
}

void RunningConsole::launchConsole(const std::vector<Camera>& cameras) {
    {
        std::ofstream config(dir_ + "/cameras.conf");
        for (const Camera& c : cameras) config << "[camera]\ndevice = " << c.device << "\nserial = " << c.serial << "\n";
    }
    ::mkdir((dir_ + "/run").c_str(), 0700);
    std::vector<std::string> args = {KESTROM_CONSOLE_BINARY, "-platform",   "offscreen",
                                     "--sim-config",         dir_ + "/cameras.conf", "--history-log",
                                     dir_ + "/history.log"};
    console_ = ::fork();
    ASSERT_GE(console_, 0);
    if (console_ == 0) {
        setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
        setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
        setenv("KESTROM_CONFIG_DIR", (dir_ + "/config").c_str(), 1);
        // Never the names of a console the user may be running.
        setenv("KESTROM_SHM_NAMESPACE", shmNamespace(getppid()).c_str(), 1);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
}

bool RunningConsole::waitForEnd(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (consoleAlive() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
    return ended_;
}

std::string RunningConsole::sharedMemoryPath(const std::string& name) const {
    return "/dev/shm/" + shmNamespace(getpid()) + name;
}

void RunningConsole::stopConsole() {
    if (console_ <= 0) return;
    // A camera tab with changed settings would ask whether to save them, and nobody would answer.
    if (client && client->isConnected()) request(kFindSerial, 0, 0);
    if (client) client->disconnect();
    ::kill(console_, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (consoleAlive() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
    int status = endStatus_;
    if (!ended_) {
        ADD_FAILURE() << "the console did not end after SIGTERM";
        ::kill(console_, SIGKILL);
        ::waitpid(console_, &status, 0);
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "the console ended with status " << status << " (a sanitizer report makes it non-zero)";
    }
    console_ = -1;
}

std::intptr_t RunningConsole::request(std::uint32_t msg, std::intptr_t w, std::intptr_t l) {
    return client->send(consoleWindow, msg, w, l);
}

bool RunningConsole::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        if (client && client->isConnected())
            client->processIncoming(10ms);
        else
            std::this_thread::sleep_for(10ms);
    }
    return true;
}

void RunningConsole::pumpFor(std::chrono::milliseconds time) {
    pumpUntil([] { return false; }, time);
}

std::string RunningConsole::history() const {
    std::ifstream in(dir_ + "/history.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int RunningConsole::historyCount(const std::string& text) const {
    std::string all = history();
    int n = 0;
    for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++n;
    return n;
}

bool RunningConsole::waitForHistory(const std::string& text, std::chrono::milliseconds limit) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (historyCount(text) == 0) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

int RunningConsole::consoleDescriptorCount() const {
    int n = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(console_) + "/fd", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

bool RunningConsole::consoleAlive() {
    if (console_ <= 0 || ended_) return false;
    ended_ = ::waitpid(console_, &endStatus_, WNOHANG) == console_;
    return !ended_;
}

std::unique_ptr<ConsoleMapping> RunningConsole::frameBlock(int slot) const {
    return consoleBlock("Kest3_" + std::to_string(slot), kFrameBlockSize, false);
}

std::unique_ptr<ConsoleMapping> RunningConsole::consoleBlock(const std::string& name, std::size_t size,
                                                             bool writable) const {
    const std::string folder = "/proc/" + std::to_string(console_) + "/fd";
    const std::string path = "/dev/shm/" + shmNamespace(getpid()) + name;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code linkError;
        std::string target = fs::read_symlink(it->path(), linkError).string();
        if (linkError || (target != path && target != path + " (deleted)")) continue;
        int fd = ::open(it->path().c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        if (fd < 0) continue;
        void* data = ::mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        if (data != MAP_FAILED) return std::make_unique<ConsoleMapping>(data, size);
    }
    return nullptr;
}

ConsoleMapping::~ConsoleMapping() { ::munmap(data_, size_); }

}  // namespace kestrom::test
