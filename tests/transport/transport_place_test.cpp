// Where the socket lives and who may use it: names, the private folder, stale and live sockets, peer credentials.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/transport_paths.h"
#include "platform/transport_socket.h"
#include "transport_fixture.h"

namespace kestrom::test {
namespace {

TEST(TransportPlace, SocketNameComesFromTheConsoleWindowsClassAndCaption) {
    EXPECT_EQ(socketFileName(kConsoleWindowClass, kConsoleWindowCaption),
              "TLogoAppForm-Kestrom_III_Control_Console.sock");
    // Nothing in a caption can lead out of the folder.
    EXPECT_EQ(socketFileName("A/B", "../x y"), "A_B-.._x_y.sock");
}

TEST(TransportPlace, RuntimeFolderFollowsXdgRuntimeDirElsePerUserTmp) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string keep = saved ? saved : "";
    const std::string fallback = "/tmp/kestrom3-" + std::to_string(geteuid());

    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(runtimeFolder(), "/run/user/4242/kestrom3");
    EXPECT_EQ(consoleSocketPath(), "/run/user/4242/kestrom3/TLogoAppForm-Kestrom_III_Control_Console.sock");
    setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(runtimeFolder(), fallback);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(runtimeFolder(), fallback);

    if (saved) setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

TEST(TransportPlace, OnlyAPrivateFolderOfThisUserIsUsed) {
    TempFolder base;
    const std::string real = base.file("real");
    ASSERT_EQ(mkdir(real.c_str(), 0700), 0);
    struct Case {
        const char* name;
        std::function<std::string()> make;   // returns the folder to check
        bool accepted;
    };
    const Case cases[] = {
        {"missing: created", [&] { return base.file("new"); }, true},
        {"existing 0700", [&] { return real; }, true},
        {"group may read", [&] {
             std::string f = base.file("g");
             mkdir(f.c_str(), 0700);
             chmod(f.c_str(), 0750);
             return f;
         }, false},
        {"others may enter", [&] {
             std::string f = base.file("o");
             mkdir(f.c_str(), 0700);
             chmod(f.c_str(), 0701);
             return f;
         }, false},
        {"symbolic link to a private folder", [&] {
             std::string f = base.file("link");
             symlink(real.c_str(), f.c_str());
             return f;
         }, false},
        {"a plain file", [&] {
             std::string f = base.file("file");
             std::ofstream(f) << "x";
             return f;
         }, false},
        {"parent missing", [&] { return base.file("no/such"); }, false},
    };
    for (const Case& c : cases) {
        std::string folder = c.make();
        std::string error;
        EXPECT_EQ(preparePrivateFolder(folder, error), c.accepted) << c.name << ": " << error;
        EXPECT_EQ(error.empty(), c.accepted) << c.name;
        if (c.accepted) {
            struct stat st {};
            ASSERT_EQ(lstat(folder.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u) << c.name;
        }
    }
}

TEST(TransportPlace, FolderOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user; the mode checks run above";
    TempFolder base;
    std::string foreign = base.file("foreign");
    ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    std::string error;
    EXPECT_FALSE(preparePrivateFolder(foreign, error));
    EXPECT_NE(error.find("belongs to user 65534"), std::string::npos) << error;
}

TEST(TransportPlace, PeerCredentialsAreComparedWithTheUser) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_TRUE(peerIsUser(pair[0], geteuid()));
    EXPECT_FALSE(peerIsUser(pair[0], geteuid() + 1));
    close(pair[0]);
    close(pair[1]);
    // Not a socket: never allowed.
    int file = open("/dev/null", O_RDONLY);
    EXPECT_FALSE(peerIsUser(file, geteuid()));
    close(file);
}

using TransportSocketPlace = ConsoleSide;

TEST_F(TransportSocketPlace, StaleSocketOfADeadConsoleIsReplaced) {
    // What a console that died leaves behind: a bound socket file that nobody listens at.
    int dead = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socketPath().c_str());
    ASSERT_EQ(bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(dead);

    startServer();
    TransportClient client(clientOptions());
    std::string error;
    ASSERT_TRUE(client.connect(error)) << error;
    EXPECT_EQ(client.findConsoleWindow(), console);
}

TEST_F(TransportSocketPlace, SecondServerIsRefusedAndLeavesTheFirstWorking) {
    startServer();
    TransportServer second(port, calls, console, options());
    std::string error;
    EXPECT_FALSE(second.start(error));
    EXPECT_NE(error.find("Another console is running"), std::string::npos) << error;

    TransportClient client(clientOptions());
    ASSERT_TRUE(client.connect(error)) << error;
    EXPECT_EQ(client.findConsoleWindow(), console);
}

TEST_F(TransportSocketPlace, StoppedServerRemovesItsSocketAndClientsFindNoConsole) {
    startServer();
    server->stop();
    struct stat st {};
    EXPECT_NE(lstat(socketPath().c_str(), &st), 0);
    TransportClient client(clientOptions());
    std::string error;
    EXPECT_FALSE(client.connect(error));
    EXPECT_NE(error.find("No console is running"), std::string::npos) << error;
    EXPECT_EQ(client.findConsoleWindow(), 0u);
    EXPECT_EQ(client.registerWindow([](auto, auto, auto) { return 0; }), 0u);
    EXPECT_EQ(client.send(console, 1326, 1, 0), 0);
}

TEST_F(TransportSocketPlace, NonSocketFileOrOpenFolderIsNotTakenOver) {
    std::ofstream(socketPath()) << "not a socket";
    TransportServer onFile(port, calls, console, options());
    std::string error;
    EXPECT_FALSE(onFile.start(error));
    EXPECT_NE(error.find("not a socket"), std::string::npos) << error;

    chmod(folder.path().c_str(), 0755);
    unlink(socketPath().c_str());
    TransportServer inOpenFolder(port, calls, console, options());
    EXPECT_FALSE(inOpenFolder.start(error));
    EXPECT_NE(error.find("0700 expected"), std::string::npos) << error;
}

}  // namespace
}  // namespace kestrom::test
