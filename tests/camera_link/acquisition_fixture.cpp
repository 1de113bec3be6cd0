// The hand-run console of the acquisition tests.
#include "acquisition_fixture.h"

#include <unistd.h>

#include <atomic>

#include "platform/shared_memory.h"

namespace kestrom::test {

int Inbox::frames() const {
    int n = 0;
    for (const auto& m : messages) n += m.msg == CameraDriver::kNewFrameMessage;
    return n;
}

std::string uniqueBlockPrefix() {
    static std::atomic<int> counter{0};
    return "/Kest3test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_";
}

AcquisitionFixture::AcquisitionFixture()
    : threads(AcquisitionContext{state, device, mainThread, port, host,
                                 [this](const std::string& text) {
                                     {
                                         std::lock_guard lock(debugMutex);
                                         debugLog.push_back(text);
                                     }
                                     if (debugHook) debugHook(text);
                                 },
                                 prefix}) {}

AcquisitionFixture::~AcquisitionFixture() {
    // The console's shutdown order: end the threads, close the devices, then wait for the threads.
    threads.terminateAll();
    device.closeAll();
    threads.joinAll();
}

DeviceHandle AcquisitionFixture::openCamera(int slot) {
    DeviceHandle handle = device.openCamera();
    CameraSlot& s = state.slots[static_cast<std::size_t>(slot)];
    s.Device.store(handle);
    s.AcquireState.store(1);
    return handle;
}

CameraDriver* AcquisitionFixture::startThread(int slot) {
    CameraDriver* thread = threads.start(slot);
    EXPECT_NE(thread, nullptr) << threads.lastError();
    return thread;
}

AcquisitionFixture::Subscribed AcquisitionFixture::subscribedCamera() {
    state.currentSlot = 1;
    DeviceHandle camera = openCamera(1);
    CameraDriver* thread = startThread(1);
    Inbox& window = newWindow();
    thread->addSubscriber(window.handle);
    return {camera, thread, window};
}

Inbox& AcquisitionFixture::newWindow() {
    Inbox& inbox = inboxes.emplace_back();
    inbox.handle = port.registerWindow([&inbox](std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
        inbox.messages.push_back({msg, w, l});
        if (msg == CameraDriver::kNewFrameMessage && inbox.onFrame) inbox.onFrame();
        return 0;
    });
    return inbox;
}

void AcquisitionFixture::frameThrough(DeviceHandle handle, const Frame& frame, bool delivered) {
    ASSERT_TRUE(device.waitForReader(handle)) << "the thread never read";
    int reads = device.readCalls(handle);
    device.pushFrame(handle, frame);
    if (delivered) {
        ASSERT_TRUE(mainThread.waitForPending(std::chrono::seconds(5))) << "no delivery came";
        mainThread.runPending();
    }
    ASSERT_TRUE(device.waitForReader(handle, reads + 1)) << "the thread did not come back for a frame";
}

std::vector<std::string> AcquisitionFixture::debugTexts() {
    std::lock_guard lock(debugMutex);
    return debugLog;
}

std::vector<std::uint8_t> AcquisitionFixture::blockBytes(int slot, std::size_t offset, std::size_t length) {
    std::string error;
    auto block = SharedMemory::openExisting(prefix + std::to_string(slot), frame_block::kSize,
                                            SharedMemory::Access::ReadOnly, error);
    if (!block) {
        ADD_FAILURE() << error;
        return {};
    }
    return {block->bytes() + offset, block->bytes() + offset + length};
}

}  // namespace kestrom::test
