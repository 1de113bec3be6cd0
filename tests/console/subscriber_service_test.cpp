// Subscriber requests to the console window through the message port, with frames from a thread.
#include <QLineEdit>
#include <QTabWidget>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "console/camera_tab.h"
#include "console_fixture.h"

namespace kestrom::testing {
namespace {

using namespace std::chrono_literals;

// A window of this process that records what it receives.
struct RecordingWindow {
    explicit RecordingWindow(MessagePort& messagePort) : port(messagePort) {
        handle = port.registerWindow([this](std::uint32_t msg, std::intptr_t w, std::intptr_t l) {
            received.push_back({msg, w, l});
            return std::intptr_t{0};
        });
    }
    ~RecordingWindow() { port.unregisterWindow(handle); }
    int count(std::uint32_t msg) const {
        int n = 0;
        for (const auto& m : received) n += m.msg == msg;
        return n;
    }
    struct Message {
        std::uint32_t msg;
        std::intptr_t w, l;
    };
    MessagePort& port;
    WindowHandle handle;
    std::vector<Message> received;
};

class SubscriberService : public ConsoleFixture {
protected:
    std::intptr_t request(std::uint32_t msg, std::intptr_t w, std::intptr_t l) {
        return form->messagePort().send(form->windowHandle(), msg, w, l);
    }
    // Runs the main thread's queue until the condition holds or a generous limit passes.
    template <typename Condition>
    bool pumpUntil(Condition condition) {
        auto until = std::chrono::steady_clock::now() + 5s;
        while (!condition() && std::chrono::steady_clock::now() < until) {
            form->mainThread().waitForPending(10ms);
            form->mainThread().runPending();
        }
        return condition();
    }
};

TEST_F(SubscriberService, ConnectOnTheHistoryTabIsRefused) {
    start({camera(0, 11)});
    showTab(0);
    RecordingWindow w(form->messagePort());
    EXPECT_EQ(request(subscriber_protocol::kConnect, w.handle, 0), 0);
    EXPECT_TRUE(historyHas("0 External connection rejected from tab 0"));
    EXPECT_EQ(form->state().slots[1].Thread.load(), nullptr);
}

TEST_F(SubscriberService, ConnectOnTabTwoPublishesTheRecordsStartsFramesAndDeliversThem) {
    start({camera(0, 11), camera(1, 22)});
    RecordingWindow w(form->messagePort());
    ASSERT_EQ(form->state().currentSlot, 2);
    EXPECT_EQ(request(subscriber_protocol::kConnect, w.handle, 0), 2);
    const std::uint8_t* command = form->commandMemory()->bytes();
    EXPECT_EQ(std::memcmp(command, form->state().factory.bytes.data(), 256), 0);
    EXPECT_EQ(std::memcmp(command + 1024, form->state().console.bytes.data(), 256), 0);
    EXPECT_EQ(form->state().slots[2].AcquireState.load(), 1);
    EXPECT_TRUE(historyHas("2 Thread started."));
    EXPECT_NE(request(subscriber_protocol::kFrameBlockHandle, 1, 0), 0);

    driver->produceFrame(1);
    ASSERT_TRUE(pumpUntil([&] { return w.count(subscriber_protocol::kConnect) >= 1; }));
    EXPECT_EQ(w.received.back().l, 2);
    EXPECT_EQ(w.received.back().w, form->state().slots[2].FrameCount.load());
    EXPECT_EQ(request(subscriber_protocol::kFrameCount, 1, 0), form->state().slots[2].FrameCount.load());
}

TEST_F(SubscriberService, SerialSearchShowsTheCamerasTabAndRepliesBeforeReturning) {
    start({camera(0, 11), camera(1, 22), camera(2, 33)});
    showTab(1);
    RecordingWindow reply(form->messagePort());
    EXPECT_EQ(request(subscriber_protocol::kFindSerial, reply.handle, 33), 3);
    EXPECT_EQ(form->pageControl()->currentIndex(), 3);
    ASSERT_EQ(reply.count(subscriber_protocol::kFindSerial), 1);
    EXPECT_EQ(reply.received[0].w, 33);
    EXPECT_EQ(reply.received[0].l, 3);
    EXPECT_TRUE(historyHas("1 Serial search:33"));
    EXPECT_TRUE(historyHas("3 Serial found tab:3"));

    // Serial 0 is the History tab's.
    EXPECT_EQ(request(subscriber_protocol::kFindSerial, reply.handle, 0), 0);
    EXPECT_EQ(form->pageControl()->currentIndex(), 0);
    EXPECT_EQ(reply.received.back().l, 0);
    // Nobody's serial: no reply.
    EXPECT_EQ(request(subscriber_protocol::kFindSerial, reply.handle, 4242), 0);
    EXPECT_EQ(reply.count(subscriber_protocol::kFindSerial), 2);
}

TEST_F(SubscriberService, SerialListHoldsElevenEntriesSlotZeroFirst) {
    start({camera(0, 1234), camera(1, 22)});
    request(subscriber_protocol::kSerialList, 0, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(form->commandMemory()->bytes()), "0,1234,22,0,0,0,0,0,0,0,0");
}

TEST_F(SubscriberService, GainFactorTurnsAcquisitionOnAndReachesAFixedConfigurationCamera) {
    sim::CameraConfig c = camera(0, 901);
    c.ibp = true;
    c.choppedGain = {410, 820, 2048, 3276, 4095};
    start({c});
    form->acquisition().SetAcquire(0);
    request(subscriber_protocol::kGainFactor, 0, 3);
    EXPECT_EQ(driver->status(0).gain(), 1434);
    EXPECT_EQ(form->state().slots[1].AcquireState.load(), 1);
    EXPECT_TRUE(historyHas("1 Remote gain factor:3"));
    EXPECT_FALSE(form->currentTab()->GainFactor->isEnabled());  // locked again
}

TEST_F(SubscriberService, SlotsOutsideTheTableAreAnsweredWithZeroOrIgnored) {
    start({camera(0, 11)});
    std::size_t m = mark();
    // The extremes overflow any arithmetic done before the range check (UBSan reports it).
    for (std::intptr_t bad : {std::intptr_t{-5}, std::intptr_t{11}, std::intptr_t{1} << 40,
                              std::numeric_limits<std::intptr_t>::max(), std::numeric_limits<std::intptr_t>::min()}) {
        EXPECT_EQ(request(subscriber_protocol::kFrameBlockHandle, bad, 0), 0);
        EXPECT_EQ(request(subscriber_protocol::kFrameCount, bad, 0), 0);
        for (std::uint32_t msg : {subscriber_protocol::kCalibrate, subscriber_protocol::kStart, subscriber_protocol::kStop, subscriber_protocol::kClose, subscriber_protocol::kOruClosed, subscriber_protocol::kLoadSetup})
            EXPECT_EQ(request(msg, 0, bad), 0);
    }
    EXPECT_TRUE(linesSince(m).empty());
    EXPECT_TRUE(form->state().slots[1].hasDevice());
}

TEST_F(SubscriberService, MenuLockoutOnTheHistoryTabOnlyShowsItsBox) {
    start({camera(0, 11)});
    showTab(0);
    request(subscriber_protocol::kMenuLockout, 0, 0);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "External program request error.");
    EXPECT_EQ(dialogs.boxes[0].text, "Ignoring request to hide/show controls.");
}

TEST_F(SubscriberService, SetupFileRequestLoadsThePathFromSharedMemory) {
    start({camera(0, 11)});
    std::string file = configFolder + "/remote.setup";
    std::ofstream(file) << "ExposureTime=400\n";
    std::memcpy(form->commandMemory()->bytes(), file.c_str(), file.size() + 1);
    form->panel().SetTriggerMethod(0);  // pulsed, so the exposure field is in use
    form->panel().RefreshSettings();
    request(subscriber_protocol::kLoadSetup, 0, 1);
    EXPECT_TRUE(historyHas("1 Setup:1 " + file));
    EXPECT_TRUE(historyHas("1 After setup:1 " + file));
    EXPECT_EQ(form->state().slots[1].SetupFile, file);
}

}  // namespace
}  // namespace kestrom::testing
