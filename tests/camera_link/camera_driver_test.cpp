// The acquisition thread at work: what reaches the frame block, the console and the subscribers.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "acquisition_fixture.h"
#include "camera_link/acquisition.h"
#include "platform/delay_service.h"
#include "platform/shared_memory.h"

namespace kestrom::test {
namespace {

using Delivery = AcquisitionFixture;

std::vector<std::uint8_t> pattern(std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(256);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(seed + i);
    return bytes;
}

// The slot's camera's own record, as the console keeps it once it has read the camera.
void slotFactory(ConsoleState& state, int slot, std::uint8_t seed) {
    auto bytes = pattern(seed);
    std::copy(bytes.begin(), bytes.end(), state.slots[static_cast<std::size_t>(slot)].Factory.bytes.begin());
}

void holdFactory(ConsoleState& state, std::uint8_t seed) {
    auto bytes = pattern(seed);
    std::copy(bytes.begin(), bytes.end(), state.factory.bytes.begin());
}

TEST_F(Delivery, FrameReachesBlockConsoleAndSubscriberWithItsCamerasFactoryInfo) {
    state.currentSlot = 1;
    slotFactory(state, 1, 7);
    holdFactory(state, 99);   // another camera's, read last
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    Inbox& window = newWindow();
    // What a subscriber finds in the block while it handles the frame notice.
    std::vector<std::uint8_t> seenFactory;
    std::int16_t seenPixel = 0;
    window.onFrame = [&] {
        seenFactory = blockBytes(1, frame_block::kFactoryInfoOffset, 256);
        auto pixels = blockBytes(1, 2 * 777, 2);
        std::memcpy(&seenPixel, pixels.data(), 2);
    };
    thread->addSubscriber(window.handle);

    Frame first = Frame::make(1234, ConsoleBlock::kCalibrationGood, 87);
    const ConsoleBlock firstStatus = first.consoleBlock();
    frameThrough(camera, first);

    EXPECT_EQ(window.messages, (std::vector<Message>{{1326, 1, 1}}));
    EXPECT_EQ(seenFactory, pattern(7));
    EXPECT_EQ(seenPixel, 1234);
    EXPECT_EQ(state.slots[1].FrameCount.load(), 1);
    EXPECT_EQ(host.counters, (std::vector<std::pair<int, int>>{{1, 87}}));
    EXPECT_EQ(host.consoleBlockShown, 1);
    EXPECT_EQ(state.console.bytes, firstStatus.bytes);
    EXPECT_EQ(blockBytes(1, frame_block::kConsoleBlockOffset, 256),
              std::vector<std::uint8_t>(firstStatus.bytes.begin(), firstStatus.bytes.end()));

    frameThrough(camera, Frame::make(-5, 0, 90));
    EXPECT_EQ(window.messages.back(), (Message{1326, 2, 1}));
    EXPECT_EQ(host.counters.back(), (std::pair<int, int>{2, 90}));
}

TEST_F(Delivery, NewThreadFindsItsBlockZeroed) {
    std::string error;
    auto stale = SharedMemory::createOrOpen(prefix + "1", frame_block::kSize, error);
    ASSERT_TRUE(stale) << error;
    std::memset(stale->data(), 0xAB, frame_block::kSize);
    openCamera(1);
    startThread(1);
    auto bytes = blockBytes(1, 0, frame_block::kSize);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(frame_block::kSize, 0));
}

TEST_F(Delivery, EachBlockCarriesItsOwnCamerasFactoryInfoAndOnlyTheCurrentSlotUpdatesTheTab) {
    DeviceHandle camera1 = openCamera(1);
    DeviceHandle camera2 = openCamera(2);
    startThread(1);
    startThread(2);
    state.currentSlot = 1;
    slotFactory(state, 1, 10);
    slotFactory(state, 2, 30);
    holdFactory(state, 10);
    ConsoleBlock heldBefore = state.console;

    frameThrough(camera2, Frame::make(2, 0, 55));
    EXPECT_EQ(blockBytes(2, frame_block::kFactoryInfoOffset, 256), pattern(30)) << "the camera read last's record";
    EXPECT_EQ(state.console.bytes, heldBefore.bytes) << "a frame of another slot replaced the held status";
    EXPECT_TRUE(host.counters.empty());
    EXPECT_EQ(state.slots[2].FrameCount.load(), 1);

    frameThrough(camera1, Frame::make(1, 0, 66));
    EXPECT_EQ(blockBytes(1, frame_block::kFactoryInfoOffset, 256), pattern(10));
    EXPECT_EQ(host.counters, (std::vector<std::pair<int, int>>{{1, 66}}));

    // The user switches to tab 2: its camera's records are held now, but camera 1 keeps its own.
    state.currentSlot = 2;
    holdFactory(state, 30);
    frameThrough(camera1, Frame::make(1));
    EXPECT_EQ(blockBytes(1, frame_block::kFactoryInfoOffset, 256), pattern(10));
}

// Requests queued between two frames take effect after the second one.
struct RequestCase {
    const char* name;
    std::vector<char> requests;   // 'c' close, 's' stop, 'g' start (go), in the order queued
    bool receivesAfter;
    bool heldAfter;
};
void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class Requests : public AcquisitionFixture, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(Requests, TakeEffectAfterTheNextFrameInCloseStopStartOrder) {
    const RequestCase& c = GetParam();
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    Inbox& window = newWindow();
    Inbox& bystander = newWindow();
    thread->addSubscriber(window.handle);
    thread->addSubscriber(bystander.handle);
    frameThrough(camera, Frame::make(1));

    for (char r : c.requests) {
        if (r == 'c') thread->queueClose(window.handle);
        if (r == 's') thread->queueStop(window.handle);
        if (r == 'g') thread->queueStart(window.handle);
    }
    frameThrough(camera, Frame::make(2));
    EXPECT_EQ(window.frames(), 2) << "a request took effect before the next frame";

    frameThrough(camera, Frame::make(3));
    EXPECT_EQ(window.frames(), c.receivesAfter ? 3 : 2);
    EXPECT_EQ(bystander.frames(), 3);
    auto subscribers = thread->subscribers();
    bool held = std::any_of(subscribers.begin(), subscribers.end(), [&](const Subscriber& s) { return s.window == window.handle; });
    EXPECT_EQ(held, c.heldAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Requests,
    ::testing::Values(RequestCase{"StopThenStartKeepsReceiving", {'s', 'g'}, true, true},
                      RequestCase{"StartThenStopKeepsReceiving", {'g', 's'}, true, true},
                      RequestCase{"StopAlone", {'s'}, false, true},
                      RequestCase{"CloseReceivesOneMoreFrameThenIsGone", {'c'}, false, false},
                      RequestCase{"CloseBeatsALaterStart", {'c', 'g'}, false, false},
                      RequestCase{"StopAndStopAgain", {'s', 's'}, false, true}),
    [](const auto& run) { return std::string(run.param.name); });

TEST_F(Delivery, DebugLinesFollowEachStackFromItsLatestEntry) {
    state.currentSlot = 1;
    state.debugLogging = true;
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    Inbox& a = newWindow();
    Inbox& b = newWindow();
    Inbox& c = newWindow();
    for (Inbox* w : {&a, &b, &c}) thread->addSubscriber(w->handle);
    thread->addSubscriber(a.handle);   // already held: no second entry, no line
    frameThrough(camera, Frame::make(1));

    thread->queueStop(a.handle);
    thread->queueStop(b.handle);
    thread->queueStart(a.handle);
    thread->queueClose(c.handle);
    thread->queueStop(0x7777);   // not a subscriber: carried out on no record
    frameThrough(camera, Frame::make(2));
    frameThrough(camera, Frame::make(3));

    auto hex = [](WindowHandle w) {
        char s[16];
        std::snprintf(s, sizeof s, "%08X", w);
        return std::string(s);
    };
    std::vector<std::string> expected = {
        hex(a.handle) + ": Window added as subscriber.",
        hex(b.handle) + ": Window added as subscriber.",
        hex(c.handle) + ": Window added as subscriber.",
        hex(a.handle) + ": Frame sent.",
        hex(b.handle) + ": Frame sent.",
        hex(c.handle) + ": Frame sent.",
        hex(a.handle) + ": Frame sent.",
        hex(b.handle) + ": Frame sent.",
        hex(c.handle) + ": Frame sent.",
        hex(c.handle) + ": Window removed as subscriber.",
        hex(b.handle) + ": Window issued stop.",
        hex(a.handle) + ": Window issued stop.",
        hex(a.handle) + ": Window issued start.",
        hex(a.handle) + ": Frame sent.",
        hex(b.handle) + ": Frame NOT sent. Window not receiving.",
    };
    EXPECT_EQ(state.history.lines(), expected);
}

TEST_F(Delivery, WithoutTheDebugFlagNothingIsLogged) {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    Inbox& a = newWindow();
    thread->addSubscriber(a.handle);
    thread->queueStop(a.handle);
    frameThrough(camera, Frame::make(1));
    frameThrough(camera, Frame::make(2));
    EXPECT_EQ(state.history.size(), 0u);
}

TEST_F(Delivery, TableHoldsFiftyWindowsAndReusesAFreedEntry) {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    for (int i = 0; i < 51; ++i) thread->addSubscriber(newWindow().handle);
    Inbox& late = inboxes.back();
    Inbox& first = inboxes.front();
    frameThrough(camera, Frame::make(1));
    EXPECT_EQ(first.frames(), 1);
    EXPECT_EQ(inboxes[49].frames(), 1);
    EXPECT_EQ(late.frames(), 0);
    EXPECT_EQ(thread->subscribers().size(), 50u);

    thread->queueClose(first.handle);
    frameThrough(camera, Frame::make(2));
    thread->addSubscriber(late.handle);
    frameThrough(camera, Frame::make(3));
    EXPECT_EQ(late.frames(), 1);
    EXPECT_EQ(thread->subscribers().front().window, late.handle) << "the freed first entry is taken";
}

// Status flags of a frame block: bit 0x01000000 keeps the block from delivery, no other bit does.
struct SkipCase {
    std::uint32_t flags;
    bool delivered;
};
void PrintTo(const SkipCase& c, std::ostream* os) { *os << std::hex << "flags 0x" << c.flags; }

class SkipBit : public AcquisitionFixture, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(SkipBit, DecidesDelivery) {
    auto [camera, thread, window] = subscribedCamera();
    frameThrough(camera, Frame::make(1, GetParam().flags), GetParam().delivered);
    EXPECT_EQ(mainThread.pendingCount(), 0u);
    EXPECT_EQ(window.frames(), GetParam().delivered ? 1 : 0);
    EXPECT_EQ(state.slots[1].FrameCount.load(), GetParam().delivered ? 1 : 0);
    // The next plain frame goes through either way.
    frameThrough(camera, Frame::make(2));
    EXPECT_EQ(window.messages.back(), (Message{1326, GetParam().delivered ? 2 : 1, 1}));
}

INSTANTIATE_TEST_SUITE_P(Flags, SkipBit,
                         ::testing::Values(SkipCase{0x01000000, false}, SkipCase{0x01000001, false},
                                           SkipCase{0xFFFFFFFF, false}, SkipCase{0x00000001, true},
                                           SkipCase{0x00FFFFFF, true}, SkipCase{0xFE000000, true}));

TEST_F(Delivery, FailedReadsAreRetriedAndDeliverNothing) {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    device.failReads(camera, 3, EIO);
    CameraDriver* thread = startThread(1);
    Inbox& window = newWindow();
    thread->addSubscriber(window.handle);
    frameThrough(camera, Frame::make(1));
    EXPECT_EQ(device.failedReads(camera), 3);
    EXPECT_EQ(window.messages, (std::vector<Message>{{1326, 1, 1}}));
}

// While the slot is idle the thread reads nothing; once it reads again the waiting frame comes through.
struct IdleCase {
    const char* name;
    std::int32_t acquire;
    bool paused;
};
void PrintTo(const IdleCase& c, std::ostream* os) { *os << c.name; }

class Idle : public AcquisitionFixture, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(Idle, ReadsNothingUntilAcquisitionIsOnAgain) {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    state.slots[1].AcquireState.store(GetParam().acquire);
    state.slots[1].Paused.store(GetParam().paused);
    CameraDriver* thread = startThread(1);
    Inbox& window = newWindow();
    thread->addSubscriber(window.handle);
    device.pushFrame(camera, Frame::make(1));

    std::uint64_t passes = thread->passes();
    ASSERT_TRUE(eventually([&] { return thread->passes() >= passes + 3; }));
    EXPECT_EQ(device.readCalls(camera), 0);
    EXPECT_EQ(mainThread.pendingCount(), 0u);

    // The console switches acquisition on the way the settings panel does.
    InstantDelay delay;
    DriverCalls calls(state, device, host);
    Acquisition acquisition(state, calls, delay, host);
    state.slots[1].Paused.store(false);
    acquisition.SetAcquire(1);
    ASSERT_TRUE(mainThread.waitForPending(std::chrono::seconds(5)));
    mainThread.runPending();
    EXPECT_EQ(window.messages, (std::vector<Message>{{1326, 1, 1}}));
}

INSTANTIATE_TEST_SUITE_P(Cases, Idle,
                         ::testing::Values(IdleCase{"AcquireOff", 0, false}, IdleCase{"Paused", 1, true},
                                           IdleCase{"InvalidAcquireValue", 2, false}),
                         [](const auto& run) { return std::string(run.param.name); });

TEST_F(Delivery, AcquisitionSwitchedOffWhileTheFrameWaitsIsNotDelivered) {
    auto [camera, thread, window] = subscribedCamera();
    device.pushFrame(camera, Frame::make(1));
    ASSERT_TRUE(mainThread.waitForPending(std::chrono::seconds(5)));
    state.slots[1].AcquireState.store(0);
    mainThread.runPending();
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(state.slots[1].FrameCount.load(), 0);
    EXPECT_TRUE(host.counters.empty());
}

}  // namespace
}  // namespace kestrom::test
