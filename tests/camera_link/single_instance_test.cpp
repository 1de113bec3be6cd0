// The single-instance lock: where it lives, a second holder, and locks that cannot be taken.
#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/transport_paths.h"

namespace kestrom {
namespace {

namespace fs = std::filesystem;
using Outcome = SingleInstanceLock::Outcome;

struct LockFolder {
    LockFolder() {
        std::string pattern = (fs::temp_directory_path() / "kestrom-lock-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~LockFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

TEST(SingleInstanceLock, LivesBesideTheConsolesSocketWithOrWithoutARuntimeFolder) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string keep = saved ? saved : "";
    for (const char* runtime : {"/run/user/4242", ""}) {
        SCOPED_TRACE(runtime);
        setenv("XDG_RUNTIME_DIR", runtime, 1);
        std::string path = SingleInstanceLock::defaultPath();
        EXPECT_EQ(socketFolderOf(path), socketFolderOf(consoleSocketPath()));
        EXPECT_EQ(path.substr(path.rfind('/')), "/KesTromIII.lock");
    }
    if (saved) setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstanceLock, ASecondHolderIsToldAConsoleRunsUntilTheFirstGoes) {
    LockFolder folder;
    std::string path = (folder.path / "run" / "KesTromIII.lock").string();
    auto first = std::make_unique<SingleInstanceLock>(path);
    ASSERT_EQ(first->acquire(), Outcome::Acquired) << first->error();
    struct stat st {};
    ASSERT_EQ(::stat((folder.path / "run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    SingleInstanceLock second(path);
    EXPECT_EQ(second.acquire(), Outcome::AlreadyRunning);
    first.reset();
    EXPECT_EQ(second.acquire(), Outcome::Acquired) << second.error();
}

TEST(SingleInstanceLock, ALockThatCannotBeTakenIsAFailureWithItsReasonNotARunningConsole) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& run)> plant;
        const char* reason;
        bool needsRoot;
    };
    const Case cases[] = {
        {"folder open to others", [](const fs::path& run) { fs::create_directory(run); fs::permissions(run, fs::perms(0755)); },
         "has mode 0755", false},
        {"folder of another user",
         [](const fs::path& run) {
             fs::create_directory(run);
             fs::permissions(run, fs::perms(0700));
             ASSERT_EQ(::chown(run.c_str(), 65534, 65534), 0);
         },
         "belongs to user 65534", true},
        {"lock file of another user",
         [](const fs::path& run) {
             fs::create_directory(run);
             fs::permissions(run, fs::perms(0700));
             std::ofstream(run / "KesTromIII.lock");
             ASSERT_EQ(::chown((run / "KesTromIII.lock").c_str(), 65534, 65534), 0);
         },
         "not a regular file of this user", true},
        {"lock file is a folder",
         [](const fs::path& run) {
             fs::create_directories(run / "KesTromIII.lock");
             fs::permissions(run, fs::perms(0700));
         },
         "KesTromIII.lock", false},
        {"lock file is a FIFO",
         [](const fs::path& run) {
             fs::create_directory(run);
             fs::permissions(run, fs::perms(0700));
             ASSERT_EQ(::mkfifo((run / "KesTromIII.lock").c_str(), 0600), 0);
         },
         "not a regular file of this user", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && geteuid() != 0) continue;  // needs root to act as a second user
        LockFolder folder;
        fs::path run = folder.path / "run";
        c.plant(run);
        auto start = std::chrono::steady_clock::now();
        SingleInstanceLock lock((run / "KesTromIII.lock").string());
        EXPECT_EQ(lock.acquire(), Outcome::Failed);
        EXPECT_NE(lock.error().find(c.reason), std::string::npos) << lock.error();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

}  // namespace
}  // namespace kestrom
