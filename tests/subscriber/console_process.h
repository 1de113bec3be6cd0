// A real console program on simulated cameras in a second process, in a private runtime folder, and programs run beside it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace kestrom::test {

// The folder, the cameras' configuration and the console's environment of one test program.
class ConsoleProcess {
public:
    explicit ConsoleProcess(const std::string& cameras);
    ~ConsoleProcess();
    ConsoleProcess(const ConsoleProcess&) = delete;
    ConsoleProcess& operator=(const ConsoleProcess&) = delete;

    // Starts the console; true once its socket takes connections (its cameras are open by then).
    bool start(std::chrono::milliseconds limit = std::chrono::milliseconds{20000});
    // Sends the signal and waits for the end; true when it ended within the limit.
    bool stop(int signal = SIGTERM, std::chrono::milliseconds limit = std::chrono::milliseconds{10000});
    bool running() const { return pid_ > 0; }

    const std::string& socketPath() const { return socketPath_; }
    std::string historyLog() const;

    struct Result {
        int exitCode = -1;   // -1: did not end within the limit (and was killed)
        std::string out;
        std::string err;
    };
    // Runs a program to its end with the console's environment.
    Result run(const std::vector<std::string>& args, std::chrono::milliseconds limit) const;

private:
    void environment() const;

    std::string folder_;
    std::string socketPath_;
    pid_t pid_ = -1;
};

}  // namespace kestrom::test
