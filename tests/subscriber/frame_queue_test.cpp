// The queue of a handle on its own thread: the oldest frame gives way, events never do, order is
// kept, and its descriptor is readable exactly while something waits.
#include "subscriber/c/frame_queue.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "camera_records/console_block.h"

namespace kestrom {
namespace {

using namespace std::chrono_literals;

std::array<std::uint8_t, frame_block::kSize> block(std::int16_t first) {
    std::array<std::uint8_t, frame_block::kSize> b{};
    std::memcpy(b.data(), &first, sizeof first);
    b[frame_block::kConsoleBlockOffset] = 0xC0;
    b[frame_block::kFactoryInfoOffset + 255] = 0xFA;
    return b;
}

bool readable(const FrameQueue& q) {
    pollfd p{q.descriptor(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

// What the queue hands out, as "f<index>" and "e<event>" items.
std::vector<std::string> drain(FrameQueue& q) {
    std::vector<std::string> items;
    k3s_event event{};
    k3s_frame frame{};
    std::string reason;
    while (q.take(0ms, event, &frame, reason))
        items.push_back(event == K3S_EVENT_NEW_FRAME ? "f" + std::to_string(frame.index) : "e" + std::to_string(event) + reason);
    return items;
}

TEST(FrameQueue, AFullQueueDropsItsOldestFrameButNoEventAndKeepsTheOrder) {
    FrameQueue q(2);
    EXPECT_FALSE(readable(q));
    q.pushFrame(block(1).data(), 1, 1, 1234);
    q.pushEvent(K3S_EVENT_CALIBRATE_DONE);
    q.pushFrame(block(2).data(), 2, 1, 1234);
    q.pushFrame(block(3).data(), 3, 1, 1234);
    q.pushEvent(K3S_EVENT_KEST_CLOSE, " closed");
    EXPECT_TRUE(readable(q));
    EXPECT_EQ(drain(q), (std::vector<std::string>{"e3", "f2", "f3", "e1 closed"}));
    EXPECT_EQ(q.dropped(), 1);
    EXPECT_FALSE(readable(q));
}

TEST(FrameQueue, AFrameIsTheBlockAsHandedOutWithWhereItCameFrom) {
    FrameQueue q(8);
    auto b = block(-7);
    q.pushFrame(b.data(), 42, 3, 4660);
    k3s_event event{};
    k3s_frame frame{};
    std::string reason;
    ASSERT_TRUE(q.take(0ms, event, &frame, reason));
    EXPECT_EQ(event, K3S_EVENT_NEW_FRAME);
    EXPECT_EQ(frame.pixels[0], -7);
    EXPECT_EQ(frame.console[0], 0xC0);
    EXPECT_EQ(frame.factory[255], 0xFA);
    EXPECT_EQ(frame.index, 42);
    EXPECT_EQ(frame.slot, 3);
    EXPECT_EQ(frame.serial, 4660);
    EXPECT_GT(frame.time, 1.5e9);
    EXPECT_GT(frame.received_ns, 0);
}

TEST(FrameQueue, ATakeWaitsForTheNextItemAndGivesUpAtItsTimeout) {
    FrameQueue q(1);
    k3s_event event{};
    std::string reason;
    EXPECT_FALSE(q.take(20ms, event, nullptr, reason));
    std::thread later([&] {
        std::this_thread::sleep_for(30ms);
        q.pushEvent(K3S_EVENT_KEST_OPEN);
    });
    EXPECT_TRUE(q.take(5000ms, event, nullptr, reason));
    EXPECT_EQ(event, K3S_EVENT_KEST_OPEN);
    later.join();
}

}  // namespace
}  // namespace kestrom
