// The subscriber component against a console in the test's hands: attach, requests, frames, timers and failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "camera_records/byte_order.h"
#include "camera_records/console_block.h"
#include "fake_console.h"
#include "subscriber/frame_block_view.h"
#include "subscriber/kestrom3_subscriber.h"

namespace kestrom::test {
namespace {

using namespace std::chrono_literals;

// A component on the fake console with a clock that moves only when the test says.
class SubscriberCore : public ::testing::Test {
protected:
    SubscriberCore() {
        console.factory.setWord(FactoryInfo::kSerialNumber, 4321);
        console.factory.setWord(FactoryInfo::kDetectorWidth, 124);
        console.factory.setWord(FactoryInfo::kDetectorHeight, 120);
        console.factory.setFloatLE(FactoryInfo::kHScale, 0.1f);
        console.factory.setFloatLE(FactoryInfo::kVScale, 0.2f);
        console.console.setWord(0, 77);
        console.serials = {0, 1111, 4321, 3333};
        sub = make();
    }

    std::unique_ptr<TKesTrom3Subscriber> make() {
        SubscriberOptions options;
        options.sharedMemoryPrefix = console.prefix();
        options.clock = [this] { return now; };
        auto s = std::make_unique<TKesTrom3Subscriber>(console, options);
        s->OnKestOpen = [this](TKesTrom3Subscriber&) { ++opened; };
        s->OnKestClose = [this](TKesTrom3Subscriber&) { ++closed; };
        s->OnNewFrame = [this](TKesTrom3Subscriber& sender) {
            ++frames;
            if (onFrame) onFrame(sender);
        };
        s->OnCalibrateDone = [this](TKesTrom3Subscriber&) { ++calibrated; };
        return s;
    }

    void attach(int slot = 2) {
        console.run();
        console.currentSlot = slot;
        ASSERT_EQ(sub->Open(), FakeConsole::kConsoleWindow);
        ASSERT_EQ(sub->Tab(), slot);
    }

    void advance(std::chrono::milliseconds step) {
        now += step;
        sub->pump(0ms);
    }

    // A frame in the slot's block with every pixel at value.
    void frame(std::int16_t value, int slot = 2) {
        console.fillPixels(slot, value);
        console.sendFrame(sub->Handle(), ++frameCount, slot);
    }

