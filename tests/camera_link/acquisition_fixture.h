// A console with hand-fed cameras, whose main-thread side the test runs itself, step by step.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "camera_link/acquisition_threads.h"
#include "fake_device.h"
#include "recording_host.h"
#include "wait_helpers.h"

namespace kestrom::test {

struct Message {
    std::uint32_t msg;
    std::intptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Message&) const = default;
};

// A subscriber window: what it received, and what it does on a new frame.
struct Inbox {
    WindowHandle handle = 0;
    std::vector<Message> messages;
    std::function<void()> onFrame;
    int frames() const;
};

// A block name prefix of its own, so that test programs running side by side never share a block.
std::string uniqueBlockPrefix();

class AcquisitionFixture : public ::testing::Test {
protected:
    AcquisitionFixture();
    ~AcquisitionFixture() override;

    // Opens a hand-fed camera in the slot, acquiring.
    DeviceHandle openCamera(int slot);
    CameraDriver* startThread(int slot);
    Inbox& newWindow();
    // Slot 1 current, its camera open, its thread running and one window subscribed.
    struct Subscribed {
        DeviceHandle camera;
        CameraDriver* thread;
        Inbox& window;
    };
    Subscribed subscribedCamera();

    // Hands one frame to the slot's thread and, when it is to be delivered, runs the delivery on
    // this thread; returns once the thread waits for its next frame, its requests carried out.
    void frameThrough(DeviceHandle device, const Frame& frame, bool delivered = true);

    std::vector<std::string> debugTexts();
    std::vector<std::uint8_t> blockBytes(int slot, std::size_t offset, std::size_t length);

    ConsoleState state;
    FakeDevice device;
    MainThreadCalls mainThread;
    MessagePort port{mainThread};
    RecordingHost host{state, device};
    std::mutex debugMutex;
    std::vector<std::string> debugLog;
    // Set by a test to hold the ending thread at its first debug text.
    std::function<void(const std::string&)> debugHook;
    const std::string prefix = uniqueBlockPrefix();
    AcquisitionThreads threads;
    std::deque<Inbox> inboxes;
};

}  // namespace kestrom::test
