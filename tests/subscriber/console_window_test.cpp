// The Qt subscriber widget inside the console's own process, as the viewer places it, on simulated cameras.
#include <QAction>
#include <QCoreApplication>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "console/service_buttons.h"
#include "console_fixture.h"
#include "subscriber/port_link.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"

namespace kestrom::testing {
namespace {

using namespace std::chrono_literals;

class ConsoleWindowSubscriber : public ConsoleFixture {
protected:
    void startWith(std::vector<sim::CameraConfig> cameras) {
        start(std::move(cameras));
        link = std::make_unique<PortLink>(form->messagePort(), form->windowHandle());
        SubscriberOptions options;
        // The fixture's console keeps its shared memory under these names.
        options.sharedMemoryPrefix = "kt" + std::to_string(getpid()) + "_";
        widget = std::make_unique<TKesTrom3SubscriberWidget>(*link, options);
        QObject::connect(widget.get(), &TKesTrom3SubscriberWidget::kestOpen, [this] { ++opened; });
        QObject::connect(widget.get(), &TKesTrom3SubscriberWidget::kestClose, [this] { ++closed; });
        QObject::connect(widget.get(), &TKesTrom3SubscriberWidget::calibrateDone, [this] { ++calibrated; });
        QObject::connect(widget.get(), &TKesTrom3SubscriberWidget::newFrame, [this] {
            ++frames;
            if (onFrame) onFrame(sub());
        });
    }
    void TearDown() override {
        widget.reset();
        link.reset();
        ConsoleFixture::TearDown();
    }
    TKesTrom3Subscriber& sub() { return widget->subscriber(); }

    // The console's main-thread queue and the Qt event loop, until the condition holds.
    template <typename Condition>
    bool pumpUntil(Condition condition) {
        auto until = std::chrono::steady_clock::now() + 5s;
        while (!condition() && std::chrono::steady_clock::now() < until) {
            form->mainThread().waitForPending(2ms);
            form->mainThread().runPending();
            QCoreApplication::processEvents();
        }
        return condition();
    }

