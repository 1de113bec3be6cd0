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

// A block made first under the console's name by someone else, or by us but open to others.
struct Planted {
    const char* what;
    uid_t owner;
    mode_t mode;
    const char* reason;  // what the owner's error says; nullptr when the block is used
    bool readerRefused;
};

void PrintTo(const Planted& p, std::ostream* os) { *os << p.what; }

class PlantedBlock : public ::testing::TestWithParam<Planted> {
  protected:
    void SetUp() override {
        if (GetParam().owner != 0 && geteuid() != 0)
            GTEST_SKIP() << "needs root to make a block that belongs to another user; not run as root here";
        uid_t owner = GetParam().owner != 0 ? GetParam().owner : geteuid();
        name = testName(GetParam().what);
        int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ASSERT_EQ(ftruncate(fd, 4096), 0);
        ASSERT_EQ(fchmod(fd, GetParam().mode), 0);
        ASSERT_EQ(fchown(fd, owner, owner), 0);
        close(fd);
    }
    void TearDown() override {
        if (!name.empty()) shm_unlink(name.c_str());
    }
    std::string name;
};

TEST_P(PlantedBlock, IsUsedOnlyWhenItIsOursAndPrivate) {
    const Planted& p = GetParam();
    std::string error;
    auto owner = SharedMemory::createOrOpen(name, 4096, error);
    if (p.reason) {
        EXPECT_FALSE(owner);
        EXPECT_NE(error.find(p.reason), std::string::npos) << error;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    } else {
        EXPECT_TRUE(owner) << error;
    }
    owner.reset();
    // The owner's ending removed the name of a block it used; a refused one is still there.
    if (p.reason) {
        error.clear();
        auto reader = SharedMemory::openExisting(name, 4096, SharedMemory::Access::ReadOnly, error);
        EXPECT_EQ(!reader, p.readerRefused) << error;
        if (p.readerRefused) {
            EXPECT_NE(error.find("belongs to another user"), std::string::npos) << error;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SharedMemory, PlantedBlock,
                         ::testing::Values(Planted{"foreign600", 65534, 0600, "belongs to another user", true},
                                           Planted{"foreign666", 65534, 0666, "belongs to another user", true},
                                           Planted{"ours644", 0, 0644, "has mode 0644, not 0600", false},
                                           Planted{"ours666", 0, 0666, "has mode 0666, not 0600", false},
                                           Planted{"staleOurs600", 0, 0600, nullptr, false}),
                         [](const auto& planted) { return std::string(planted.param.what); });

TEST(SharedMemory, ANewBlockIsPrivateWhateverTheUmask) {
    std::string name = testName("umask");
    mode_t old = umask(0277);
    std::string error;
    auto block = SharedMemory::createOrOpen(name, 4096, error);
    umask(old);
    ASSERT_TRUE(block) << error;
    struct stat st {};
    ASSERT_EQ(fstat(block->handle(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace kestrom
