// Calls handed to the main thread: run there, waited for, and dropped when their worker is told to end.
#include "platform/main_thread_calls.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

#include "wait_helpers.h"

namespace kestrom {
namespace {

using namespace std::chrono_literals;
using test::resultWithin;

struct MainThreadCallsTest : ::testing::Test {
    MainThreadCalls calls;
    std::atomic<bool> cancel{false};

    // A worker's callAndWait; the future holds its result.
    std::future<bool> fromWorker(std::function<void()> fn) {
        return std::async(std::launch::async, [this, fn] { return calls.callAndWait(fn, cancel); });
    }
};

TEST_F(MainThreadCallsTest, WorkerWaitsUntilTheMainThreadHasRunTheCall) {
    std::thread::id ranOn;
    auto result = fromWorker([&] { ranOn = std::this_thread::get_id(); });
    ASSERT_TRUE(calls.waitForPending(5s));
    EXPECT_EQ(result.wait_for(20ms), std::future_status::timeout) << "returned before the call ran";
    calls.runPending();
    EXPECT_TRUE(resultWithin(result));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(MainThreadCallsTest, CancelBeforeTheCallStartsDropsIt) {
    bool ran = false;
    auto result = fromWorker([&] { ran = true; });
    ASSERT_TRUE(calls.waitForPending(5s));
    cancel = true;
    calls.cancelWaits();
    EXPECT_FALSE(resultWithin(result));
    EXPECT_EQ(calls.pendingCount(), 0u);
    calls.runPending();
    EXPECT_FALSE(ran);
}

TEST_F(MainThreadCallsTest, CancelAfterTheCallStartedStillWaitsForItsEnd) {
    std::atomic<bool> finished{false};
    auto result = fromWorker([&] {
        cancel = true;
        calls.cancelWaits();
        std::this_thread::sleep_for(20ms);
        finished = true;
    });
    ASSERT_TRUE(calls.waitForPending(5s));
    calls.runPending();
    EXPECT_TRUE(resultWithin(result));
    EXPECT_TRUE(finished);
}

TEST_F(MainThreadCallsTest, AlreadyCancelledQueuesNothing) {
    cancel = true;
    auto result = fromWorker([] {});
    EXPECT_FALSE(resultWithin(result));
    EXPECT_EQ(calls.pendingCount(), 0u);
}

TEST_F(MainThreadCallsTest, OnTheMainThreadACallRunsAtOnce) {
    bool ran = false;
    EXPECT_TRUE(calls.callAndWait([&] { ran = true; }, cancel));
    EXPECT_TRUE(ran);
}

TEST_F(MainThreadCallsTest, PostsRunInOrderAndLaterPostsWaitForTheNextRound) {
    int wakeups = 0;
    calls.setWakeup([&] { ++wakeups; });
    std::vector<int> order;
    calls.post([&] {
        order.push_back(1);
        calls.post([&] { order.push_back(3); });
    });
    calls.post([&] { order.push_back(2); });
    EXPECT_EQ(wakeups, 2);
    calls.runPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(wakeups, 3);
    calls.runPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(MainThreadCallsTest, ACallThatThrowsStillReleasesItsWorker) {
    auto result = fromWorker([] { throw std::runtime_error("handler failed"); });
    ASSERT_TRUE(calls.waitForPending(5s));
    EXPECT_THROW(calls.runPending(), std::runtime_error);
    EXPECT_TRUE(resultWithin(result));
}

}  // namespace
}  // namespace kestrom
