// The in-process message port: handles, sent messages on the caller's thread, posted ones later.
#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace kestrom {
namespace {

struct MessagePortTest : ::testing::Test {
    MainThreadCalls calls;
    MessagePort port{calls};
};

TEST_F(MessagePortTest, HandlesAreNonZeroAndDistinct) {
    std::set<WindowHandle> handles;
    for (int i = 0; i < 100; ++i) handles.insert(port.registerWindow([](auto, auto, auto) { return 0; }));
    EXPECT_EQ(handles.size(), 100u);
    EXPECT_EQ(handles.count(0), 0u);
}

TEST_F(MessagePortTest, SendRunsTheHandlerOnTheSendersThreadAndReturnsItsResult) {
    std::thread::id handledOn;
    WindowHandle w = port.registerWindow([&](std::uint32_t msg, std::intptr_t wp, std::intptr_t lp) {
        handledOn = std::this_thread::get_id();
        return static_cast<std::intptr_t>(msg + wp * 10 + lp * 100);
    });
    std::intptr_t result = 0;
    std::thread::id sender;
    std::thread t([&] {
        sender = std::this_thread::get_id();
        result = port.send(w, 1326, 2, 3);
    });
    t.join();
    EXPECT_EQ(result, 1326 + 20 + 300);
    EXPECT_EQ(handledOn, sender);
    EXPECT_EQ(calls.pendingCount(), 0u);
}

TEST_F(MessagePortTest, UnknownWindowsGetNothing) {
    EXPECT_EQ(port.send(0x12345, 1326, 1, 1), 0);
    EXPECT_FALSE(port.post(0x12345, 1330, 1, 1));
    EXPECT_EQ(calls.pendingCount(), 0u);
}

TEST_F(MessagePortTest, PostedMessagesWaitForTheMainThreadAndSkipWindowsGoneByThen) {
    std::vector<std::intptr_t> got;
    WindowHandle stays = port.registerWindow([&](auto, std::intptr_t wp, auto) { got.push_back(wp); return 0; });
    WindowHandle goes = port.registerWindow([&](auto, std::intptr_t wp, auto) { got.push_back(wp); return 0; });
    EXPECT_TRUE(port.post(stays, 1330, 1, 0));
    EXPECT_TRUE(port.post(goes, 1330, 2, 0));
    EXPECT_TRUE(port.post(stays, 1330, 3, 0));
    EXPECT_TRUE(got.empty());
    port.unregisterWindow(goes);
    calls.runPending();
    EXPECT_EQ(got, (std::vector<std::intptr_t>{1, 3}));
}

TEST_F(MessagePortTest, AHandlerMayUnregisterItsOwnWindow) {
    WindowHandle w = 0;
    int calls_ = 0;
    w = port.registerWindow([&](auto, auto, auto) {
        ++calls_;
        port.unregisterWindow(w);
        return 7;
    });
    EXPECT_EQ(port.send(w, 1, 0, 0), 7);
    EXPECT_EQ(port.send(w, 1, 0, 0), 0);
    EXPECT_EQ(calls_, 1);
    EXPECT_FALSE(port.isWindow(w));
}

}  // namespace
}  // namespace kestrom
