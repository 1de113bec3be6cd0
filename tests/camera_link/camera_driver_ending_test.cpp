// How an acquisition thread ends: subscribers told, block released, slot field, no deadlock.
#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "acquisition_fixture.h"
#include "platform/shared_memory.h"

namespace kestrom::test {
namespace {

using Ending = AcquisitionFixture;

const std::vector<std::string> kEndTexts = {"Closing open windows", "Terminating thread"};

TEST_F(Ending, TellsEverySubscriberAndReleasesTheBlockName) {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    Inbox& a = newWindow();
    Inbox& b = newWindow();
    thread->addSubscriber(a.handle);
    thread->addSubscriber(b.handle);
    thread->queueStop(b.handle);
    frameThrough(camera, Frame::make(1));
    ASSERT_NE(thread->mappingHandle(), 0);

    threads.terminate(1);
    EXPECT_EQ(state.slots[1].Thread.load(), nullptr) << "the console forgets the thread at once";
    device.close(camera);
    ASSERT_TRUE(eventually([&] { return threads.reap() == 1; }));
    mainThread.runPending();

    // Not receiving does not matter: every held window hears that the camera is closing.
    EXPECT_EQ(a.messages.back(), (Message{1330, a.handle, 1}));
    EXPECT_EQ(b.messages.back(), (Message{1330, b.handle, 1}));
    EXPECT_EQ(debugTexts(), kEndTexts);
    std::string error;
    EXPECT_FALSE(SharedMemory::openExisting(prefix + "1", frame_block::kSize, SharedMemory::Access::ReadOnly, error));
    EXPECT_NE(error.find(prefix + "1"), std::string::npos) << error;
}

TEST_F(Ending, ADeliveryThatHasNotStartedIsDroppedSoAWaitingMainThreadIsNotDeadlocked) {
    auto [camera, thread, window] = subscribedCamera();
    device.pushFrame(camera, Frame::make(1));
    ASSERT_TRUE(mainThread.waitForPending(std::chrono::seconds(5)));

    // The main thread ends the thread and waits for it instead of running the delivery.
    threads.terminateAll();
    finishesWithin([&] { threads.joinAll(); });
    mainThread.runPending();
    EXPECT_EQ(window.messages, (std::vector<Message>{{1330, window.handle, 1}}));
    EXPECT_EQ(state.slots[1].FrameCount.load(), 0);
}

TEST_F(Ending, CameraClosedFromInsideADeliveryEndsTheThreadAfterIt) {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    Inbox& window = newWindow();
    Inbox& later = newWindow();
    thread->addSubscriber(window.handle);
    thread->addSubscriber(later.handle);
    // The subscriber's handler leads to the console closing the camera, while the thread waits.
    window.onFrame = [&] {
        threads.terminate(1);
        device.close(state.slots[1].Device.exchange(kNoDevice));
    };
    device.pushFrame(camera, Frame::make(1));
    ASSERT_TRUE(mainThread.waitForPending(std::chrono::seconds(5)));
    mainThread.runPending();
    ASSERT_TRUE(eventually([&] { return threads.reap() == 1; }));
    mainThread.runPending();
    EXPECT_EQ(window.messages, (std::vector<Message>{{1326, 1, 1}, {1330, window.handle, 1}}));
    EXPECT_EQ(later.messages, (std::vector<Message>{{1326, 1, 1}, {1330, later.handle, 1}}))
        << "the delivery in progress still reaches every subscriber";
}

TEST_F(Ending, PulledOutCameraFailsReadsUntilTheConsoleClosesIt) {
    auto [camera, thread, window] = subscribedCamera();
    ASSERT_TRUE(device.waitForReader(camera));
    device.detach(camera);
    ASSERT_TRUE(eventually([&] { return device.failedReads(camera) >= 3; }));
    EXPECT_EQ(mainThread.pendingCount(), 0u);

    // The device-change handling closes the camera.
    threads.terminate(1);
    device.close(state.slots[1].Device.exchange(kNoDevice));
    ASSERT_TRUE(eventually([&] { return threads.reap() == 1; }));
    mainThread.runPending();
    EXPECT_EQ(window.messages, (std::vector<Message>{{1330, window.handle, 1}}));
}

TEST_F(Ending, ADeviceIsClosedOnlyOnceTheReadInsideItHasReturned) {
    auto [camera, thread, window] = subscribedCamera();
    ASSERT_TRUE(device.waitForReader(camera));

    threads.terminate(1);
    threads.closeDevice(state.slots[1].Device.exchange(kNoDevice));
    EXPECT_TRUE(device.isOpen(camera)) << "closed under a read that still runs";

    device.pushFrame(camera, Frame::make(1));   // the read returns
    ASSERT_TRUE(eventually([&] { return threads.reap() == 1; }));
    mainThread.runPending();
    EXPECT_FALSE(device.isOpen(camera));
    EXPECT_EQ(device.closeCalls(camera), 1);
    EXPECT_EQ(device.readsOfClosed(camera), 0);
}

TEST_F(Ending, ADeviceNoThreadReadsIsClosedAtOnce) {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    threads.closeDevice(state.slots[1].Device.exchange(kNoDevice));
    EXPECT_EQ(device.closeCalls(camera), 1);
}

TEST_F(Ending, AThreadReadsOnlyTheDeviceItWasStartedWith) {
    auto [first, thread, window] = subscribedCamera();
    frameThrough(first, Frame::make(1));

    // Another camera comes into the slot while the thread of the first one, pulled out, still runs.
    DeviceHandle second = openCamera(1);
    device.pushFrame(second, Frame::make(2));
    device.detach(first);
    const std::uint64_t passes = thread->passes();
    ASSERT_TRUE(eventually([&] { return thread->passes() > passes + 20; }));
    mainThread.runPending();
    EXPECT_EQ(device.readCalls(second), 0);
    EXPECT_EQ(window.frames(), 1);
}

TEST_F(Ending, AThreadThatEndsClearsItsSlot) {
    openCamera(1);
    CameraDriver* thread = startThread(1);
    ASSERT_EQ(state.slots[1].Thread.load(), thread);
    thread->terminate();   // not through the console, which would forget it first
    device.closeAll();
    ASSERT_TRUE(eventually([&] { return thread->finished(); }));
    EXPECT_EQ(state.slots[1].Thread.load(), nullptr);
}

TEST_F(Ending, AThreadThatEndsLateLeavesTheNewerThreadInItsSlot) {
    openCamera(1);
    startThread(1);
    // Hold the old thread at its first ending step until the new one is in place. The gate outlives
    // this body: the newer thread passes the hook again when the fixture ends it.
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool held = false, release = false;
    };
    auto gate = std::make_shared<Gate>();
    auto open = [gate] {
        {
            std::lock_guard lock(gate->m);
            gate->release = true;
        }
        gate->cv.notify_all();
    };
    // Opened on every way out of this body, so that a failed check cannot leave the old thread held.
    std::shared_ptr<void> openOnExit(nullptr, [open](void*) { open(); });
    debugHook = [gate](const std::string& text) {
        if (text != "Closing open windows") return;
        std::unique_lock lock(gate->m);
        if (gate->held) return;   // only the first thread to end waits
        gate->held = true;
        gate->cv.notify_all();
        gate->cv.wait(lock, [&] { return gate->release; });
    };
    threads.terminate(1);
    {
        std::unique_lock lock(gate->m);
        ASSERT_TRUE(gate->cv.wait_for(lock, std::chrono::seconds(5), [&] { return gate->held; }));
    }
    CameraDriver* newer = startThread(1);
    open();
    ASSERT_NE(newer, nullptr);
    ASSERT_TRUE(eventually([&] { return threads.reap() == 1; }));
    EXPECT_EQ(state.slots[1].Thread.load(), newer);
    EXPECT_EQ(threads.count(), 1u);
    // The newer thread still has its block: the old one's ending did not remove the shared name.
    std::string error;
    EXPECT_TRUE(SharedMemory::openExisting(prefix + "1", frame_block::kSize, SharedMemory::Access::ReadOnly, error))
        << error;
}

TEST_F(Ending, StartIsRefusedWhereNoThreadMayRun) {
    openCamera(1);
    CameraDriver* thread = startThread(1);
    for (int slot : {0, 5, 10, -1, 11}) {
        EXPECT_EQ(threads.start(slot), nullptr) << slot;
        EXPECT_FALSE(threads.lastError().empty());
    }
    EXPECT_EQ(threads.start(1), nullptr) << "a slot never gets a second thread";
    EXPECT_EQ(state.slots[1].Thread.load(), thread);
}

TEST(EndingWithoutBlock, ABlockThatCannotBeMadeStartsNoThread) {
    ConsoleState state;
    FakeDevice device;
    MainThreadCalls mainThread;
    MessagePort port(mainThread);
    RecordingHost host(state, device);
    AcquisitionThreads threads(AcquisitionContext{state, device, mainThread, port, host, {}, "/no/such/folder_"});
    EXPECT_EQ(threads.start(1), nullptr);
    EXPECT_NE(threads.lastError().find("/no/such/folder_1"), std::string::npos) << threads.lastError();
    EXPECT_EQ(state.slots[1].Thread.load(), nullptr);
    EXPECT_EQ(threads.count(), 0u);
}

}  // namespace
}  // namespace kestrom::test
