// The console program as a user starts it: one instance, signals, a bad simulator configuration.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ConsoleProcess : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kestrom-app-test-" + std::to_string(getpid()));
        fs::create_directories(dir_ / "run");
        fs::permissions(dir_ / "run", fs::perms::owner_all);
    }
    void TearDown() override {
        for (pid_t pid : started_) {
            if (::kill(pid, 0) == 0) ::kill(pid, SIGKILL);
            int status;
            ::waitpid(pid, &status, 0);
        }
        fs::remove_all(dir_);
    }

    // What the program wrote on standard error goes to errors(pid).
    pid_t launch(std::vector<std::string> extra) {
        std::vector<std::string> args = {KESTROM_CONSOLE_BINARY, "-platform", "offscreen", "--history-log",
                                         (dir_ / "history.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        pid_t pid = ::fork();
        std::string errorFile = (dir_ / ("stderr-" + std::to_string(started_.size()))).string();
        if (pid == 0) {
            if (FILE* f = std::fopen(errorFile.c_str(), "w")) ::dup2(fileno(f), 2);
            setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
            setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
            setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
            setenv("KESTROM_CONFIG_DIR", (dir_ / "config").c_str(), 1);
            setenv("KESTROM_SHM_NAMESPACE", ("kapp" + std::to_string(getppid()) + "_").c_str(), 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        started_.push_back(pid);
        errorFiles_.push_back(errorFile);
        return pid;
    }

    std::string errors(pid_t pid) const {
        for (std::size_t i = 0; i < started_.size(); ++i) {
            if (started_[i] != pid) continue;
            std::ifstream in(errorFiles_[i]);
            std::stringstream s;
            s << in.rdbuf();
            return s.str();
        }
        return {};
    }

    // The exit code, or -1 if the process has not ended within the limit.
    static int waitExit(pid_t pid, std::chrono::milliseconds limit) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

    std::string log() const {
        std::ifstream in(dir_ / "history.log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // True once the text is in the log the given number of times.
    bool waitForLog(const std::string& text, std::chrono::milliseconds limit, int times = 1) const {
        auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            std::string now = log();
            int found = 0;
            for (auto at = now.find(text); at != std::string::npos; at = now.find(text, at + 1)) ++found;
            if (found >= times) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    fs::path dir_;
    std::vector<pid_t> started_;
    std::vector<std::string> errorFiles_;
};

TEST_F(ConsoleProcess, SecondStartEndsAtOnceAndSigtermClosesTheFirstInOrder) {
    pid_t first = launch({});
    ASSERT_TRUE(waitForLog("Camera opened.", 20s)) << log();

    pid_t second = launch({});
    EXPECT_EQ(waitExit(second, 10s), 0);
    EXPECT_NE(errors(second).find("a console already runs"), std::string::npos) << errors(second);
    EXPECT_EQ(::kill(first, 0), 0) << "the first console must keep running";

    ::kill(first, SIGTERM);
    EXPECT_EQ(waitExit(first, 10s), 0);
}

TEST_F(ConsoleProcess, ALockThatCannotBeTakenEndsTheStartWithItsReason) {
    // The runtime folder of the socket and the lock, left open to everyone.
    fs::create_directory(dir_ / "run" / "kestrom3");
    fs::permissions(dir_ / "run" / "kestrom3", fs::perms(0755));
    pid_t pid = launch({});
    EXPECT_EQ(waitExit(pid, 10s), 1);
    std::string text = errors(pid);
    EXPECT_NE(text.find("cannot take the single-instance lock"), std::string::npos) << text;
    EXPECT_NE(text.find("has mode 0755"), std::string::npos) << text;
}

TEST_F(ConsoleProcess, UnreadableSimulatorConfigurationIsNamedWithItsLineAndTheConsoleStillRuns) {
    fs::path config = dir_ / "cameras.conf";
    std::ofstream(config) << "[camera]\ndevice = 0\nserial = not-a-number\n";
    pid_t pid = launch({"--sim-config", config.string()});
    ASSERT_TRUE(waitForLog("No cameras found", 20s)) << log();
    EXPECT_TRUE(waitForLog(config.string() + ":3:", 5s)) << log();
    ::kill(pid, SIGINT);
    EXPECT_EQ(waitExit(pid, 10s), 0);
}

TEST_F(ConsoleProcess, AFifoAsSimulatorConfigurationIsReportedAndTheConsoleStillRuns) {
    fs::path config = dir_ / "cameras.conf";
    ASSERT_EQ(::mkfifo(config.c_str(), 0600), 0);
    pid_t pid = launch({"--sim-config", config.string()});
    EXPECT_TRUE(waitForLog(config.string() + ": cannot read: not a regular file", 20s)) << log();
    ::kill(pid, SIGTERM);
    EXPECT_EQ(waitExit(pid, 10s), 0);
}

TEST_F(ConsoleProcess, EditingTheSimulatorConfigurationUnplugsAndPlugsACamera) {
    fs::path config = dir_ / "cameras.conf";
    auto writeConfig = [&](const char* firstAttached) {
        // Written beside and renamed over, as editors save.
        fs::path temporary = dir_ / "cameras.conf.new";
        std::ofstream(temporary) << "[camera]\ndevice = 0\nserial = 1234\nattached = " << firstAttached
                                 << "\n[camera]\ndevice = 1\nserial = 2222\n";
        fs::rename(temporary, config);
    };
    writeConfig("yes");
    pid_t pid = launch({"--sim-config", config.string()});
    ASSERT_TRUE(waitForLog("Switch to \\\\.\\Kestrom1", 20s)) << log();
    std::this_thread::sleep_for(1s);   // the watcher starts once the window is up

    writeConfig("no");   // the camera on the tab that is not shown
    EXPECT_TRUE(waitForLog("1 ShortIO by tab, IOCTL_SPC_GET_MODE.", 10s)) << log();
    EXPECT_TRUE(waitForLog("Camera closed: 1234", 5s)) << log();
    writeConfig("yes");
    EXPECT_TRUE(waitForLog("Switch to \\\\.\\Kestrom0", 10s)) << log();

    // A FIFO renamed over the file is reported, and the console goes on watching.
    ASSERT_TRUE(waitForLog("Camera opened.", 10s, 3)) << "the camera is back before the FIFO comes\n" << log();
    fs::path fifo = dir_ / "cameras.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::rename(fifo, config);
    EXPECT_TRUE(waitForLog("Simulator configuration not applied: " + config.string() +
                               ": cannot read: not a regular file", 10s)) << log();
    writeConfig("no");
    EXPECT_TRUE(waitForLog("Camera closed: 1234", 10s, 2)) << log();
    ::kill(pid, SIGTERM);
    EXPECT_EQ(waitExit(pid, 10s), 0);
}

}  // namespace