    FakeConsole console;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1h;
    int opened = 0, closed = 0, frames = 0, calibrated = 0;
    std::intptr_t frameCount = 0;
    std::function<void(TKesTrom3Subscriber&)> onFrame;
    std::unique_ptr<TKesTrom3Subscriber> sub;
};

TEST_F(SubscriberCore, OpenAttachesToTheShownTabAndTakesTheRecordsFromTheCommandBlock) {
    attach(2);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(console.requests, (std::vector<FakeConsole::Request>{{1326, sub->Handle(), 0}}));
    EXPECT_EQ(sub->Serial(), 4321);
    EXPECT_FLOAT_EQ(sub->HScale(), 0.1f);
    EXPECT_FLOAT_EQ(sub->VScale(), 0.2f);

    // The arrays are the records as the camera keeps them.
    auto factory = sub->GetFactory();
    EXPECT_TRUE(std::equal(factory.begin(), factory.end(), console.factory.bytes.begin(), console.factory.bytes.end()));
    auto status = sub->GetConsole();
    EXPECT_TRUE(std::equal(status.begin(), status.end(), console.console.bytes.begin(), console.console.bytes.end()));
    EXPECT_EQ(sub->ConsoleCopy().word(0), 77);

    // The copy has the detector size in host order and nothing else converted.
    auto copy = sub->FactoryCopy();
    std::uint16_t width, height;
    std::memcpy(&width, &copy[FactoryInfo::kDetectorWidth], 2);
    std::memcpy(&height, &copy[FactoryInfo::kDetectorHeight], 2);
    EXPECT_EQ(width, 124);
    EXPECT_EQ(height, 120);
    EXPECT_EQ(readBE16(&copy[FactoryInfo::kSerialNumber]), 4321);

    // No frame yet: the data array is a single zero.
    DataArray data = sub->GetData();
    EXPECT_EQ(data.dim0, 1u);
    EXPECT_EQ(data.dim1, 1u);
    EXPECT_EQ(data.values, std::vector<double>{0.0});
}

TEST_F(SubscriberCore, BeforeAnyAttachEveryArrayIsASingleZero) {
    EXPECT_EQ(sub->GetData().values, std::vector<double>{0.0});
    EXPECT_EQ(sub->GetConsole(), ByteArray{0});
    EXPECT_EQ(sub->GetFactory(), ByteArray{0});
}

TEST_F(SubscriberCore, WithoutAConsoleOrCameraOpenKeepsLookingEveryTenSecondsAndAnnouncesOnce) {
    EXPECT_EQ(sub->Open(), 0u);
    EXPECT_EQ(opened, 0);

    // The console starts on its History tab: found, but refused.
    console.run();
    console.currentSlot = 0;
    advance(9999ms);
    EXPECT_TRUE(console.requests.empty());
    advance(1ms);
    EXPECT_EQ(console.requestsOf(1326).size(), 1u);
    EXPECT_EQ(opened, 0);

    // A camera tab without a serial number is no camera yet either.
    console.currentSlot = 1;
    console.factory.setWord(FactoryInfo::kSerialNumber, 0);
    advance(10s);
    EXPECT_EQ(console.requestsOf(1326).size(), 2u);
    EXPECT_EQ(opened, 0);

    console.factory.setWord(FactoryInfo::kSerialNumber, 1111);
    advance(10s);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(sub->Serial(), 1111);
    EXPECT_EQ(sub->Tab(), 1);

    // Attached: the timer has stopped.
    advance(30s);
    EXPECT_EQ(console.requestsOf(1326).size(), 3u);
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(sub->nextTimerIn().has_value());
}

TEST_F(SubscriberCore, MisuseWithoutATabThrowsItsTextAndNeitherSendsNorStores) {
    console.run();
    console.currentSlot = 0;
    sub->Open();   // the console is found; its History tab gives no slot
    ASSERT_EQ(sub->Tab(), 0);
    const auto sent = console.requests.size();

    struct Case {
        const char* text;
        std::function<void(TKesTrom3Subscriber&)> call;
    };
    const Case cases[] = {
        {"Calibrate requested for tab 0", [](TKesTrom3Subscriber& s) { s.Calibrate(); }},
        {"Pixel correction requested for tab 0", [](TKesTrom3Subscriber& s) { s.SetPixelCorrection(true); }},
        {"Gain correction requested for tab 0", [](TKesTrom3Subscriber& s) { s.SetGainCorrectionOnOff(true); }},
        {"SetGainFactor requested for tab 0", [](TKesTrom3Subscriber& s) { s.SetGainFactor(5); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            c.call(*sub);
            ADD_FAILURE() << "no exception";
        } catch (const SubscriberException& e) {
            EXPECT_STREQ(e.what(), c.text);
        }
    }
    EXPECT_EQ(console.requests.size(), sent);
    EXPECT_FALSE(sub->PixelCorrection());
    EXPECT_FALSE(sub->GainCorrectionOn());

    // The refused calibration left nothing pending.
    sub->SetTab(2);
    frame(1);
    EXPECT_EQ(calibrated, 0);
}

TEST_F(SubscriberCore, EachRequestCarriesTheComponentsWindowAndItsWord) {
    attach(3);
    struct Case {
        const char* name;
        std::function<void(TKesTrom3Subscriber&)> call;
        std::uint32_t msg;
        std::intptr_t lParam;
    };
    const Case cases[] = {
        // The console's word says whether its menus are enabled: the reverse of the lock-out.
        {"menu lock-out on", [](TKesTrom3Subscriber& s) { s.SetMenuLockout(true); }, 1335, 0},
        {"menu lock-out off", [](TKesTrom3Subscriber& s) { s.SetMenuLockout(false); }, 1335, 1},
        {"pixel correction on", [](TKesTrom3Subscriber& s) { s.SetPixelCorrection(true); }, 1337, 1},
        {"pixel correction off", [](TKesTrom3Subscriber& s) { s.SetPixelCorrection(false); }, 1337, 0},
        {"gain correction on", [](TKesTrom3Subscriber& s) { s.SetGainCorrectionOnOff(true); }, 1338, 1},
        {"gain correction off", [](TKesTrom3Subscriber& s) { s.SetGainCorrectionOnOff(false); }, 1338, 0},
        {"gain factor", [](TKesTrom3Subscriber& s) { s.SetGainFactor(7); }, 1340, 7},
        {"start", [](TKesTrom3Subscriber& s) { s.Start(); }, 1328, 3},
        {"stop", [](TKesTrom3Subscriber& s) { s.Stop(); }, 1329, 3},
        {"close", [](TKesTrom3Subscriber& s) { s.Close(); }, 1330, 3},
        {"calibrate", [](TKesTrom3Subscriber& s) { s.Calibrate(); }, 1327, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.call(*sub);
        ASSERT_FALSE(console.requests.empty());
        EXPECT_EQ(console.requests.back(), (FakeConsole::Request{c.msg, sub->Handle(), c.lParam}));
    }
    EXPECT_FALSE(sub->MenuLockout());
    EXPECT_FALSE(sub->PixelCorrection());
    sub->SetMenuLockout(true);
    sub->SetPixelCorrection(true);
    sub->SetGainCorrectionOnOff(true);
    EXPECT_TRUE(sub->MenuLockout() && sub->PixelCorrection() && sub->GainCorrectionOn());
}

TEST_F(SubscriberCore, SetupFileNameIsWrittenToTheCommandBlockBeforeItsRequestForSlotOneWhenNoTab) {
    console.run();
    console.currentSlot = 0;
    sub->Open();
    ASSERT_EQ(sub->Tab(), 0);

    sub->SetSetupFilename("/home/me/beam.setup");
    EXPECT_EQ(sub->Tab(), 1);
    EXPECT_EQ(console.requests.back(), (FakeConsole::Request{1336, sub->Handle(), 1}));
    EXPECT_EQ(console.setupPathSeen, "/home/me/beam.setup");
    EXPECT_EQ(sub->SetupFilename(), "/home/me/beam.setup");

    // The block holds 1023 characters and the NUL; the property keeps the whole name.
    std::string longName(1500, 'x');
    sub->SetSetupFilename(longName);
    EXPECT_EQ(console.setupPathSeen, longName.substr(0, 1023));
    EXPECT_EQ(sub->SetupFilename(), longName);

    // Without the command block nothing is sent and the name is forgotten.
    const auto sent = console.requests.size();
    console.dropCommandBlock();
    sub->SetSetupFilename("/home/me/other.setup");
    EXPECT_EQ(sub->SetupFilename(), "");
    EXPECT_EQ(console.requests.size(), sent);
}

TEST_F(SubscriberCore, FindSerialTakesSlotAndSerialFromTheConsolesReplyAndAlwaysAnnounces) {
    struct Case {
        const char* name;
        bool attachFirst;
        int serial;
        int slot;
        int serialAfter;
    };
    const Case cases[] = {
        {"known serial", true, 3333, 3, 3333},
        {"unknown serial", true, 999, 0, 1111},
        // Looking for a serial number first finds the console without connecting anywhere.
        {"before any attach", false, 3333, 3, 3333},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        console.vanish();
        console.requests.clear();
        sub = make();
        opened = 0;
        // The console holds camera 1111's record whichever slot the search finds.
        console.factory.setWord(FactoryInfo::kSerialNumber, 1111);
        if (c.attachFirst) {
            attach(1);
        } else {
            console.run();
        }
        const int openedBefore = opened;

        EXPECT_EQ(sub->FindSerial(c.serial), c.slot);
        EXPECT_EQ(sub->Tab(), c.slot);
        EXPECT_EQ(sub->Serial(), c.serialAfter);
        EXPECT_EQ(opened, openedBefore + 1);
        EXPECT_EQ(console.requests.back(), (FakeConsole::Request{1334, sub->Handle(), c.serial}));
        EXPECT_EQ(console.requestsOf(1326).size(), c.attachFirst ? 1u : 0u);
    }
}

// Another program's serial search can move the console's tab between this component's search
// and its connect: the connect then lands on another camera, which the component leaves at once.
TEST_F(SubscriberCore, AConnectThatLandsOnAnotherCameraThanTheOneFoundIsLeftAndTheSearchRepeated) {
    console.run();
    console.factory.setWord(FactoryInfo::kSerialNumber, 4321);
    ASSERT_EQ(sub->FindSerial(4321), 2);
    const int openedAfterSearch = opened;
    // Meanwhile the console shows camera 1111 in tab 1.
    console.currentSlot = 1;
    console.factory.setWord(FactoryInfo::kSerialNumber, 1111);

    sub->Open();
    EXPECT_EQ(sub->Serial(), 0);
    EXPECT_EQ(opened, openedAfterSearch);
    EXPECT_NE(sub->AttachError().find("not to camera 4321"), std::string::npos) << sub->AttachError();
    EXPECT_EQ(console.requests.back(), (FakeConsole::Request{1330, sub->Handle(), 1}));
    // A frame of that camera that was on its way is not taken.
    frame(500, 1);
    EXPECT_EQ(frames, 0);

    // The retry finds the camera again and attaches to it.
    console.factory.setWord(FactoryInfo::kSerialNumber, 4321);
    advance(10s);
    EXPECT_EQ(sub->Tab(), 2);
    EXPECT_EQ(sub->Serial(), 4321);
    EXPECT_TRUE(sub->AttachError().empty());
    EXPECT_EQ(opened, openedAfterSearch + 1);
    frame(500, 2);
    EXPECT_EQ(frames, 1);
}

TEST_F(SubscriberCore, AFrameBecomesTheDataArrayHalvedWithTheFirstIndexRunningDownEachColumn) {
    attach(2);
    console.fillPixels(2, 0);
    console.setPixel(2, 5, 7, 1000);
    console.setPixel(2, 7, 5, -3);
    console.setPixel(2, 0, 123, 32767);
    console.setPixel(2, 123, 0, -32768);
    // The frame's own status block; the console completes the block with the record it holds,
    // here another camera's.
    std::uint8_t* block = console.frameBlock(2).bytes();
    writeBE32(block + frame_block::kConsoleBlockOffset, 5);
    console.factory.setWord(FactoryInfo::kSerialNumber, 9999);
    console.factory.bytes[FactoryInfo::kIBP] = 1;

    DataArray inside;
    std::int16_t pixelInside = 0;
    onFrame = [&](TKesTrom3Subscriber& s) {
        ASSERT_NE(s.FrameData(), nullptr);
        pixelInside = s.FrameData()[5 * 124 + 7];
        inside = s.GetData();   // the handler holds the lock; the same thread may take it again
    };
    console.sendFrame(sub->Handle(), 41, 2);
    ASSERT_EQ(frames, 1);
    EXPECT_EQ(pixelInside, 1000);
    EXPECT_EQ(sub->FrameData(), nullptr);

    DataArray data = sub->GetData();
    EXPECT_EQ(data.values, inside.values);
    ASSERT_EQ(data.dim0, 124u);
    ASSERT_EQ(data.dim1, 124u);
    ASSERT_EQ(data.values.size(), 124u * 124u);
    EXPECT_EQ(data.values[5 + 124 * 7], 500.0);
    EXPECT_EQ(data.at(5, 7), 500.0);
    EXPECT_EQ(data.at(7, 5), -1.5);
    EXPECT_EQ(data.at(0, 123), 16383.5);
    EXPECT_EQ(data.at(123, 0), -16384.0);
    EXPECT_EQ(data.at(7, 7), 0.0);

    EXPECT_TRUE(sub->NewFrame());
    EXPECT_EQ(sub->FrameCount(), 41);
    EXPECT_EQ(sub->ConsoleCopy().word(0), 5);
    EXPECT_EQ(sub->GetConsole()[3], 5);
    EXPECT_EQ(readBE16(sub->GetFactory().data()), 9999);
    EXPECT_TRUE(sub->IBP());
    // The serial number belongs to the attach, not to the record in the block.
    EXPECT_EQ(sub->Serial(), 4321);
}

TEST_F(SubscriberCore, ByteTwoThirtyEightOfTheFactoryRecordAloneDecidesIBP) {
    attach(2);
    const std::pair<std::uint8_t, bool> cases[] = {{1, true}, {0, false}, {2, false}, {255, false}};
    for (auto [byte, ibp] : cases) {
        SCOPED_TRACE(int(byte));
        console.factory.bytes[FactoryInfo::kIBP] = byte;
        console.factory.bytes[FactoryInfo::kBPS] = 1;   // the other flag plays no part
        frame(1);
        EXPECT_EQ(sub->IBP(), ibp);
    }
}

TEST_F(SubscriberCore, WithoutATabTheFrameNoticeNamesTheSlot) {
    console.run();
    console.currentSlot = 0;
    sub->Open();
    ASSERT_EQ(sub->Tab(), 0);
    frame(6, 3);
    EXPECT_EQ(sub->Tab(), 3);
    EXPECT_EQ(sub->GetData().at(0, 0), 3.0);
}

TEST_F(SubscriberCore, HoldNewFrameKeepsTheFirstFrameUntilTheHostHasUsedIt) {
    attach(2);
    sub->SetHoldNewFrame(true);
    frame(2);
    EXPECT_EQ(frames, 1);
    EXPECT_TRUE(sub->NewFrame());
    frame(4);
    frame(4);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(sub->GetData().at(0, 0), 1.0);

    sub->SetNewFrame(false);
    frame(6);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(sub->GetData().at(0, 0), 3.0);

    // Not holding, frames are taken whether the host has cleared the flag or not.
    sub->SetHoldNewFrame(false);
    frame(8);
    EXPECT_EQ(frames, 3);
}

TEST_F(SubscriberCore, InLabVIEWModeTheFrameEventComesFromTheTimerAndFramesMeanwhileAreDropped) {
    attach(2);
    sub->SetIsLabVIEW(true);
    const std::int16_t* frameDataInEvent = reinterpret_cast<const std::int16_t*>(1);
    onFrame = [&](TKesTrom3Subscriber& s) { frameDataInEvent = s.FrameData(); };

    frame(2);
    EXPECT_EQ(frames, 0);
    EXPECT_TRUE(sub->NewFrame());
    // The next notice finds the timer pending and is dropped, though nothing holds frames.
    frame(4);
    sub->pump(0ms);
    EXPECT_EQ(frames, 0);

    advance(1ms);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(frameDataInEvent, nullptr);
    EXPECT_EQ(sub->GetData().at(0, 0), 1.0);
    advance(5ms);
    EXPECT_EQ(frames, 1);

    frame(6);
    advance(1ms);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(sub->GetData().at(0, 0), 3.0);
}

TEST_F(SubscriberCore, InLabVIEWModeTheCloseEventComesFromTheTimer) {
    attach(2);
    sub->SetIsLabVIEW(true);
    console.post(sub->Handle(), 1330, sub->Handle(), 2);
    sub->pump(0ms);
    EXPECT_EQ(closed, 0);
    advance(1ms);
    EXPECT_EQ(closed, 1);
}

TEST_F(SubscriberCore, ACalibrationIsAnnouncedOnceByTheNextFrameOrNoticeWhicheverComesFirst) {
    struct Case {
        const char* name;
        bool frameFirst;
    };
    for (const Case& c : {Case{"frame first", true}, Case{"notice first", false}}) {
        SCOPED_TRACE(c.name);
        console.vanish();
        sub = make();
        calibrated = 0;
        attach(2);
        // A notice without a request of this component is not its calibration.
        console.post(sub->Handle(), 1341, 0, 2);
        sub->pump(0ms);
        EXPECT_EQ(calibrated, 0);

        sub->Calibrate();
        for (int round = 0; round < 2; ++round) {
            if (c.frameFirst) frame(1);
            console.post(sub->Handle(), 1341, 0, 2);
            sub->pump(0ms);
            if (!c.frameFirst) frame(1);
        }
        EXPECT_EQ(calibrated, 1);
    }
}

TEST_F(SubscriberCore, AFrameBlockThatCannotBeOpenedLeavesThePreviousCopiesAndANewBlockIsRead) {
    attach(2);
    frame(2);
    ASSERT_EQ(frames, 1);

    console.removeFrameBlock(2);
    sub->SetNewFrame(false);
    console.notifyFrame(sub->Handle(), 99, 2);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(sub->GetData().at(3, 3), 1.0);
    EXPECT_NE(sub->FrameCount(), 99);
    EXPECT_TRUE(sub->NewFrame());

    // A new acquisition thread makes a fresh block under the same name.
    console.renewFrameBlock(2);
    frame(8);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(sub->GetData().at(3, 3), 4.0);
    console.renewFrameBlock(2);
    frame(10);
    EXPECT_EQ(sub->GetData().at(3, 3), 5.0);
}

TEST_F(SubscriberCore, TheCameraClosingOrTheConsoleGoingIsOneCloseAndTabAndSerialStay) {
    struct Case {
        const char* name;
        bool notice;
        bool vanish;
    };
    const Case cases[] = {
        {"closing notice", true, false},
        {"console killed", false, true},
        {"notice, then the console ends", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        console.vanish();
        sub = make();
        closed = 0;
        attach(2);
        if (c.notice) console.post(sub->Handle(), 1330, sub->Handle(), 2);
        sub->pump(0ms);
        if (c.vanish) console.vanish();
        sub->pump(0ms);
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(sub->Tab(), 2);
        EXPECT_EQ(sub->Serial(), 4321);
    }
}

TEST_F(SubscriberCore, AfterTheConsoleHasGoneOpenWaitsForTheNextOneAndAttachesWithANewWindow) {
    attach(2);
    const WindowHandle first = sub->Handle();
    console.vanish();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(sub->Handle(), 0u);
    EXPECT_EQ(sub->Open(), 0u);
    // Requests while no console runs go nowhere.
    sub->Start();

    console.run();
    advance(10s);
    EXPECT_EQ(opened, 2);
    EXPECT_NE(sub->Handle(), 0u);
    EXPECT_NE(sub->Handle(), first);
    EXPECT_EQ(console.requests.back(), (FakeConsole::Request{1326, sub->Handle(), 0}));
    frame(2);
    EXPECT_EQ(frames, 1);
}

TEST_F(SubscriberCore, SerialListAsTextAndAsBytes) {
    attach(2);
    EXPECT_EQ(sub->GetSerialList(), "0,1111,4321,3333,0,0,0,0,0,0,0");
    EXPECT_EQ(sub->SerialNumberList(), "0,1111,4321,3333,0,0,0,0,0,0,0");
    ByteArray bytes;
    ASSERT_TRUE(sub->GetSerialList(bytes));
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data()), "0,1111,4321,3333,0,0,0,0,0,0,0");

    // Unreadable: an empty text, and the caller's array untouched.
    console.dropCommandBlock();
    EXPECT_EQ(sub->GetSerialList(), "");
    ByteArray mine{7, 7};
    EXPECT_FALSE(sub->GetSerialList(mine));
    EXPECT_EQ(mine, (ByteArray{7, 7}));
}

TEST_F(SubscriberCore, ArraysCopiedOnAnotherThreadAreNeverHalfOneFrameAndHalfTheNext) {
    attach(2);
    frame(0);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, copies{0};
    std::thread reader([&] {
        while (!stop.load()) {
            DataArray data = sub->GetData();
            if (std::adjacent_find(data.values.begin(), data.values.end(), std::not_equal_to<>()) != data.values.end())
                ++torn;
            ++copies;
        }
    });
    while (copies.load() == 0) std::this_thread::yield();
    // Frames and copies overlap many times over.
    const int copiesBefore = copies.load();
    for (int i = 1; i <= 200 || (copies.load() < copiesBefore + 100 && i < 100000); ++i)
        frame(static_cast<std::int16_t>(i % 2 ? 1000 : -1000));
    stop.store(true);
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(FrameBlockViewOwner, ABlockOfAnotherUserIsNotReadEvenWhenItWasReadBefore) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the block to another user; not run as root here";
    std::string name = "/kestrom_view_" + std::to_string(getpid()) + "_Kest3_1";
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, frame_block::kSize), 0);
    FrameBlockView view;
    std::string error;
    EXPECT_NE(view.acquire(name, error), nullptr) << error;
    // Replaced under the same name by a block of another user.
    close(fd);
    shm_unlink(name.c_str());
    fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, frame_block::kSize), 0);
    ASSERT_EQ(fchown(fd, 65534, 65534), 0);
    EXPECT_EQ(view.acquire(name, error), nullptr);
    EXPECT_NE(error.find(name + " belongs to another user"), std::string::npos) << error;
    close(fd);
    shm_unlink(name.c_str());
}

}  // namespace
}  // namespace kestrom::test