    std::unique_ptr<PortLink> link;
    std::unique_ptr<TKesTrom3SubscriberWidget> widget;
    int opened = 0, closed = 0, frames = 0, calibrated = 0;
    std::function<void(TKesTrom3Subscriber&)> onFrame;
};

sim::CameraConfig fixedCamera(int device, std::uint16_t serial) {
    sim::CameraConfig c = camera(device, serial);
    c.ibp = true;
    return c;
}

TEST_F(ConsoleWindowSubscriber, AttachesToTheShownTabAndEachFrameArrivesWithItsPixelsInOrder) {
    startWith({camera(0, 11), fixedCamera(1, 22)});
    ASSERT_EQ(form->state().currentSlot, 2);
    EXPECT_EQ(sub().Open(), form->windowHandle());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(sub().Tab(), 2);
    EXPECT_EQ(sub().Serial(), 22);
    EXPECT_TRUE(sub().IBP());
    EXPECT_FLOAT_EQ(sub().HScale(), driver->factory(1).hScale());
    EXPECT_EQ(sub().SerialNumberList(), "0,11,22,0,0,0,0,0,0,0,0");

    std::vector<std::int16_t> pixels(124 * 124);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::int16_t>(int(i % 20000) - 10000);
    pixels[5 * 124 + 7] = -3;
    driver->setReplayFrame(1, pixels);
    std::vector<std::int16_t> seen;
    DataArray data;
    onFrame = [&](TKesTrom3Subscriber& s) {
        if (s.FrameData()) seen.assign(s.FrameData(), s.FrameData() + pixels.size());
        data = s.GetData();
    };
    driver->produceFrame(1);
    ASSERT_TRUE(pumpUntil([&] { return frames == 1; }));
    EXPECT_EQ(seen, pixels);
    EXPECT_EQ(data.at(5, 7), -1.5);
    bool ordered = true;
    for (std::size_t r = 0; r < 124; ++r)
        for (std::size_t c = 0; c < 124; ++c) ordered = ordered && data.values[r + 124 * c] == pixels[r * 124 + c] / 2.0;
    EXPECT_TRUE(ordered);
    EXPECT_EQ(sub().FrameCount(), form->state().slots[2].FrameCount.load());
}

TEST_F(ConsoleWindowSubscriber, MenuLockoutGainFactorAndCorrectionsReachTheConsole) {
    startWith({camera(0, 11)});
    sub().Open();
    QAction* openSetup = form->action("FileOpenItem");
    ASSERT_NE(openSetup, nullptr);
    sub().SetMenuLockout(true);
    EXPECT_FALSE(openSetup->isEnabled());
    sub().SetMenuLockout(false);
    EXPECT_TRUE(openSetup->isEnabled());

    const int gainBefore = driver->status(0).gain();
    sub().SetGainFactor(3);
    EXPECT_TRUE(historyHas("1 Remote gain factor:3"));
    EXPECT_NE(driver->status(0).gain(), gainBefore);

    for (bool on : {false, true}) {
        sub().SetPixelCorrection(on);
        sub().SetGainCorrectionOnOff(on);
        EXPECT_EQ(driver->status(0).pixelCorrection(), on ? 1 : 0);
        EXPECT_EQ(driver->status(0).gainCorrection(), on ? 1 : 0);
    }
}

TEST_F(ConsoleWindowSubscriber, ASetupFileAskedForWithoutATabIsLoadedIntoSlotOne) {
    startWith({camera(0, 11), camera(1, 22)});
    showTab(0);
    sub().Open();
    ASSERT_EQ(sub().Tab(), 0);   // refused on the History tab
    std::string file = configFolder + "/remote.setup";
    std::ofstream(file) << "ExposureTime=400\n";
    sub().SetSetupFilename(file);
    EXPECT_TRUE(historyHas("0 Setup:1 " + file));
    EXPECT_EQ(form->state().slots[1].SetupFile, file);
    EXPECT_EQ(form->state().currentSlot, 1);
}

TEST_F(ConsoleWindowSubscriber, ACalibrationIsAnnouncedOnceAndAClosedCameraOnce) {
    startWith({camera(0, 11)});
    sub().Open();
    sub().Calibrate();
    EXPECT_TRUE(historyHas("1 Calibration started."));
    driver->advanceTime(sim::kCalibrationMilliseconds + 100);
    form->serviceButtons().CalibrationTimerTimer();
    ASSERT_TRUE(pumpUntil([&] { return calibrated == 1; }));
    driver->produceFrame(0);
    ASSERT_TRUE(pumpUntil([&] { return frames == 1; }));
    EXPECT_EQ(calibrated, 1);

    form->CloseCameraExecute();
    ASSERT_TRUE(pumpUntil([&] { return closed == 1; }));
    EXPECT_EQ(sub().Tab(), 1);
    EXPECT_EQ(sub().Serial(), 11);
}

TEST_F(ConsoleWindowSubscriber, InLabVIEWModeTheFrameSignalComesFromTheEventLoopNotFromTheDelivery) {
    startWith({camera(0, 11)});
    sub().Open();
    sub().SetIsLabVIEW(true);
    bool insideDelivery = false;
    onFrame = [&](TKesTrom3Subscriber& s) { insideDelivery = s.FrameData() != nullptr; };
    driver->produceFrame(0);
    // The delivery alone (no Qt events) takes the frame over without raising the event.
    auto until = std::chrono::steady_clock::now() + 5s;
    while (!sub().NewFrame() && std::chrono::steady_clock::now() < until) {
        form->mainThread().waitForPending(2ms);
        form->mainThread().runPending();
    }
    ASSERT_TRUE(sub().NewFrame());
    EXPECT_EQ(frames, 0);
    ASSERT_TRUE(pumpUntil([&] { return frames == 1; }));
    EXPECT_FALSE(insideDelivery);
    EXPECT_EQ(sub().GetData().dim0, 124u);
}

}  // namespace
}  // namespace kestrom::testing
