// Named shared memory: mode, sharing between owners and readers, removal of the name, errors.
#include "platform/shared_memory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace kestrom {
namespace {

std::string testName(const char* what) { return "/Kest3shm_" + std::to_string(getpid()) + "_" + what; }

TEST(SharedMemory, OwnersShareOneBlockWhichOnlyTheLastOwnerRemoves) {
    std::string name = testName("owners");
    std::string error;
    auto first = SharedMemory::createOrOpen(name, 31744, error);
    ASSERT_TRUE(first) << error;
    struct stat st {};
    ASSERT_EQ(fstat(first->handle(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 31744);
    EXPECT_EQ(first->size(), 31744u);

    auto second = SharedMemory::createOrOpen(name, 31744, error);
    ASSERT_TRUE(second) << error;
    first->bytes()[31743] = 0x5A;
    EXPECT_EQ(second->bytes()[31743], 0x5A);

    auto reader = SharedMemory::openExisting(name, 31744, SharedMemory::Access::ReadOnly, error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(reader->bytes()[31743], 0x5A);

    first.reset();
    EXPECT_TRUE(SharedMemory::openExisting(name, 31744, SharedMemory::Access::ReadOnly, error)) << error;
    second.reset();
    EXPECT_FALSE(SharedMemory::openExisting(name, 31744, SharedMemory::Access::ReadOnly, error));
    // A reader keeps its mapping after the name is gone.
    EXPECT_EQ(reader->bytes()[31743], 0x5A);
}

TEST(SharedMemory, ASmallerBlockIsAnErrorForAReaderAndGrownForAnOwner) {
    std::string name = testName("small");
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 100), 0);
    std::string error;
    EXPECT_FALSE(SharedMemory::openExisting(name, 31744, SharedMemory::Access::ReadOnly, error));
    EXPECT_NE(error.find("100"), std::string::npos) << error;

    auto owner = SharedMemory::createOrOpen(name, 31744, error);
    ASSERT_TRUE(owner) << error;
    owner->bytes()[31743] = 1;   // would fault if the block had kept its 100 bytes
    close(fd);
}

TEST(SharedMemory, FailuresGiveATextNamingTheBlock) {
    std::string error;
    EXPECT_FALSE(SharedMemory::createOrOpen("/a/b", 16, error));
    EXPECT_NE(error.find("/a/b"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(SharedMemory::openExisting(testName("missing"), 16, SharedMemory::Access::ReadOnly, error));
    EXPECT_NE(error.find(testName("missing")), std::string::npos) << error;
}

TEST(SharedMemory, ABlockOfAnotherUserIsRefusedWithAnError) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user; not run as root here";
    std::string name = testName("foreign");
    std::string error;
    auto mine = SharedMemory::createOrOpen(name, 4096, error);
    ASSERT_TRUE(mine) << error;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As user nobody: the block is mode 0600 and not ours.
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        std::string childError;
        auto theirs = SharedMemory::createOrOpen(name, 4096, childError);
        _exit(!theirs && childError.find("Permission denied") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace kestrom
