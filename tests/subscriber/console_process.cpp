// Starting, stopping and running beside a real console program.
#include "console_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/transport_client.h"
#include "platform/transport_paths.h"

namespace kestrom::test {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

pid_t spawn(const std::vector<std::string>& args, const std::function<void()>& childSetup, int out = -1, int err = -1) {
    pid_t pid = ::fork();
    if (pid == 0) {
        childSetup();
        if (out >= 0) ::dup2(out, 1);
        if (err >= 0) ::dup2(err, 2);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    return pid;
}

// The exit code once ended (128 + signal for a signal), or -1 while it runs.
int reap(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ConsoleProcess::ConsoleProcess(const std::string& cameras) {
    char name[] = "/tmp/kestrom-subscriber-XXXXXX";
    if (!::mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
    folder_ = name;
    std::filesystem::create_directories(folder_ + "/run");
    ::chmod((folder_ + "/run").c_str(), 0700);
    std::ofstream(folder_ + "/cameras.conf") << cameras;
    socketPath_ = folder_ + "/run/kestrom3/" + socketFileName(kConsoleWindowClass, kConsoleWindowCaption);
    // Never the names of a console the user runs: the console, the programs started here and this
    // test's own subscribers all take their shared-memory names after this.
    ::setenv("KESTROM_SHM_NAMESPACE", ("ksub" + std::to_string(::getpid()) + "_").c_str(), 1);
}

ConsoleProcess::~ConsoleProcess() {
    if (running()) stop(SIGKILL);
    // A console that was killed leaves its blocks; they are this test's names only.
    const std::string space = ::getenv("KESTROM_SHM_NAMESPACE") ? ::getenv("KESTROM_SHM_NAMESPACE") : "";
    if (!space.empty()) {
        ::shm_unlink(("/" + space + "KIIICommand").c_str());
        for (int slot = 1; slot <= 4; ++slot) ::shm_unlink(("/" + space + "Kest3_" + std::to_string(slot)).c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void ConsoleProcess::environment() const {
    ::setenv("XDG_RUNTIME_DIR", (folder_ + "/run").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (folder_ + "/state").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
    ::setenv("KESTROM_CONFIG_DIR", (folder_ + "/config").c_str(), 1);
}

bool ConsoleProcess::start(std::chrono::milliseconds limit) {
    if (running()) return true;
    int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_ = spawn({KESTROM_CONSOLE_BINARY, "-platform", "offscreen", "--sim-config", folder_ + "/cameras.conf",
                  "--history-log", folder_ + "/history.log"},
                 [this] { environment(); }, quiet, quiet);
    ::close(quiet);
    const auto until = Clock::now() + limit;
    while (Clock::now() < until) {
        if (reap(pid_) >= 0) {
            pid_ = -1;
            return false;
        }
        TransportClientOptions options;
        options.socketPath = socketPath_;
        TransportClient probe(options);
        std::string error;
        if (probe.connect(error)) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

bool ConsoleProcess::stop(int signal, std::chrono::milliseconds limit) {
    if (!running()) return true;
    ::kill(pid_, signal);
    const auto until = Clock::now() + limit;
    while (Clock::now() < until) {
        if (reap(pid_) >= 0) {
            pid_ = -1;
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return false;
}

std::string ConsoleProcess::historyLog() const {
    std::ifstream in(folder_ + "/history.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ConsoleProcess::Result ConsoleProcess::run(const std::vector<std::string>& args, std::chrono::milliseconds limit) const {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return {};
    pid_t pid = spawn(args, [this] { environment(); }, out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    Result result;
    std::string* texts[2] = {&result.out, &result.err};
    int fds[2] = {out[0], err[0]};
    const auto until = Clock::now() + limit;
    int open = 2;
    while (open > 0 && Clock::now() < until) {
        pollfd p[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        if (::poll(p, 2, 50) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || !(p[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i], buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i]);
                fds[i] = -1;
                p[i].fd = -1;
                --open;
            }
        }
    }
    for (int fd : fds)
        if (fd >= 0) ::close(fd);
    while (Clock::now() < until && (result.exitCode = reap(pid)) < 0) std::this_thread::sleep_for(5ms);
    if (result.exitCode < 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return result;
}

}  // namespace kestrom::test
